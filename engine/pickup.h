// The pickup comb and output filter that end every voice's sample: two taps into the voice's
// output history model the pickup position and coils, a state-variable lowpass softens the
// top, and a make-up gain undoes the loop clipping of "Slap level".
#pragma once

#include <cstdint>

#include "engine/string_voice.h"

namespace vorlak {

struct PickupStage {
  uint32_t distance1;
  uint32_t distance2;
  float weight1;
  float weight2;
  float filterCoefficient;
  float makeUpGain;
};

// coils: 0 none, 1 single, 2 double. lengthB is the pass's second loop length.
PickupStage designPickup(int coils, float pickupPos, float pickupTableEntry, float lengthB,
                         float harmonic, float slapLevel, float inverseRate);

}  // namespace vorlak
