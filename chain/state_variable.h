// Chamberlin state-variable filter step, used inline with a coefficient f = 2·sin(angle)
// and damping d chosen by each caller. Zero state: StateVariable{}.
#pragma once

namespace vorlak {

struct StateVariable {
  float low;
  float high;
  float band;

  void step(float input, float f, float damping) {
    low = low + f * band;
    high = input - low - damping * band;
    band = band + f * high;
  }
};

}  // namespace vorlak
