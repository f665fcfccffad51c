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
#include "editor/platform/win32/module_load.h"
#endif
