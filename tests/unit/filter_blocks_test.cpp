#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "chain/biquad.h"
#include "chain/hilbert_shifter.h"
#include "chain/ladder_filter.h"
#include "chain/state_variable.h"
#include "chain/table_sin.h"
#include "engine/tables.h"

namespace vorlak {
namespace {

// The blocks live inline in the engine's records, which are cleared and copied as bytes.
static_assert(std::is_trivially_copyable_v<BiquadBank> &&
              std::is_trivially_copyable_v<LadderFilter> &&
              std::is_trivially_copyable_v<StateVariable> &&
              std::is_trivially_copyable_v<HilbertShifter>);

constexpr double kPi = 3.14159265358979323846;

struct Tone {
  double amplitude;
  double phaseDeg;  // relative to a sine starting at sample 0
};

// Least-squares fit of a·sin + b·cos at freqHz to y from sample `start` on; exact for a
// steady sine whatever the window length.
Tone fitTone(const std::vector<double>& y, double freqHz, double rate, size_t start) {
  const double w = 2.0 * kPi * freqHz / rate;
  double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
  for (size_t n = start; n < y.size(); ++n) {
    const double s = std::sin(w * n), c = std::cos(w * n);
    ss += s * s, cc += c * c, sc += s * c, ys += y[n] * s, yc += y[n] * c;
  }
  const double det = ss * cc - sc * sc;
  const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
  return {std::hypot(a, b), std::atan2(b, a) * 180.0 / kPi};
}

// Steady-state response of process (float -> float) to a sine of the given amplitude:
// a quarter second to settle, a quarter second measured.
template <class Process>
Tone respond(Process process, double freqHz, double rate, double amplitude = 1.0) {
  const size_t quarter = static_cast<size_t>(rate / 4);
  std::vector<double> y(2 * quarter);
  for (size_t n = 0; n < y.size(); ++n)
    y[n] = process(static_cast<float>(amplitude * std::sin(2.0 * kPi * freqHz * n / rate)));
  Tone t = fitTone(y, freqHz, rate, quarter);
  t.amplitude /= amplitude;
  return t;
}

double db(double gain) { return 20.0 * std::log10(gain); }

constexpr float kButterworth = -1;  // stands for the bandwidth that gives Q = 1/sqrt(2)

Tone biquadTone(BiquadType type, float gainDb, float freqHz, float bandwidth, double rate,
                double probeHz) {
  if (bandwidth == kButterworth) {  // the cookbook's 1/Q = 2·sinh(ln2/2 · BW · w0/sin w0)
    const double w0 = 2.0 * kPi * freqHz / rate;
    bandwidth = static_cast<float>(2.0 * std::asinh(std::sqrt(0.5)) / std::log(2.0) *
                                   std::sin(w0) / w0);
  }
  Biquad bq{};
  designBiquad(bq, type, gainDb, freqHz, static_cast<float>(rate), bandwidth);
  return respond([&](float x) { return bq.step(x); }, probeHz, rate);
}

struct BiquadCase {
  BiquadType type;
  float gainDb, freqHz, bandwidth;
  double probeHz, expectDb, toleranceDb;  // expectDb > 0 with tolerance 0: "below -expectDb"
};

TEST(Biquad, EachTypeHasItsGainAtTheDesignFrequencyAndFarFromIt) {
  using T = BiquadType;
  const double lowEdge = 1000 / std::sqrt(2.0), highEdge = 1000 * std::sqrt(2.0);
  const BiquadCase cases[] = {
      {T::Peaking, 10, 1000, 1.5f, 1000, 10, 0.01},
      {T::Peaking, -10, 1000, 1.5f, 1000, -10, 0.01},
      {T::Peaking, 10, 1000, 1.5f, 30, 0, 0.1},
      {T::Peaking, 10, 1000, 1.5f, 15000, 0, 0.1},
      // Shelves: full gain on their side, half of it (in dB) at the corner, 0 dB beyond;
      // slope 1 is the steepest without overshoot, within 1 dB an octave from the corner.
      {T::LowShelf, 10, 500, 0, 20, 10, 0.1},
      {T::LowShelf, 10, 500, 0, 250, 10, 1.0},
      {T::LowShelf, 10, 500, 0, 500, 5, 0.01},
      {T::LowShelf, 10, 500, 0, 1000, 0, 1.0},
      {T::LowShelf, 10, 500, 0, 15000, 0, 0.1},
      {T::HighShelf, -8, 2500, 0, 20, 0, 0.1},
      {T::HighShelf, -8, 2500, 0, 1250, 0, 1.0},
      {T::HighShelf, -8, 2500, 0, 2500, -4, 0.01},
      {T::HighShelf, -8, 2500, 0, 5000, -8, 1.0},
      {T::HighShelf, -8, 2500, 0, 20000, -8, 0.2},
      {T::LowPass, 0, 1000, kButterworth, 1000, -3.01, 0.02},
      {T::LowPass, 0, 1000, kButterworth, 50, 0, 0.01},
      {T::LowPass, 0, 1000, kButterworth, 10000, 38, 0},
      {T::HighPass, 0, 1000, kButterworth, 1000, -3.01, 0.02},
      {T::HighPass, 0, 1000, kButterworth, 15000, 0, 0.01},
      {T::HighPass, 0, 1000, kButterworth, 100, 38, 0},
      // One octave wide: the -3 dB points lie half an octave either side of the centre.
      {T::BandPass, 0, 1000, 1, 1000, 0, 0.01},
      {T::BandPass, 0, 1000, 1, lowEdge, -3.01, 0.05},
      {T::BandPass, 0, 1000, 1, highEdge, -3.01, 0.05},
      {T::BandPass, 0, 1000, 1, 50, 20, 0},
      {T::Notch, 0, 1000, 1, 1000, 60, 0},
      {T::Notch, 0, 1000, 1, lowEdge, -3.01, 0.05},
      {T::Notch, 0, 1000, 1, 50, 0, 0.05},
      {T::Notch, 0, 1000, 1, 15000, 0, 0.05},
  };
  for (double rate : {44100.0, 96000.0}) {
    for (const BiquadCase& c : cases) {
      SCOPED_TRACE(testing::Message() << rate << " Hz rate, type " << static_cast<int>(c.type)
                                      << ", probe " << c.probeHz << " Hz");
      const double gain =
          db(biquadTone(c.type, c.gainDb, c.freqHz, c.bandwidth, rate, c.probeHz).amplitude);
      if (c.toleranceDb == 0)
        EXPECT_LT(gain, -c.expectDb);
      else
        EXPECT_NEAR(gain, c.expectDb, c.toleranceDb);
    }
    // Second-order low and high passes are in quadrature with the input at cutoff.
    EXPECT_NEAR(biquadTone(T::LowPass, 0, 1000, kButterworth, rate, 1000).phaseDeg, -90, 0.2);
    EXPECT_NEAR(biquadTone(T::HighPass, 0, 1000, kButterworth, rate, 1000).phaseDeg, 90, 0.2);
    for (double hz = 20; hz < 20000; hz *= 1.12) {
      const double shelf = db(biquadTone(T::LowShelf, 10, 500, 0, rate, hz).amplitude);
      EXPECT_TRUE(shelf > -0.01 && shelf < 10.01) << shelf << " dB at " << hz << " Hz";
    }
  }
}

TEST(Biquad, EqBandsOfTheBankAreFlatAtTheirMidSettingAndKeepTheirOwnDesigns) {
  const float midGainDb = 0.5f * 20.0f - 10.0f;
  for (double rate : {44100.0, 96000.0}) {
    SCOPED_TRACE(rate);
    BiquadBank bank{};
    const float fs = static_cast<float>(rate);
    bank.designBiquad(BiquadType::LowShelf, midGainDb, 500, fs, 0, 0);
    bank.designBiquad(BiquadType::Peaking, midGainDb, 1000, fs, 1.5f, 1);
    bank.designBiquad(BiquadType::HighShelf, midGainDb, 2500, fs, 0, 2);
    auto eq = [&](float x) { return bank.runBiquad(bank.runBiquad(bank.runBiquad(x, 0), 1), 2); };
    for (double hz : {20.0, 60.0, 200.0, 500.0, 1000.0, 2500.0, 6000.0, 12000.0, 20000.0})
      EXPECT_NEAR(db(respond(eq, hz, rate).amplitude), 0.0, 0.01) << hz << " Hz";
    bank.designBiquad(BiquadType::Peaking, 10, 1000, fs, 1.5f, 1);
    EXPECT_NEAR(db(respond(eq, 1000, rate).amplitude), 10.0, 0.01);
  }
}

TEST(StateVariable, LowPassesDcAndTheBandPeaksAtItsFrequency) {
  const double rate = 44100.0;
  const float f = static_cast<float>(2.0 * std::sin(kPi * 1000.0 / rate));
  const float damping = 0.1f;
  StateVariable dc{};
  for (int n = 0; n < 40000; ++n) dc.step(0.25f, f, damping);
  EXPECT_NEAR(dc.low, 0.25f, 1e-4);
  EXPECT_NEAR(dc.band, 0.0f, 1e-4);

  auto bandGainDb = [&](double hz) {
    StateVariable svf{};
    auto band = [&](float x) { svf.step(x, f, damping); return svf.band; };
    return db(respond(band, hz, rate).amplitude);
  };
  // The band's peak gain is 1/damping, at the frequency the coefficient was made for.
  const double peak = bandGainDb(1000.0);
  EXPECT_NEAR(peak, db(1.0 / damping), 0.05);
  EXPECT_LT(bandGainDb(970.0), peak - 0.5);
  EXPECT_LT(bandGainDb(1030.0), peak - 0.5);
}

double ladderGain(float cutoff, float resonance, double hz) {
  LadderFilter ladder{};
  auto step = [&](float x) { return ladder.step(x, cutoff, resonance); };
  return respond(step, hz, 44100, 0.01).amplitude;  // small enough to skip the soft limit
}

TEST(LadderFilter, StagesAreUnityGainOnePolesAndTheOutputIsScaledByAboutFour) {
  for (float cutoff : {0.02f, 0.25f, 1.0f}) {
    SCOPED_TRACE(cutoff);
    LadderFilter plain{}, resonant{};
    float y = 0, yResonant = 0;
    for (int n = 0; n < 40000; ++n) {
      y = plain.step(0.01f, cutoff, 0.0f);
      yResonant = resonant.step(0.01f, cutoff, 0.5f);
    }
    const double scale = (40000.0 - cutoff) * 0.0001;
    EXPECT_NEAR(y / 0.01, scale, 1e-4 * scale);
    // At DC the feedback subtracts the output from the input: gain = scale / (1 + feedback).
    const double feedback = 2.0 * 0.5 / (cutoff * 20000.0 + 5050.0) * 12000.0;
    EXPECT_NEAR(yResonant / 0.01, scale / (1.0 + feedback), 1e-3 * scale);
  }
  // Cutoff 0.25 gives each stage k = -0.2: a bilinear one-pole whose corner, where
  // tan(w/2) = (1 + k)/(1 - k) = 2/3, lies at 8254 Hz (44.1 kHz); cutoff 0.05 gives
  // k = -0.824 and 1350 Hz. There each stage is 3 dB down, the four together 12 dB.
  EXPECT_NEAR(db(ladderGain(0.25f, 0, 8254.0) / ladderGain(0.25f, 0, 20)), -12.04, 0.05);
  EXPECT_NEAR(db(ladderGain(0.05f, 0, 1350.3) / ladderGain(0.05f, 0, 20)), -12.04, 0.05);
}

TEST(LadderFilter, ResonanceRaisesAPeakThatFollowsTheCutoff) {
  struct Peak {
    double gain = 0, hz = 0;
  };
  auto sweepPeak = [](float cutoff, float resonance) {
    Peak peak;
    for (double hz = 20; hz < 20000; hz *= 1.03) {
      const double g = ladderGain(cutoff, resonance, hz);
      if (g > peak.gain) peak = {g, hz};
    }
    return peak;
  };
  const Peak plain = sweepPeak(0.05f, 0.0f);
  EXPECT_LT(plain.hz, 30.0);  // without resonance the response only falls
  const Peak low = sweepPeak(0.05f, 0.75f), high = sweepPeak(0.25f, 0.75f);
  EXPECT_GT(low.gain, 4.0 * ladderGain(0.05f, 0.0f, low.hz));  // 12 dB over the plain filter
  EXPECT_GT(low.gain, 2.0 * plain.gain);                       // and above its pass band
  EXPECT_GT(high.hz, 3.0 * low.hz);
}

TEST(LadderFilter, StaysBoundedAtFullResonanceWithFullScaleInput) {
  // The last stage's soft limit t - 0.01667·t³ never exceeds about 2.98; four times that
  // at the output. Cutoffs above 1 act as 1 in the stages.
  for (float cutoff : {0.01f, 0.05f, 0.25f, 0.5f, 1.0f, 3.0f}) {
    LadderFilter noiseLadder{}, squareLadder{};
    uint32_t seed = 1;
    float largest = 0;
    for (int n = 0; n < 100000; ++n) {
      seed = seed * 1664525u + 1013904223u;
      const float noise = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
      const float square = (n / 110) % 2 ? 1.0f : -1.0f;
      largest = std::fmax(largest, std::fabs(noiseLadder.step(noise, cutoff, 1.0f)));
      largest = std::fmax(largest, std::fabs(squareLadder.step(square, cutoff, 1.0f)));
    }
    EXPECT_TRUE(largest > 0.5f && largest <= 4.0f * 2.99f) << largest << " at " << cutoff;
  }
}

TEST(HilbertShifter, ChainsStayInQuadratureAcrossTheAudioBand) {
  for (double hz = 50.0; hz <= 15000.0; hz *= 1.1) {
    SCOPED_TRACE(hz);
    HilbertShifter shifter{};
    std::vector<double> a(22050), b(22050);
    for (size_t n = 0; n < a.size(); ++n) {
      float outA, outB;
      shifter.quadrature(static_cast<float>(std::sin(2.0 * kPi * hz * n / 44100)), outA, outB);
      a[n] = outA, b[n] = outB;
    }
    const Tone toneA = fitTone(a, hz, 44100, 11025), toneB = fitTone(b, hz, 44100, 11025);
    EXPECT_NEAR(toneA.amplitude, 1.0, 1e-3);  // all-pass
    EXPECT_NEAR(toneB.amplitude, 1.0, 1e-3);
    EXPECT_NEAR(std::remainder(toneB.phaseDeg - toneA.phaseDeg, 360.0), -90.0, 3.0);
  }
}

TEST(HilbertShifter, ShiftsAToneUpByThePhaseRate) {
  const double rate = 44100.0;
  HilbertShifter shifter{};
  float phase = 0;
  std::vector<double> y(2 * 44100);
  for (size_t n = 0; n < y.size(); ++n) {
    const float x = static_cast<float>(0.5 * std::sin(2.0 * kPi * 1000.0 * n / rate));
    y[n] = shifter.step(x, phase, sharedSineTable());
    trianglePhaseAdvance(phase, static_cast<float>(100.0 / rate));
  }
  // Over the last whole second every integer frequency is orthogonal to the others.
  double power = 0;
  for (size_t n = 44100; n < y.size(); ++n) power += y[n] * y[n] / 44100.0;
  auto level = [&](double hz) { return fitTone(y, hz, rate, 44100).amplitude; };
  const double up = level(1100.0);
  EXPECT_NEAR(up, 0.5, 0.01);
  EXPECT_GT(up * up / 2.0, 0.99 * power);  // the shifted tone carries nearly all the power
  EXPECT_LT(db(level(900.0) / up), -25.0);
  EXPECT_LT(db(level(1000.0) / up), -25.0);
}

TEST(TableSin, FollowsTheSineWithinTableResolutionAndIsOddForNegativeAngles) {
  const float* table = sharedSineTable();
  for (double angle = -6.28; angle <= 6.28; angle += 0.001) {
    const float x = static_cast<float>(angle);
    EXPECT_NEAR(tableSin(table, x), std::sin(x), 4e-4) << angle;
    // A negative angle reads the upper half of the table, one turn on.
    EXPECT_NEAR(tableSin(table, -x), -tableSin(table, x), 2e-5) << angle;
  }
}

TEST(TrianglePhase, WrapsOncePerCycleAndPeaksAtTheWrap) {
  float phase = 0, previous = 0;
  int wraps = 0;
  for (int n = 0; n < 1000; ++n) {
    const float p = trianglePhaseAdvance(phase, 0.0123f);
    ASSERT_TRUE(p >= 0.0f && p < 1.0f && p == phase) << p;
    wraps += p < previous;
    previous = p;
  }
  EXPECT_EQ(wraps, 12);  // 1000 · 0.0123 = 12.3 cycles
  EXPECT_EQ(triangleShape(0.0f), 1.0f);
  EXPECT_EQ(triangleShape(0.5f), 0.0f);
  EXPECT_EQ(triangleShape(0.25f), 0.5f);
  EXPECT_EQ(triangleShape(0.75f), 0.5f);
}

}  // namespace
}  // namespace vorlak
