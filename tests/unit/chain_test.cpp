#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <vector>

#include "chain/amplifier.h"
#include "chain/cabinet.h"
#include "chain/signal_chain.h"
#include "engine/engine.h"
#include "instrument/parameters.h"
#include "tests/unit/audio_measure.h"
#include "tests/unit/core_host.h"

namespace vorlak {
namespace {

using namespace testhost;
constexpr double kPi = 3.14159265358979323846;

// An engine and a chain wired as the render loop wires them, with a string mix supplied by
// the test: "Dry" amplifier, flat EQ, "Drive" 0.5, "Dry" cabinet, no effect.
struct ChainRig {
  std::unique_ptr<Engine> e = std::make_unique<Engine>();
  std::unique_ptr<Chain> c = std::make_unique<Chain>();
  float rate;
  float values[kNumParameters] = {};

  explicit ChainRig(float fs) : rate(fs) {
    std::memset(e.get(), 0, sizeof *e);
    engineSetup(*e, fs);
    resetChain(*c, fs);
    for (int i : {kDrive, kPresence, kEqLow, kEqMid, kEqHigh}) values[i] = 0.5f;
    e->stringsActive = 1;
    e->feedbackDrive = 1.0f;
  }
  float& param(int index) { return values[index]; }
  Patch patch() const { return decodePatch(values); }

  // Runs x through the chain in calls of 256 frames; returns the left channel.
  std::vector<float> run(const std::vector<float>& x) {
    std::vector<float> left(x), right(x);
    for (size_t at = 0; at < x.size(); at += 256) {
      const int n = static_cast<int>(std::min<size_t>(256, x.size() - at));
      processChain(*c, *e, patch(), left.data(), right.data(), static_cast<int>(at), n);
    }
    return left;
  }
};

std::vector<float> sine(double hz, double rate, double seconds, double amplitude = 0.25) {
  std::vector<float> x(static_cast<size_t>(seconds * rate));
  for (size_t n = 0; n < x.size(); ++n)
    x[n] = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * n / rate));
  return x;
}

std::vector<float> noise(size_t n, uint32_t seed, float amplitude) {
  std::vector<float> x(n);
  for (float& v : x) {
    seed = seed * 1664525u + 1013904223u;
    v = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
  }
  return x;
}

// Amplitude of the hz component of y over its second half, by least squares.
double amplitudeAt(const std::vector<float>& y, double hz, double rate) {
  const double w = 2.0 * kPi * hz / rate;
  double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
  for (size_t n = y.size() / 2; n < y.size(); ++n) {
    const double s = std::sin(w * n), c = std::cos(w * n);
    ss += s * s, cc += c * c, sc += s * c, ys += y[n] * s, yc += y[n] * c;
  }
  const double det = ss * cc - sc * sc;
  return std::hypot((ys * cc - yc * sc) / det, (yc * ss - ys * sc) / det);
}

// Response at hz of the published cookbook shelf with slope 1, in double precision.
std::complex<double> cookbookShelf(bool high, double gainDb, double f0, double rate, double hz) {
  const double A = std::pow(10.0, gainDb / 40.0), w0 = 2.0 * kPi * f0 / rate;
  const double cw = std::cos(w0), k = 2.0 * std::sqrt(A) * std::sin(w0) / std::sqrt(2.0);
  const double s = high ? -1.0 : 1.0;  // the high shelf mirrors the signs of the cosine terms
  const double b0 = A * ((A + 1) - s * (A - 1) * cw + k),
               b1 = s * 2 * A * ((A - 1) - s * (A + 1) * cw);
  const double b2 = A * ((A + 1) - s * (A - 1) * cw - k), a0 = (A + 1) + s * (A - 1) * cw + k;
  const double a1 = -s * 2 * ((A - 1) + s * (A + 1) * cw), a2 = (A + 1) + s * (A - 1) * cw - k;
  const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * hz / rate);
  return (b0 + b1 * z1 + b2 * z1 * z1) / (a0 + a1 * z1 + a2 * z1 * z1);
}

// Gain the document gives for "Dry"/"Dry" at the mid settings: 1.05 times the input high-pass,
// then the two voicing shelves, the output high-pass and the output gain 1.3.
double expectedDryGain(double hz, double rate) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * hz / rate);
  const std::complex<double> highpass = 0.995 * (1.0 - z1) / (1.0 - 0.995 * z1);
  const double top = rate < 24000 ? 0.4 * rate : 12000.0;
  return std::abs(1.05 * 1.3 * highpass * highpass * cookbookShelf(false, 10, 90, rate, hz) *
                  cookbookShelf(true, 8, top, rate, hz));
}

double ratioDb(double measured, double expected) { return 20.0 * std::log10(measured / expected); }

TEST(ChainLevels, DryAmpAndDryCabinetScaleByOnePointZeroFiveBeforeTheVoicing) {
  const struct {
    float rate;
    std::vector<double> hz;
  } cases[] = {{22050.f, {200, 1000, 4000, 8820}},
               {44100.f, {60, 150, 1000, 5000, 12000, 17640}},
               {48000.f, {1000, 12000}},
               {96000.f, {1000, 12000, 30000}}};
  for (const auto& c : cases) {
    for (double hz : c.hz) {
      ChainRig rig(c.rate);
      const std::vector<float> y = rig.run(sine(hz, c.rate, 0.5));
      EXPECT_NEAR(ratioDb(amplitudeAt(y, hz, c.rate) / 0.25, expectedDryGain(hz, c.rate)), 0, 0.02)
          << hz << " Hz at " << c.rate;
    }
  }

  // Drive, the EQ compensation and the output gain scale the same tone by their factors.
  const std::vector<float> tone = sine(1000, 44100, 0.5);
  auto gainWith = [&](auto&& set) {
    ChainRig rig(44100.f);
    set(rig);
    return amplitudeAt(rig.run(tone), 1000, 44100);
  };
  const double base = gainWith([](ChainRig&) {});
  EXPECT_NEAR(gainWith([](ChainRig& r) { r.param(kDrive) = 1.f; }) / base, 1.5, 1e-4);
  EXPECT_NEAR(gainWith([](ChainRig& r) { r.param(kDrive) = 0.f; }) / base, 0.5, 1e-4);
  EXPECT_NEAR(gainWith([](ChainRig& r) { r.e->volume = 0.5f, r.e->expression = 0.8f; }) / base, 0.4,
              1e-4);
  // "EQ mid" 1: K = 0.75 and +10 dB at the 1 kHz centre of the peaking band.
  EXPECT_NEAR(gainWith([](ChainRig& r) { r.param(kEqMid) = 1.f; }) / base,
              0.75 * std::pow(10.0, 0.5), 2e-3);

  // Option thresholds: 0.25 still decodes as the first type, 0.26 as the second.
  const std::vector<float> x = noise(4096, 7, 0.3f);
  auto outWith = [&](float amp, float cab) {
    ChainRig rig(44100.f);
    rig.param(kAmpType) = amp, rig.param(kCabType) = cab;
    return rig.run(x);
  };
  const std::vector<float> dry = outWith(0.f, 0.f);
  EXPECT_EQ(outWith(0.25f, 0.25f), dry);
  EXPECT_NE(outWith(0.f, 0.26f), dry);
  EXPECT_EQ(outWith(0.f, 0.26f), outWith(0.f, 0.5f));  // both "British"
  EXPECT_NE(outWith(0.f, 0.51f), outWith(0.f, 0.5f));  // "Combo"
  EXPECT_EQ(outWith(1.f, 0.f), outWith(0.76f, 0.f));   // both "Bandpass"
}

TEST(ChainParts, ClipperReflectionDistancesAndDerivedGains) {
  const float* table = sharedSineTable();
  // The table's 6.28318 makes the negative side a few millionths larger than the positive.
  const float top = std::fmax(softClip(table, 1.f), -softClip(table, -1.f));
  EXPECT_NEAR(softClip(table, 1.f), std::sin(0.785), 1e-4);
  for (float v : {1.0001f, 1.5f, 3.f, 1e3f, 1e30f}) {
    EXPECT_EQ(softClip(table, v), softClip(table, 1.f)) << v;
    EXPECT_EQ(softClip(table, -v), softClip(table, -1.f)) << v;
  }
  EXPECT_NEAR(softClip(table, -1.f), -std::sin(0.785), 1e-4);
  float previous = softClip(table, -2.f);
  for (float v = -2.f; v <= 2.f; v += 1.f / 512) {
    const float s = softClip(table, v);
    EXPECT_GE(s, previous) << v;
    EXPECT_LE(std::fabs(s), top) << v;
    EXPECT_NEAR(s, std::sin(0.785 * std::fmax(-1.0, std::fmin(1.0, v))), 2e-4) << v;
    previous = s;
  }

  const struct {
    float rate;
    uint32_t frames[4];
  } distances[] = {
      {44100.f, {19, 63, 31, 47}}, {48000.f, {21, 69, 34, 52}}, {96000.f, {43, 139, 69, 104}}};
  for (const auto& d : distances)
    for (int m = 0; m < 4; ++m)
      EXPECT_EQ(reflectionDistance(cabinetModel(m).reflectionFrames, d.rate), d.frames[m])
          << "model " << m << " at " << d.rate;

  float v[kNumParameters] = {};
  auto settingsWith = [&](float drive, float eq) {
    v[kDrive] = drive;
    v[kEqLow] = v[kEqMid] = v[kEqHigh] = eq;
    return ampSettings(decodePatch(v), 1.f / 44100.f);
  };
  EXPECT_EQ(settingsWith(0.5f, 0.5f).compensation, 1.f);
  EXPECT_EQ(settingsWith(0.5f, 0.5f).drive * 3.f, 1.5f);
  EXPECT_FLOAT_EQ(settingsWith(0.f, 0.f).compensation, 1.75f);
  EXPECT_FLOAT_EQ(settingsWith(1.f, 1.f).compensation, 0.25f);
  EXPECT_FLOAT_EQ(settingsWith(0.f, 0.5f).stageGain, 3.f);
  EXPECT_FLOAT_EQ(settingsWith(1.f, 0.5f).stageGain, 19.f);
}

// Byte image of a chain with the biquad coefficients blanked, as they are redesigned per call.
std::vector<unsigned char> stateBytes(const Chain& chain) {
  auto copy = std::make_unique<Chain>();
  std::memcpy(copy.get(), &chain, sizeof chain);
  for (Biquad& b : copy->biquads.slots) b.b0 = b.b1 = b.b2 = b.a1 = b.a2 = 0.f;
  const auto* p = reinterpret_cast<const unsigned char*>(copy.get());
  return {p, p + sizeof chain};
}

TEST(ChainIdle, WithoutStringsTheBuffersPassAndTheStatesStandStill) {
  for (float amp : {0.f, 0.34f, 0.67f, 1.f}) {
    ChainRig idle(44100.f), twin(44100.f);
    for (ChainRig* r : {&idle, &twin}) {
      r->param(kAmpType) = amp, r->param(kCabType) = 0.4f, r->param(kFeedback) = 1.f;
      r->run(noise(2000, 3, 0.5f));
    }
    const std::vector<unsigned char> before = stateBytes(*idle.c);
    const std::vector<float> ringBefore(idle.e->feedbackRing, idle.e->feedbackRing + kLineSize);

    idle.e->stringsActive = 0;
    const std::vector<float> inL = noise(300, 11, 0.4f), inR = noise(300, 12, 0.4f);
    std::vector<float> left(inL), right(inR);
    processChain(*idle.c, *idle.e, idle.patch(), left.data(), right.data(), 0, 300);
    EXPECT_EQ(left, inL) << amp;
    EXPECT_EQ(right, inR) << amp;
    EXPECT_EQ(stateBytes(*idle.c), before) << amp;
    EXPECT_EQ(std::vector<float>(idle.e->feedbackRing, idle.e->feedbackRing + kLineSize),
              ringBefore);

    // The next active sub-block carries on exactly as if the idle one had not happened.
    idle.e->stringsActive = 1;
    const std::vector<float> next = noise(500, 5, 0.5f);
    EXPECT_EQ(idle.run(next), twin.run(next)) << amp;
  }
}

TEST(SilenceCount, CountsSilentSubBlocksOnlyWhileLatchedAndThenReleasesTheVoice) {
  {
    ChainRig rig(44100.f);
    rig.e->silenceCount = 0;
    auto countAfter = [&](std::vector<float> x) {
      std::vector<float> r(x);
      processChain(*rig.c, *rig.e, rig.patch(), x.data(), r.data(), 0, static_cast<int>(x.size()));
      return rig.e->silenceCount;
    };
    EXPECT_EQ(countAfter(std::vector<float>(220, 0.f)), 0);  // latch off: never counts
    rig.e->latchFlags = kLatchParameter;
    EXPECT_EQ(countAfter({}), 1);                               // an empty call counts as silent
    EXPECT_EQ(countAfter(std::vector<float>(220, 4e-9f)), 2);   // sum 8.8e-7
    EXPECT_EQ(countAfter(std::vector<float>(220, -5e-9f)), 2);  // sum 1.1e-6
    std::vector<float> alternating(220, 0.01f);
    for (size_t i = 0; i < alternating.size(); i += 2) alternating[i] = -0.01f;
    EXPECT_EQ(countAfter(alternating), 2);  // magnitudes are summed, not signed values
    rig.e->latchFlags = kLatchPedal;
    EXPECT_EQ(countAfter(std::vector<float>(220, 0.f)), 3);
  }

  // A latched noise-excited high note with full damping dies within seconds; the pass after
  // the fourth silent sub-block releases it, and from then on nothing is rendered.
  ChainRig rig(44100.f);
  for (int i = 0; i < kNumParameters; ++i) rig.param(i) = kFactoryPrograms[0].values[i];
  rig.param(kAid) = 0.f, rig.param(kStrings) = 0.f, rig.param(kDamp) = 1.f;
  rig.param(kVelDScale) = 0.f, rig.param(kFx) = 0.f;
  rig.e->latchFlags = rig.e->latchFlagsSeen = kLatchParameter;
  startString(*rig.e, 100, 0.8f, 0, 0);
  releaseNote(*rig.e, 100, true);
  StringVoice* found = nullptr;
  for (StringVoice& v : rig.e->voices)
    if (v.gate != 0.f) found = &v;
  ASSERT_NE(found, nullptr);
  StringVoice& voice = *found;
  ASSERT_EQ(voice.gate, 1.f);

  int silent = 0, releasedAt = -1, loudTicks = 0;
  std::vector<float> l(220), r(220);
  for (int tick = 0; tick < 2000 && releasedAt < 0; ++tick) {
    std::fill(l.begin(), l.end(), 0.f);
    tickUpdate(*rig.e, rig.patch());
    const int countBefore = rig.e->silenceCount;
    renderStrings(*rig.e, rig.patch(), l.data(), r.data(), 0, 220);
    if (voice.gate == 0.f) {
      releasedAt = tick;
      EXPECT_EQ(countBefore, 4);
      EXPECT_EQ(test::peak(l.data(), 220), 0.0);
      break;
    }
    double sum = 0;
    for (float x : l) sum += std::fabs(x);
    silent += sum < 1e-6;
    loudTicks += sum > 1e-3;
    processChain(*rig.c, *rig.e, rig.patch(), l.data(), r.data(), 0, 220);
    ASSERT_EQ(rig.e->silenceCount, silent) << "tick " << tick << " sum " << sum;
  }
  EXPECT_GT(loudTicks, 20);
  ASSERT_GT(releasedAt, 0) << "the latched voice never fell silent";
  EXPECT_EQ(voice.releaseTime, 1.0e9f);

  // Through a whole instance: with the latch off the counter stays where a note start put it.
  CoreHost fx(44100.f, 512);
  fx.set(kAid, 0.f);
  fx.set(kLatch, 0.f);
  fx.send({{0, 0x90, 60, 100}});
  for (int b = 0; b < 200; ++b) {
    if (b == 40) fx.send({{0, 0x80, 60, 0}});
    fx.renderLeft(512);
    ASSERT_EQ(fx.engine().silenceCount, 0) << "block " << b;
  }
}

TEST(FeedbackIsolation, FeedbackZeroKeepsTheStringsDeafToTheChain) {
  auto renderWithRing = [](float feedback, bool noisyRing) {
    auto e = std::make_unique<Engine>();
    std::memset(e.get(), 0, sizeof *e);
    engineSetup(*e, 44100.f);
    float v[kNumParameters];
    for (int i = 0; i < kNumParameters; ++i) v[i] = kFactoryPrograms[0].values[i];
    v[kAid] = 0.f, v[kStrings] = 1.f / 6, v[kFeedback] = feedback;
    const Patch patch = decodePatch(v);
    if (noisyRing) {
      const std::vector<float> n = noise(kLineSize, 9, 0.8f);
      std::copy(n.begin(), n.end(), e->feedbackRing);
    }
    startString(*e, 52, 0.9f, 0, 0);
    std::vector<float> l(220 * 100, 0.f), r(l.size(), 0.f);
    for (int t = 0; t < 100; ++t) {
      tickUpdate(*e, patch);
      renderStrings(*e, patch, l.data(), r.data(), 220 * t, 220);
    }
    return l;
  };
  EXPECT_EQ(renderWithRing(0.f, false), renderWithRing(0.f, true));
  EXPECT_NE(renderWithRing(1.f, false), renderWithRing(1.f, true));
  EXPECT_GT(test::rms(renderWithRing(0.f, false).data(), 22000), 1e-3);

  // Whole instances that differ only in the amplifier: the strings' loops match bit for bit
  // with "Feedback" 0, and part ways with "Feedback" 1.
  auto loopsWith = [](float amp, float feedback) {
    CoreHost fx(44100.f, 512);
    for (int i : {kAid, kFx, kLatch}) fx.set(i, 0.f);
    fx.set(kStrings, 1.f / 6);
    fx.set(kAmpType, amp);
    fx.set(kFeedback, feedback);
    fx.send({{0, 0x90, 40, 120}, {0, 0x90, 52, 120}});
    for (int b = 0; b < 40; ++b) fx.renderLeft(512);
    std::vector<float> lines;
    for (const StringVoice& v : fx.engine().voices)
      lines.insert(lines.end(), v.lineA, v.lineA + kLineSize);
    return lines;
  };
  EXPECT_EQ(loopsWith(0.34f, 0.f), loopsWith(1.f, 0.f));
  EXPECT_NE(loopsWith(0.34f, 1.f), loopsWith(1.f, 1.f));
}

bool subnormal(float v) { return std::fpclassify(v) == FP_SUBNORMAL; }

int subnormalStates(const Chain& c, const Engine& e) {
  std::vector<float> s = {c.outputHighpass, c.amplifier.inputHighpass};
  s.insert(s.end(), c.amplifier.toneStage, c.amplifier.toneStage + 3);
  for (const StateVariable& v : c.amplifier.bandStage) s.insert(s.end(), {v.low, v.high, v.band});
  const StateVariable& r = c.amplifier.resonator;
  s.insert(s.end(), {r.low, r.high, r.band});
  for (const Biquad& b : c.biquads.slots) s.insert(s.end(), {b.x1, b.x2, b.y1, b.y2});
  const LadderFilter& f = c.cabinet.ladder;
  s.insert(s.end(), {f.y1, f.y2, f.y3, f.y4, f.oldX, f.oldY1, f.oldY2, f.oldY3});
  s.insert(s.end(), c.cabinet.ring, c.cabinet.ring + kReflectionSize);
  s.insert(s.end(), e.feedbackRing, e.feedbackRing + kLineSize);
  return static_cast<int>(std::count_if(s.begin(), s.end(), subnormal));
}

TEST(ChainStability, EveryAmplifierAndCabinetAtExtremeSettingsStaysBoundedAndFallsSilent) {
  const int notes[6] = {40, 45, 50, 55, 59, 64};
  for (float rate : {44100.f, 96000.f}) {
    for (int corner = 0; corner < 4; ++corner) {
      const float drive = corner & 1, eq = corner >> 1;
      for (int amp = 0; amp < 4; ++amp) {
        for (int cab = 0; cab < 4; ++cab) {
          SCOPED_TRACE(testing::Message() << rate << " Hz, drive " << drive << ", EQ " << eq
                                          << ", amp " << amp << ", cabinet " << cab);
          const int block = 1024;
          CoreHost fx(rate, block);
          for (int i : {kAid, kFx, kLatch, kDamp}) fx.set(i, 0.f);
          fx.set(kStrings, 1.f / 6);
          fx.set(kAmpType, amp / 3.f);
          fx.set(kCabType, cab / 3.f);
          for (int i : {kDrive, kPresence, kFeedback}) fx.set(i, drive);
          for (int i : {kEqLow, kEqMid, kEqHigh}) fx.set(i, eq);
          for (int n : notes) fx.send({{0, 0x90, static_cast<uint8_t>(n), 127}});
          const int held = static_cast<int>(2.5f * rate) / block;
          const int total = static_cast<int>(3.0f * rate) / block;
          std::vector<float> left, right;
          std::vector<float> outLeft(block), outRight(block);
          for (int b = 0; b < total; ++b) {
            if (b == held)
              for (int n : notes) fx.send({{0, 0x80, static_cast<uint8_t>(n), 0}});
            fx.render(outLeft.data(), outRight.data(), block);
            left.insert(left.end(), outLeft.begin(), outLeft.end());
            right.insert(right.end(), outRight.begin(), outRight.end());
          }
          const int heldFrames = held * block, n = static_cast<int>(left.size());
          ASSERT_TRUE(test::allFinite(left.data(), n) && test::allFinite(right.data(), n));
          EXPECT_LT(test::peak(left.data(), n), 8.0);
          EXPECT_LT(test::peak(right.data(), n), 8.0);
          EXPECT_GT(test::rms(left.data(), heldFrames), 1e-3);
          const int tail = static_cast<int>(0.2f * rate);
          EXPECT_LT(test::peak(left.data() + n - tail, tail), 1e-4);
          EXPECT_EQ(std::count_if(left.begin(), left.end(), subnormal) +
                        std::count_if(right.begin(), right.end(), subnormal),
                    0);
          EXPECT_EQ(subnormalStates(fx.chain(), fx.engine()), 0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace vorlak
