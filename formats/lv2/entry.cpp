// The plug-in binary's one exported symbol, lv2_descriptor, and the C functions of the
// descriptor and the state interface, each forwarding to the instance.
#include <cstring>

#include "formats/lv2/plugin.h"
#include "instrument/runtime_arena.h"

namespace vorlak::lv2 {
namespace {

Plugin* self(LV2_Handle handle) { return static_cast<Plugin*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
  return Plugin::create(rate, features);
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
  self(handle)->connect(port, data);
}
void activate(LV2_Handle handle) { self(handle)->activate(); }
void run(LV2_Handle handle, uint32_t frames) { self(handle)->run(frames); }
void deactivate(LV2_Handle handle) { self(handle)->deactivate(); }
void cleanup(LV2_Handle handle) { delete self(handle); }

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t, const LV2_Feature* const*) {
  return self(handle)->save(store, state);
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
  return self(handle)->restore(retrieve, state);
}

const LV2_State_Interface kStateInterface{save, restore};

const void* extensionData(const char* uri) {
  return uri && std::strcmp(uri, LV2_STATE__interface) == 0 ? &kStateInterface : nullptr;
}

const LV2_Descriptor kDescriptor{kPluginUri, instantiate, connectPort, activate,
                                 run,        deactivate,  cleanup,     extensionData};

}  // namespace
}  // namespace vorlak::lv2

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(
    uint32_t index) {
  return index == 0 ? &vorlak::lv2::kDescriptor : nullptr;
}
