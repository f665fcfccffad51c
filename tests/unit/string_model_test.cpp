#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio_measure.h"
#include "engine/engine.h"
#include "core_host.h"
#include "instrument/parameters.h"

namespace vorlak {
namespace {

constexpr const char* kTypeNames[7] = {"Noise", "6String1", "6String2", "6String3",
                                       "Slap",  "Ebass",    "Fretless"};

// One engine rendered as the render loop does it: a tick update, then a 5 ms string pass.
class Rig {
 public:
  Rig(float rate, int type) : e(std::make_unique<Engine>()), rate(rate) {
    std::memset(e.get(), 0, sizeof(Engine));
    engineSetup(*e, rate);
    e->latchFlagsSeen = 0;
    float* v = values;
    v[kStrings] = type / 6.f;
    v[kPickupPos] = 0.5f;
    v[kTone] = 0.5f;
    v[kHarmonic] = 1.f;
  }

  Engine& engine() { return *e; }
  float& param(int index) { return values[index]; }
  Patch patch() const { return decodePatch(values); }
  int tickLength() const { return static_cast<int>(rate * 0.005f); }

  StringVoice& voiceOf(int note) {
    for (StringVoice& v : e->voices)
      if (v.note == static_cast<float>(note)) return v;
    ADD_FAILURE() << "no voice plays " << note;
    return e->voices[0];
  }

  void message(int status, int data1, int data2) {
    const MidiMessage m{0, static_cast<uint8_t>(status), static_cast<uint8_t>(data1),
                        static_cast<uint8_t>(data2), 0};
    queueEvents(*e, &m, 1, 0);
    while (const QueuedEvent* event = peekEvent(e->queue)) {
      dispatchController(*e, patch(), *event);
      dropEvent(e->queue);
    }
  }

  // Renders whole ticks covering at least the given time.
  std::vector<float> render(double seconds) {
    const int ticks = static_cast<int>(std::ceil(seconds * rate / tickLength()));
    std::vector<float> left(ticks * tickLength(), 0.f), right(left.size(), 0.f);
    for (int t = 0; t < ticks; ++t) tick(left.data(), right.data(), t * tickLength());
    return left;
  }

  void tick(float* left, float* right, int offset) {
    tickUpdate(*e, patch());
    renderStrings(*e, patch(), left, right, offset, tickLength());
  }

 private:
  std::unique_ptr<Engine> e;
  float rate;
  float values[kNumParameters] = {};
};

double pitchOf(const std::vector<float>& out, float rate, float minHz = 60.f) {
  const int from = static_cast<int>(0.15 * rate);
  return test::estimatePitch(out.data() + from, static_cast<int>(0.12 * rate), rate, minHz, 1200.f);
}

TEST(StringModel, SampledTypesRingAnOctaveBelowTheNote) {
  for (float rate : {44100.f, 48000.f, 96000.f}) {
    for (int type = 1; type <= 6; ++type) {
      Rig rig(rate, type);
      startString(rig.engine(), 69, 0.8f, 0, 0);
      const std::vector<float> out = rig.render(0.3);
      EXPECT_NEAR(pitchOf(out, rate, 100.f), 220.0, 2.2) << kTypeNames[type] << " at " << rate;
    }
  }
}

TEST(StringModel, WheelsAndDetuneMoveThePitch) {
  const float rate = 44100.f;
  auto measure = [&](int detune, auto&& wheels) {
    Rig rig(rate, 1);
    wheels(rig);
    startString(rig.engine(), 69, 0.8f, detune, 0);
    return pitchOf(rig.render(0.3), rate);
  };
  const auto none = [](Rig&) {};
  const double centre = measure(0, none);
  EXPECT_NEAR(centre, 220.0, 2.2);
  EXPECT_NEAR(measure(0, [](Rig& r) { r.message(0xE0, 0, 0); }), 110.0, 1.1);
  EXPECT_NEAR(measure(0, [](Rig& r) { r.message(0xE0, 127, 127); }), 440.0, 4.4);
  EXPECT_NEAR(measure(0, [](Rig& r) { r.message(0xE0, 0, 64); }) / centre, 1.0, 1e-3);
  // On the bender's fret setting the modulation wheel bends continuously, 12.24 % at the top.
  EXPECT_NEAR(measure(0, [](Rig& r) { r.message(0xB0, 1, 127); }) / centre, 1.1224, 2e-3);
  // A positive detune lengthens the loop by the cents ratio.
  EXPECT_NEAR(centre / measure(63, none), 1.0370, 2e-3);
  EXPECT_NEAR(centre / measure(-64, none), 0.9637, 2e-3);
}

TEST(StringModel, EveryTypeStaysFiniteAndWithinTheClipLevel) {
  int combination = 0;
  for (int type = 0; type <= 6; ++type)
    for (float slap : {0.f, 1.f})
      for (int coils = 0; coils < 3; ++coils)
        for (int velocity : {1, 64, 127})
          for (int note : {0, 40, 69, 100, 127}) {
            const int c = combination++;
            Rig rig(44100.f, type);
            rig.param(kSlapLevel) = slap;
            rig.param(kCoils) = coils / 2.f;
            rig.param(kTone) = (c % 4) / 3.f;
            rig.param(kHarmonic) = (c % 3) / 2.f;
            rig.param(kPickupPos) = (c % 5) / 4.f;
            rig.param(kDamp) = float(c % 2);
            rig.param(kVelVScale) = float((c / 2) % 2);
            rig.param(kVelDScale) = float((c / 3) % 2);
            rig.param(kFretLevel) = (c % 7) / 6.f;
            rig.param(kFeedback) = 1.f;
            startString(rig.engine(), note, velocity / 127.f, 0, 0);
            const std::vector<float> out = rig.render(0.25);
            const int n = static_cast<int>(out.size());

            // Each voice is limited to the clip level, then passes a comb of up to three taps
            // and the make-up gain; the output filter may overshoot somewhat.
            const double clip = std::pow(1.0 - slap * 0.95, 2.0);
            const double makeUp = 1.0 / (1.0 - slap * 0.98);
            const double bound = 2.0 * clip * makeUp * (coils == 0 ? 1 : 3);
            SCOPED_TRACE(::testing::Message()
                         << kTypeNames[type] << " slap " << slap << " coils " << coils
                         << " velocity " << velocity << " note " << note);
            ASSERT_TRUE(test::allFinite(out.data(), n));
            EXPECT_LE(test::peak(out.data(), n), bound);
            if (slap == 1.f && velocity == 127 && note <= 69 && coils == 0) {
              EXPECT_GT(test::peak(out.data(), n), 0.2 * clip * makeUp) << "make-up gain applied";
            }
          }
}

TEST(StringModel, ReleasedNoteFadesAndStopsAfterItsWindow) {
  // After release the voice counts T * 44100 / rate per sample up to 0.2 * rate.
  const struct {
    float rate, tone, factor;
  } cases[] = {
      {44100.f, 0.f, 0.625f}, {44100.f, 0.5f, 1.f}, {44100.f, 1.f, 2.5f}, {96000.f, 0.5f, 1.f}};
  for (const auto& t : cases) {
    SCOPED_TRACE(::testing::Message() << "tone " << t.tone << " at " << t.rate);
    Rig rig(t.rate, 1);
    rig.param(kTone) = t.tone;
    startString(rig.engine(), 60, 0.9f, 0, 0);
    std::vector<float> before = rig.render(0.3);
    releaseNote(rig.engine(), 60, false);
    const StringVoice& voice = rig.voiceOf(60);
    const uint32_t writeAtRelease = voice.writeA;
    const double window = 0.2 * t.rate / (t.factor * 44100.0 / t.rate);
    std::vector<float> after = rig.render(window / t.rate + 0.05);

    const int ms = static_cast<int>(t.rate / 1000);
    const double held = test::rms(before.data() + before.size() - 20 * ms, 20 * ms);
    EXPECT_GT(held, 1e-3);
    EXPECT_LT(test::rms(after.data() + 15 * ms, 20 * ms), 1e-3 * held);

    const double rendered = voice.writeA - writeAtRelease;
    EXPECT_GE(rendered, window - 2);
    EXPECT_LE(rendered, window + rig.tickLength() + 2);
    EXPECT_EQ(rig.engine().stringsActive, 0);
    EXPECT_EQ(test::peak(after.data() + after.size() - rig.tickLength(), rig.tickLength()), 0.0);

    // What a host is told to keep processing after the last note covers the whole release.
    testhost::CoreHost host(t.rate, 64);
    host.set(kTone, t.tone);
    host.set(kFx, 0.0f);
    host.set(kLatch, 0.0f);
    host.renderLeft(64);
    EXPECT_GE(host.instrument().tailFrames(), rendered);
  }
}

TEST(StringModel, NoiseFollowsItsTickEnvelope) {
  const struct { float tone, decayTicks; } tones[] = {{0.f, 18.8f}, {0.5f, 6.8f}, {1.f, 1.4f}};
  for (const auto& t : tones) {
    SCOPED_TRACE(t.tone);
    Rig rig(44100.f, 0);
    rig.param(kTone) = t.tone;
    rig.param(kDamp) = 1.f;           // a short ring, so the loops fall silent soon after the noise
    rig.engine().fretBendSeen = 1.f;  // no fret move, so no fret buzz
    startString(rig.engine(), 69, 1.f, 0, 0);
    const int len = rig.tickLength();
    std::vector<float> out(200 * len, 0.f), right(out.size());
    std::vector<double> decayRms;
    int silentFrom = -1;
    for (int k = 0; k < 200; ++k) {
      rig.tick(out.data(), right.data(), k * len);
      const uint8_t state = rig.voiceOf(69).envState;
      if (state == kEnvDecay) decayRms.push_back(test::rms(out.data() + k * len, len));
      if (state == kEnvSilent && silentFrom < 0) silentFrom = k;
    }
    ASSERT_TRUE(test::allFinite(out.data(), static_cast<int>(out.size())));
    EXPECT_NEAR(decayRms.size(), t.decayTicks, 1.0);
    ASSERT_GE(silentFrom, 0);
    ASSERT_LE(silentFrom, 40);
    ASSERT_FALSE(decayRms.empty());
    double loudest = 0;
    for (double r : decayRms) loudest = std::max(loudest, r);
    EXPECT_GT(loudest, 0.01);
    if (decayRms.size() >= 8) {
      EXPECT_GT(decayRms[1], 3 * decayRms.back()) << "the level falls";
    }
    // Once the noise stops, only the damped loops ring on, and they die away.
    const double early = test::rms(out.data() + (silentFrom + 20) * len, 40 * len);
    const double late = test::rms(out.data() + (silentFrom + 100) * len, 40 * len);
    EXPECT_LT(late, 0.5 * early);
    EXPECT_LT(late, 0.05 * loudest);
    EXPECT_EQ(rig.voiceOf(69).gate, 1.f) << "the key is still down";
  }
}

TEST(StringModel, RunningPositionsWrapAndCountersSaturate) {
  Rig plain(44100.f, 1), wrapped(44100.f, 1);
  const uint32_t nearEnd = UINT32_MAX - 3000;
  for (StringVoice& v : wrapped.engine().voices) v.writeA = v.writeB = nearEnd;
  wrapped.engine().feedbackReadPos = nearEnd;
  for (Rig* rig : {&plain, &wrapped}) {
    rig->param(kFeedback) = 1.f;
    rig->param(kCoils) = 0.5f;
    startString(rig->engine(), 60, 0.9f, 0, 0);
  }
  const std::vector<float> a = plain.render(0.25), b = wrapped.render(0.25);
  ASSERT_LT(wrapped.voiceOf(60).writeA, nearEnd) << "the counter went round";
  ASSERT_TRUE(test::allFinite(b.data(), static_cast<int>(b.size())));
  double difference = 0;
  for (size_t i = 0; i < a.size(); ++i)
    difference = std::max(difference, double(std::fabs(a[i] - b[i])));
  EXPECT_LE(difference, 1e-6 * test::peak(a.data(), static_cast<int>(a.size())));
  EXPECT_GT(test::peak(a.data(), static_cast<int>(a.size())), 1e-3);

  Engine& e = plain.engine();
  for (StringVoice& v : e.voices) v.age = INT32_MAX - 2;
  e.strumTicks = INT32_MAX - 2;
  startString(e, 64, 0.9f, 0, 0);
  plain.render(0.049);  // ten passes
  EXPECT_EQ(plain.voiceOf(64).age, 10);
  for (const StringVoice& v : e.voices) {
    if (v.note != 64) {
      EXPECT_EQ(v.age, INT32_MAX);
    }
  }
  EXPECT_EQ(e.strumTicks, INT32_MAX);
}

}  // namespace
}  // namespace vorlak
