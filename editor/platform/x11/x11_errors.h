// Xlib's default error handler ends the process. While a trap exists, errors on its display
// are counted instead (a window the host destroyed under us answers BadWindow); errors on
// other connections, the host's own among them, still go to whichever handler was there.
#pragma once

#include <X11/Xlib.h>

namespace vorlak {

class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* display);
  // Waits for the server to answer everything sent while the trap was set.
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // Waits for the server, then tells whether any request failed.
  bool failed();
  // Whether a request failed because a window or drawable no longer exists.
  bool windowGone();

 private:
  Display* display;
  int slot;
};

}  // namespace vorlak
