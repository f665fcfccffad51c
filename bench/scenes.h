// The playing situations that the benchmarks time and the instruction counter counts. Both
// executables drive the same scenes, so seconds and instruction counts describe the same work.
//
// StringScene: the string pass alone, six voices of "6String1" held on the six open strings
//   (E A D G B E, notes 40 45 50 55 59 64) and re-plucked once a second, cut into sub-blocks
//   on the 5 ms tick grid with the envelope tick between them, as the render loop does.
//   With bends, every tick also moves a pitch bend: the wheel across the fret ladder, or in a
//   guitar controller's mono mode each string's own channel, continuously.
// StkGuitarScene: STK's Guitar with six strings playing the same notes at the same sounding
//   frequencies (our strings ring an octave below the note) on the same re-pluck schedule.
// InstanceScene: a whole instance made by createEffect and driven through its dispatcher and
//   processReplacing, program "SINGLE Funky" (strummed), playing a four-chord phrase; optional
//   parameter settings applied after the program vary its amplifier, cabinet or effect.
//
// All three render host blocks of kBlockFrames frames at 44.1 kHz; an output sample means one
// frame (the string pass writes the left channel and copies it to the right).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "engine/engine.h"
#include "engine/render_clock.h"
#include "instrument/program.h"
#include "formats/vst2/vst2.h"

namespace stk {
class Guitar;
}

namespace vorlak::bench {

constexpr float kSampleRate = 44100.0f;
constexpr int kBlockFrames = 512;
constexpr int kStringCount = 6;
constexpr int kOpenStrings[kStringCount] = {40, 45, 50, 55, 59, 64};
constexpr int kPluckVelocity = 100;        // MIDI velocity of every pluck
constexpr int64_t kRepluckFrames = 44100;  // the six strings are plucked again every second

// Hertz at which our string sounds for a MIDI note: one octave below equal temperament.
double soundingFrequency(int note);

// Plucks happen at the start of the first block that begins at or after a whole multiple of
// kRepluckFrames, so every scene plucks at the same frames.
bool pluckDue(int64_t blockStart, int frames);

enum class Bends { kNone, kFretLadder, kEachString };

class StringScene {
 public:
  explicit StringScene(Bends bends = Bends::kNone);
  // Renders frames (at most kBlockFrames) into left and right, plucking when due.
  void render(float* left, float* right, int frames);
  // Voices that the last string pass rendered (all six once the scene is playing).
  int renderedVoices() const;

 private:
  void pluckAll();
  void bend(int tick);

  std::unique_ptr<Engine> engine;
  Bends bends;
  float values[kNumParameters];
  TickGrid grid{0.0f};
  int64_t position = 0;
  int tickCount = 0;
};

class StkGuitarScene {
 public:
  StkGuitarScene();
  ~StkGuitarScene();
  StkGuitarScene(const StkGuitarScene&) = delete;
  StkGuitarScene& operator=(const StkGuitarScene&) = delete;

  // Renders frames into out (mono, one tick of the Guitar per frame), plucking when due.
  void render(float* out, int frames);

 private:
  void pluckAll();

  std::unique_ptr<stk::Guitar> guitar;
  int64_t position = 0;
};

// A parameter value set on top of the scene's program.
struct ParameterSetting {
  int index;
  float value;
};

class InstanceScene {
 public:
  explicit InstanceScene(std::initializer_list<ParameterSetting> settings = {});
  ~InstanceScene();
  InstanceScene(const InstanceScene&) = delete;
  InstanceScene& operator=(const InstanceScene&) = delete;

  // Sends the phrase's due MIDI events, then renders frames (at most kBlockFrames) into the
  // two output channels with processReplacing.
  void render(float* left, float* right, int frames);
  bool valid() const { return effect != nullptr; }

 private:
  AEffect* effect = nullptr;
  int64_t position = 0;
};

}  // namespace vorlak::bench
