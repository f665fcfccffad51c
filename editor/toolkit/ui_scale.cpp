#include "editor/toolkit/ui_scale.h"

#include <cmath>
#include <cstdlib>

#include "common/text.h"
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
  const double asked = snapScale(leadingNumber(std::getenv("VORLAK_UI_SCALE")));
  if (asked > 0.0) return asked;
  const double host = snapScale(hostScale);
  if (host > 0.0) return host;
  const double system = snapScale(platform.systemScale(parent));
  return system > 0.0 ? system : 1.0;
}

}  // namespace vorlak
