// The module's one exported symbol, clap_entry, and the plug-in factory behind it.
#include <cstring>

#include "formats/clap/plugin.h"
#include "formats/clap/presets.h"
#include "instrument/runtime_arena.h"

namespace vorlak::clap {
namespace {

uint32_t pluginCount(const PluginFactory*) { return 1; }

const PluginDescriptor* pluginDescriptor(const PluginFactory*, uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}

const Plugin* createPlugin(const PluginFactory*, const Host* host, const char* id) {
  if (!id || std::strcmp(id, kDescriptor.id) != 0) return nullptr;
  Instance* instance = Instance::create(host);
  return instance ? instance->plugin() : nullptr;
}

const PluginFactory kPluginFactory{pluginCount, pluginDescriptor, createPlugin};

bool entryInit(const char*) { return true; }
void entryDeinit() {}

const void* entryFactory(const char* id) {
  if (!id) return nullptr;
  if (std::strcmp(id, kPluginFactoryId) == 0) return &kPluginFactory;
  if (std::strcmp(id, kPresetDiscoveryFactoryId) == 0 ||
      std::strcmp(id, kPresetDiscoveryFactoryIdCompat) == 0)
    return &kPresetDiscoveryFactory;
  return nullptr;
}

}  // namespace
}  // namespace vorlak::clap

extern "C" __attribute__((visibility("default")))
const vorlak::clap::PluginEntry clap_entry{vorlak::clap::kVersion, vorlak::clap::entryInit,
                                           vorlak::clap::entryDeinit, vorlak::clap::entryFactory};

#if defined(_WIN32)
#include "editor/platform/win32/module_load.h"
#endif
