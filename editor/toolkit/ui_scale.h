// The panel's scale: the steps it can be drawn at, and the one place that decides which step
// a panel opens at (the user's VORLAK_UI_SCALE, then the host, then the system).
#pragma once

#include <cmath>
#include <cstdint>

#include "editor/toolkit/geometry.h"

namespace vorlak {

class Platform;

constexpr double kScaleSteps[] = {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0};

// The step nearest to scale; 0 when scale says nothing (0, negative or not finite).
double snapScale(double scale);

// A logical length or coordinate in device pixels: halves round up, as the panel's size does.
// Clamped to the int range, so wild coordinates stay defined.
inline int scaledLength(int logical, double scale) {
  const double at = std::floor(logical * scale + 0.5);
  return at <= -2147483648.0 ? INT32_MIN : at >= 2147483647.0 ? INT32_MAX : static_cast<int>(at);
}

// A device pixel of the window in logical coordinates: the logical pixel it lies in.
inline Point logicalPoint(Point device, double scale) {
  if (scale == 1.0) return device;
  return {static_cast<int32_t>(std::floor(device.x / scale)),
          static_cast<int32_t>(std::floor(device.y / scale))};
}

// The step the panel shows at: VORLAK_UI_SCALE when set to a number, else the host's scale
// when it gave one, else what the system says for parent (which may be null before opening).
double resolveScale(double hostScale, Platform& platform, void* parent);

}  // namespace vorlak
