#include "editor/platform/x11/x11_platform.h"

#include <time.h>

#include <cerrno>
#include <cstdint>

#include "editor/platform/x11/x11_window.h"

namespace vorlak {

std::unique_ptr<NativeWindow> X11Platform::createWindow(void* parent, int width, int height) {
  // Hosts hand over the parent's window id in the pointer.
  const auto id = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
  if (!id) return nullptr;
  return X11Window::create(id, width, height);
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

Platform& defaultPlatform() {
  static X11Platform x11;
  return x11;
}

}  // namespace vorlak
