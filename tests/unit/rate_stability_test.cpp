// Every sample rate the instrument accepts keeps its filters stable, even with the settings
// that drive them hardest: full presence, feedback, drive and equaliser bands on each
// amplifier type, a loud chord held for a second, through each cabinet. A rate below the
// accepted range is ignored rather than taken.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "instrument/parameters.h"
#include "tests/unit/core_host.h"

namespace vorlak {
namespace {

using namespace testhost;

TEST(RateStability, HardestSettingsStayFiniteAtEveryRateAHostMaySend) {
  constexpr int kBlock = 256;
  for (float rate : {8000.0f, 11025.0f, 16000.0f, 22050.0f, 384000.0f}) {
    for (float ampType : {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f}) {
      for (float cabinet : {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f}) {
        CoreHost e(rate, kBlock);
        for (int index : {kPresence, kFeedback, kDrive, kEqLow, kEqMid, kEqHigh}) e.set(index, 1.0f);
        e.set(kCabType, cabinet);
        e.set(kAmpType, ampType);
        e.send({{0, 0x90, 40, 127}, {0, 0x90, 47, 127}, {0, 0x90, 52, 127}});
        std::vector<float> left(kBlock), right(kBlock);
        int nonFinite = 0;
        const int blocks = static_cast<int>(e.engine().sampleRate) / kBlock;
        for (int block = 0; block < blocks; ++block) {
          e.render(left.data(), right.data(), kBlock);
          for (int i = 0; i < kBlock; ++i)
            nonFinite += !std::isfinite(left[static_cast<size_t>(i)]) +
                         !std::isfinite(right[static_cast<size_t>(i)]);
        }
        EXPECT_EQ(nonFinite, 0) << "rate " << rate << ", amplifier " << ampType << ", cabinet "
                                << cabinet;
        EXPECT_GE(e.engine().sampleRate, 22050.0f) << rate;
      }
    }
  }
}

}  // namespace
}  // namespace vorlak
