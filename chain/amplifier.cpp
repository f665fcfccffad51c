#include "chain/amplifier.h"

#include "chain/table_sin.h"
#include "engine/maths.h"

namespace vorlak {

AmpSettings ampSettings(const Patch& patch, float inverseRate) {
  AmpSettings s{};
  s.drive = patch.drive * 0.5f + 0.25f;
  s.stageGain = 32.0f * s.drive * s.drive + 1.0f;
  const float presence = patch.presence;
  s.alpha = (presence * presence * presence * 0.9f + 0.05f) * inverseRate * 44100.0f;
  s.bandCoefficient =
      2.0f * sine((300.0f + 2000.0f * presence * presence) * inverseRate * 3.14159f);
  s.compensation = (3.5f - patch.eqLow - patch.eqMid - patch.eqHigh) * 0.5f;
  s.feedbackAmount = patch.feedback * patch.feedback * 0.1f;
  s.resonatorCoefficient = 2.0f * sine(inverseRate * 12566.36f);
  return s;
}

}  // namespace vorlak
