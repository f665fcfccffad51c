// MIDI as hosts and controllers really send it: events on and beyond the block's edges, full
// blocks of events, every channel and note, velocity-0 note-ons, every controller, the bender's
// extremes, system and system-exclusive events mixed in, lists out of order. Each run must stay
// clean and fall below -120 dBFS five seconds after its notes are released.
#include <array>
#include <climits>
#include <random>

#include "tests/integration/validator_support.h"

namespace vorlak::test {
namespace {

constexpr int kBlock = 256;

// Power chords with the latch, automatic chords, strumming into a delay, the gliding solo,
// a latched delay with a long tail, the wah with full drive, and a slapped bass.
const int kPrograms[] = {0, 12, 34, 46, 53, 59, 28};

class Midi : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    plugin = startVorlak(kRate, kBlock);
    ASSERT_NE(plugin, nullptr);
    plugin->setProgram(GetParam());
    renderer = std::make_unique<BlockRenderer>(*plugin, true);
  }

  // Releases what is still held at the next block, renders five seconds and a little more and
  // checks the whole run.
  void expectCleanAndSilentAfter(const std::vector<ScheduledMidi>& releases = {}) {
    const long released = renderer->position();
    for (ScheduledMidi e : releases) {
      e.frame = released;
      renderer->schedule({e});
    }
    renderer->schedule(releaseLatch(*plugin, released));
    const long silentFrom = released + framesOf(kTailDelaySeconds, kRate);
    renderer->until(silentFrom + framesOf(0.25, kRate), kBlock);
    EXPECT_TRUE(renderer->clean());
    EXPECT_GT(renderer->census().peak, 0.01f) << "nothing sounded";
    EXPECT_LT(renderer->peakFrom(silentFrom), kTailLimit);
  }

  std::unique_ptr<host::Plugin> plugin;
  std::unique_ptr<BlockRenderer> renderer;
};

TEST_P(Midi, OffsetsOnAndBeyondTheBlockEdges) {
  // Blocks of the announced size and shorter ones: n - 1 and n are relative to the real block.
  for (int n : {kBlock, 100}) {
    plugin->sendMidi(0x90, 40, 100, 0);
    plugin->sendMidi(0x90, 45, 100, n - 1);
    renderer->block(n);
    plugin->sendMidi(0x90, 50, 100, n);
    plugin->sendMidi(0x90, 52, 100, -1);
    renderer->block(n);
    plugin->sendMidi(0x90, 55, 100, INT_MAX);
    plugin->sendMidi(0x90, 57, 100, INT_MIN);
    plugin->sendMidi(0x90, 59, 100, 1 << 24);
    renderer->block(n);
    renderer->until(renderer->position() + framesOf(0.3, kRate), n);
    for (int note : {40, 45, 50}) plugin->sendMidi(0x80, static_cast<unsigned char>(note), 0, n);
    plugin->sendMidi(0x80, 52, 0, -100);
    plugin->sendMidi(0x80, 55, 0, INT_MAX);
    plugin->sendMidi(0x80, 57, 0, INT_MIN);
    plugin->sendMidi(0x80, 59, 0, n - 1);
    renderer->block(n);
  }
  expectCleanAndSilentAfter();
}

// Keys pressed and released as a keyboard does: every press has its release, in the same
// block or a later one.
TEST_P(Midi, FiveHundredTwelveEventsInOneBlock) {
  constexpr int kFrames = 512;
  plugin->setBlockSize(kFrames);
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < kFrames; i += 8) {
      const auto a = static_cast<unsigned char>(40 + (i / 8 + round) % 40);
      const auto b = static_cast<unsigned char>(a + 7);
      const auto c = static_cast<unsigned char>(a + 12);
      const auto velocity = static_cast<unsigned char>(60 + (i / 8) % 60);
      plugin->sendMidi(0x90, a, velocity, i);
      plugin->sendMidi(0x90, b, velocity, i + 1);
      plugin->sendMidi(0xB0, 1, static_cast<unsigned char>(i / 4), i + 2);
      plugin->sendMidi(0x80, a, 64, i + 3);
      plugin->sendMidi(0x90, c, velocity, i + 4);
      plugin->sendMidi(0xE0, 0, static_cast<unsigned char>(i / 4), i + 5);
      plugin->sendMidi(0x80, b, 0, i + 6);
      plugin->sendMidi(0x80, c, 0, i + 7);
    }
    ASSERT_EQ(plugin->pendingMidi(), static_cast<std::size_t>(kFrames));
    renderer->block(kFrames);
    renderer->until(renderer->position() + framesOf(0.2, kRate), kFrames);
  }
  expectCleanAndSilentAfter({{0, 0xB0, 1, 0}, {0, 0xE0, 0, 0x40}});
}

// Every key of every channel, one after another as a fast run (172 keys a second) with three
// keys overlapping, starting in the middle of the range where every program sounds. Much
// denser runs are not music: sixteen times as fast, the latched delay of program 53 sums to a
// peak of 5.3.
TEST_P(Midi, EveryChannelAndEveryNote) {
  constexpr int kSpacing = 256;
  constexpr int kHeld = 3 * kSpacing;
  std::vector<ScheduledMidi> events;
  for (int channel = 0; channel < 16; ++channel) {
    for (int k = 0; k < 128; ++k) {
      const auto note = static_cast<unsigned char>((k + 48) % 128);
      const long frame = (channel * 128L + k) * kSpacing;
      const auto velocity = static_cast<unsigned char>(40 + (channel * 128 + note) % 60);
      events.push_back({frame, static_cast<unsigned char>(0x90 | channel), note, velocity});
      events.push_back({frame + kHeld, static_cast<unsigned char>(0x80 | channel), note, 0});
    }
  }
  const long end = events.back().frame + 1;
  renderer->schedule(std::move(events));
  renderer->until(end, kBlock);
  expectCleanAndSilentAfter();
}

// A note-on with velocity 0 is a note-off: both renders are the same sample for sample.
TEST_P(Midi, VelocityZeroNoteOnReleasesLikeANoteOff) {
  auto reference = startVorlak(kRate, kBlock);
  ASSERT_NE(reference, nullptr);
  reference->setProgram(GetParam());
  BlockRenderer expected(*reference, true);
  const long off = framesOf(0.4, kRate);
  const long end = framesOf(1.0, kRate);
  for (int note : {45, 52, 57}) {
    const auto n = static_cast<unsigned char>(note);
    renderer->schedule({{0, 0x90, n, 110}, {off, 0x90, n, 0}});
    expected.schedule({{0, 0x90, n, 110}, {off, 0x80, n, 0}});
  }
  renderer->until(end, kBlock);
  expected.until(end, kBlock);
  EXPECT_TRUE(sameSamples(renderer->left(), expected.left()));
  EXPECT_TRUE(sameSamples(renderer->right(), expected.right()));
  expectCleanAndSilentAfter();
}

// Every controller number with 0, 64 and 127 while notes sound; the notes are struck again
// after each controller, since several controllers release everything.
TEST_P(Midi, EveryControllerAtItsExtremesAndMiddle) {
  for (int controller = 0; controller < 128; ++controller) {
    const auto c = static_cast<unsigned char>(controller);
    plugin->sendMidi(0x90, 43, 100, 0);
    plugin->sendMidi(0x90, 50, 90, 0);
    plugin->sendMidi(0xB0 | (controller % 16), c, 0, 10);
    plugin->sendMidi(0xB0, c, 64, 100);
    plugin->sendMidi(0xB0, c, 127, 200);
    renderer->block(kBlock);
    renderer->block(kBlock);
  }
  // The last round left the sustain pedal down, the volume and expression up and the wheels
  // at their ends; a host ends a take by releasing the pedal and the keys.
  expectCleanAndSilentAfter({{0, 0xB0, 64, 0}, {0, 0x80, 43, 0}, {0, 0x80, 50, 0}});
}

TEST_P(Midi, BenderAndModulationWheelAtTheirExtremes) {
  for (float source : {0.0f, 1.0f}) {
    plugin->setParameter(27, source);
    plugin->sendMidi(0x90, 40, 120, 0);
    plugin->sendMidi(0x90, 64, 120, 0);
    for (int round = 0; round < 20; ++round) {
      const int block = round % 3 == 0 ? 1 : kBlock;
      plugin->sendMidi(0xE0, 0x00, 0x00, 0);
      plugin->sendMidi(0xE0, 0x7F, 0x7F, block - 1);
      plugin->sendMidi(0xB0, 1, round % 2 ? 127 : 0, block / 2);
      renderer->block(block);
      plugin->sendMidi(0xE0, 0x7F, 0x7F, 0);
      renderer->block(kBlock);
      plugin->sendMidi(0xE0, 0x00, 0x40, 0);
      plugin->sendMidi(0xE0, 0x00, 0x00, 5);
      renderer->block(kBlock);
    }
    plugin->sendMidi(0x80, 40, 0, 0);
    plugin->sendMidi(0x80, 64, 0, 0);
    renderer->block(kBlock);
  }
  expectCleanAndSilentAfter({{0, 0xE0, 0x00, 0x40}, {0, 0xB0, 1, 0}});
}

// System messages and system-exclusive records change nothing: the same notes render
// identically with and without them in the lists.
TEST_P(Midi, SystemAndSystemExclusiveEventsAreIgnored) {
  auto reference = startVorlak(kRate, kBlock);
  ASSERT_NE(reference, nullptr);
  reference->setProgram(GetParam());
  BlockRenderer expected(*reference, true);

  char dump[] = {'\xF0', 0x7E, 0x7F, 0x09, 0x01, '\xF7'};
  std::vector<records::VstSysexEvent> sysex(4);
  for (std::size_t i = 0; i < sysex.size(); ++i) {
    sysex[i] = records::VstSysexEvent{kVstSysExType,
                                      static_cast<VstInt32>(sizeof(records::VstSysexEvent)),
                                      static_cast<VstInt32>(i * 60),
                                      0,
                                      sizeof dump,
                                      0,
                                      dump,
                                      0};
  }
  sysex[3].dumpBytes = 0;
  sysex[3].sysexDump = nullptr;
  std::vector<VstMidiEvent> system;
  for (int status : {0xF8, 0xFA, 0xFC, 0xFE, 0xFF, 0xF1, 0xF3, 0xF6, 0xF7}) {
    system.push_back(
        records::midiEvent(status, 0x10, 0x20, static_cast<VstInt32>(system.size() * 20)));
  }
  system.push_back(records::midiEvent(0xF2, 0x7F, 0x7F, 3));
  system.push_back(records::midiEvent(0xF0, 0x7E, 0x7F, 4));

  for (int round = 0; round < 12; ++round) {
    const auto note = static_cast<unsigned char>(40 + 3 * round);
    std::vector<VstMidiEvent> notes = {records::midiEvent(0x90, note, 100, 17),
                                       records::midiEvent(0x80, note - 3, 0, 120),
                                       records::midiEvent(0xB0, 1, 8 * round, 200)};
    std::vector<VstEvent*> mixed;
    std::vector<VstEvent*> plain;
    for (std::size_t i = 0; i < notes.size(); ++i) {
      mixed.push_back(reinterpret_cast<VstEvent*>(&sysex[(i + round) % sysex.size()]));
      mixed.push_back(reinterpret_cast<VstEvent*>(&notes[i]));
      mixed.push_back(reinterpret_cast<VstEvent*>(&system[(i + round) % system.size()]));
      plain.push_back(reinterpret_cast<VstEvent*>(&notes[i]));
    }
    for (VstMidiEvent& s : system) mixed.push_back(reinterpret_cast<VstEvent*>(&s));
    EXPECT_EQ(plugin->processEvents(mixed), 1);
    EXPECT_EQ(reference->processEvents(plain), 1);
    renderer->block(kBlock);
    expected.block(kBlock);
    renderer->block(kBlock);
    expected.block(kBlock);
  }
  EXPECT_TRUE(sameSamples(renderer->left(), expected.left()));
  EXPECT_TRUE(sameSamples(renderer->right(), expected.right()));
  std::vector<ScheduledMidi> releases;
  for (int round = 0; round < 12; ++round) {
    releases.push_back({0, 0x80, static_cast<unsigned char>(40 + 3 * round), 0});
  }
  expectCleanAndSilentAfter(releases);
}

// Lists whose events run backwards in time. Keys are pressed again while held, as two
// controllers on one note do; each press gets its own release at the end.
TEST_P(Midi, EventsOutOfOrderWithinAList) {
  std::mt19937 random(static_cast<unsigned>(GetParam()));
  std::array<int, 128> presses{};
  for (int round = 0; round < 16; ++round) {
    std::vector<VstMidiEvent> events;
    for (int i = 0; i < 12; ++i) {
      const int note = 36 + (round * 5 + i * 7) % 48;
      const int frame = static_cast<int>(random() % kBlock);
      const bool on = i % 3 != 2;
      if (on) {
        ++presses[static_cast<std::size_t>(note)];
      } else if (presses[static_cast<std::size_t>(note)] > 0) {
        --presses[static_cast<std::size_t>(note)];
      }
      events.push_back(records::midiEvent(on ? 0x90 : 0x80, note, 90, frame));
    }
    std::sort(events.begin(), events.end(), [](const VstMidiEvent& a, const VstMidiEvent& b) {
      return a.deltaFrames > b.deltaFrames;
    });
    for (const VstMidiEvent& e : events) plugin->sendMidi(e);
    renderer->block(kBlock);
    renderer->until(renderer->position() + framesOf(0.05, kRate), kBlock);
  }
  std::vector<ScheduledMidi> releases;
  for (int note = 0; note < 128; ++note) {
    for (int i = 0; i < presses[static_cast<std::size_t>(note)]; ++i) {
      releases.push_back({0, 0x80, static_cast<unsigned char>(note), 0});
    }
  }
  expectCleanAndSilentAfter(releases);
}

INSTANTIATE_TEST_SUITE_P(Validator, Midi, ::testing::ValuesIn(kPrograms),
                         [](const auto& info) { return "Program" + std::to_string(info.param); });

}  // namespace
}  // namespace vorlak::test
