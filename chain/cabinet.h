// The speaker cabinet: a resonant ladder low-pass, one early reflection of the filtered
// signal, a wet/dry mix and a level, per model.
#pragma once

#include <cstdint>

#include "chain/ladder_filter.h"

namespace vorlak {

constexpr int kReflectionSize = 512;

struct Cabinet {
  LadderFilter ladder;
  float ring[kReflectionSize];
  uint32_t position;
};

struct CabinetModel {
  int reflectionFrames;  // at 44.1 kHz, one more than the distance used there
  float cutoff;
  float resonance;
  float wet;
  float level;
};

const CabinetModel& cabinetModel(int model);

// The reflection distance at a sample rate: 19, 63, 31, 47 frames at 44.1 kHz.
uint32_t reflectionDistance(int reflectionFrames, float sampleRate);

}  // namespace vorlak
