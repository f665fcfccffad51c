#include "tests/clap/clap_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vorlak::claptest {

std::unique_ptr<ClapModule> ClapModule::load(const std::string& path, std::string* error) {
  std::unique_ptr<ClapModule> module(new ClapModule);
#ifdef _WIN32
  module->handle_ = LoadLibraryA(path.c_str());
  if (!module->handle_) {
    *error = "cannot load " + path;
    return nullptr;
  }
  module->entry_ = reinterpret_cast<const clap::PluginEntry*>(
      GetProcAddress(static_cast<HMODULE>(module->handle_), "clap_entry"));
#else
  module->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module->handle_) {
    *error = dlerror();
    return nullptr;
  }
  module->entry_ = static_cast<const clap::PluginEntry*>(dlsym(module->handle_, "clap_entry"));
#endif
  if (!module->entry_) {
    *error = "no clap_entry";
    return nullptr;
  }
  if (!module->entry_->init(path.c_str())) {
    module->entry_ = nullptr;
    *error = "clap_entry.init refused";
    return nullptr;
  }
  return module;
}

ClapModule::~ClapModule() {
  if (entry_) entry_->deinit();
#ifdef _WIN32
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
#else
  if (handle_) dlclose(handle_);
#endif
}

const clap::PluginFactory* ClapModule::plugins() const {
  return static_cast<const clap::PluginFactory*>(entry_->getFactory(clap::kPluginFactoryId));
}

const clap::PresetDiscoveryFactory* ClapModule::presets() const {
  return static_cast<const clap::PresetDiscoveryFactory*>(
      entry_->getFactory(clap::kPresetDiscoveryFactoryId));
}

// The host's side of the extensions, each finding its instance through host_data.
struct HostCalls {
  static ClapInstance& of(const clap::Host* host) {
    return *static_cast<ClapInstance*>(host->hostData);
  }
  static void rescan(const clap::Host* host, uint32_t flags) {
    if (flags & clap::kRescanValues) ++of(host).log_.valueRescans;
  }
  static void clear(const clap::Host*, clap::Id, uint32_t) {}
  static void requestFlush(const clap::Host* host) { ++of(host).log_.flushRequests; }
  static void markDirty(const clap::Host* host) { ++of(host).log_.dirtyMarks; }
  static bool registerTimer(const clap::Host* host, uint32_t, clap::Id* id) {
    HostLog& log = of(host).log_;
    *id = log.nextTimer++;
    log.timers.insert(*id);
    return true;
  }
  static bool unregisterTimer(const clap::Host* host, clap::Id id) {
    return of(host).log_.timers.erase(id) == 1;
  }
  static bool registerFd(const clap::Host* host, int fd, uint32_t) {
    return of(host).log_.descriptors.insert(fd).second;
  }
  static bool modifyFd(const clap::Host* host, int fd, uint32_t) {
    return of(host).log_.descriptors.count(fd) == 1;
  }
  static bool unregisterFd(const clap::Host* host, int fd) {
    return of(host).log_.descriptors.erase(fd) == 1;
  }
  static void resizeHintsChanged(const clap::Host*) {}
  static bool requestResize(const clap::Host* host, uint32_t width, uint32_t height) {
    of(host).log_.resizedWidth = width;
    of(host).log_.resizedHeight = height;
    return true;
  }
  static bool requestShow(const clap::Host*) { return false; }
  static bool requestHide(const clap::Host*) { return false; }
  static void closed(const clap::Host*, bool) {}

  static const void* extension(const clap::Host*, const char* id) {
    static const clap::HostParams params{rescan, clear, requestFlush};
    static const clap::HostState state{markDirty};
    static const clap::HostTimerSupport timers{registerTimer, unregisterTimer};
    static const clap::HostPosixFdSupport fds{registerFd, modifyFd, unregisterFd};
    static const clap::HostGui gui{resizeHintsChanged, requestResize, requestShow, requestHide,
                                   closed};
    if (std::strcmp(id, clap::kExtParams) == 0) return &params;
    if (std::strcmp(id, clap::kExtState) == 0) return &state;
    if (std::strcmp(id, clap::kExtTimerSupport) == 0) return &timers;
    if (std::strcmp(id, clap::kExtPosixFdSupport) == 0) return &fds;
    if (std::strcmp(id, clap::kExtGui) == 0) return &gui;
    return nullptr;
  }
  static void requestRestart(const clap::Host*) {}
  static void requestProcess(const clap::Host*) {}
  static void requestCallback(const clap::Host* host) {
    ++of(host).log_.callbackRequests;
    of(host).callbackDue_ = true;
  }
};

std::unique_ptr<ClapInstance> ClapInstance::create(const ClapModule& module, std::string* error,
                                                   const char* id) {
  std::unique_ptr<ClapInstance> instance(new ClapInstance);
  instance->host_ = {clap::kVersion,
                     instance.get(),
                     "Vorlak test host",
                     "Kivo",
                     "",
                     "1",
                     HostCalls::extension,
                     HostCalls::requestRestart,
                     HostCalls::requestProcess,
                     HostCalls::requestCallback};
  const clap::PluginFactory* factory = module.plugins();
  if (!factory) {
    *error = "no plug-in factory";
    return nullptr;
  }
  instance->plugin_ = factory->createPlugin(factory, &instance->host_, id);
  if (!instance->plugin_) {
    *error = "create_plugin refused";
    return nullptr;
  }
  if (!instance->plugin_->init(instance->plugin_)) {
    *error = "init refused";
    return nullptr;
  }
  return instance;
}

ClapInstance::~ClapInstance() {
  if (plugin_) plugin_->destroy(plugin_);
}

bool ClapInstance::start(double rate, uint32_t maxFrames) {
  return plugin_->activate(plugin_, rate, 1, maxFrames) && plugin_->startProcessing(plugin_);
}

template <class Event>
Event& ClapInstance::add(uint16_t type, uint32_t frame) {
  events_.emplace_back((sizeof(Event) + 7) / 8, 0);
  auto& event = *reinterpret_cast<Event*>(events_.back().data());
  event.header = {sizeof(Event), frame, clap::kCoreEventSpace, type, 0};
  return event;
}

void ClapInstance::addMidi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
  auto& event = add<clap::MidiEvent>(clap::kMidi, frame);
  event.data[0] = status;
  event.data[1] = data1;
  event.data[2] = data2;
}

void ClapInstance::addNote(uint16_t type, uint32_t frame, int16_t key, double velocity,
                           int16_t channel, int32_t noteId) {
  auto& event = add<clap::NoteEvent>(type, frame);
  event.noteId = noteId;
  event.portIndex = 0;
  event.channel = channel;
  event.key = key;
  event.velocity = velocity;
}

void ClapInstance::addNoteExpression(uint32_t frame, int32_t expression, int32_t noteId,
                                     int16_t key, int16_t channel, double value) {
  auto& event = add<clap::NoteExpressionEvent>(clap::kNoteExpression, frame);
  event.expressionId = expression;
  event.noteId = noteId;
  event.portIndex = 0;
  event.channel = channel;
  event.key = key;
  event.value = value;
}

void ClapInstance::addParam(uint32_t frame, clap::Id id, double value) {
  auto& event = add<clap::ParamValueEvent>(clap::kParamValue, frame);
  event.paramId = id;
  event.noteId = -1;
  event.portIndex = event.channel = event.key = -1;
  event.value = value;
}

void ClapInstance::addRaw(uint32_t size, uint32_t frame, uint16_t space, uint16_t type) {
  events_.emplace_back((std::max<uint32_t>(size, sizeof(clap::EventHeader)) + 7) / 8, 0);
  auto& header = *reinterpret_cast<clap::EventHeader*>(events_.back().data());
  header = {size, frame, space, type, 0};
}

uint32_t ClapInstance::eventCount(const clap::InputEvents* list) {
  return static_cast<uint32_t>(static_cast<ClapInstance*>(list->context)->events_.size());
}

const clap::EventHeader* ClapInstance::eventAt(const clap::InputEvents* list, uint32_t index) {
  auto& events = static_cast<ClapInstance*>(list->context)->events_;
  return index < events.size() ? reinterpret_cast<const clap::EventHeader*>(events[index].data())
                               : nullptr;
}

bool ClapInstance::tryPush(const clap::OutputEvents* list, const clap::EventHeader* event) {
  auto& sent = static_cast<ClapInstance*>(list->context)->sent_;
  OutEvent out{event->type, clap::kInvalidId, 0.0};
  if (event->type == clap::kParamValue) {
    const auto* value = reinterpret_cast<const clap::ParamValueEvent*>(event);
    out.param = value->paramId;
    out.value = value->value;
  } else if (event->type == clap::kParamGestureBegin || event->type == clap::kParamGestureEnd) {
    out.param = reinterpret_cast<const clap::ParamGestureEvent*>(event)->paramId;
  }
  sent.push_back(out);
  return true;
}

int32_t ClapInstance::process(uint32_t frames) {
  left_.assign(frames, 0.0f);
  right_.assign(frames, 0.0f);
  float* channels[2] = {left_.data(), right_.data()};
  clap::AudioBuffer output{channels, nullptr, 2, 0, 0};
  clap::TransportEvent transport{};
  transport.header = {sizeof transport, 0, clap::kCoreEventSpace, clap::kTransportEvent, 0};
  transport.flags = clap::kHasTempo;
  transport.tempo = tempo;
  const clap::InputEvents in{this, eventCount, eventAt};
  const clap::OutputEvents out{this, tryPush};
  clap::Process block{
      -1, frames, std::isfinite(tempo) ? &transport : nullptr, nullptr, &output, 0, 1, &in, &out};
  block.steadyTime = steadyTime;
  sent_.clear();
  const int32_t status =
      callProcess ? callProcess(plugin_, &block) : plugin_->process(plugin_, &block);
  events_.clear();
  return status;
}

void ClapInstance::flush() {
  const auto* params = extension<clap::PluginParams>(clap::kExtParams);
  const clap::InputEvents in{this, eventCount, eventAt};
  const clap::OutputEvents out{this, tryPush};
  sent_.clear();
  params->flush(plugin_, &in, &out);
  events_.clear();
}

void ClapInstance::mainThread() {
  if (!callbackDue_) return;
  callbackDue_ = false;
  plugin_->onMainThread(plugin_);
}

}  // namespace vorlak::claptest
