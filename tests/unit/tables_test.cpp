#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

#include "engine/engine.h"

namespace vorlak {
namespace {

std::unique_ptr<Engine> makeEngine(float rate) {
  auto e = std::make_unique<Engine>();
  std::memset(e.get(), 0, sizeof(Engine));
  engineSetup(*e, rate);
  return e;
}

TEST(Tables, CentsTableStepsByOneCentAroundUnity) {
  const auto e = makeEngine(44100.f);
  const float* cents = e->tables.cents();
  EXPECT_EQ(cents[0], 1.0f);
  EXPECT_NEAR(cents[63], 1.0370f, 1e-4f);
  EXPECT_NEAR(cents[-64], 0.9637f, 1e-4f);
  EXPECT_NEAR(cents[127], std::pow(1.00057779, 127), 1e-6);
  EXPECT_NEAR(cents[-127], std::pow(1.00057779, -127), 1e-6);
  for (int k = -127; k < 127; ++k) {
    EXPECT_NEAR(double(cents[k + 1]) / cents[k], 1.00057779, 1e-6) << k;
    EXPECT_NEAR(double(cents[k]) * cents[-k], 1.0, 1e-6) << k;
  }
}

TEST(Tables, PickupTableRepeatsSixRatiosAndScalesWithTheRate) {
  const auto e = makeEngine(44100.f);
  const float ratios[6] = {1.0f, 1.166f, 1.333f, 1.5f, 1.666f, 1.83319f};
  const float* table = e->tables.pickupTable;
  EXPECT_EQ(table[0], 1.0f);
  EXPECT_EQ(table[5], 1.83319f);
  EXPECT_EQ(table[126], 1.0f);
  EXPECT_EQ(table[127], 1.166f);
  for (int n = 0; n < 128; ++n) EXPECT_EQ(table[n], ratios[n % 6]) << n;
  EXPECT_FLOAT_EQ(e->inverseRate, 1.0f / 44100.f);

  rateChanged(*e, 88200.f);
  EXPECT_FLOAT_EQ(e->inverseRate, 1.0f / 88200.f);
  for (int n = 0; n < 128; ++n) EXPECT_FLOAT_EQ(table[n], 2.0f * ratios[n % 6]) << n;

  rateChanged(*e, 44100.f);
  EXPECT_FLOAT_EQ(e->inverseRate, 1.0f / 44100.f);
  for (int n = 0; n < 128; ++n) EXPECT_EQ(table[n], ratios[n % 6]) << n;
}

TEST(Tables, SineTableAndNoteLengths) {
  const auto e = makeEngine(44100.f);
  const float* sine = e->sineTable;
  ASSERT_NE(sine, nullptr);
  EXPECT_EQ(sine[0], 0.0f);
  EXPECT_EQ(sine[16384], 1.0f);
  // The step constant lies just below 2 pi, so the half-way entry is not quite at pi.
  EXPECT_GT(sine[32768], 0.0f);
  EXPECT_LT(sine[32768], 1e-5f);
  EXPECT_LT(sine[49152], -0.9999f);
  for (int i = 0; i < kSineTableSize; i += 997)
    EXPECT_NEAR(sine[i], std::sin(i * double(6.28318f) / 65536.0), 1e-6) << i;

  const float lengths[4] = {0.25f, 0.5f, 1.0f, 2.0f};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(e->tables.noteLengths[i], lengths[i]);
}

TEST(Tables, InstancesSetUpTogetherShareOneSineTable) {
  std::unique_ptr<Engine> a, b;
  std::thread first([&] { a = makeEngine(44100.f); });
  std::thread second([&] { b = makeEngine(48000.f); });
  first.join();
  second.join();
  ASSERT_NE(a->sineTable, nullptr);
  EXPECT_EQ(a->sineTable, b->sineTable);
  EXPECT_EQ(a->sineTable, sharedSineTable());
  EXPECT_EQ(a->sineTable[16384], 1.0f);
  EXPECT_NEAR(b->sineTable[8192], std::sin(8192 * double(6.28318f) / 65536.0), 1e-6);
}

TEST(Tables, SetupLeavesTheEngineIdle) {
  const auto e = makeEngine(44100.f);
  EXPECT_EQ(e->fretBend, 1.0f);
  EXPECT_EQ(e->volume, 1.0f);
  EXPECT_EQ(e->expression, 1.0f);
  EXPECT_EQ(e->glissando, 0.0f);
  EXPECT_EQ(e->silenceCount, 5);
  EXPECT_EQ(e->lastStyle, -1);
  EXPECT_EQ(e->feedbackReadPos, 0u);
  EXPECT_EQ(e->queue.count, 0);
  for (const QueuedEvent& slot : e->queue.slots) {
    EXPECT_EQ(slot.note, -1);
    EXPECT_EQ(slot.controller, -1);
  }
  for (const StringVoice& v : e->voices) {
    EXPECT_EQ(v.gate, 0.0f);
    EXPECT_EQ(v.releaseTime, 0.0f);
  }
}

}  // namespace
}  // namespace vorlak
