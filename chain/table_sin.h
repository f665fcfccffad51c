// Table sine and the triangle phase shared by the chain's modulators.
#pragma once

#include <cstdint>

namespace vorlak {

// Sine of angle (radians) read from the process-wide 65536-entry table, without
// interpolation. The index is truncated toward zero and only its low 16 bits are kept
// (two's complement), so negative angles read the upper half of the table.
// Valid for |angle| < 2e5.
inline float tableSin(const float* sineTable, float angle) {
  const int32_t index = static_cast<int32_t>(angle * 10430.0546875f);
  return sineTable[static_cast<uint32_t>(index) & 0xFFFFu];
}

// Advances a phase in [0, 1) by increment (cycles per sample) and wraps it by dropping the
// integer part; returns the new phase.
inline float trianglePhaseAdvance(float& phase, float increment) {
  const float p = phase + increment;
  phase = p - static_cast<float>(static_cast<int32_t>(p));
  return phase;
}

// Triangle of a phase p in [0, 1): 1 at p = 0, 0 at p = 0.5, back towards 1 at p -> 1.
inline float triangleShape(float p) {
  const float t = 2.0f * p - 1.0f;
  return t < 0.0f ? -t : t;
}

}  // namespace vorlak
