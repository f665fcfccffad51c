#include "engine/pickup.h"

#include "engine/maths.h"

#include "engine/tiny_offset.h"

namespace vorlak {

PickupStage designPickup(int coils, float pickupPos, float pickupTableEntry, float lengthB,
                         float harmonic, float slapLevel, float inverseRate) {
  PickupStage stage{};
  const auto distance0 = static_cast<uint32_t>((pickupPos + 0.05f) * pickupTableEntry * 100.0f);
  switch (coils) {
    case 0:
      stage = {distance0, 0, 0.0f, 0.0f, 0.0f, 0.0f};
      break;
    case 1:
      stage = {distance0, 2 * distance0, -1.0f, 1.0f, 0.0f, 0.0f};
      break;
    default: {
      const auto first = static_cast<uint32_t>(static_cast<float>(distance0) * lengthB * 0.002f);
      stage = {first, 2 * first, -1.0f, 1.0f, 0.0f, 0.0f};
      break;
    }
  }
  const float coefficient = 2.0f * sine(3.14159f * (1000.0f + 6000.0f * harmonic) * inverseRate);
  stage.filterCoefficient = coefficient > 0.99f ? 0.99f : coefficient;
  stage.makeUpGain = 1.0f / ((1.0f - slapLevel * 0.98f) + kTiny);
  return stage;
}

}  // namespace vorlak
