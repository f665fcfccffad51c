// The eight effects in front of the amplifier: phaser (frequency shifter with feedback),
// tempo tremolo, envelope wah, LFO wah, ring modulator tuned to the played pitch, fuzz box,
// octave-down harmonizer and talkbox. Each works in place on a sub-block; "FX par1" and
// "FX par2" are read once per call (a call covers at most one 5 ms tick).
#pragma once

#include "chain/effect_state.h"
#include "engine/patch.h"

namespace vorlak {

struct Engine;

// fx is one of kFxAmpPhaser .. kFxAmpTalkbox; anything else leaves the buffers alone. The
// mono effects read left and write both channels; the tremolo and the ring modulator treat
// the channels separately.
void runAmpEffect(int fx, EffectState& state, Engine& engine, const Patch& patch, float* left,
                  float* right, int count);

// Shared with the master slot, on the same state. The phaser's mono output is
// left = right = x + s, its stereo output left = x - s, right = x + s.
void runPhaser(EffectState& state, const Engine& engine, const Patch& patch, float* left,
               float* right, int count, bool stereo);
// Uses Engine::modulationPhase[0] as its phase, which every string start sets to 0.
void runTremolo(Engine& engine, const Patch& patch, float* left, float* right, int count);

// The note length (in beats, 0.25 .. 2) chosen by "FX par1".
float noteLengthFor(const Engine& engine, float par1);

}  // namespace vorlak
