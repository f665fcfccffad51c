// One of the six string voices: the note it plays, its tick envelope, and the model state
// (two loop delay lines, the pickup history and the one-pole states).
#pragma once

#include <cstdint>

namespace vorlak {

constexpr int kVoiceCount = 6;
constexpr int kLineSize = 32768;
constexpr uint32_t kLineMask = kLineSize - 1;

// A released string sounds until its release clock (releaseTime) reaches this many seconds'
// worth of samples at the running rate; the clock runs at releaseClockRate per sample, so a
// darker "Tone" keeps a released string longer (0.08 to 0.32 s at 44.1 kHz, and longer in
// seconds at higher rates, as the clock counts in 44.1 kHz steps).
constexpr float kIdleWindow = 0.2f;

// "Tone" as the string pass uses it, 0.625 to 2.5: the pace of the excitation, the release
// clock and the pluck's level.
inline float toneFactorOf(float tone) {
  const float t = tone * 0.5f + 0.25f;
  return t < 0.5f ? t * 1.5f + 0.25f : (t - 0.5f) * 6.0f + 1.0f;
}

// The release clock's step per sample: faster with a brighter tone.
inline float releaseClockRate(float tone, float inverseRate) {
  return toneFactorOf(tone) * (inverseRate * 44100.0f);
}

enum EnvState : uint8_t {
  kEnvOff = 0,
  kEnvRelease = 1,
  kEnvSilent = 2,
  kEnvDecay = 3,
  kEnvAttack = 4
};

struct StringVoice {
  int8_t excitationIndex;
  float excitationRate;
  float excitationGain;
  float note;
  float velocity;
  float dampVelocity;
  int8_t detune;
  bool keyHeld;
  float envLevel;
  float envPhase;
  float releaseLevel;
  float gate;
  uint8_t envState;
  float excitationAmp;
  float envTarget;
  float releaseTime;
  float excitationPos;
  int32_t age;  // saturates rather than wrapping
  int32_t startDelay;

  // Running write positions; only their low 15 bits address the lines, so they may wrap.
  uint32_t writeA;
  uint32_t writeB;
  float loopStateA;
  float loopStateB;
  float fretNoiseState;
  // Output filter of the pickup stage.
  float filterLow;
  float filterBand;
  float filterHigh;

  // Per-string expression: who started the voice (the MIDI channel and the host's note id,
  // -1 for none), the note's own tuning (semitones) and gain, and the pitch factor these make
  // with its channel's bend, which the string pass divides the loop length by.
  int8_t channel;
  int32_t noteId;
  float tuning;
  float gain;
  float pitchRatio;

  float lineA[kLineSize];
  float lineB[kLineSize];
  float pickupLine[kLineSize];
};

// The string pass renders up to four voices side by side, one in each lane of a vector. What
// the voices share (the noise generator and the fret-noise oscillator) is drawn ahead, voice
// after voice in the order the voices come, and laid out lane by lane; each lane's output
// waits here so that the voices are summed in that order too.
constexpr int kLanes = 4;
constexpr int kLaneGroups = (kVoiceCount + kLanes - 1) / kLanes;
// A pass covers at most one 5 ms tick: 1921 frames at 384 kHz.
constexpr int kPassCapacity = 2048;

struct LaneScratch {
  float noise[kLaneGroups][kPassCapacity * kLanes];
  float fretNoise[kLaneGroups][kPassCapacity * kLanes];
  int32_t fretOn[kLaneGroups][kPassCapacity * kLanes];
  float output[kLaneGroups][kPassCapacity * kLanes];
};

}  // namespace vorlak
