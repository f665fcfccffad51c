// The UI binary's one exported symbol, lv2ui_descriptor, and the C functions of the
// descriptor and its idle interface, each forwarding to the UI.
#include <cstring>

#include "formats/lv2/ports.h"
#include "formats/lv2/ui/ui.h"
#include "instrument/runtime_arena.h"

namespace vorlak::lv2 {
namespace {

Ui* self(LV2UI_Handle handle) { return static_cast<Ui*>(handle); }

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (!pluginUri || std::strcmp(pluginUri, kPluginUri) != 0) return nullptr;
  return Ui::create(write, controller, features, widget);
}

void cleanup(LV2UI_Handle handle) { delete self(handle); }

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
  self(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) { return self(handle)->idle(); }

const LV2UI_Idle_Interface kIdleInterface{idle};

// The UI reports no options; it takes ui:scaleFactor when the host sets it.
uint32_t getOptions(LV2_Handle, LV2_Options_Option*) { return LV2_OPTIONS_ERR_BAD_KEY; }
uint32_t setOptions(LV2_Handle handle, const LV2_Options_Option* options) {
  return self(handle)->setOptions(options);
}

const LV2_Options_Interface kOptionsInterface{getOptions, setOptions};

const void* extensionData(const char* uri) {
  if (!uri) return nullptr;
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
  if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &kOptionsInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor{kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace
}  // namespace vorlak::lv2

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(
    uint32_t index) {
  return index == 0 ? &vorlak::lv2::kDescriptor : nullptr;
}
