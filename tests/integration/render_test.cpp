// The render entries as a host sees them without notes: one time request per block, exact
// silence, accumulation onto the host's buffers and overwriting with processReplacing.
#include <cmath>

#include "tests/integration/plugin_fixture.h"

namespace vorlak::test {
namespace {

class Render : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = startVorlak();
    ASSERT_NE(plugin, nullptr);
    plugin->host().clearCalls();
  }
  std::unique_ptr<host::Plugin> plugin;
};

TEST_F(Render, EachBlockAsksForTheTimeOnce) {
  for (bool replacing : {true, false}) {
    for (int frames : {kBlock, 64, 1, 300, 0}) {
      plugin->host().clearCalls();
      GuardedOutput out(frames);
      out.fill(0.0f);
      plugin->render(out.outputs(), frames, replacing);
      ASSERT_EQ(plugin->host().calls.size(), 1u)
          << "frames " << frames << (replacing ? " replacing" : " accumulating");
      const host::HostCall& call = plugin->host().calls[0];
      EXPECT_EQ(call.opcode, audioMasterGetTime);
      EXPECT_EQ(call.value, kVstTempoValid | kVstPpqPosValid);
      EXPECT_EQ(call.value, 1536);
      EXPECT_EQ(call.index, 0);
      EXPECT_EQ(call.effect, plugin->effect());
    }
  }
}

TEST_F(Render, TimeRequestsCountBlocks) {
  constexpr int kBlocks = 40;
  for (int i = 0; i < kBlocks; ++i) plugin->render(kBlock, i % 2 == 0);
  EXPECT_EQ(plugin->host().count(audioMasterGetTime), kBlocks);
  EXPECT_EQ(plugin->host().calls.size(), static_cast<std::size_t>(kBlocks));
}

TEST_F(Render, WithoutNotesTheOutputIsExactlySilent) {
  // Two seconds, long enough to cross many ticks and every program's idle behaviour.
  const Rendered out = renderChecked(*plugin, 2 * static_cast<int>(kRate));
  EXPECT_EQ(peak(out.left), 0.0f);
  EXPECT_EQ(peak(out.right), 0.0f);
}

// Effects that run without strings (the phasers) may pass on the tiny constants added at
// filter inputs, far below anything audible.
TEST_F(Render, EveryProgramIsInaudibleWithoutNotes) {
  constexpr float kInaudible = 1e-6f;  // -120 dB
  for (VstIntPtr program = 0; program < 64; ++program) {
    plugin->setProgram(program);
    const Rendered out = renderChecked(*plugin, 16 * kBlock);
    EXPECT_LT(peak(out.left), kInaudible) << "program " << program;
    EXPECT_LT(peak(out.right), kInaudible) << "program " << program;
  }
}

TEST_F(Render, AccumulatingKeepsWhatTheHostPutThere) {
  GuardedOutput out(kBlock);
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kBlock; ++i) {
      out.channel(c)[i] = 0.5f * std::sin(0.05f * static_cast<float>(i) + static_cast<float>(c));
    }
  }
  const auto left = out.copy(0);
  const auto right = out.copy(1);
  for (int block = 0; block < 8; ++block) plugin->render(out.outputs(), kBlock, false);
  EXPECT_TRUE(out.guardsIntact());
  EXPECT_EQ(out.copy(0), left);
  EXPECT_EQ(out.copy(1), right);
}

TEST_F(Render, ReplacingOverwritesWhatTheHostPutThere) {
  GuardedOutput out(kBlock);
  out.fill(0.75f);
  plugin->render(out.outputs(), kBlock, true);
  EXPECT_TRUE(out.guardsIntact());
  EXPECT_EQ(out.copy(0), std::vector<float>(kBlock, 0.0f));
  EXPECT_EQ(out.copy(1), std::vector<float>(kBlock, 0.0f));
}

TEST_F(Render, AccumulatingAfterReplacingStillAccumulates) {
  // processReplacing raises a flag for one call only; a later process call must add again.
  plugin->render(kBlock, true);
  GuardedOutput out(kBlock);
  out.fill(0.25f);
  plugin->render(out.outputs(), kBlock, false);
  EXPECT_EQ(out.copy(0), std::vector<float>(kBlock, 0.25f));
  EXPECT_EQ(out.copy(1), std::vector<float>(kBlock, 0.25f));
}

// The comparisons below rely on a sounding phrase; before the engine makes sound they have
// nothing to compare.
TEST(RenderPhrase, SameEventsRenderTheSameSamplesInEveryInstance) {
  auto first = startVorlak();
  auto second = startVorlak();
  ASSERT_TRUE(first && second);
  const Rendered a = playPhrase(*first);
  if (silent(a)) GTEST_SKIP() << "the phrase makes no sound";
  const Rendered b = playPhrase(*second);
  EXPECT_TRUE(sameSamples(a.left, b.left));
  EXPECT_TRUE(sameSamples(a.right, b.right));
}

TEST(RenderPhrase, AccumulatingOntoSilenceEqualsReplacing) {
  auto reference = startVorlak();
  auto plugin = startVorlak();
  ASSERT_TRUE(reference && plugin);
  const Rendered expected = playPhrase(*reference);
  if (silent(expected)) GTEST_SKIP() << "the phrase makes no sound";
  Rendered got;
  renderEvents(*plugin, shortPhrase(), static_cast<int>(expected.left.size()), kBlock,
               [&](GuardedOutput& out, int) {
                 out.fill(0.0f);
                 plugin->render(out.outputs(), out.frames(), false);
                 EXPECT_TRUE(out.guardsIntact());
                 got.append(out);
               });
  EXPECT_TRUE(sameSamples(got.left, expected.left));
  EXPECT_TRUE(sameSamples(got.right, expected.right));
}

TEST(RenderPhrase, BlockSizeAndRateOpcodeLeavesTheEngineRate) {
  auto reference = startVorlak();
  ASSERT_NE(reference, nullptr);
  const Rendered expected = playPhrase(*reference);
  if (silent(expected)) GTEST_SKIP() << "the phrase makes no sound";

  auto plugin = startVorlak();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f), 1);
  const Rendered got = playPhrase(*plugin);
  EXPECT_TRUE(sameSamples(got.left, expected.left));
  EXPECT_TRUE(sameSamples(got.right, expected.right));

  // The comparison can see a rate change: the rate opcode itself alters the render.
  auto rerated = startVorlak();
  ASSERT_NE(rerated, nullptr);
  rerated->setSampleRate(96000.0f);
  EXPECT_NE(playPhrase(*rerated).left, expected.left);
}

}  // namespace
}  // namespace vorlak::test
