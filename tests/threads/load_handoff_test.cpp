// Loads made on a host's thread while the audio thread plays: every block is rendered wholly
// from one state or the other. A second instance, on the audio thread alone, loads the same
// state at the same block boundary and must render the same block.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "instrument/core.h"
#include "instrument/session_state.h"

namespace vorlak {
namespace {

constexpr int kFrames = 256;

struct NullListener final : RenderListener {
  void programChange(int) override {}
  void activityChanged(bool) override {}
};

std::vector<float> playBlock(InstrumentCore& core) {
  NullListener listener;
  core.resume();
  const MidiMessage note{0, 0x90, 52, 100};
  core.queueMidi(&note, 1);
  std::vector<float> out(2 * kFrames);
  core.render(out.data(), out.data() + kFrames, kFrames, true, Transport{120.0, true}, listener);
  return out;
}

// Program n made current and given the values; the state saved and the values played.
std::vector<uint8_t> stateWith(int n, std::vector<float>& played, std::vector<float> values) {
  auto core = std::make_unique<InstrumentCore>();
  core->switchProgram(n);
  for (int i = 0; i < static_cast<int>(values.size()); ++i) core->setParameter(i, values[i]);
  for (int i = 0; i < kNumParameters; ++i) played.push_back(core->liveValue(i));
  std::vector<uint8_t> bytes(kSessionStateSize);
  saveSessionState(*core, bytes.data());
  return bytes;
}

TEST(LoadHandoff, EveryBlockIsRenderedWhollyFromOneLoadedState) {
  std::vector<float> values[2];
  const std::vector<uint8_t> states[2] = {stateWith(5, values[0], {0.17f, 0.5f, 0.3f, 0.4f}),
                                          stateWith(9, values[1], {0.83f, 0.5f, 0.7f, 0.9f})};
  std::unique_ptr<InstrumentCore> cores[2];
  for (auto& core : cores) {
    core = std::make_unique<InstrumentCore>();
    ASSERT_TRUE(loadSessionState(*core, states[1].data(), states[1].size()));
    core->setBlockSize(kFrames);
  }
  InstrumentCore& played = *cores[0];
  InstrumentCore& replayed = *cores[1];
  played.setRendering(true);

  // Each load waits for a block to have started since the one before, so that both states
  // are played however the threads are scheduled.
  std::atomic<bool> loading{true}, stopped{false};
  std::atomic<int> blocks{0};
  std::thread loader([&] {
    for (int n = 0; n < 1000 && !stopped; ++n) {
      EXPECT_TRUE(loadSessionState(played, states[n % 2].data(), states[n % 2].size()));
      for (const int seen = blocks; blocks == seen && !stopped;) std::this_thread::yield();
      for (int k = n % 5; k > 0; --k) std::this_thread::yield();  // to land anywhere in a block
    }
    loading = false;
  });
  int replayedState = 1, fromEach[2] = {0, 0};
  for (bool last = false; !last;) {
    last = !loading;
    ++blocks;
    const std::vector<float> block = playBlock(played);
    std::vector<float> now;
    for (int i = 0; i < kNumParameters; ++i) now.push_back(played.liveValue(i));
    const int s = now == values[0] ? 0 : 1;
    EXPECT_EQ(now, values[s]) << "a block ends with a mixture of the two states' values";
    ++fromEach[s];
    if (s != replayedState) loadSessionState(replayed, states[s].data(), states[s].size());
    replayedState = s;
    EXPECT_EQ(block, playBlock(replayed)) << "a block is not rendered wholly from state " << s;
    if (HasFailure()) break;
  }
  stopped = true;
  loader.join();
  EXPECT_GT(fromEach[0], 0);
  playBlock(played);
  EXPECT_EQ(played.liveValue(3), values[1][3]) << "the last load applies";
  EXPECT_EQ(played.program(), 9);
}

}  // namespace
}  // namespace vorlak
