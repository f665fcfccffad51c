#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio_measure.h"
#include "engine/engine.h"
#include "instrument/parameters.h"
#include "core_host.h"

namespace vorlak {
namespace {

constexpr float kRate = 44100.f;
constexpr float kNone = 0.f, kAutoChords = 0.25f, kPowerChords = 0.5f, kStrumming = 0.6f,
                kSoloFixed = 0.8f, kSoloDynamic = 1.f;

// One engine on the 5 ms grid, one string pass per tick. Keys pressed between run() calls
// land in the event walk of the next boundary, before its tick update, as in the render loop.
class Rig {
 public:
  Rig(float aid, float timing) : e(std::make_unique<Engine>()) {
    std::memset(e.get(), 0, sizeof(Engine));
    engineSetup(*e, kRate);
    std::copy(std::begin(kFactoryPrograms[21].values), std::end(kFactoryPrograms[21].values),
              values);
    float* v = values;
    v[kStrings] = 1.f / 6.f;  // a sampled string: one pluck per start
    v[kTone] = 0.5f, v[kDamp] = 0.2f, v[kSlapLevel] = 0.f, v[kVelDScale] = 0.f;
    v[kVelVScale] = 1.f;  // velocity 0 then gives a silent string
    v[kAid] = aid, v[kTiming] = timing;
    e->latchFlagsSeen = e->latchFlags;
    run(1);  // settles lastStyle, so that only later changes of "Aid" count
    left.clear(), passStart.clear();
  }

  Engine& engine() { return *e; }
  float& value(int index) { return values[index]; }
  Patch patch() const { return decodePatch(values); }
  // A new "Aid" takes effect at the next pass.
  void style(float aid) { values[kAid] = aid, run(1); }
  void on(int note, float velocity = 0.8f, int detune = 0) {
    styleNoteOn(*e, patch(), note, velocity, detune);
  }
  void off(int note, float velocity = 0.5f) { styleNoteOff(*e, patch(), note, velocity); }
  void pedal(int value) {
    QueuedEvent event{0, 1, 0, -1, 0, 64, value, value / 127.f, -1};
    dispatchController(*e, patch(), event);
  }

  void run(int passes) {
    for (int i = 0; i < passes; ++i) {
      tickUpdate(*e, patch());
      const int start = static_cast<int>(left.size());
      const int length = static_cast<int>(countdown);
      left.resize(start + length, 0.f);
      renderStrings(*e, patch(), left.data(), nullptr, start, length);
      countdown = countdown - static_cast<float>(length) + kRate * 0.005f;
      passStart.push_back(start);
    }
  }

  // Passes until glideNote first equals target; -1 if it does not within 400.
  int passesToReach(int target) {
    for (int n = 1; n <= 400; ++n)
      if (run(1), e->glideNote == static_cast<float>(target)) return n;
    return -1;
  }

  std::vector<int> gatedNotes() const {
    std::vector<int> notes;
    for (const StringVoice& v : e->voices)
      if (v.gate > 0.5f) notes.push_back(static_cast<int>(v.note));
    std::sort(notes.begin(), notes.end());
    return notes;
  }

  const StringVoice& voiceOf(int note) const {
    for (const StringVoice& v : e->voices)
      if (v.note == static_cast<float>(note) && v.gate > 0.5f) return v;
    ADD_FAILURE() << "no gated voice plays " << note;
    return e->voices[0];
  }

  // The sounding pitch as a (fractional) MIDI note; strings ring an octave below the note.
  double noteAt(int pass) const {
    const double hz = test::estimatePitch(left.data() + passStart[pass], 1024, kRate, 120.f, 600.f);
    return hz > 0.0 ? 69.0 + 12.0 * std::log2(hz * 2.0 / 440.0) : 0.0;
  }

  // Pass in which the output first rises above the floor of the silent strings.
  int onsetPass(int fromPass = 0) const {
    for (size_t i = passStart[fromPass]; i < left.size(); ++i)
      if (std::fabs(left[i]) > 1e-6f)
        return static_cast<int>(std::upper_bound(passStart.begin(), passStart.end(), int(i)) -
                                passStart.begin()) - 1;
    return -1;
  }

  double rmsOver(int fromPass, int passes) const {
    const int end = fromPass + passes < int(passStart.size()) ? passStart[fromPass + passes]
                                                              : int(left.size());
    return test::rms(left.data() + passStart[fromPass], end - passStart[fromPass]);
  }
  bool finite() const { return test::allFinite(left.data(), static_cast<int>(left.size())); }

  std::vector<float> left;
  std::vector<int> passStart;

 private:
  std::unique_ptr<Engine> e;
  float values[kNumParameters] = {};
  float countdown = kRate * 0.005f;
};

// The chord voicings, one row per pitch class from C.
const std::vector<int> kChords[12] = {
    {60, 64, 67, 72, 76},     {61, 64, 68, 73, 76},     {62, 69, 74, 77},
    {63, 70, 75, 78},         {52, 59, 64, 67, 71, 74}, {65, 69, 72, 77},
    {66, 69, 73, 78},         {55, 59, 62, 67, 71, 79}, {56, 59, 63, 68, 71, 80},
    {57, 64, 69, 72, 76},     {58, 65, 70, 74, 77},     {59, 65, 69, 74}};

TEST(StylesChords, AutoChordsPlayEachPitchClassVoicingStrummedByTiming) {
  Rig rig(kAutoChords, 0.5f);  // strumStep 5: chord note j waits 5 j ticks
  const int keys[12] = {48, 73, 50, 99, 40, 29, 102, 43, 68, 93, 34, 83};
  for (int pc = 0; pc < 12; ++pc) {
    rig.on(keys[pc], 0.8f, 30);
    EXPECT_EQ(rig.gatedNotes(), kChords[pc]) << "key " << keys[pc];
    for (size_t j = 0; j < kChords[pc].size(); ++j) {
      EXPECT_EQ(rig.voiceOf(kChords[pc][j]).startDelay, 5 * int(j)) << "key " << keys[pc];
      EXPECT_EQ(rig.voiceOf(kChords[pc][j]).detune, 0) << "the played detune is not used";
    }
    rig.run(2);
    rig.off(keys[pc]);
    EXPECT_TRUE(rig.gatedNotes().empty()) << "key-up releases the whole chord of " << keys[pc];
  }
  rig.on(74);
  EXPECT_EQ(rig.gatedNotes(), (std::vector<int>{62, 69, 74, 77})) << "as key 50";
  rig.run(30);
  EXPECT_TRUE(rig.finite());
}

TEST(StylesChords, PowerChordsTransposeDetuneAndReleaseFiveNotes) {
  struct Case {
    int key, detune;
    int notes[3], cents[3];
  };
  const Case cases[] = {{60, 0, {48, 55, 60}, {0, -4, -2}},
                        {59, 0, {71, 76, 83}, {0, 5, 2}},
                        {67, 10, {55, 62, 67}, {10, 6, 8}},
                        {40, -10, {52, 57, 64}, {-10, -5, -8}}};
  Rig rig(kPowerChords, 0.5f);  // strumStep 5
  for (const Case& c : cases) {
    rig.on(c.key, 0.8f, c.detune);
    EXPECT_EQ(rig.gatedNotes(), std::vector<int>(c.notes, c.notes + 3)) << c.key;
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(rig.voiceOf(c.notes[j]).detune, c.cents[j]) << c.key << " note " << c.notes[j];
      EXPECT_EQ(rig.voiceOf(c.notes[j]).startDelay, 5 * j) << c.key << " note " << c.notes[j];
    }
    rig.run(2);
  }

  // Key-up releases the chord plus the fifth and octave above it, and nothing else.
  const int above[2][6] = {{60, 48, 55, 67, 72, 50}, {59, 71, 76, 88, 95, 90}};
  for (const auto& row : above) {
    rig.on(row[0]);
    for (int k = 3; k < 6; ++k) startString(rig.engine(), row[k], 0.8f, 0, 0);
    rig.run(1);
    rig.off(row[0]);
    EXPECT_EQ(rig.gatedNotes(), std::vector<int>{row[5]}) << "key " << row[0];
    releaseNote(rig.engine(), row[5], false);
  }
}

TEST(StylesStrum, KeysSoundStrumStepApartAndLateKeysAtOnce) {
  // Three keys at one boundary with strumStep 10. Each run makes one key audible; its onset
  // in the audio is the pass in which it starts to sound.
  const int keys[3] = {60, 64, 67};
  int onset[3];
  for (int audible = 0; audible < 3; ++audible) {
    Rig rig(kStrumming, 1.f);
    for (int k = 0; k < 3; ++k) rig.on(keys[k], k == audible ? 0.9f : 0.f);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rig.voiceOf(keys[k]).startDelay, 10 * k);
    rig.run(30);
    onset[audible] = rig.onsetPass();
  }
  // The boundary that dispatches the keys also runs a tick update, so a delay of d ticks is
  // heard d - 1 passes after the first key: 0, 9, 19.
  EXPECT_EQ(onset[0], 0);
  EXPECT_EQ(onset[1], 9);
  EXPECT_EQ(onset[2], 19);

  // A second key pressed four passes into the strum still sounds at its place (pass 9); one
  // pressed after its place has passed sounds in the pass right after its boundary.
  Rig early(kStrumming, 1.f);
  early.on(60, 0.f), early.run(4), early.on(64, 0.9f), early.run(20);
  EXPECT_EQ(early.onsetPass(), onset[1]);

  Rig late(kStrumming, 1.f);
  late.on(60, 0.f), late.run(15), late.on(64, 0.9f);
  EXPECT_EQ(late.voiceOf(64).startDelay, 0);
  late.run(10);
  EXPECT_EQ(late.onsetPass(), 15);
}

// Holds `from` long enough for the idle strings to leave the pass (one voice sounding), then
// presses `to` legato. Returns the passes the glide took; the rig keeps the audio.
int legato(Rig& rig, int from, int to, float velocity = 0.8f) {
  rig.on(from);
  rig.run(60);
  rig.on(to, velocity);
  return rig.passesToReach(to);
}

TEST(StylesSolo, FixedGlideTakesFixedTimeWithFretNoiseAndNoNewPluck) {
  // "Timing" 0.75: fixedGlide 60, so 60 / 120 BPM = 0.5 s = 100 passes whatever the interval.
  // The legato velocities are too small to buzz, so the tracker hears only the string.
  Rig rig(kSoloFixed, 0.75f);
  rig.on(72);
  rig.run(60);
  ASSERT_EQ(rig.gatedNotes(), std::vector<int>{72});
  const StringVoice& voice = rig.voiceOf(72);
  const int ageBefore = voice.age;
  const double c = rig.noteAt(40);
  EXPECT_NEAR(c, 72.0, 0.1);

  // A window of 1024 samples is centred 2.3 passes after its start.
  auto onPath = [&](int start, double from, double to, int q) {
    const double t = std::min((q + 2.3) / 100.0, 1.0);
    EXPECT_NEAR(rig.noteAt(start + q) - c, from + (to - from) * t, 0.15) << "pass " << q;
  };
  const int press = static_cast<int>(rig.passStart.size());
  rig.on(76, 0.01f);
  EXPECT_FLOAT_EQ(rig.engine().fretNoiseAmp, 0.01f * 0.3f);
  const int up = rig.passesToReach(76);
  EXPECT_NEAR(up, 100, 1) << "within one tick";
  rig.run(40);
  EXPECT_EQ(rig.gatedNotes(), std::vector<int>{72}) << "no string was started for the legato key";
  EXPECT_EQ(voice.age, ageBefore + up + 40) << "the sounding string was not restarted";
  for (int q : {10, 30, 50, 70, 90, 110}) onPath(press, 0.0, 4.0, q);

  const int back = static_cast<int>(rig.passStart.size());
  rig.off(76, 0.01f);
  const int down = rig.passesToReach(72);
  EXPECT_NEAR(down, 100, 1);
  rig.run(20);
  for (int q : {10, 50, 90, 105}) onPath(back, 4.0, 0.0, q);

  const int release = static_cast<int>(rig.passStart.size());
  const double ringing = rig.rmsOver(release - 10, 10);
  rig.off(72);
  rig.run(30);
  EXPECT_TRUE(rig.gatedNotes().empty());
  EXPECT_GT(ringing, 1e-3);
  EXPECT_LT(rig.rmsOver(release + 10, 20), ringing * 1e-3) << "the last key-up ends the line";

  // The glide time does not depend on the interval, and halves at twice the tempo.
  Rig fifth(kSoloFixed, 0.75f);
  EXPECT_NEAR(legato(fifth, 72, 79), 100, 1);
  Rig fast(kSoloFixed, 0.75f);
  fast.engine().tempo = 240.f;
  EXPECT_NEAR(legato(fast, 72, 76), 50, 1);

  // The fret-noise burst: the same phrase with a legato velocity too small to buzz differs
  // only from the legato key on.
  Rig loud(kSoloFixed, 0.75f), soft(kSoloFixed, 0.75f);
  loud.on(72), loud.run(60), loud.on(76, 0.9f);
  EXPECT_FLOAT_EQ(loud.engine().fretNoiseAmp, 0.9f * 0.3f);
  loud.passesToReach(76);
  legato(soft, 72, 76, 0.01f);
  const int cut = loud.passStart[60];
  ASSERT_EQ(loud.left.size(), soft.left.size());
  EXPECT_EQ(0, std::memcmp(loud.left.data(), soft.left.data(), sizeof(float) * cut));
  std::vector<float> burst(loud.left.size() - cut);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = loud.left[cut + i] - soft.left[cut + i];
  EXPECT_GT(test::rms(burst.data(), 2205), 0.5 * loud.rmsOver(40, 20));
}

TEST(StylesSolo, DynamicGlideGrowsWithTheSquareOfTheInterval) {
  // "Timing" 1.0: dynamicGlide 0.1875, 0.1875 * 200 / 120 = 0.3125 squared semitones a pass.
  Rig two(kSoloDynamic, 1.f), four(kSoloDynamic, 1.f);
  const int p2 = legato(two, 72, 74);
  const int p4 = legato(four, 72, 76);
  two.run(30);
  EXPECT_NEAR(p2, 4 / 0.3125, 1.0);
  EXPECT_NEAR(p4, 16 / 0.3125, 1.0);
  EXPECT_NEAR(double(p4) / p2, 4.0, 0.35);
  four.run(20);
  // Both glides move at 0.3125 / d semitones a pass: the short one has arrived after 15
  // passes, the long one has covered a third of its way.
  const double c = two.noteAt(40);
  EXPECT_NEAR(two.noteAt(60 + 15), c + 2.0, 0.1);
  for (int q : {5, 15, 30}) EXPECT_NEAR(four.noteAt(60 + q), c + (q + 2.3) * 0.3125 / 4, 0.15) << q;
  EXPECT_NEAR(four.noteAt(60 + 60), c + 4.0, 0.1);

  Rig slow(kSoloDynamic, 1.f);
  slow.engine().tempo = 60.f;  // 0.625 a pass
  EXPECT_NEAR(legato(slow, 72, 74), 4 / 0.625, 1.0);

  // No fret noise in this style: the legato velocity changes nothing that is heard.
  Rig loud(kSoloDynamic, 1.f), soft(kSoloDynamic, 1.f);
  legato(loud, 72, 76, 1.f), loud.off(76, 1.f), loud.run(60);
  legato(soft, 72, 76, 0.01f), soft.off(76, 0.01f), soft.run(60);
  ASSERT_EQ(loud.left.size(), soft.left.size());
  EXPECT_EQ(0, std::memcmp(loud.left.data(), soft.left.data(), sizeof(float) * loud.left.size()));
}

TEST(StylesHousekeeping, AidChangeReleasesAndLatchHoldsChordsAndStrums) {
  Rig rig(kAutoChords, 0.f);
  rig.on(40);
  rig.run(2);
  ASSERT_EQ(rig.gatedNotes().size(), 6u);
  rig.value(kAid) = kNone;
  EXPECT_EQ(rig.gatedNotes().size(), 6u) << "the change acts at the next pass";
  rig.run(1);
  EXPECT_TRUE(rig.gatedNotes().empty());
  rig.style(kStrumming);
  for (int key : {60, 64}) rig.on(key);
  rig.style(kSoloFixed);
  EXPECT_EQ(rig.engine().strumCount, 0);
  EXPECT_TRUE(rig.gatedNotes().empty());
  for (int key : {60, 64}) rig.on(key);
  rig.style(kPowerChords);
  EXPECT_EQ(rig.engine().heldNotes.count, 0);
  EXPECT_TRUE(rig.gatedNotes().empty());

  // The pedal holds a chord after key-up; a new chord still replaces it.
  rig.style(kAutoChords);
  rig.pedal(127);
  rig.on(40), rig.off(40), rig.run(3);
  EXPECT_EQ(rig.gatedNotes(), kChords[4]);
  rig.on(43), rig.off(43);
  EXPECT_EQ(rig.gatedNotes(), kChords[7]);
  rig.pedal(0), rig.run(1);
  EXPECT_TRUE(rig.gatedNotes().empty());

  // The latch holds a strum; dropping it releases the strings whose keys are up.
  rig.engine().latchFlags = kLatchParameter;
  rig.style(kStrumming);
  for (int key : {60, 64, 67}) rig.on(key);
  rig.run(25);
  rig.off(60), rig.off(64), rig.run(2);
  EXPECT_EQ(rig.gatedNotes(), (std::vector<int>{60, 64, 67}));
  rig.engine().latchFlags = 0;
  rig.run(1);
  EXPECT_EQ(rig.gatedNotes(), std::vector<int>{67});
  rig.off(67);
  EXPECT_TRUE(rig.gatedNotes().empty());

  // Releasing the last solo key silences the line even when latched.
  rig.engine().latchFlags = kLatchParameter;
  rig.style(kSoloFixed);
  for (int key : {60, 64}) rig.on(key);
  rig.off(64), rig.off(60);
  EXPECT_TRUE(rig.gatedNotes().empty());
}

bool stillPlays(Rig& rig, int note) {
  rig.style(kNone);
  const int from = static_cast<int>(rig.passStart.size());
  rig.on(note);
  rig.run(20);
  return rig.finite() && rig.rmsOver(from, 19) > 1e-3;
}

TEST(StylesDegenerate, NoNanNoStrayIndexAndTheInstrumentStillPlays) {
  // Keys held across two style changes leave strumCount negative; delays become 0.
  Rig strum(kStrumming, 1.f);
  for (int key : {60, 64}) strum.on(key);
  strum.style(kPowerChords), strum.style(kStrumming);
  strum.off(60), strum.off(64);
  EXPECT_LT(strum.engine().strumCount, 0);
  const int at = static_cast<int>(strum.passStart.size());
  strum.on(67);
  EXPECT_EQ(strum.voiceOf(67).startDelay, 0);
  strum.run(10);
  EXPECT_EQ(strum.onsetPass(at), at);
  EXPECT_TRUE(stillPlays(strum, 62));

  // A legato key equal to glideNote: infinite dynamic step, zero fixed step, no movement.
  for (float aid : {kSoloDynamic, kSoloFixed}) {
    Rig solo(aid, 0.5f);
    solo.on(60), solo.run(10), solo.on(60);
    if (aid == kSoloDynamic)
      EXPECT_TRUE(std::isinf(solo.engine().glideStep) && solo.engine().glideStep > 0.f);
    else
      EXPECT_EQ(solo.engine().glideStep, 0.f);
    solo.run(10);
    EXPECT_EQ(solo.engine().glideNote, 60.f);
    solo.on(64);
    EXPECT_TRUE(std::isfinite(solo.engine().glideStep));
    EXPECT_GT(solo.passesToReach(64), 0);
    for (int key : {64, 60, 60}) solo.off(key);
    EXPECT_TRUE(solo.gatedNotes().empty());
    EXPECT_TRUE(stillPlays(solo, 55)) << aid;
  }

  // More held keys than the stack holds: it keeps the most recent, and removal still works.
  auto stack = std::make_unique<HeldNoteStack>();
  std::memset(stack.get(), 0, sizeof(HeldNoteStack));
  for (int i = 0; i < 200; ++i) {
    EXPECT_LE(pushHeldNote(*stack, i % 128), kHeldNoteCapacity);
    ASSERT_LE(stack->count, kHeldNoteCapacity);
  }
  EXPECT_EQ(stack->count, kHeldNoteCapacity);
  EXPECT_EQ(stack->notes[0], 199 % 128) << "the top is the latest key";
  EXPECT_EQ(removeHeldNote(*stack, 199 % 128), kHeldNoteCapacity - 1);
  EXPECT_EQ(stack->notes[0], 198 % 128);
  for (int note = 0; note < 128; ++note) removeHeldNote(*stack, note);
  EXPECT_EQ(stack->count, 0);
  EXPECT_EQ(removeHeldNote(*stack, 5), 0);

  Rig held(kSoloFixed, 0.5f);
  for (int i = 0; i < 200; ++i) held.on(60 + i % 3);
  EXPECT_LE(held.engine().heldNotes.count, kHeldNoteCapacity);
  held.run(5);
  for (int i = 0; i < 200; ++i) held.off(60 + i % 3);
  EXPECT_EQ(held.engine().heldNotes.count, 0);
  EXPECT_TRUE(held.gatedNotes().empty());
  EXPECT_TRUE(stillPlays(held, 64));

  // Chords at the ends of the keyboard and extreme detune bytes; key-ups reach past 127.
  for (float aid : {kAutoChords, kPowerChords}) {
    Rig edge(aid, 1.f);
    for (int key : {0, 5, 59, 60, 120, 127})
      for (int detune : {-128, 127}) {
        edge.on(key, 1.f, detune);
        for (int note : edge.gatedNotes()) EXPECT_TRUE(note >= 0 && note <= 127);
        edge.run(3);
        edge.off(key);
      }
    EXPECT_TRUE(edge.finite());
    EXPECT_TRUE(stillPlays(edge, 48)) << aid;
  }
}

TEST(StylesInstance, HostTempoZeroGlidesAsAt120) {
  testhost::CoreHost fx(kRate, 441);
  fx.transport = {0.0, true};
  fx.set(kAid, kSoloFixed);
  fx.set(kTiming, 0.5f);  // fixedGlide 15: 25 passes at 120 BPM
  fx.set(kLatch, 0.f);
  std::vector<float> all;
  auto render = [&](int blocks) {
    for (int b = 0; b < blocks; ++b) {
      const std::vector<float> left = fx.renderLeft(441);
      all.insert(all.end(), left.begin(), left.end());
    }
  };
  const Engine& engine = fx.engine();
  fx.send({{0, 0x90, 60, 100}});
  render(30);
  fx.send({{0, 0x90, 64, 100}});
  render(1);  // the key is dispatched at the boundary inside the block
  EXPECT_EQ(engine.tempo, 120.f);
  EXPECT_NEAR(engine.glideStep, 4.f / 25.f, 1e-6f);
  render(13);
  EXPECT_EQ(engine.glideNote, 64.f);
  fx.send({{0, 0x80, 64, 0}, {0, 0x80, 60, 0}});
  render(10);
  EXPECT_TRUE(test::allFinite(all.data(), static_cast<int>(all.size())));
  EXPECT_GT(test::rms(all.data(), static_cast<int>(all.size())), 1e-4);
}

}  // namespace
}  // namespace vorlak
