#include "editor/platform/platform.h"

namespace vorlak {

namespace {

Platform* installed = nullptr;

}  // namespace

Platform& currentPlatform() { return installed ? *installed : defaultPlatform(); }

void setPlatform(Platform* platform) { installed = platform; }

}  // namespace vorlak
