// Audio as hosts deliver it: every common sample rate with every common block size, blocks
// split at random below the announced size, both entry points, outputs full of NaN before
// processReplacing, missing or NaN inputs, blocks larger than announced and rate changes while
// switched on; then every factory program playing a phrase and falling silent after it.
#include <random>

#include "tests/integration/validator_support.h"

namespace vorlak::test {
namespace {

class EveryRate : public ::testing::TestWithParam<std::size_t> {};

// Each combination plays a different program, so the 70 of them visit the whole bank.
TEST_P(EveryRate, EveryBlockSizeRendersCleanly) {
  const std::size_t rateIndex = GetParam();
  const float rate = validatorRates()[rateIndex];
  std::mt19937 random(static_cast<unsigned>(rateIndex) + 1u);
  for (std::size_t blockIndex = 0; blockIndex < validatorBlockSizes().size(); ++blockIndex) {
    const int block = validatorBlockSizes()[blockIndex];
    const auto program = static_cast<VstIntPtr>((rateIndex * 10 + blockIndex) % 64);
    SCOPED_TRACE(testing::Message()
                 << "rate " << rate << ", block " << block << ", program " << program);
    auto plugin = startVorlak(rate, block);
    ASSERT_NE(plugin, nullptr);
    plugin->setProgram(program);
    BlockRenderer renderer(*plugin);
    renderer.schedule(phraseFor(*plugin, rate, 0, 0.35));
    renderer.schedule(releaseLatch(*plugin, framesOf(0.35, rate)));
    renderer.untilRandomly(framesOf(0.5, rate), block, random);
    for (Entry entry : {Entry::Replacing, Entry::Accumulating, Entry::ReplacingNoInputs}) {
      renderer.block(2 * block + 1, entry);
    }
    EXPECT_TRUE(renderer.clean());
    EXPECT_GT(renderer.census().peak, 0.01f) << "the phrase did not sound";
  }
}

INSTANTIATE_TEST_SUITE_P(Validator, EveryRate, ::testing::Range<std::size_t>(0, 7),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(validatorRates()[info.param]));
                         });

// The host changes the rate without switching the instance off, with notes sounding.
TEST(ValidatorAudio, RateChangesWhileSwitchedOn) {
  auto plugin = startVorlak(44100.0f, 256);
  ASSERT_NE(plugin, nullptr);
  plugin->setProgram(9);
  BlockRenderer renderer(*plugin);
  std::mt19937 random(7);
  std::vector<float> rates = validatorRates();
  rates.insert(rates.end(), validatorRates().rbegin(), validatorRates().rend());
  for (float rate : rates) {
    plugin->setSampleRate(rate);
    const long start = renderer.position();
    renderer.schedule(phraseFor(*plugin, rate, start + 3, 0.08));
    renderer.untilRandomly(start + framesOf(0.1, rate), 256, random);
  }
  EXPECT_TRUE(renderer.clean());
  EXPECT_GT(renderer.census().peak, 0.01f);
}

// Blocks of every size up to eight times the announced one, through both entry points.
TEST(ValidatorAudio, BlocksLargerThanAnnounced) {
  for (int announced : {1, 16, 64, 512}) {
    SCOPED_TRACE(announced);
    auto plugin = startVorlak(48000.0f, announced);
    ASSERT_NE(plugin, nullptr);
    plugin->setProgram(42);
    BlockRenderer renderer(*plugin);
    renderer.schedule(phraseFor(*plugin, 48000.0f, 0, 0.2));
    for (int frames = announced + 1; frames <= 8 * announced + 1; frames += announced / 2 + 1) {
      renderer.block(frames, Entry::Replacing);
      renderer.block(frames, Entry::Accumulating);
    }
    renderer.until(framesOf(0.3, 48000.0f), 8 * announced + 3, Entry::Accumulating);
    EXPECT_TRUE(renderer.clean());
    EXPECT_GT(renderer.census().peak, 0.01f);
  }
}

// Every program plays its phrase and is released; five seconds later it must be below
// -120 dBFS. No program needs an exemption: the feedback delays and phasers of the bank decay
// (the phasers settle on the tiny constants their filters add, near -160 dBFS), and the
// latched programs are released with all-notes-off, since the latch holds notes by design.
class EveryProgram : public ::testing::TestWithParam<int> {};

constexpr int kProgramsPerGroup = 8;

TEST_P(EveryProgram, PlaysAPhraseAndFallsSilent) {
  std::mt19937 random(static_cast<unsigned>(GetParam()) + 100u);
  for (int program = GetParam() * kProgramsPerGroup; program < (GetParam() + 1) * kProgramsPerGroup;
       ++program) {
    auto plugin = startVorlak(kRate, 512);
    ASSERT_NE(plugin, nullptr);
    plugin->setProgram(program);
    SCOPED_TRACE(testing::Message() << "program " << program << " " << plugin->programName());
    BlockRenderer renderer(*plugin, true);
    const long released = framesOf(0.6, kRate);
    renderer.schedule(phraseFor(*plugin, kRate, 0, 0.6));
    renderer.schedule(releaseLatch(*plugin, released));
    const long silentFrom = released + framesOf(kTailDelaySeconds, kRate);
    renderer.untilRandomly(silentFrom + framesOf(0.25, kRate), 512, random);
    EXPECT_TRUE(renderer.clean());
    EXPECT_GT(renderer.census().peak, 0.01f) << "the phrase did not sound";
    EXPECT_LT(renderer.peakFrom(silentFrom), kTailLimit);
  }
}

INSTANTIATE_TEST_SUITE_P(Validator, EveryProgram, ::testing::Range(0, 64 / kProgramsPerGroup),
                         [](const auto& info) {
                           const int first = info.param * kProgramsPerGroup;
                           return "Programs" + std::to_string(first) + "To" +
                                  std::to_string(first + kProgramsPerGroup - 1);
                         });

// The latched programs also fall silent when the host switches the latch off instead.
TEST(ValidatorAudio, LatchedProgramsFallSilentWhenTheLatchIsSwitchedOff) {
  int latched = 0;
  for (int program = 0; program < 64; ++program) {
    auto plugin = startVorlak(kRate, 256);
    ASSERT_NE(plugin, nullptr);
    plugin->setProgram(program);
    if (!latchedProgram(*plugin)) continue;
    ++latched;
    SCOPED_TRACE(testing::Message() << "program " << program << " " << plugin->programName());
    BlockRenderer renderer(*plugin, true);
    const long released = framesOf(0.6, kRate);
    renderer.schedule(phraseFor(*plugin, kRate, 0, 0.6));
    renderer.until(released + 256, 256);
    plugin->setParameter(26, 0.0f);
    const long silentFrom = renderer.position() + framesOf(kTailDelaySeconds, kRate);
    renderer.until(silentFrom + framesOf(0.25, kRate), 256);
    EXPECT_TRUE(renderer.clean());
    EXPECT_LT(renderer.peakFrom(silentFrom), kTailLimit);
  }
  EXPECT_GT(latched, 0);
}

}  // namespace
}  // namespace vorlak::test
