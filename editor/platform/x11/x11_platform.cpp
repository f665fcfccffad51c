#include "editor/platform/x11/x11_platform.h"

#include <X11/Xlib.h>
#include <time.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/text.h"
#include "editor/platform/x11/x11_top_level.h"
#include "editor/platform/x11/x11_window.h"

namespace vorlak {

std::unique_ptr<NativeWindow> X11Platform::createWindow(void* parent, int width, int height) {
  // Hosts hand over the parent's window id in the pointer.
  const auto id = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
  if (!id) return nullptr;
  return X11Window::create(id, width, height);
}

std::unique_ptr<TopLevelWindow> X11Platform::createTopLevel(const char* title, int width,
                                                            int height) {
  return X11TopLevel::create(title, width, height);
}

uint32_t X11Platform::tickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void X11Platform::sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

namespace {

// The value of Xft.dpi in a resource string ("Xft.dpi:\t192\n..."), or 0.
double xftDpi(const char* resources) {
  if (!resources) return 0.0;
  const char* at = resources;
  while ((at = std::strstr(at, "Xft.dpi:")) != nullptr) {
    if (at == resources || at[-1] == '\n') return leadingNumber(at + 8);
    at += 8;
  }
  return 0.0;
}

}  // namespace

// Read afresh each time: the panel asks when it opens, and the desktop may have changed it.
double X11Platform::systemScale(void*) {
  double dpi = 0.0;
  if (Display* display = XOpenDisplay(nullptr)) {
    dpi = xftDpi(XResourceManagerString(display));
    XCloseDisplay(display);
  }
  if (dpi > 0.0 && std::isfinite(dpi)) return dpi / 96.0;
  if (const char* gdk = std::getenv("GDK_SCALE")) {
    const double factor = leadingNumber(gdk);
    if (factor > 0.0 && std::isfinite(factor)) return factor;
  }
  return 0.0;
}

Platform& defaultPlatform() {
  static X11Platform x11;
  return x11;
}

}  // namespace vorlak
