// The module's exported functions: the factory, and the load and unload calls each platform's
// hosts make (ModuleEntry and ModuleExit on Linux, InitDll and ExitDll on Windows), which
// have nothing to set up.
#include "formats/vst3/factory.h"
#include "instrument/runtime_arena.h"

#if defined(_WIN32)
#include "editor/platform/win32/module_load.h"
// Exported by the definition file.
#define VORLAK_EXPORT extern "C"
#else
#define VORLAK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

VORLAK_EXPORT vorlak::vst3::PluginFactory* GetPluginFactory() {
  return &vorlak::vst3::moduleFactory();
}

#if defined(_WIN32)
VORLAK_EXPORT bool InitDll() { return true; }
VORLAK_EXPORT bool ExitDll() { return true; }
#else
VORLAK_EXPORT bool ModuleEntry(void*) { return true; }
VORLAK_EXPORT bool ModuleExit() { return true; }
#endif
