// The module's two exported entry points; hosts try VSTPluginMain first, then main.
#include "formats/vst2/effect.h"
#include "instrument/runtime_arena.h"

extern "C" {

__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
  return vorlak::createEffect(host);
}

// A C++ function cannot be called main, so the symbol gets its name from the assembler.
__attribute__((visibility("default"))) AEffect* vorlakMain(audioMasterCallback host) asm("main");
AEffect* vorlakMain(audioMasterCallback host) { return vorlak::createEffect(host); }
}

#if defined(_WIN32)
#include <windows.h>

#include "editor/platform/win32/win32_platform.h"

// The module's load notification: keeps the instance handle, after which the editor's window
// class is named and registered. Nothing else happens at load time.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) vorlak::setWin32ModuleInstance(instance);
  return TRUE;
}
#endif
