// Loads made on a host's thread while the audio thread plays: every block is rendered wholly
// from one state or the other, never from a mixture. A second instance, on the audio thread
// alone, loads the same state at the same block boundary and must render the same block.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "instrument/core.h"
#include "instrument/session_state.h"

namespace vorlak {
namespace {

constexpr int kFrames = 64;

struct NullListener final : RenderListener {
  void programChange(int) override {}
  void activityChanged(bool) override {}
};

using Block = std::vector<float>;

Block playBlock(InstrumentCore& core) {
  NullListener listener;
  core.resume();
  const MidiMessage note{0, 0x90, 52, 100};
  core.queueMidi(&note, 1);
  Block out(2 * kFrames);
  core.render(out.data(), out.data() + kFrames, kFrames, true, Transport{120.0, true}, listener);
  return out;
}

struct State {
  std::vector<uint8_t> bytes;
  float values[kNumParameters];
};

State stateWith(int program, float strings, float pickup, float tone, float drive) {
  auto core = std::make_unique<InstrumentCore>();
  core->switchProgram(program);
  const float values[kNumParameters] = {strings, 0.5f, pickup, tone};
  for (int i = 0; i < kNumParameters; ++i) core->setParameter(i, values[i]);
  core->setParameter(13, drive);
  State state{std::vector<uint8_t>(kSessionStateSize), {}};
  saveSessionState(*core, state.bytes.data());
  for (int i = 0; i < kNumParameters; ++i) state.values[i] = core->liveValue(i);
  return state;
}

// Which state the instance plays with now: 0, 1, or -1 for a mixture.
int playedState(const InstrumentCore& core, const State (&states)[2]) {
  for (int s = 0; s < 2; ++s) {
    bool all = true;
    for (int i = 0; i < kNumParameters; ++i) all = all && core.liveValue(i) == states[s].values[i];
    if (all) return s;
  }
  return -1;
}

TEST(LoadHandoff, EveryBlockIsRenderedWhollyFromOneLoadedState) {
  const State states[2] = {stateWith(5, 0.1667f, 0.3f, 0.4f, 0.2f),
                           stateWith(9, 0.8333f, 0.7f, 0.9f, 0.7f)};
  auto played = std::make_unique<InstrumentCore>();
  auto replayed = std::make_unique<InstrumentCore>();
  for (InstrumentCore* core : {played.get(), replayed.get()}) {
    ASSERT_TRUE(loadSessionState(*core, states[1].bytes.data(), states[1].bytes.size()));
    core->setBlockSize(kFrames);
  }
  played->setRendering(true);

  std::atomic<bool> loading{true};
  std::thread loader([&] {
    for (int n = 0; n < 1000; ++n) {
      const State& state = states[n % 2];
      EXPECT_TRUE(loadSessionState(*played, state.bytes.data(), state.bytes.size()));
      std::this_thread::yield();
    }
    loading = false;
  });
  int blocks = 0, replayedState = 1, fromEach[2] = {0, 0};
  for (bool last = false; !last;) {
    last = !loading;
    const Block block = playBlock(*played);
    ++blocks;
    const int s = playedState(*played, states);
    if (s < 0) {
      ADD_FAILURE() << "block " << blocks << " ends with a mixture of the two states' values";
      break;
    }
    ++fromEach[s];
    if (s != replayedState) {
      loadSessionState(*replayed, states[s].bytes.data(), states[s].bytes.size());
      replayedState = s;
    }
    if (block != playBlock(*replayed)) {
      ADD_FAILURE() << "block " << blocks << " is not rendered wholly from state " << s;
      break;
    }
  }
  loader.join();
  EXPECT_GT(fromEach[0], 0);
  playBlock(*played);
  EXPECT_EQ(playedState(*played, states), 1) << "the last load applies";
  EXPECT_EQ(played->program(), 9);
}

}  // namespace
}  // namespace vorlak
