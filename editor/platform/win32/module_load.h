// Included by exactly one source file of each Windows plug-in module (its entry points): the
// module's load notification. It keeps the instance handle, under which the panel's window
// class is named and registered; nothing else happens at load time.
#pragma once

#include <windows.h>

#include "editor/platform/win32/win32_platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) vorlak::setWin32ModuleInstance(instance);
  return TRUE;
}
