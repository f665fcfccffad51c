#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <set>
#include <vector>

#include "audio_measure.h"
#include "engine/engine.h"
#include "tests/unit/core_host.h"
#include "instrument/parameters.h"

namespace vorlak {
namespace {

MidiMessage message(int status, int data1, int data2, int frame = 0, int detune = 0) {
  return {frame, static_cast<uint8_t>(status), static_cast<uint8_t>(data1),
          static_cast<uint8_t>(data2), static_cast<int8_t>(detune)};
}

std::unique_ptr<Engine> makeEngine() {
  auto e = std::make_unique<Engine>();
  std::memset(e.get(), 0, sizeof(Engine));
  engineSetup(*e, 44100.f);
  e->latchFlagsSeen = 0;
  return e;
}

// Queues one message and hands back what the queue holds for it (null when it was dropped).
const QueuedEvent* intake(Engine& e, const MidiMessage& m, int32_t maxFrame = 511) {
  const int before = e.queue.writeIndex;
  queueEvents(e, &m, 1, maxFrame);
  if (e.queue.writeIndex == before) return nullptr;
  return &e.queue.slots[(e.queue.writeIndex + kQueueSize - 1) % kQueueSize];
}

void controller(Engine& e, int status, int data1, int data2, const Patch& patch = Patch{}) {
  const QueuedEvent* event = intake(e, message(status, data1, data2));
  ASSERT_NE(event, nullptr);
  dispatchController(e, patch, *event);
  dropEvent(e.queue);
}

bool inBounds(const EventQueue& q) {
  return q.count >= 0 && q.count <= kQueueSize && q.readIndex >= 0 && q.readIndex < kQueueSize &&
         q.writeIndex >= 0 && q.writeIndex < kQueueSize;
}

TEST(MidiIntake, MessagesBecomeQueueEntries) {
  auto e = makeEngine();
  const QueuedEvent* on = intake(*e, message(0x93, 60, 100, 17, -5));
  ASSERT_NE(on, nullptr);
  EXPECT_EQ(on->kind, kEventNoteOn);
  EXPECT_EQ(on->frame, 17);
  EXPECT_EQ(on->note, 60);
  EXPECT_EQ(on->value, 100);
  EXPECT_FLOAT_EQ(on->valueFloat, 100.f / 127.f);
  EXPECT_EQ(on->detune, -5);
  EXPECT_EQ(on->controller, -1);

  for (int status : {0x90, 0x8F}) {
    const QueuedEvent* off = intake(*e, message(status, 61, status == 0x90 ? 0 : 64, 0, 9));
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(off->kind, kEventNoteOff) << std::hex << status;
    EXPECT_EQ(off->note, 61);
    EXPECT_EQ(off->detune, 0);
  }

  const QueuedEvent* cc = intake(*e, message(0xB2, 7, 64));
  ASSERT_NE(cc, nullptr);
  EXPECT_EQ(cc->kind, kEventController);
  EXPECT_EQ(cc->controller, 7);
  EXPECT_EQ(cc->note, -1);
  EXPECT_FLOAT_EQ(cc->valueFloat, 64.f / 127.f);

  const QueuedEvent* program = intake(*e, message(0xC0, 5, 0));
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(program->kind, kEventProgramChange);
  EXPECT_EQ(program->value, 5);
  EXPECT_EQ(intake(*e, message(0xC0, 64, 0)), nullptr);
  EXPECT_EQ(intake(*e, message(0xC0, 127, 0)), nullptr);

  const struct {
    int lsb, msb, value;
    float scaled;
  } bends[] = {{0, 0, 0, 0.f}, {0, 64, 8192, 0.5f}, {127, 127, 16383, 1.f}};
  for (const auto& b : bends) {
    const QueuedEvent* bend = intake(*e, message(0xE1, b.lsb, b.msb));
    ASSERT_NE(bend, nullptr);
    EXPECT_EQ(bend->controller, kPitchBendController);
    EXPECT_EQ(bend->value, b.value);
    EXPECT_FLOAT_EQ(bend->valueFloat, b.scaled);
  }

  // Aftertouch, channel pressure, system messages and running-status data are not taken.
  for (int status : {0xA0, 0xD0, 0xF0, 0xF8, 0xFF, 0x3C, 0x00})
    EXPECT_EQ(intake(*e, message(status, 60, 64)), nullptr) << std::hex << status;
}

TEST(MidiIntake, BadInputStaysInsideTheQueue) {
  auto e = makeEngine();
  // Data bytes with the top bit set are not MIDI data.
  for (const MidiMessage& m :
       {message(0x90, 0x80, 64), message(0x90, 60, 0xFF), message(0x80, 200, 0),
        message(0xB0, 64, 0x90), message(0xE0, 0x80, 0x80)})
    EXPECT_EQ(intake(*e, m), nullptr);

  const struct {
    int32_t given, queued;
  } frames[] = {{-100, 0}, {INT32_MIN, 0}, {1 << 30, 511}, {INT32_MAX, 511}, {300, 300}};
  for (const auto& f : frames) {
    const QueuedEvent* event = intake(*e, message(0x90, 60, 100, f.given));
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->frame, f.queued) << f.given;
  }

  e = makeEngine();
  std::vector<MidiMessage> many;
  for (int i = 0; i < 2000; ++i)
    many.push_back(message(0xE0 | (i % 16), i % 128, (i * 7) % 128, i - 1000));
  queueEvents(*e, many.data(), static_cast<int>(many.size()), 511);
  EXPECT_EQ(e->queue.count, kQueueSize);
  EXPECT_TRUE(inBounds(e->queue));
  for (const QueuedEvent& slot : e->queue.slots) {
    EXPECT_TRUE(std::isfinite(slot.valueFloat));
    EXPECT_GE(slot.frame, 0);
    EXPECT_LE(slot.frame, 511);
  }
}

TEST(MidiIntake, OverflowKeepsTheNewestInOrder) {
  auto e = makeEngine();
  std::vector<MidiMessage> events;
  for (int i = 0; i < 1500; ++i) events.push_back(message(0x90, i % 128, 1 + i % 127, i));
  queueEvents(*e, events.data(), static_cast<int>(events.size()), 100000);
  std::vector<int> drained;
  while (const QueuedEvent* next = peekEvent(e->queue)) {
    drained.push_back(next->frame);
    dropEvent(e->queue);
    ASSERT_LE(drained.size(), size_t(kQueueSize));
  }
  ASSERT_EQ(drained.size(), size_t(kQueueSize));
  for (int i = 0; i < kQueueSize; ++i) EXPECT_EQ(drained[i], 1500 - kQueueSize + i);
  EXPECT_TRUE(inBounds(e->queue));
}

TEST(MidiIntake, ModeControllersActBeforeTheirListIsDispatched) {
  for (int number : {120, 121, 122, 123, 124, 125, 126, 127}) {
    auto e = makeEngine();
    for (int note : {40, 45, 50}) startString(*e, note, 0.8f, 0, 0);
    controller(*e, 0xE0, 0, 0);
    controller(*e, 0xB0, 7, 10);
    controller(*e, 0xB0, 11, 20);
    controller(*e, 0xB0, 1, 90);
    controller(*e, 0xB0, 64, 127);
    ASSERT_EQ(e->fretBend, 0.5f);
    clearQueue(e->queue);

    const MidiMessage events[] = {message(0x90, 72, 100, 0), message(0xB0, number, 0, 5)};
    queueEvents(*e, events, 2, 511);
    SCOPED_TRACE(number);
    EXPECT_EQ(e->queue.count, 2);
    const bool resets = number != 122;
    const bool releases = resets && number != 121;
    EXPECT_EQ(e->fretBend, resets ? 1.0f : 0.5f);
    EXPECT_EQ(e->volume, resets ? 1.0f : 10.f / 127.f);
    EXPECT_EQ(e->expression, resets ? 1.0f : 20.f / 127.f);
    EXPECT_FLOAT_EQ(e->glissando, 90.f / 127.f);
    EXPECT_EQ(e->latchFlags, kLatchPedal);
    for (const StringVoice& v : e->voices) {
      if (v.note == 72) ADD_FAILURE() << "the queued note must not have started";
      if (v.note == 40 || v.note == 45 || v.note == 50) {
        EXPECT_EQ(v.gate, releases ? 0.f : 1.f);
      }
    }
  }
}

TEST(MidiDispatch, WheelsDriveFretBendAndGlissando) {
  auto e = makeEngine();
  controller(*e, 0xE0, 0, 64);
  EXPECT_EQ(e->fretBend, 1.0f);
  controller(*e, 0xE0, 0, 0);
  EXPECT_EQ(e->fretBend, 0.5f);
  controller(*e, 0xE0, 127, 127);
  EXPECT_EQ(e->fretBend, 2.0f);

  // Across the bender the ratio climbs in equal-tempered semitones through both octaves.
  std::set<int> semitones;
  float previous = 0.f;
  for (int value = 0; value < 16384; value += 7) {
    controller(*e, 0xE0, value & 127, value >> 7);
    const double semitone = 12.0 * std::log2(e->fretBend);
    EXPECT_NEAR(semitone, std::round(semitone), 0.01) << value;
    EXPECT_GE(e->fretBend, previous) << value;
    previous = e->fretBend;
    semitones.insert(static_cast<int>(std::lround(semitone)));
  }
  EXPECT_EQ(semitones.size(), 25u);
  EXPECT_EQ(e->glissando, 0.f) << "the bender does not touch glissando on its own setting";

  controller(*e, 0xE0, 0, 64);
  controller(*e, 0xB0, 1, 0);
  EXPECT_EQ(e->glissando, 0.f);
  controller(*e, 0xB0, 1, 127);
  EXPECT_FLOAT_EQ(e->glissando, 1.f);
  EXPECT_EQ(e->fretBend, 1.0f);

  Patch modwheelFrets{};
  modwheelFrets.glissandoSrc = 1;
  controller(*e, 0xB0, 1, 0, modwheelFrets);
  EXPECT_EQ(e->fretBend, 1.0f);
  controller(*e, 0xB0, 1, 127, modwheelFrets);
  EXPECT_EQ(e->fretBend, 2.0f);
  controller(*e, 0xE0, 0, 0, modwheelFrets);
  EXPECT_FLOAT_EQ(e->glissando, -1.f);
  controller(*e, 0xE0, 0, 64, modwheelFrets);
  EXPECT_FLOAT_EQ(e->glissando, 0.f);
  controller(*e, 0xE0, 127, 127, modwheelFrets);
  EXPECT_FLOAT_EQ(e->glissando, 1.f);
  EXPECT_EQ(e->fretBend, 2.0f);

  controller(*e, 0xB0, 7, 127);
  EXPECT_FLOAT_EQ(e->volume, 1.f);
  controller(*e, 0xB0, 11, 0);
  EXPECT_EQ(e->expression, 0.f);
}

TEST(MidiDispatch, ATakenVoiceIsTheOldestWhenAllSixSound) {
  auto e = makeEngine();
  for (int note = 50; note < 56; ++note) startString(*e, note, 0.8f, 0, 0);
  const int ages[kVoiceCount] = {3, 9, 12, 12, 1, 0};
  for (int i = 0; i < kVoiceCount; ++i) e->voices[i].age = ages[i];
  startString(*e, 70, 0.8f, 0, 0);
  EXPECT_EQ(e->voices[2].note, 70.f) << "largest age, lower index on a tie";
  EXPECT_EQ(e->voices[2].age, 0);
  EXPECT_EQ(e->voices[3].note, 53.f);
}

// A whole instance driven the way a host drives it.
class Instance {
 public:
  explicit Instance(bool plainSetup = true) {
    if (plainSetup) {
      fx.set(kAid, 0.f);
      fx.set(kStrings, 1.f / 6.f);
      fx.set(kLatch, 0.f);
      fx.set(kGlissandoSrc, 0.f);
    }
  }
  void send(std::initializer_list<MidiMessage> events) { fx.send(events); }
  std::vector<float> render(int blocks = 1) {
    std::vector<float> left(kBlock * blocks), right(kBlock);
    for (int b = 0; b < blocks; ++b) fx.render(left.data() + b * kBlock, right.data(), kBlock);
    return left;
  }
  const Engine& engine() const { return fx.engine(); }
  // 1 gated, 0 released, -1 no voice has the note.
  int gate(int note) const {
    for (const StringVoice& v : engine().voices)
      if (v.note == static_cast<float>(note)) return v.gate > 0.5f ? 1 : 0;
    return -1;
  }

  static constexpr int kBlock = 512;
  testhost::CoreHost fx{44100.f, kBlock};
};

TEST(MidiNotes, VelocityZeroPedalAndLatch) {
  Instance host;
    host.send({message(0x90, 60, 100)});
  host.render();
  EXPECT_EQ(host.gate(60), 1);
  host.send({message(0x90, 60, 0, 10)});
  host.render();
  EXPECT_EQ(host.gate(60), 0) << "velocity 0 releases like a note-off";

  host.send({message(0xB0, 64, 1), message(0x90, 62, 100), message(0x90, 64, 100), message(0x80, 62, 0, 300)});
  host.render(2);
  EXPECT_EQ(host.gate(62), 1) << "the pedal holds a string whose key is up";
  EXPECT_EQ(host.gate(64), 1);
  host.send({message(0xB0, 64, 0)});
  host.render();
  EXPECT_EQ(host.gate(62), 0) << "pedal up releases strings whose key is up";
  EXPECT_EQ(host.gate(64), 1) << "and keeps those still held";

  host.fx.set(kLatch, 1.f);
  host.send({message(0x90, 67, 100), message(0x80, 67, 0, 200), message(0x80, 64, 0, 200)});
  host.render(2);
  EXPECT_EQ(host.gate(67), 1);
  EXPECT_EQ(host.gate(64), 1);
  host.fx.set(kLatch, 0.f);
  host.render();
  EXPECT_EQ(host.gate(67), 0);
  EXPECT_EQ(host.gate(64), 0);
}

TEST(MidiNotes, TheSeventhNoteStealsTheLongestSounding) {
  Instance host;
    for (int note = 50; note < 56; ++note) {
    host.send({message(0x90, note, 100)});
    host.render();
  }
  host.send({message(0x90, 50, 100)});  // restarts its own string, which becomes the youngest
  host.render();
  host.send({message(0x90, 56, 100)});
  host.render();
  EXPECT_EQ(host.gate(51), -1) << "the longest-sounding string was taken";
  for (int note : {50, 52, 53, 54, 55, 56}) EXPECT_EQ(host.gate(note), 1) << note;
}

TEST(MidiNotes, FirstNotesAfterLoadingSoundAndAStyleChangeReleases) {
  Instance host(false);  // factory program 0, whatever style it plays
    ASSERT_EQ(host.engine().lastStyle, -1);
  host.send({message(0x90, 52, 110)});
  const std::vector<float> out = host.render(8);
  int gated = 0;
  for (const StringVoice& v : host.engine().voices) gated += v.gate > 0.5f;
  EXPECT_GT(gated, 0);
  EXPECT_GT(test::rms(out.data(), static_cast<int>(out.size())), 1e-3);

  const float aid = host.fx.instrument().parameter(kAid);
  host.fx.set(kAid, aid < 0.5f ? 1.f : 0.f);
  host.render();
  for (const StringVoice& v : host.engine().voices) EXPECT_EQ(v.gate, 0.f);

  host.send({message(0xC0, 5, 0, 300)});
  EXPECT_EQ(host.fx.instrument().program(), 0);
  host.render();
  EXPECT_EQ(host.fx.instrument().program(), 5);
}

}  // namespace
}  // namespace vorlak
