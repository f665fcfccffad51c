// One of the six string voices: the note it plays, its tick envelope, and the model state
// (two loop delay lines, the pickup history and the one-pole states).
#pragma once

#include <cstdint>

namespace vorlak {

constexpr int kVoiceCount = 6;
constexpr int kLineSize = 32768;
constexpr uint32_t kLineMask = kLineSize - 1;

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

  float lineA[kLineSize];
  float lineB[kLineSize];
  float pickupLine[kLineSize];
};

}  // namespace vorlak
