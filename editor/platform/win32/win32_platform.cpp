#include "editor/platform/win32/win32_platform.h"

#include "editor/platform/win32/win32_window.h"

namespace vorlak {

std::unique_ptr<NativeWindow> Win32Platform::createWindow(void* parent, int width, int height) {
  return Win32Window::create(static_cast<HWND>(parent), width, height);
}

uint32_t Win32Platform::tickCount() { return GetTickCount(); }

void Win32Platform::sleep(int milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

Platform& defaultPlatform() {
  static Win32Platform win32;
  return win32;
}

}  // namespace vorlak
