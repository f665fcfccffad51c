// The Win32 binding: the editor's window is a child of the host's window, whose handle the
// host passes as the parent pointer. No <windows.h> here, so the module entry can include it.
#pragma once

#include "editor/platform/platform.h"

namespace vorlak {

class Win32Platform : public Platform {
 public:
  // Null when the parent is not a window.
  std::unique_ptr<NativeWindow> createWindow(void* parent, int width, int height) override;
  uint32_t tickCount() override;  // GetTickCount
  void sleep(int milliseconds) override;
  // GetDpiForWindow of the parent / 96 where Windows has it, else the screen's LOGPIXELSX.
  double systemScale(void* parent) override;
};

// The module's instance handle (an HINSTANCE), stored by the module's load notification. The
// window class is named after it and registered for it. Until it is stored (a program that
// links the core rather than loading the module), the module holding this code is used.
void setWin32ModuleInstance(void* instance);

}  // namespace vorlak
