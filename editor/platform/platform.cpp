#include "editor/platform/platform.h"

#include "editor/platform/x11/x11_platform.h"

namespace vorlak {

namespace {

Platform* installed = nullptr;

Platform& defaultPlatform() {
  static X11Platform x11;
  return x11;
}

}  // namespace

Platform& currentPlatform() { return installed ? *installed : defaultPlatform(); }

void setPlatform(Platform* platform) { installed = platform; }

}  // namespace vorlak
