// The amplifier: four pre-stage types ("Dry", "Tube", "EQ", "Bandpass") with drive,
// presence and a three-band equaliser whose level is compensated, and the feedback
// resonator that the cabinet output excites and that feeds both the amplifier input and,
// through the feedback ring, the strings.
#pragma once

#include <cstdint>

#include "chain/biquad.h"
#include "chain/state_variable.h"
#include "chain/table_sin.h"
#include "engine/patch.h"

namespace vorlak {

enum AmpType : int { kAmpDry = 0, kAmpTube = 1, kAmpEq = 2, kAmpBandpass = 3 };

struct Amplifier {
  float inputHighpass;
  float toneStage[3];  // shared by "Tube" and "EQ"
  StateVariable bandStage[3];
  StateVariable resonator;  // its band value is the feedback signal
};

// Values that stay fixed for one chain call.
struct AmpSettings {
  float stageGain;  // 32 drv^2 + 1
  float drive;      // drv = "Drive" / 2 + 1/4
  float alpha;      // one-pole coefficient of the tone stages
  float bandCoefficient;
  float compensation;    // K, 1 with flat bands
  float feedbackAmount;  // "Feedback"^2 * 0.1
  float resonatorCoefficient;
};

AmpSettings ampSettings(const Patch& patch, float inverseRate);

// A sine-shaped clipper; never exceeds sin(0.785) ~ 0.707 in magnitude. Inline: the
// amplifier calls it three times a sample.
inline float softClip(const float* sineTable, float v) {
  const float clamped = v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : v);
  return tableSin(sineTable, 0.785f * clamped);
}

}  // namespace vorlak
