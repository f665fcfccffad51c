// The ladder low-pass's cubic limit keeps a loud input finite and bounded, in both the
// clamped form the effects use and the unclamped form of the cabinet, at every cutoff and
// resonance they use; a quiet input passes the limit as the plain cubic.
#include <gtest/gtest.h>

#include <cmath>

#include "chain/ladder_filter.h"

namespace vorlak {
namespace {

TEST(LadderLimit, LoudInputStaysBoundedInBothForms) {
  for (bool unclamped : {false, true}) {
    for (float cutoff : {0.005f, 0.17f, 0.34f, 0.66f, 1.0f}) {
      for (float resonance : {0.0f, 0.6f, 0.75f, 1.0f}) {
        for (float level : {10.0f, 100.0f, 1e6f}) {
          LadderFilter ladder{};
          float peak = 0.0f;
          bool finite = true;
          for (int i = 0; i < 4000; ++i) {
            const float x = level * std::sin(0.05f * static_cast<float>(i));
            const float y = unclamped ? ladder.stepUnclamped(x, cutoff, resonance)
                                      : ladder.step(x, cutoff, resonance);
            finite = finite && std::isfinite(y);
            peak = std::fmax(peak, std::fabs(y));
          }
          EXPECT_TRUE(finite) << cutoff << " " << resonance << " " << level;
          // The limit holds the last stage within 3; the output scales it by about 4.
          EXPECT_LE(peak, 12.0f) << cutoff << " " << resonance << " " << level;
        }
      }
    }
  }
}

TEST(LadderLimit, QuietInputSeesThePlainCubic) {
  LadderFilter limited{};
  float y1 = 0, y2 = 0, y3 = 0, y4 = 0, oldX = 0, oldY1 = 0, oldY2 = 0, oldY3 = 0;
  const float cutoff = 0.3f, resonance = 0.5f;
  const float k = 3.6f * cutoff - 1.6f * (cutoff * cutoff) - 1.0f;
  const float p = (k + 1.0f) * 0.5f;
  for (int i = 0; i < 2000; ++i) {
    const float x = 0.8f * std::sin(0.02f * static_cast<float>(i));
    const float in = x - 2.0f * (resonance / (cutoff * 20000.0f + 5050.0f) * 12000.0f) * y4;
    y1 = (in + oldX) * p - k * y1;
    y2 = (y1 + oldY1) * p - k * y2;
    oldY1 = y1;
    y3 = (y2 + oldY2) * p - k * y3;
    oldY2 = y2;
    const float t = (y3 + oldY3) * p - k * y4;
    oldY3 = y3;
    y4 = t - t * t * t * 0.01667f;
    oldX = in;
    ASSERT_EQ(limited.step(x, cutoff, resonance), (40000.0f - cutoff) * y4 * 0.0001f) << i;
  }
}

}  // namespace
}  // namespace vorlak
