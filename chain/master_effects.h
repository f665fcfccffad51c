// The seven effects after the amplifier, cabinet and output gain, which give the instrument
// its stereo image: chorus, flanger, phaser, Leslie, tremolo, dub delay and a tempo-synced
// multitap echo. They read the left channel (the tremolo both) and write both, in place.
// "FX par1" and "FX par2" are read once per call.
#pragma once

#include "chain/effect_state.h"
#include "engine/patch.h"

namespace vorlak {

struct Engine;

// fx is one of kFxMstChorus .. kFxMstMultitap; anything else leaves the buffers alone.
void runMasterEffect(int fx, EffectState& state, Engine& engine, const Patch& patch, float* left,
                     float* right, int count);

// The multitap's loop length in frames for a sample rate, tempo and note length (beats):
// trunc of fs·60/tempo·noteLength, limited to 1 .. kEffectRingSize. A length beyond the
// integer range (a tempo near 0) takes the lower limit.
uint32_t multitapLength(float sampleRate, float tempo, float noteLength);

}  // namespace vorlak
