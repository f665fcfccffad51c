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

// A host that is not DPI-aware gets 96 from either call, so scale 1, and Windows stretches
// its windows itself. GetDpiForWindow came with Windows 10 1607: looked up, not linked.
double Win32Platform::systemScale(void* parent) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  UINT dpi = 0;
  if (dpiForWindow && parent && IsWindow(static_cast<HWND>(parent)))
    dpi = dpiForWindow(static_cast<HWND>(parent));
  if (dpi == 0) {
    if (HDC screen = GetDC(nullptr)) {
      dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
      ReleaseDC(nullptr, screen);
    }
  }
  return dpi > 0 ? dpi / 96.0 : 0.0;
}

Platform& defaultPlatform() {
  static Win32Platform win32;
  return win32;
}

}  // namespace vorlak
