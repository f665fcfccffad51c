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
} listener;

std::vector<float> playBlock(InstrumentCore& core) {
  core.resume();
  const MidiMessage note{0, 0x90, 52, 100};
  core.queueMidi(&note, 1);
  std::vector<float> out(2 * kFrames);
  core.render(out.data(), out.data() + kFrames, kFrames, true, Transport{120.0, true}, listener);
  return out;
}

std::vector<float> liveValues(const InstrumentCore& core) {
  std::vector<float> values;
  for (int i = 0; i < kNumParameters; ++i) values.push_back(core.liveValue(i));
  return values;
}

TEST(LoadHandoff, EveryBlockIsRenderedWhollyFromOneLoadedState) {
  std::vector<uint8_t> states[2];
  std::vector<float> values[2];
  auto played = std::make_unique<InstrumentCore>(), replayed = std::make_unique<InstrumentCore>();
  for (int s : {0, 1}) {  // program 5 or 9 with other strings, pickup position and tone
    played->switchProgram(s ? 9 : 5);
    for (int i : {0, 2, 3}) played->setParameter(i, s ? 0.8f : 0.2f + 0.1f * i);
    values[s] = liveValues(*played);
    states[s].resize(kSessionStateSize);
    saveSessionState(*played, states[s].data());
  }
  ASSERT_TRUE(loadSessionState(*replayed, states[1].data(), states[1].size()));
  for (auto* core : {played.get(), replayed.get()}) core->setBlockSize(kFrames);
  played->setRendering(true);

  // Each load waits for a block to start, so that both states play however threads are run.
  std::atomic<bool> loading{true}, stopped{false};
  std::atomic<int> blocks{0};
  std::thread loader([&] {
    for (int n = 0; n < 1000 && !stopped; ++n) {
      EXPECT_TRUE(loadSessionState(*played, states[n % 2].data(), states[n % 2].size()));
      for (const int seen = blocks; blocks == seen && !stopped;) std::this_thread::yield();
      for (int k = n % 5; k > 0; --k) std::this_thread::yield();  // to land anywhere in a block
    }
    loading = false;
  });
  int replayedState = 1, blocksOfFirst = 0;
  for (bool last = false; !last;) {
    last = !loading;
    ++blocks;
    const std::vector<float> block = playBlock(*played);
    const int s = liveValues(*played) == values[0] ? 0 : 1;
    EXPECT_EQ(liveValues(*played), values[s]) << "a block ends with a mixture of two states";
    blocksOfFirst += s == 0;
    if (s != replayedState) loadSessionState(*replayed, states[s].data(), states[s].size());
    replayedState = s;
    EXPECT_EQ(block, playBlock(*replayed)) << "a block is not rendered wholly from state " << s;
    if (HasFailure()) break;
  }
  stopped = true;
  loader.join();
  EXPECT_GT(blocksOfFirst, 0);
  playBlock(*played);
  EXPECT_EQ(liveValues(*played), values[1]) << "the last load applies";
}

}  // namespace
}  // namespace vorlak
