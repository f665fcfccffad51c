// The C tables a host calls: the plug-in's own and one per extension, each function finding
// its instance and forwarding. A null plug-in or argument is answered with a refusal.
#include <cstring>

#include "formats/clap/plugin.h"
#include "formats/clap/view.h"

namespace vorlak::clap {
namespace {

// ---- The plug-in ----

bool init(const Plugin* plugin) {
  Instance* self = Instance::of(plugin);
  return self && self->init();
}
void destroy(const Plugin* plugin) { delete Instance::of(plugin); }
bool activate(const Plugin* plugin, double rate, uint32_t, uint32_t maxFrames) {
  Instance* self = Instance::of(plugin);
  return self && self->activate(rate, maxFrames);
}
void deactivate(const Plugin* plugin) {
  if (Instance* self = Instance::of(plugin)) self->deactivate();
}
bool startProcessing(const Plugin* plugin) {
  Instance* self = Instance::of(plugin);
  return self && self->startProcessing();
}
void stopProcessing(const Plugin* plugin) {
  if (Instance* self = Instance::of(plugin)) self->stopProcessing();
}
void reset(const Plugin* plugin) {
  if (Instance* self = Instance::of(plugin)) self->reset();
}
int32_t process(const Plugin* plugin, const Process* block) {
  Instance* self = Instance::of(plugin);
  return self && block ? self->process(*block) : kProcessError;
}
void onMainThread(const Plugin* plugin) {
  if (Instance* self = Instance::of(plugin)) self->onMainThread();
}

// ---- Ports: no input, one stereo output; one note input, MIDI preferred ----

uint32_t audioPortCount(const Plugin*, bool isInput) { return isInput ? 0 : 1; }
bool audioPortGet(const Plugin*, uint32_t index, bool isInput, AudioPortInfo* info) {
  if (isInput || index != 0 || !info) return false;
  std::memset(info, 0, sizeof *info);
  info->id = 0;
  std::strcpy(info->name, "Vorlak");
  info->flags = kAudioPortIsMain;
  info->channelCount = 2;
  info->portType = kPortStereo;
  info->inPlacePair = kInvalidId;
  return true;
}
const PluginAudioPorts kAudioPorts{audioPortCount, audioPortGet};

uint32_t notePortCount(const Plugin*, bool isInput) { return isInput ? 1 : 0; }
bool notePortGet(const Plugin*, uint32_t index, bool isInput, NotePortInfo* info) {
  if (!isInput || index != 0 || !info) return false;
  std::memset(info, 0, sizeof *info);
  info->id = 0;
  info->supportedDialects = kDialectClap | kDialectMidi | kDialectMidiMpe;
  info->preferredDialect = kDialectMidi;
  std::strcpy(info->name, "Notes");
  return true;
}
const PluginNotePorts kNotePorts{notePortCount, notePortGet};

// Six strings. A key played again restarts its string rather than sounding beside it, so
// overlapping notes of one key are not offered.
bool voiceInfoGet(const Plugin* plugin, VoiceInfo* info) {
  if (!Instance::of(plugin) || !info) return false;
  *info = {kVoiceCount, kVoiceCount, 0};
  return true;
}
const PluginVoiceInfo kVoiceInfo{voiceInfoGet};

// ---- Parameters ----

uint32_t paramCount(const Plugin* plugin) { return Instance::of(plugin) ? kNumParameters : 0; }
bool paramInfo(const Plugin* plugin, uint32_t index, ParamInfo* info) {
  const Instance* self = Instance::of(plugin);
  return self && info && self->paramInfo(index, *info);
}
bool paramValue(const Plugin* plugin, Id id, double* value) {
  const Instance* self = Instance::of(plugin);
  return self && value && self->paramValue(id, *value);
}
bool valueToText(const Plugin* plugin, Id id, double value, char* text, uint32_t capacity) {
  const Instance* self = Instance::of(plugin);
  return self && self->valueToText(id, value, text, capacity);
}
bool textToValue(const Plugin* plugin, Id id, const char* text, double* value) {
  const Instance* self = Instance::of(plugin);
  return self && value && self->textToValue(id, text, *value);
}
void paramFlush(const Plugin* plugin, const InputEvents* in, const OutputEvents* out) {
  if (Instance* self = Instance::of(plugin)) self->flush(in, out);
}
const PluginParams kParams{paramCount, paramInfo, paramValue, valueToText, textToValue, paramFlush};

// ---- State and presets ----

bool stateSave(const Plugin* plugin, const OutputStream* stream) {
  const Instance* self = Instance::of(plugin);
  return self && stream && self->saveState(*stream);
}
bool stateLoad(const Plugin* plugin, const InputStream* stream) {
  Instance* self = Instance::of(plugin);
  return self && stream && self->loadState(*stream);
}
const PluginState kState{stateSave, stateLoad};

bool presetFromLocation(const Plugin* plugin, uint32_t kind, const char* location,
                        const char* key) {
  Instance* self = Instance::of(plugin);
  return self && self->loadPreset(kind, location, key);
}
const PluginPresetLoad kPresetLoad{presetFromLocation};

// ---- The panel ----

PanelView* viewOf(const Plugin* plugin) {
  Instance* self = Instance::of(plugin);
  return self ? self->view() : nullptr;
}
bool guiApiSupported(const Plugin*, const char* api, bool floating) {
  return !floating && api && std::strcmp(api, kNativeWindowApi) == 0;
}
bool guiPreferredApi(const Plugin*, const char** api, bool* floating) {
  if (!api || !floating) return false;
  *api = kNativeWindowApi;
  *floating = false;
  return true;
}
bool guiCreate(const Plugin* plugin, const char* api, bool floating) {
  Instance* self = Instance::of(plugin);
  return self && guiApiSupported(plugin, api, floating) && self->createView();
}
void guiDestroy(const Plugin* plugin) {
  if (Instance* self = Instance::of(plugin)) self->destroyView();
}
bool guiSetScale(const Plugin* plugin, double scale) {
  PanelView* view = viewOf(plugin);
  return view && view->setScale(scale);
}
bool guiGetSize(const Plugin* plugin, uint32_t* width, uint32_t* height) {
  PanelView* view = viewOf(plugin);
  return view && width && height && view->getSize(*width, *height);
}
bool guiCanResize(const Plugin*) { return false; }
bool guiResizeHints(const Plugin*, GuiResizeHints*) { return false; }
// The panel has one size per scale: whatever the host proposes, that is the answer.
bool guiAdjustSize(const Plugin* plugin, uint32_t* width, uint32_t* height) {
  return guiGetSize(plugin, width, height);
}
bool guiSetSize(const Plugin* plugin, uint32_t width, uint32_t height) {
  uint32_t w, h;
  return guiGetSize(plugin, &w, &h) && w == width && h == height;
}
bool guiSetParent(const Plugin* plugin, const Window* window) {
  PanelView* view = viewOf(plugin);
  return view && window && view->setParent(*window);
}
bool guiSetTransient(const Plugin*, const Window*) { return false; }
void guiSuggestTitle(const Plugin*, const char*) {}
// Embedded, the panel shows and hides with the host's window.
bool guiShow(const Plugin* plugin) { return viewOf(plugin) != nullptr; }
bool guiHide(const Plugin* plugin) { return viewOf(plugin) != nullptr; }
const PluginGui kGui{guiApiSupported, guiPreferredApi, guiCreate,       guiDestroy,    guiSetScale,
                     guiGetSize,      guiCanResize,    guiResizeHints,  guiAdjustSize, guiSetSize,
                     guiSetParent,    guiSetTransient, guiSuggestTitle, guiShow,       guiHide};

void onTimer(const Plugin* plugin, Id) {
  if (PanelView* view = viewOf(plugin)) view->idle();
}
const PluginTimerSupport kTimerSupport{onTimer};

void onFd(const Plugin* plugin, int, uint32_t) {
  if (PanelView* view = viewOf(plugin)) view->idle();
}
const PluginPosixFdSupport kPosixFdSupport{onFd};

uint32_t tailGet(const Plugin* plugin) {
  const Instance* self = Instance::of(plugin);
  return self ? self->tail() : 0;
}
const PluginTail kTail{tailGet};

struct NamedExtension {
  const char* id;
  const void* table;
};
const NamedExtension kExtensions[] = {
    {kExtAudioPorts, &kAudioPorts},
    {kExtNotePorts, &kNotePorts},
    {kExtVoiceInfo, &kVoiceInfo},
    {kExtParams, &kParams},
    {kExtState, &kState},
    {kExtPresetLoad, &kPresetLoad},
    {kExtPresetLoadCompat, &kPresetLoad},
    {kExtGui, &kGui},
    {kExtTimerSupport, &kTimerSupport},
    {kExtTail, &kTail},
    // Only X11 has a descriptor to wait on.
    {kExtPosixFdSupport, kOnX11 ? &kPosixFdSupport : nullptr},
};

const void* getExtension(const Plugin*, const char* id) {
  if (!id) return nullptr;
  for (const NamedExtension& extension : kExtensions)
    if (std::strcmp(id, extension.id) == 0) return extension.table;
  return nullptr;
}

}  // namespace

void fillPluginTable(Plugin& table, Instance* instance) {
  table = {&kDescriptor,    instance,       init,  destroy, activate,     deactivate,
           startProcessing, stopProcessing, reset, process, getExtension, onMainThread};
}

}  // namespace vorlak::clap
