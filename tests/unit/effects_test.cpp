#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio_measure.h"
#include "chain/amp_effects.h"
#include "chain/master_effects.h"
#include "chain/signal_chain.h"
#include "engine/engine.h"
#include "instrument/parameters.h"
#include "core_host.h"

namespace vorlak {
namespace {

using test::estimatePitch;
using test::rms;
using Signal = std::vector<float>;
constexpr double kPi = 3.14159265358979323846;

struct Stereo {
  Signal left, right;
  double peak() const {
    return std::max(test::peak(left.data(), left.size()), test::peak(right.data(), right.size()));
  }
  bool finite() const {
    return test::allFinite(left.data(), left.size()) && test::allFinite(right.data(), right.size());
  }
};

// An engine and a chain on the heap, driven one effect at a time in 5 ms sub-blocks.
struct Rig {
  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  std::unique_ptr<Chain> chain = std::make_unique<Chain>();
  float rate;
  Patch patch{};

  explicit Rig(float p1 = 0, float p2 = 0, float sampleRate = 44100) : rate(sampleRate) {
    std::memset(engine.get(), 0, sizeof(Engine));
    engineSetup(*engine, rate);
    resetChain(*chain, rate);
    patch.fxPar1 = p1;
    patch.fxPar2 = p2;
  }
  Stereo run(int fx, const Signal& in) {
    Stereo out{in, in};
    const int block = static_cast<int>(rate * 0.005f);
    for (int at = 0; at < static_cast<int>(in.size()); at += block) {
      const int n = std::min(block, static_cast<int>(in.size()) - at);
      if (fx <= kFxAmpTalkbox)
        runAmpEffect(fx, chain->effects, *engine, patch, &out.left[at], &out.right[at], n);
      else
        runMasterEffect(fx, chain->effects, *engine, patch, &out.left[at], &out.right[at], n);
    }
    return out;
  }
};

Signal sine(double hz, double amplitude, int n, double rate = 44100) {
  Signal s(n);
  for (int i = 0; i < n; ++i)
    s[i] = static_cast<float>(amplitude * std::sin(2 * kPi * hz * i / rate));
  return s;
}

Signal impulse(int n, int at) {
  Signal s(n, 0.0f);
  s[at] = 1.0f;
  return s;
}

// Plucked chords: decaying partials of three notes, re-struck four times a second.
Signal phrase(int n, double rate) {
  Signal s(n);
  const double notes[3] = {110.0, 164.8, 277.2};
  for (int i = 0; i < n; ++i) {
    const double t = std::fmod(i / rate, 0.25), time = i / rate;
    double v = 0;
    for (double f : notes)
      for (int h = 1; h <= 4; ++h) v += std::sin(2 * kPi * f * h * time) / h;
    s[i] = static_cast<float>(0.4 * v * std::exp(-8 * t));
  }
  return s;
}

// Least-squares amplitude of a sine at hz in x.
double amplitudeAt(const Signal& x, double hz, double rate, int from = 0) {
  double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
  for (int n = from; n < static_cast<int>(x.size()); ++n) {
    const double s = std::sin(2 * kPi * hz * n / rate), c = std::cos(2 * kPi * hz * n / rate);
    ss += s * s, cc += c * c, sc += s * c, ys += x[n] * s, yc += x[n] * c;
  }
  const double det = ss * cc - sc * sc;
  return std::hypot((ys * cc - yc * sc) / det, (yc * ss - ys * sc) / det);
}

std::vector<int> nonZeroFrames(const Signal& x) {
  std::vector<int> at;
  for (int i = 0; i < static_cast<int>(x.size()); ++i)
    if (std::fabs(x[i]) > 1e-6f) at.push_back(i);
  return at;
}

int firstAbove(const Signal& x, int from, float level) {
  for (int i = from; i < static_cast<int>(x.size()); ++i)
    if (std::fabs(x[i]) > level) return i;
  return -1;
}

// RMS of left - right over RMS of left + right.
double stereoDifference(const Stereo& s) {
  double d = 0, m = 0;
  for (size_t i = 0; i < s.left.size(); ++i)
    d += std::pow(s.left[i] - s.right[i], 2), m += std::pow(s.left[i] + s.right[i], 2);
  return std::sqrt(d / m);
}

TEST(AmpEffects, TremoloFollowsTheBeatAndRestartsWithEveryString) {
  Rig rig(1.0f, 1.0f);  // note length 2 at 120 BPM: one period per beat
  const Stereo gain = rig.run(kFxAmpTremolo, Signal(44100, 1.0f));
  Signal decimated;  // every 100th frame: enough for a gain that changes this slowly
  for (int i = 0; i < 44100; i += 100) decimated.push_back(gain.left[i]);
  EXPECT_NEAR(estimatePitch(decimated.data(), 441, 441, 0.5f, 40), 2.0, 0.02);
  EXPECT_NEAR(gain.left[0], 2.0f, 0.01f);       // doubled at the start of a period
  EXPECT_NEAR(gain.right[11025], 0.0f, 0.01f);  // silent in its middle
  // Note length 1/4: 8 periods a beat.
  const Stereo half = Rig(0.0f, 0.5f).run(kFxMstTremolo, Signal(44100, 1.0f));
  EXPECT_NEAR(estimatePitch(half.left.data(), 44100, 44100, 8, 100), 16.0, 0.2);
  EXPECT_NEAR(half.peak(), 1.5, 0.01);

  // The master tremolo goes on from the phase the pre-amplifier one left; a string restarts it.
  const float before = rig.run(kFxAmpTremolo, Signal(100, 1.0f)).left.back();
  EXPECT_NEAR(rig.run(kFxMstTremolo, Signal(1, 1.0f)).left[0], before, 0.001f);
  startString(*rig.engine, 64, 0.8f, 0, 0);
  EXPECT_NEAR(rig.run(kFxMstTremolo, Signal(1, 1.0f)).left[0], 2.0f, 0.001f);
}

TEST(AmpEffects, RingModulatorCarrierFollowsThePlayedPitch) {
  for (auto [p1, hz] : {std::pair{1.0f, 440.0}, {0.0f, 27.5}}) {
    Rig rig(p1);
    rig.engine->glideNote = 69.0f;
    const Stereo out = rig.run(kFxAmpRingmod, Signal(44100, 0.5f));
    EXPECT_NEAR(estimatePitch(out.left.data(), 44100, 44100, 20, 1000), hz, hz * 0.005);
    EXPECT_NEAR(estimatePitch(out.right.data(), 44100, 44100, 20, 1000), hz, hz * 0.005);
    EXPECT_NEAR(out.peak(), 1.0, 0.01);
    // The right carrier runs a quarter period ahead: the channels are uncorrelated.
    double cross = 0;
    for (int i = 0; i < 44100; ++i) cross += double(out.left[i]) * out.right[i];
    EXPECT_LT(std::fabs(cross / 44100), 0.01);
  }
}

TEST(AmpEffects, FuzzBoxClipsAtHalfAndQuantises) {
  for (auto [p2, step] : {std::pair{0.0f, 0.0001}, {1.0f, 0.1001}}) {
    const Stereo out = Rig(1.0f, p2).run(kFxAmpFuzzBox, sine(220, 3.0, 4410));
    EXPECT_LE(out.peak(), 0.5);
    EXPECT_GT(out.peak(), 0.5 - step);
    for (float v : out.right) ASSERT_NEAR(v / step, std::round(v / step), 1e-3);
  }
  Rig fine(1.0f, 0.0f);
  EXPECT_EQ(fine.run(kFxAmpFuzzBox, Signal(4, 0.00005f)).left[3], 0.0f);
  EXPECT_NEAR(fine.run(kFxAmpFuzzBox, Signal(4, 0.01f)).left[3], 0.01, 0.002);  // nearly clean
}

TEST(AmpEffects, HarmonizerAddsTheOctaveBelowOnlyWhenAsked) {
  const Signal in = phrase(22050, 44100);
  const Stereo same = Rig(0.0f, 0.0f).run(kFxAmpHarmonizer, in);
  EXPECT_EQ(same.left, in);
  EXPECT_EQ(same.right, in);

  const Stereo sub = Rig(0.0f, 1.0f).run(kFxAmpHarmonizer, sine(220, 0.3, 44100));
  EXPECT_GT(amplitudeAt(sub.left, 110, 44100, 22050), 0.3);
  EXPECT_NEAR(estimatePitch(sub.left.data() + 22050, 22050, 44100, 50, 400), 110, 1);
}

// Frequency of the strongest resonance: the harmonic of a 100 Hz sawtooth (amplitude 1/k)
// that comes out loudest relative to its input, over 50 ms from frame `from`.
double resonanceHz(const Signal& out, int from) {
  const Signal window(out.begin() + from, out.begin() + from + 2205);
  double best = 0, bestHz = 0;
  for (int k = 1; k <= 60; ++k) {
    const double gain = amplitudeAt(window, 100.0 * k, 44100) * k;
    if (gain > best) best = gain, bestHz = 100.0 * k;
  }
  return bestHz;
}

Signal sawtooth(double level, int n) {
  Signal s(n);
  for (int i = 0; i < n; ++i) s[i] = static_cast<float>(level * (2.0 * (i % 441) / 441 - 1.0));
  return s;
}

TEST(AmpEffects, WahsSweepWithTheEnvelopeAndTheLfo) {
  // The envelope wah's resonance rises with the level, as far as "FX par2" lets it.
  auto resonance = [](float p2, double level) {
    return resonanceHz(Rig(0.5f, p2).run(kFxAmpWahWah, sawtooth(level, 22050)).left, 11025);
  };
  EXPECT_GT(resonance(1.0f, 0.06), 1.5 * resonance(1.0f, 0.02));
  EXPECT_EQ(resonance(0.0f, 0.06), resonance(0.0f, 0.02));

  // A string start puts the LFO at the bottom of its sweep; half a period (0.57 s) later it
  // is at the top.
  Rig lfo(0.0f, 1.0f);
  startString(*lfo.engine, 64, 0.8f, 0, 0);
  const Stereo out = lfo.run(kFxAmpWahLfo, sawtooth(0.3, 44100));
  EXPECT_GT(resonanceHz(out.left, 24000), 3 * resonanceHz(out.left, 2000));
}

TEST(AmpEffects, TalkboxFormantsSitWhereTheyShould) {
  // Peak of the steady sine response within +-25 % of a frequency, in 1 % steps.
  auto peakNear = [](float modPhase, double hz) {
    double best = 0, bestHz = 0;
    for (double f = 0.75 * hz; f <= 1.25 * hz; f *= 1.01) {
      Rig rig(0.0f, 1.0f / 3.0f);  // formant scale 1, no sweep
      rig.chain->effects.modPhase = modPhase;
      const double gain =
          amplitudeAt(rig.run(kFxAmpTalkbox, sine(f, 0.1, 8820)).left, f, 44100, 4410);
      if (gain > best) best = gain, bestHz = f;
    }
    return bestHz;
  };
  // At the turn of the sweep: 315 Hz, 850 Hz and 2200 Hz; at its start formant A is at 2250 Hz.
  EXPECT_NEAR(peakNear(0.0f, 315), 315, 0.03 * 315);
  EXPECT_NEAR(peakNear(0.0f, 850), 850, 0.03 * 850);
  EXPECT_NEAR(peakNear(0.0f, 2200), 2200, 0.03 * 2200);
  EXPECT_NEAR(peakNear(0.5f, 2250), 2250, 0.03 * 2250);
}

TEST(Phasers, ShiftOneSidebandAndSpreadItAcrossTheChannels) {
  const Signal in = sine(1000, 0.5, 44100);
  const Stereo mono = Rig(1.0f, 0.0f).run(kFxAmpPhaser, in);  // a shift of 8.82 Hz
  const double up = amplitudeAt(mono.left, 1008.82, 44100, 4410);
  const double down = amplitudeAt(mono.left, 991.18, 44100, 4410);
  EXPECT_NEAR(std::max(up, down), 0.5, 0.05);
  EXPECT_LT(std::min(up, down), 0.05);
  EXPECT_NEAR(amplitudeAt(mono.left, 1000, 44100, 4410), 0.5, 0.05);

  const Stereo wide = Rig(1.0f, 0.0f).run(kFxMstPhaser, in);
  Signal shifted(44100);
  for (int i = 0; i < 44100; ++i) shifted[i] = 0.5f * (wide.right[i] - wide.left[i]);
  EXPECT_NEAR(amplitudeAt(shifted, up > down ? 1008.82 : 991.18, 44100, 4410), 0.5, 0.05);
  EXPECT_LT(amplitudeAt(shifted, 1000, 44100, 4410), 0.05);
  EXPECT_EQ(wide.right, mono.left);  // the same shifter: its right side is the mono output

  const Stereo fixed = Rig(0.0f, 0.5f).run(kFxAmpPhaser, in);  // no shift: a steady level
  EXPECT_NEAR(rms(fixed.left.data() + 4410, 4410), rms(fixed.left.data() + 39690, 4410), 1e-3);
}

TEST(MasterEffects, DelaysMeasuredByImpulse) {
  const Signal click = impulse(2000, 1000);
  // Chorus without depth: the dry click and one 412 frames later, on both sides.
  const Stereo chorus = Rig(0.7f, 0.0f).run(kFxMstChorus, click);
  EXPECT_EQ(nonZeroFrames(chorus.left), (std::vector<int>{1000, 1412}));
  EXPECT_EQ(nonZeroFrames(chorus.right), (std::vector<int>{1000, 1412}));
  EXPECT_FLOAT_EQ(chorus.left[1412], 0.8f);

  // Dub delay: one frame on the left at P1 0, 92.9 ms (4097 frames) at P1 1; the right is dry.
  const Stereo dub = Rig(0.0f).run(kFxMstDubDelay, click);
  EXPECT_EQ(nonZeroFrames(dub.left), std::vector<int>{1001});
  EXPECT_EQ(nonZeroFrames(dub.right), std::vector<int>{1000});
  EXPECT_EQ(nonZeroFrames(Rig(1.0f).run(kFxMstDubDelay, impulse(6000, 1000)).left),
            std::vector<int>{5097});

  // Flanger without depth: the first echo 482 frames late, the same on both sides.
  const Stereo flange = Rig(0.5f, 0.0f).run(kFxMstFlanger, click);
  EXPECT_EQ(firstAbove(flange.left, 1001, 1e-6f), 1482);
  EXPECT_EQ(flange.left, flange.right);
}

TEST(MasterEffects, MultitapLoopFollowsTheTempo) {
  for (auto [p1, loop] : {std::pair{0.5f, 11025}, {1.0f, 44100}}) {
    const Stereo out = Rig(p1, 1.0f).run(kFxMstMultitap, impulse(50000, 100));
    EXPECT_EQ(firstAbove(out.left, 400, 0.05f), 100 + loop);
  }
  // Without feedback: dry left; the right hears the click 64 frames late, then the half tap.
  const Stereo plain = Rig(0.5f, 0.0f).run(kFxMstMultitap, impulse(20000, 100));
  EXPECT_EQ(nonZeroFrames(plain.left), std::vector<int>{100});
  EXPECT_FLOAT_EQ(plain.right[164], 0.7f);
  EXPECT_EQ(firstAbove(plain.right, 165, 1e-6f), 100 + 11025 / 2 + 1);

  // At 1 BPM two beats would exceed the ring: the loop takes all of it.
  Rig slow(1.0f, 1.0f);
  slow.engine->tempo = 1.0f;
  EXPECT_EQ(firstAbove(slow.run(kFxMstMultitap, impulse(270000, 100)).left, 400, 0.05f),
            100 + 262144);
  EXPECT_EQ(multitapLength(44100, 1e30f, 2.0f), 1u);
  EXPECT_EQ(multitapLength(44100, 1e-30f, 2.0f), 1u);  // past the integer range
}

TEST(MasterEffects, FlangerAndLeslieAreStereo) {
  const Signal in = phrase(88200, 44100);
  EXPECT_GT(stereoDifference(Rig(0.5f, 1.0f).run(kFxMstFlanger, in)), 0.2);
  EXPECT_GT(stereoDifference(Rig(0.0f, 1.0f).run(kFxMstLeslie, in)), 0.2);

  // The rotors swing the sides' levels against each other: a 100 Hz tone, below both rotor
  // filters, comes and goes on each side while the sum of the two stays nearly level.
  const Stereo leslie = Rig(0.0f, 1.0f).run(kFxMstLeslie, sine(100, 0.5, 88200));
  double lowL = 1e9, highL = 0, lowSum = 1e9, highSum = 0;
  for (int at = 4410; at + 441 <= 88200; at += 441) {
    const double l = rms(&leslie.left[at], 441), sum = l + rms(&leslie.right[at], 441);
    lowL = std::min(lowL, l), highL = std::max(highL, l);
    lowSum = std::min(lowSum, sum), highSum = std::max(highSum, sum);
  }
  EXPECT_GT(highL, 5 * lowL);
  EXPECT_LT(highSum, 1.5 * lowSum);
}

TEST(MasterEffects, StayFiniteAtEveryRateTempoAndSetting) {
  for (float rate : {22050.0f, 44100.0f, 96000.0f, 192000.0f}) {
    const Signal in = phrase(static_cast<int>(rate), rate);
    for (int fx = kFxAmpPhaser; fx <= kFxMstMultitap; ++fx) {
      const bool tempo = fx == kFxAmpTremolo || fx == kFxMstTremolo || fx == kFxMstMultitap;
      for (float bpm : {1.0f, 120.0f, 999.0f, 1e30f}) {
        if (!tempo && bpm != 120.0f) continue;
        for (float p1 : {0.0f, 0.5f, 1.0f})
          for (float p2 : {0.0f, 0.5f, 1.0f}) {
            Rig rig(p1, p2, rate);
            rig.engine->tempo = bpm;
            rig.engine->glideNote = 52.0f;
            const Stereo out = rig.run(fx, in);
            SCOPED_TRACE(testing::Message() << "fx " << fx << " at " << rate << " Hz, " << bpm
                                            << " BPM, " << p1 << "/" << p2);
            ASSERT_TRUE(out.finite());
            // Past any real tempo the multitap loop is one frame long: at full feedback an
            // integrator, finite but not small.
            if (bpm < 1000.0f) {
              EXPECT_LT(out.peak(), 20.0);
            }
          }
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Through a whole instance.

struct Instance {
  testhost::CoreHost effect{44100, 256};
  Instance(int fx, float p1, float p2) {
    effect.set(kLatch, 0.0f);
    effect.set(kAid, 0.0f);
    effect.set(kFx, fx / 15.0f);
    effect.set(kFxPar1, p1);
    effect.set(kFxPar2, p2);
  }
  Stereo render(int frames) {
    Stereo out{Signal(static_cast<size_t>(frames)), Signal(static_cast<size_t>(frames))};
    effect.render(out.left.data(), out.right.data(), frames);
    return out;
  }
  bool stringsActive() const { return effect.engine().stringsActive == 1; }
};

TEST(EffectTails, OnlyTheRingingEffectsGoOnAfterTheStringsStop) {
  for (int fx = kFxMstChorus; fx <= kFxMstMultitap; ++fx) {
    Instance instance(fx, 1.0f, 0.5f);
    instance.effect.send({{0, 0x90, 52, 110}});
    instance.render(11025);
    instance.effect.send({{0, 0x80, 52, 0}});
    int blocks = 0;
    do instance.render(256);
    while (instance.stringsActive() && ++blocks < 1000);
    ASSERT_FALSE(instance.stringsActive());
    const double level = instance.render(256).peak();
    const bool rings =
        fx == kFxMstFlanger || fx == kFxMstPhaser || fx == kFxMstDubDelay || fx == kFxMstMultitap;
    EXPECT_EQ(level > 0.0, rings) << "fx " << fx << " level " << level;
    if (fx == kFxMstMultitap) {
      EXPECT_GT(level, 1e-3);  // its loop still holds the note
    }
  }
}

TEST(EffectTails, MultitapAtFullFeedbackStaysBoundedOverAPhrase) {
  Instance instance(kFxMstMultitap, 0.5f, 1.0f);
  double playing = 0;
  for (int note : {40, 45, 50, 55, 47, 52}) {
    const auto key = static_cast<unsigned char>(note);
    instance.effect.send({{0, 0x90, key, 100}});
    playing = std::max(playing, instance.render(20000).peak());
    instance.effect.send({{0, 0x80, key, 0}});
    instance.render(2050);
  }
  double last = 0;
  for (int second = 0; second < 20; ++second) {
    const Stereo s = instance.render(44100);
    ASSERT_TRUE(s.finite());
    last = s.peak();
  }
  EXPECT_GT(playing, 0.05);
  EXPECT_LT(last, playing);
}

}  // namespace
}  // namespace vorlak
