#include "editor/toolkit/ui_scale.h"

#include <cstdlib>

#include "editor/platform/platform.h"

namespace vorlak {

double snapScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0.0) return 0.0;
  double best = kScaleSteps[0];
  for (double step : kScaleSteps)
    if (std::fabs(step - scale) < std::fabs(best - scale)) best = step;
  return best;
}

double resolveScale(double hostScale, Platform& platform, void* parent) {
  if (const char* text = std::getenv("VORLAK_UI_SCALE")) {
    char* end = nullptr;
    const double asked = std::strtod(text, &end);
    if (end != text && snapScale(asked) > 0.0) return snapScale(asked);
  }
  if (snapScale(hostScale) > 0.0) return snapScale(hostScale);
  const double system = snapScale(platform.systemScale(parent));
  return system > 0.0 ? system : 1.0;
}

}  // namespace vorlak
