// Every sample rate the instrument accepts keeps its filters stable, even with the settings
// that drive them hardest: full presence, feedback, drive and equaliser bands on each
// amplifier type, a loud chord held for a second, through each cabinet. A rate below the
// accepted range is ignored rather than taken.
#include <gtest/gtest.h>

#include <cmath>

#include "instrument/parameters.h"
#include "tests/unit/test_host.h"

namespace vorlak {
namespace {

using namespace testhost;

TEST(RateStability, HardestSettingsStayFiniteAtEveryRateAHostMaySend) {
  constexpr int kBlock = 256;
  for (float rate : {8000.0f, 11025.0f, 16000.0f, 22050.0f, 384000.0f}) {
    for (float ampType : {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f}) {
      for (float cabinet : {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f}) {
        AEffect* e = makeEffect();
        ASSERT_NE(e, nullptr);
        startUp(e, rate, kBlock);
        for (VstInt32 index : {kPresence, kFeedback, kDrive, kEqLow, kEqMid, kEqHigh})
          e->setParameter(e, index, 1.0f);
        e->setParameter(e, kCabType, cabinet);
        e->setParameter(e, kAmpType, ampType);
        sendMidi(e, {{0, 0x90, 40, 127}, {0, 0x90, 47, 127}, {0, 0x90, 52, 127}});
        Stereo out(kBlock);
        int nonFinite = 0;
        const int blocks = static_cast<int>(engineOf(e).sampleRate) / kBlock;
        for (int block = 0; block < blocks; ++block) {
          e->processReplacing(e, nullptr, out.channels, kBlock);
          for (int i = 0; i < kBlock; ++i)
            nonFinite += !std::isfinite(out.left[static_cast<size_t>(i)]) +
                         !std::isfinite(out.right[static_cast<size_t>(i)]);
        }
        EXPECT_EQ(nonFinite, 0) << "rate " << rate << ", amplifier " << ampType << ", cabinet "
                                << cabinet;
        EXPECT_GE(engineOf(e).sampleRate, 22050.0f) << rate;
        closeEffect(e);
      }
    }
  }
}

}  // namespace
}  // namespace vorlak
