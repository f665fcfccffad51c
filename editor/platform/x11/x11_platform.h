// The X11 binding: the editor's window is a child of the host's window (whose id the host
// passes as the parent pointer), on a display connection of its own. No Xlib header here.
#pragma once

#include "editor/platform/platform.h"

namespace vorlak {

class X11Platform : public Platform {
 public:
  // Null when the display cannot be opened or the parent is not a window there.
  std::unique_ptr<NativeWindow> createWindow(void* parent, int width, int height) override;
  uint32_t tickCount() override;  // CLOCK_MONOTONIC
  void sleep(int milliseconds) override;
  // Xft.dpi of the display's resources / 96, else GDK_SCALE, else 0.
  double systemScale(void* parent) override;
  std::unique_ptr<TopLevelWindow> createTopLevel(const char* title, int width, int height) override;
};

}  // namespace vorlak
