#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "tests/unit/test_host.h"

namespace vorlak {
namespace {

using namespace testhost;

// Absolute frame positions of the tick boundaries reached while feeding the given block
// sizes through one grid; also checks that the rendered pieces tile every block.
std::vector<int64_t> boundaries(float rate, const std::vector<int>& blocks, int horizonSpan) {
  TickGrid grid{0.0f};
  std::vector<int64_t> found;
  int64_t start = 0;
  for (int frames : blocks) {
    int covered = 0;
    runTickGrid(
        grid, rate, frames, 0,
        [&](int offset, int length) {
          EXPECT_EQ(offset, covered);
          EXPECT_GT(length, 0);
          covered += length;
        },
        [&](int horizon) {
          EXPECT_EQ(horizon, covered + horizonSpan);
          found.push_back(start + covered);
        });
    EXPECT_EQ(covered, frames);
    start += frames;
  }
  return found;
}

TEST(TickGrid, BoundariesCarryTheFractionAcrossAnyBlockSizes) {
  // At 44.1 kHz a tick is 220.5 samples: boundary k falls on floor(k * 220.5).
  std::vector<int> regular(10000, 64);
  std::vector<int> odd;
  const int sizes[] = {1, 7, 220, 221, 333, 13, 1000, 64, 441, 2};
  for (int i = 0; i < 3000; ++i) odd.push_back(sizes[i % 10]);
  for (const std::vector<int>* blocks : {&regular, &odd}) {
    int64_t total = 0;
    for (int frames : *blocks) total += frames;
    const std::vector<int64_t> found = boundaries(44100.0f, *blocks, 220);
    ASSERT_EQ(static_cast<int64_t>(found.size()), (2 * total + 1) / 441 + 1);
    for (size_t k = 0; k < found.size(); ++k) ASSERT_EQ(found[k], 441 * int64_t(k) / 2) << k;
    for (size_t k = 1; k < found.size(); ++k) {
      const int64_t tick = found[k] - found[k - 1];
      ASSERT_EQ(tick, k % 2 ? 220 : 221);
    }
  }
  const std::vector<int64_t> at48k = boundaries(48000.0f, odd, 240);
  for (size_t k = 0; k < at48k.size(); ++k) ASSERT_EQ(at48k[k], 240 * int64_t(k));
}

// Left channel of the first block after start-up, with the events given before it.
std::vector<float> firstBlock(int program, std::initializer_list<MidiMessage> events,
                              int frames) {
  AEffect* e = makeEffect();
  startUp(e, 44100.0f, frames);
  e->dispatcher(e, effSetProgram, 0, program, nullptr, 0.0f);
  if (events.size()) sendMidi(e, events);
  Stereo out(frames, 9.0f);
  e->processReplacing(e, nullptr, out.channels, frames);
  closeEffect(e);
  return out.left;
}

int firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return static_cast<int>(i);
  return -1;
}

TEST(RenderLoop, EventsPlayFromTheBoundaryAtOrBeforeTheirFrame) {
  // Program 21 plays each key as one string, so an output change marks the note's start.
  const std::vector<float> silent = firstBlock(21, {}, 1024);

  // First block: boundary 0 walks everything below frame 220 before any sample is rendered.
  const std::vector<float> early = firstBlock(21, {{10, 0x90, 40, 100}, {200, 0x90, 52, 100}}, 1024);
  const std::vector<float> atZero = firstBlock(21, {{0, 0x90, 40, 100}, {0, 0x90, 52, 100}}, 1024);
  const std::vector<float> firstOnly = firstBlock(21, {{10, 0x90, 40, 100}}, 1024);
  EXPECT_EQ(early, atZero);
  EXPECT_GE(firstDifference(early, silent), 0);
  EXPECT_LT(firstDifference(early, silent), 4);
  EXPECT_GE(firstDifference(early, firstOnly), 0);
  EXPECT_LT(firstDifference(early, firstOnly), 4);

  // Boundaries at 220 and 441: frames 221 to 439 are due at 220; 440, the last sample of a
  // 221-sample tick, misses the horizon 440 and waits for 441.
  const std::vector<float> at300 = firstBlock(21, {{300, 0x90, 45, 100}}, 1024);
  const std::vector<float> at221 = firstBlock(21, {{221, 0x90, 45, 100}}, 1024);
  const std::vector<float> at440 = firstBlock(21, {{440, 0x90, 45, 100}}, 1024);
  EXPECT_EQ(at300, at221);
  const int start300 = firstDifference(at300, silent);
  EXPECT_GE(start300, 220);
  EXPECT_LT(start300, 224);
  const int start440 = firstDifference(at440, silent);
  EXPECT_GE(start440, 441);
  EXPECT_LT(start440, 445);
}

TEST(RenderLoop, EventWalksHappenOnlyInBlocksHoldingABoundary) {
  AEffect* e = makeEffect();
  startUp(e, 44100.0f, 64);
  const Engine& engine = engineOf(e);
  Stereo out(64);
  int walks = 0;
  int64_t nextBoundary = 0;  // boundary k falls on floor(k * 220.5)
  for (int64_t block = 0; block < 10000; ++block) {
    sendMidi(e, {{0, 0xB0, 7, static_cast<unsigned char>(block % 128)}});
    e->processReplacing(e, nullptr, out.channels, 64);
    // A boundary at the very end of a block is reached in that block.
    bool expected = false;
    while (441 * nextBoundary / 2 <= 64 * block + 64) {
      expected = true;
      ++nextBoundary;
    }
    ASSERT_EQ(engine.queue.count == 0, expected) << "block " << block;
    if (expected) {
      ++walks;
      ASSERT_EQ(engine.volume, static_cast<float>(block % 128) / 127.0f);
    }
  }
  EXPECT_EQ(walks, 640000 * 2 / 441 + 1);
  closeEffect(e);
}

TEST(RenderLoop, ProcessAddsToTheBuffersAndProcessReplacingOverwritesThem) {
  const int frames = 256;
  AEffect* writer = makeEffect();
  AEffect* junkWriter = createEffect(recordingCallback);
  AEffect* adder = createEffect(recordingCallback);
  for (AEffect* e : {writer, junkWriter, adder}) {
    startUp(e, 44100.0f, frames);
    sendMidi(e, {{5, 0x90, 64, 110}, {130, 0x90, 69, 90}});
  }
  float peak = 0.0f;
  for (int block = 0; block < 8; ++block) {
    Stereo written(frames), overwritten(frames, 1234.5f), added(frames);
    for (int i = 0; i < frames; ++i) {
      added.left[i] = std::sin(0.01f * static_cast<float>(i + block * frames));
      added.right[i] = 0.25f - added.left[i];
    }
    const Stereo prefill = added;
    writer->processReplacing(writer, nullptr, written.channels, frames);
    junkWriter->processReplacing(junkWriter, nullptr, overwritten.channels, frames);
    adder->process(adder, nullptr, added.channels, frames);
    EXPECT_EQ(written.left, overwritten.left);
    EXPECT_EQ(written.right, overwritten.right);
    for (int i = 0; i < frames; ++i) {
      ASSERT_EQ(added.left[i], prefill.left[i] + written.left[i]) << block << ":" << i;
      ASSERT_EQ(added.right[i], prefill.right[i] + written.right[i]) << block << ":" << i;
      peak = std::fmax(peak, std::fabs(written.left[i]));
    }
  }
  EXPECT_GT(peak, 1.0e-3f) << "the comparison needs a sounding instrument";
  for (AEffect* e : {writer, junkWriter, adder}) closeEffect(e);
}

TEST(RenderLoop, AsksTheHostForTempoOncePerBlock) {
  AEffect* e = makeEffect();
  startUp(e, 44100.0f, 512);
  const Engine& engine = engineOf(e);
  Stereo out(512);
  sendMidi(e, {{0, 0xB0, 7, 10}});
  VstTimeInfo time{};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    bool hasRecord;
    double tempo;
    float expected;
  };
  const Case cases[] = {{true, 90.0, 90.0f}, {false, 0.0, 120.0f}, {true, 133.5, 133.5f},
                        {true, nan, 120.0f}, {true, 0.0, 120.0f},  {true, -60.0, 120.0f}};
  for (int frames : {0, 1, 64, 512}) {
    for (const Case& c : cases) {
      time.tempo = c.tempo;
      host().timeInfo = c.hasRecord ? &time : nullptr;
      for (bool replacing : {true, false}) {
        host().count = 0;
        if (replacing)
          e->processReplacing(e, nullptr, out.channels, frames);
        else
          e->process(e, nullptr, out.channels, frames);
        ASSERT_EQ(host().count, 1) << frames;
        EXPECT_EQ(host().calls[0].opcode, audioMasterGetTime);
        EXPECT_EQ(host().calls[0].effect, e);
        EXPECT_EQ(host().calls[0].value, 0x600);
        EXPECT_EQ(engine.tempo, c.expected) << c.tempo;
      }
    }
    // Zero-frame blocks come first: they must leave the queued event alone.
    if (frames == 0) {
      EXPECT_EQ(engine.queue.count, 1);
    }
  }
  closeEffect(e);
}

class LampRecorder : public Instrument {
 public:
  using Instrument::Instrument;
  void notifyActivity(VstInt32 index, float value) override {
    calls.push_back({index, value, block});
  }
  struct Call {
    VstInt32 index;
    float value;
    int block;
  };
  std::vector<Call> calls;
  int block = 0;
};

TEST(RenderLoop, ActivityLampSwitchesOffOnceAfterTwoTenthsOfASecond) {
  host().reset();
  auto* lamp = new LampRecorder(recordingCallback);
  AEffect* e = lamp->getAeffect();
  startUp(e, 44100.0f, 64);
  const Engine& engine = lamp->engineState();
  Stereo out(64);
  int lastWalk = -1;
  int offTransitions = 0;
  for (lamp->block = 0; lamp->block < 400; ++lamp->block) {
    if (lamp->block < 10) sendMidi(e, {{0, 0xB0, 11, 100}});
    const int pending = engine.queue.count;
    const int shownBefore = engine.activityShown;
    e->processReplacing(e, nullptr, out.channels, 64);
    if (pending > 0 && engine.queue.count == 0) {
      lastWalk = lamp->block;
      EXPECT_EQ(engine.activityHold, 8820) << "trunc(0.2 * 44100) left after the block";
    }
    EXPECT_EQ(engine.activityShown, engine.activityHold);
    offTransitions += shownBefore != 0 && engine.activityShown == 0;
  }
  // Boundaries 0, 220, 441 and 661 fall in blocks 0, 3, 6 and 10; the events of blocks 7 to 9
  // wait for the last of them.
  ASSERT_EQ(lastWalk, 10);
  // trunc(0.2 * 44100) = 8820 frames of hold after the walk's block: 138 blocks of 64.
  const int offBlock = lastWalk + 138;
  EXPECT_EQ(offTransitions, 1);
  ASSERT_FALSE(lamp->calls.empty());
  int offCalls = 0;
  for (size_t i = 0; i < lamp->calls.size(); ++i) {
    const LampRecorder::Call& call = lamp->calls[i];
    EXPECT_EQ(call.index, -1);
    EXPECT_EQ(call.block, static_cast<int>(i)) << "one call per block while the lamp is lit";
    if (call.value == 0.0f) {
      ++offCalls;
      EXPECT_EQ(call.block, offBlock);
    } else {
      EXPECT_EQ(call.value, 1.0f);
      EXPECT_LT(call.block, offBlock);
    }
  }
  EXPECT_EQ(offCalls, 1);
  EXPECT_EQ(lamp->calls.back().block, offBlock);
  closeEffect(e);
}

TEST(RenderLoop, MidiProgramChangeSelectsAtItsTick) {
  AEffect* e = makeEffect();
  startUp(e, 44100.0f, 64);
  const Engine& engine = engineOf(e);
  Stereo out(64);
  e->processReplacing(e, nullptr, out.channels, 64);
  sendMidi(e, {{10, 0xC0, 5, 0}});
  host().count = 0;
  // Frames 64..191 hold no boundary; the next one is 220, in the block starting at 192.
  for (int block = 1; block <= 2; ++block) {
    e->processReplacing(e, nullptr, out.channels, 64);
    EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 0) << block;
  }
  e->processReplacing(e, nullptr, out.channels, 64);
  EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 5);
  for (int i = 0; i < kNumParameters; ++i)
    EXPECT_EQ(liveValueOf(e, i), kFactoryPrograms[5].values[i]) << i;

  sendMidi(e, {{0, 0xC0, 100, 0}});
  EXPECT_EQ(engine.queue.count, 0);
  for (int block = 0; block < 8; ++block) e->processReplacing(e, nullptr, out.channels, 64);
  EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 5);
  EXPECT_EQ(host().countOf(audioMasterGetTime), host().count)
      << "a program change sends nothing to the host";
  closeEffect(e);
}

}  // namespace
}  // namespace vorlak
