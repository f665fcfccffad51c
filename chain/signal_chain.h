// The chain from the string mix to the stereo output: the pre-amplifier effect, the
// amplifier and cabinet with the feedback resonator, a fixed output voicing, an output
// high-pass and gain, and the master effect. It works in place on the two channels.
#pragma once

#include <cstdint>

#include "chain/amplifier.h"
#include "chain/biquad.h"
#include "chain/cabinet.h"
#include "chain/effect_state.h"
#include "engine/patch.h"

namespace vorlak {

struct Engine;

enum ChainBiquad : int {
  kEqLowBand = 0,
  kEqMidBand = 1,
  kEqHighBand = 2,
  kVoicingLow = 3,
  kVoicingHigh = 4
};

// The inputs the chain's biquads were last designed for; a rate of 0 means never.
struct BiquadDesign {
  float rate;
  float eqLow, eqMid, eqHigh;
};

struct Chain {
  BiquadBank biquads;
  BiquadDesign designed;
  Amplifier amplifier;
  Cabinet cabinet;
  float outputHighpass;
  uint32_t feedbackWritePos;
  EffectState effects;
};

// Zero state, with the feedback ring written one tick ahead of where the strings read it.
void resetChain(Chain& chain, float sampleRate);

void processChain(Chain& chain, Engine& engine, const Patch& patch, float* left, float* right,
                  int offset, int count);

}  // namespace vorlak
