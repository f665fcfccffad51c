#include "tools/vst_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <mutex>
#include <utility>

namespace vorlak::host {
namespace {

// The callback receives only the AEffect record, so each live record is mapped to its host
// state here. The version query comes before any record exists (and a plug-in may call back
// from inside its entry point), so calls from an unknown record go to the instance that is
// being created on this thread.
struct Registry {
  std::mutex mutex;
  std::vector<std::pair<const AEffect*, HostState*>> entries;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

thread_local HostState* creatingState = nullptr;

void registerEffect(const AEffect* effect, HostState* state) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.entries.emplace_back(effect, state);
}

void unregisterEffect(const AEffect* effect) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::erase_if(r.entries, [effect](const auto& entry) { return entry.first == effect; });
}

HostState* findState(const AEffect* effect) {
  if (effect != nullptr) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& [known, state] : r.entries) {
      if (known == effect) return state;
    }
  }
  return creatingState;
}

void record(HostState& state, const AEffect* effect, VstInt32 opcode, VstInt32 index,
            VstIntPtr value, void* ptr, float opt) {
  if (state.calls.size() < state.calls.capacity()) {
    state.calls.push_back(HostCall{effect, opcode, index, value, ptr == nullptr, opt});
  } else {
    ++state.droppedCalls;
  }
  if (opcode >= 0 && opcode < HostState::kCountedOpcodes) {
    ++state.counts[static_cast<std::size_t>(opcode)];
  } else {
    ++state.otherOpcodeCount;
  }
}

VstTimeInfo* fillTimeInfo(HostState& state) {
  if (state.timeMode == TimeInfoMode::Null) return nullptr;
  state.timeInfo = records::playingTimeInfo(state.samplePos, state.sampleRate, state.tempo);
  return &state.timeInfo;
}

#if defined(_WIN32)
// The system's text for the last error, on one line.
std::string loaderError(const char* fallback) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, GetLastError(), 0, text, sizeof(text), nullptr);
  std::string message = length > 0 ? std::string(text, length) : std::string(fallback);
  std::replace(message.begin(), message.end(), '\r', ' ');
  std::replace(message.begin(), message.end(), '\n', ' ');
  while (!message.empty() && message.back() == ' ') message.pop_back();
  return message;
}
#else
std::string loaderError(const char* fallback) {
  const char* text = dlerror();
  return text != nullptr ? std::string(text) : std::string(fallback);
}
#endif

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// A module stays loaded to the end of a sanitizer run (see Module::load). The leak checker
// of this toolchain crashes walking such a module's dynamic TLS, so TLS is not used as a root;
// then glibc's dlerror buffer, which only TLS points to, would look leaked. Undefined
// behaviour stops the run, so a test cannot pass over it. The environment still overrides.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_options() {
  return "use_tls=0:print_suppressions=0";
}
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:_dlerror_run\n";
}
extern "C" __attribute__((visibility("default"))) const char* __ubsan_default_options() {
  return "halt_on_error=1:print_stacktrace=1";
}
#endif

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
  HostState* state = findState(effect);
  if (state == nullptr) return opcode == audioMasterVersion ? 2400 : 0;
  record(*state, effect, opcode, index, value, ptr, opt);
  switch (opcode) {
    case audioMasterVersion:
      return state->versionAnswer;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(fillTimeInfo(*state));
    default:
      return 0;
  }
}

Module::Module(void* handle, VstEntryProc entry, std::string path)
    : handle_(handle), entry_(entry), path_(std::move(path)) {}

#if defined(_WIN32)
Module::~Module() { FreeLibrary(static_cast<HMODULE>(handle_)); }

std::shared_ptr<Module> Module::load(const std::string& path, std::string* error) {
  // Without a folder LoadLibrary would search the system's folders before this one.
  const std::string target = path.find_first_of("/\\") == std::string::npos ? ".\\" + path : path;
  // A file that is no module must give an error text rather than a message box.
  DWORD previousMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  HMODULE handle = LoadLibraryA(target.c_str());
  std::string failure = handle == nullptr ? loaderError("unknown loader error") : "";
  SetThreadErrorMode(previousMode, nullptr);
  if (handle == nullptr) {
    if (error) *error = "cannot load " + path + ": " + failure;
    return nullptr;
  }
  void* symbol = nullptr;
  for (const char* name : {"VSTPluginMain", "main"}) {
    symbol = reinterpret_cast<void*>(GetProcAddress(handle, name));
    if (symbol != nullptr) break;
  }
  if (symbol == nullptr) {
    if (error) {
      *error =
          path + " has no VSTPluginMain or main entry point: " + loaderError("symbol not found");
    }
    FreeLibrary(handle);
    return nullptr;
  }
  return std::shared_ptr<Module>(new Module(handle, reinterpret_cast<VstEntryProc>(symbol), path));
}
#else
Module::~Module() { dlclose(handle_); }

std::shared_ptr<Module> Module::load(const std::string& path, std::string* error) {
  // Without a slash dlopen would search the library path instead of opening this file.
  const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  int flags = RTLD_NOW | RTLD_LOCAL;
#if defined(__SANITIZE_ADDRESS__)
  // Under the address sanitizer a module stays mapped after its last instance: its reports
  // then name the module's functions, and the C++ runtime linked into the module keeps its
  // one-time allocations reachable instead of reporting them as leaks.
  flags |= RTLD_NODELETE;
#endif
  void* handle = dlopen(target.c_str(), flags);
  if (handle == nullptr) {
    if (error) *error = "cannot load " + path + ": " + loaderError("unknown loader error");
    return nullptr;
  }
  void* symbol = nullptr;
  for (const char* name : {"VSTPluginMain", "main"}) {
    dlerror();
    symbol = dlsym(handle, name);
    if (symbol != nullptr) break;
  }
  if (symbol == nullptr) {
    if (error) {
      *error =
          path + " has no VSTPluginMain or main entry point: " + loaderError("symbol not found");
    }
    dlclose(handle);
    return nullptr;
  }
  return std::shared_ptr<Module>(new Module(handle, reinterpret_cast<VstEntryProc>(symbol), path));
}
#endif

HostState::HostState() { calls.reserve(kLogCapacity); }

long HostState::count(VstInt32 opcode) const {
  if (opcode >= 0 && opcode < kCountedOpcodes) return counts[static_cast<std::size_t>(opcode)];
  return 0;
}

void HostState::clearCalls() {
  calls.clear();
  droppedCalls = 0;
  counts.fill(0);
  otherOpcodeCount = 0;
}

Plugin::Plugin(std::shared_ptr<Module> module, std::unique_ptr<HostState> host)
    : module_(std::move(module)), host_(std::move(host)) {
  pendingMidi_.reserve(4096);
  eventPointers_.reserve(4096);
}

Plugin::~Plugin() {
  if (effect_ != nullptr) close();
}

std::unique_ptr<Plugin> Plugin::load(const std::string& path, std::string* error,
                                     LoadOptions options) {
  std::shared_ptr<Module> module = Module::load(path, error);
  if (!module) return nullptr;
  return create(std::move(module), error, options);
}

std::unique_ptr<Plugin> Plugin::create(std::shared_ptr<Module> module, std::string* error,
                                       LoadOptions options) {
  auto state = std::make_unique<HostState>();
  state->versionAnswer = options.versionAnswer;
  std::unique_ptr<Plugin> plugin(new Plugin(module, std::move(state)));

  HostState* previous = creatingState;
  creatingState = plugin->host_.get();
  AEffect* effect = module->entry()(options.callback ? options.callback : &hostCallback);
  creatingState = previous;

  if (effect == nullptr) {
    if (error) *error = module->path() + ": the entry point created no instance";
    return nullptr;
  }
  if (effect->magic != kEffectMagic) {
    // Not a record we can trust enough to close; leave it alone.
    if (error) *error = module->path() + ": the entry point returned no VST 2 effect";
    return nullptr;
  }
  plugin->effect_ = effect;
  registerEffect(effect, plugin->host_.get());
  return plugin;
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (effect_ == nullptr || effect_->dispatcher == nullptr) return 0;
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

VstIntPtr Plugin::open() { return dispatch(effOpen); }

VstIntPtr Plugin::close() {
  if (effect_ == nullptr) return 0;
  AEffect* effect = effect_;
  const VstIntPtr answer = dispatch(effClose);
  unregisterEffect(effect);
  effect_ = nullptr;
  return answer;
}

void Plugin::setSampleRate(float rate) {
  host_->sampleRate = rate;
  dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void Plugin::setBlockSize(VstIntPtr frames) { dispatch(effSetBlockSize, 0, frames); }

void Plugin::resume() { dispatch(effMainsChanged, 0, 1); }

void Plugin::suspend() { dispatch(effMainsChanged, 0, 0); }

void Plugin::start(float rate, VstIntPtr blockSize) {
  open();
  setSampleRate(rate);
  setBlockSize(blockSize);
  resume();
}

VstIntPtr Plugin::program() { return dispatch(effGetProgram); }

void Plugin::setProgram(VstIntPtr program) { dispatch(effSetProgram, 0, program); }

std::string Plugin::programName() { return probeText(effGetProgramName).text; }

void Plugin::setProgramName(const std::string& name) {
  std::string copy = name;  // the opcode takes a mutable pointer
  dispatch(effSetProgramName, 0, 0, copy.data());
}

std::string Plugin::programNameIndexed(VstInt32 index, VstIntPtr* answer) {
  TextProbe probe = probeText(effGetProgramNameIndexed, index);
  if (answer) *answer = probe.answer;
  return probe.text;
}

float Plugin::parameter(VstInt32 index) {
  if (effect_ == nullptr || effect_->getParameter == nullptr) return 0.0f;
  return effect_->getParameter(effect_, index);
}

void Plugin::setParameter(VstInt32 index, float value) {
  if (effect_ == nullptr || effect_->setParameter == nullptr) return;
  effect_->setParameter(effect_, index, value);
}

std::string Plugin::parameterName(VstInt32 index) { return probeText(effGetParamName, index).text; }

std::string Plugin::parameterDisplay(VstInt32 index) {
  return probeText(effGetParamDisplay, index).text;
}

std::string Plugin::parameterLabel(VstInt32 index) {
  return probeText(effGetParamLabel, index).text;
}

VstInt32 Plugin::findParameter(const std::string& name) {
  if (effect_ == nullptr || name.empty()) return -1;
  for (VstInt32 i = 0; i < effect_->numParams; ++i) {
    if (parameterName(i) == name) return i;
  }
  return -1;
}

VstInt32 Plugin::findProgram(const std::string& name) {
  if (effect_ == nullptr) return -1;
  for (VstInt32 i = 0; i < effect_->numPrograms; ++i) {
    if (programNameIndexed(i) == name) return i;
  }
  return -1;
}

VstIntPtr Plugin::canDo(const char* text) {
  return dispatch(effCanDo, 0, 0, const_cast<char*>(text));
}

VstIntPtr Plugin::outputProperties(VstInt32 index, VstPinProperties* properties) {
  return dispatch(effGetOutputProperties, index, 0, properties);
}

std::optional<ERect> Plugin::editorRect(VstIntPtr* answer) {
  ERect* rect = nullptr;
  const VstIntPtr result = dispatch(effEditGetRect, 0, 0, &rect);
  if (answer) *answer = result;
  if (rect == nullptr) return std::nullopt;
  return *rect;
}

TextProbe Plugin::probeText(VstInt32 opcode, VstInt32 index, VstIntPtr value,
                            std::size_t bufferSize) {
  // Two runs with different fill bytes, so a written byte that happens to equal one fill
  // still shows up in the other run.
  constexpr std::size_t kGuard = 256;
  constexpr unsigned char kFills[2] = {0xA5, 0x5A};
  TextProbe probe;
  std::vector<unsigned char> first;
  for (unsigned char fill : kFills) {
    std::vector<unsigned char> buffer(bufferSize + kGuard, fill);
    const VstIntPtr answer = dispatch(opcode, index, value, buffer.data());
    int extent = 0;
    for (std::size_t i = buffer.size(); i > 0; --i) {
      if (buffer[i - 1] != fill) {
        extent = static_cast<int>(i);
        break;
      }
    }
    if (first.empty()) {
      probe.answer = answer;
      first = std::move(buffer);
    }
    probe.bytesWritten = std::max(probe.bytesWritten, extent);
  }
  const auto end = first.begin() + probe.bytesWritten;
  const auto terminator = std::find(first.begin(), end, 0);
  probe.terminated = terminator != end;
  probe.text.assign(first.begin(), terminator);
  return probe;
}

void Plugin::sendMidi(unsigned char status, unsigned char data1, unsigned char data2,
                      VstInt32 deltaFrames, signed char detune) {
  sendMidi(records::midiEvent(status, data1, data2, deltaFrames, detune));
}

void Plugin::sendMidi(const VstMidiEvent& event) { pendingMidi_.push_back(event); }

VstIntPtr Plugin::flushMidi() {
  if (pendingMidi_.empty()) return 0;
  eventPointers_.clear();
  for (VstMidiEvent& event : pendingMidi_) {
    eventPointers_.push_back(reinterpret_cast<VstEvent*>(&event));
  }
  const VstIntPtr answer = processEvents(eventPointers_);
  pendingMidi_.clear();
  return answer;
}

VstIntPtr Plugin::processEvents(const std::vector<VstEvent*>& events) {
  return dispatch(effProcessEvents, 0, 0, eventList_.build(events));
}

void Plugin::render(VstInt32 frames, bool replacing) {
  const std::size_t size = frames > 0 ? static_cast<std::size_t>(frames) : 0;
  left_.assign(size, 0.0f);
  right_.assign(size, 0.0f);
  float* outputs[2] = {left_.data(), right_.data()};
  render(outputs, frames, replacing);
}

void Plugin::render(float** outputs, VstInt32 frames, bool replacing) {
  float* inputs[2] = {nullptr, nullptr};
  render(inputs, outputs, frames, replacing);
}

void Plugin::render(float** inputs, float** outputs, VstInt32 frames, bool replacing) {
  flushMidi();
  if (effect_ == nullptr) return;
  AEffectProcessProc proc = replacing ? effect_->processReplacing : effect_->process;
  if (proc == nullptr) return;
  proc(effect_, inputs, outputs, frames);
  if (frames > 0) host_->samplePos += frames;
}

void MidiSchedule::add(const std::vector<ScheduledMidi>& events) {
  events_.insert(events_.end(), events.begin(), events.end());
  std::stable_sort(
      events_.begin() + static_cast<std::ptrdiff_t>(next_), events_.end(),
      [](const ScheduledMidi& a, const ScheduledMidi& b) { return a.frame < b.frame; });
}

void MidiSchedule::queue(Plugin& plugin, std::int64_t start, VstInt32 frames) {
  for (; next_ < events_.size() && events_[next_].frame < start + frames; ++next_) {
    const ScheduledMidi& e = events_[next_];
    plugin.sendMidi(e.status, e.data1, e.data2, static_cast<VstInt32>(e.frame - start));
  }
}

}  // namespace vorlak::host
