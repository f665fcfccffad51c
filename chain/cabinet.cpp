#include "chain/cabinet.h"

namespace vorlak {

const CabinetModel& cabinetModel(int model) {
  static constexpr CabinetModel kModels[4] = {
      {20, 0.2f, 0.0f, 0.0f, 0.7f},   // Dry
      {64, 0.25f, 0.5f, 1.0f, 1.2f},  // British
      {32, 0.17f, 0.6f, 1.0f, 1.4f},  // Combo
      {48, 0.33f, 0.5f, 1.0f, 1.0f},  // StaX
  };
  return kModels[model < 0 ? 0 : (model > 3 ? 3 : model)];
}

uint32_t reflectionDistance(int reflectionFrames, float sampleRate) {
  // The constant is the float just below 1/44100 and the product is not rounded to float
  // before truncation, which makes each distance one frame short of its nominal length.
  const double frames = static_cast<double>(reflectionFrames) * static_cast<double>(sampleRate) *
                        static_cast<double>(2.2675737e-05f);
  const auto distance = static_cast<uint32_t>(frames);
  return distance < kReflectionSize ? distance : kReflectionSize - 1;
}

}  // namespace vorlak
