#include "tests/vst3/vst3_host.h"

#include <algorithm>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vorlak::vst3host {

#if defined(_WIN32)
namespace {
// A function of the module; through the generic function type, which converts to any other
// without the compiler's warning.
template <class Function>
Function symbol(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
}  // namespace
#endif

Result MemoryStream::read(void* buffer, int32_t count, int32_t* bytesRead) {
  if (!buffer || count < 0) return kInvalidArgument;
  const size_t moved = std::min({static_cast<size_t>(count), static_cast<size_t>(chunk),
                                 bytes.size() - std::min(position, bytes.size())});
  if (moved) std::memcpy(buffer, bytes.data() + position, moved);
  position += moved;
  if (bytesRead) *bytesRead = static_cast<int32_t>(moved);
  return kResultOk;
}

Result MemoryStream::write(void* buffer, int32_t count, int32_t* bytesWritten) {
  if (!buffer || count < 0) return kInvalidArgument;
  const size_t moved = std::min(static_cast<size_t>(count), static_cast<size_t>(chunk));
  if (bytes.size() < position + moved) bytes.resize(position + moved);
  std::memcpy(bytes.data() + position, buffer, moved);
  position += moved;
  if (bytesWritten) *bytesWritten = static_cast<int32_t>(moved);
  return kResultOk;
}

Result MemoryStream::seek(int64_t to, int32_t mode, int64_t* result) {
  const int64_t base = mode == 0 ? 0 : mode == 1 ? static_cast<int64_t>(position)
                                                 : static_cast<int64_t>(bytes.size());
  if (base + to < 0) return kInvalidArgument;
  position = static_cast<size_t>(base + to);
  if (result) *result = static_cast<int64_t>(position);
  return kResultOk;
}

Result MemoryStream::tell(int64_t* at) {
  if (!at) return kInvalidArgument;
  *at = static_cast<int64_t>(position);
  return kResultOk;
}

Result PointQueue::getPoint(int32_t index, int32_t& offset, ParamValue& value) {
  if (index < 0 || index >= getPointCount()) return kInvalidArgument;
  offset = points[static_cast<size_t>(index)].first;
  value = points[static_cast<size_t>(index)].second;
  return kResultOk;
}

Result PointQueue::addPoint(int32_t offset, ParamValue value, int32_t& index) {
  index = getPointCount();
  points.emplace_back(offset, value);
  return kResultOk;
}

ParamValueQueue* Changes::getParameterData(int32_t index) {
  if (index < 0 || index >= getParameterCount()) return nullptr;
  return queues[static_cast<size_t>(index)].get();
}

ParamValueQueue* Changes::addParameterData(const ParamId& id, int32_t& index) {
  for (size_t i = 0; i < queues.size(); ++i) {
    if (queues[i]->id == id) {
      index = static_cast<int32_t>(i);
      return queues[i].get();
    }
  }
  index = getParameterCount();
  queues.push_back(std::make_unique<PointQueue>(id));
  return queues.back().get();
}

void Changes::add(ParamId id, int32_t offset, ParamValue value) {
  int32_t index = 0;
  addParameterData(id, index)->addPoint(offset, value, index);
}

ParamValue Changes::last(ParamId id) const {
  for (const auto& queue : queues)
    if (queue->id == id && !queue->points.empty()) return queue->points.back().second;
  return -1.0;
}

Result Events::getEvent(int32_t index, Event& event) {
  if (index < 0 || index >= getEventCount()) return kInvalidArgument;
  event = list[static_cast<size_t>(index)];
  return kResultOk;
}

Result Events::addEvent(Event& event) {
  list.push_back(event);
  return kResultOk;
}

Result Handler::beginEdit(ParamId id) {
  calls.push_back("b" + std::to_string(id));
  return kResultOk;
}

Result Handler::performEdit(ParamId id, ParamValue value) {
  calls.push_back("p" + std::to_string(id) + "=" + std::to_string(value));
  return kResultOk;
}

Result Handler::endEdit(ParamId id) {
  calls.push_back("e" + std::to_string(id));
  return kResultOk;
}

Result Handler::restartComponent(int32_t flags) {
  calls.push_back("r" + std::to_string(flags));
  return kResultOk;
}

std::string bundleModule(const std::string& bundle) {
#if defined(_WIN32)
  return bundle + "/Contents/x86_64-win/vorlak.vst3";
#else
  return bundle + "/Contents/x86_64-linux/vorlak.so";
#endif
}

std::shared_ptr<Module> Module::load(const std::string& path, std::string* error) {
  std::shared_ptr<Module> module(new Module);
  using GetFactory = PluginFactory* (*)();
#if defined(_WIN32)
  HMODULE handle = LoadLibraryA(path.c_str());
  module->handle = handle;
  if (!handle) {
    *error = "cannot load " + path;
    return nullptr;
  }
  auto init = symbol<bool (*)()>(handle, "InitDll");
  const bool entered = init && init();
  auto get = symbol<GetFactory>(handle, "GetPluginFactory");
#else
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  module->handle = handle;
  if (!handle) {
    *error = dlerror();
    return nullptr;
  }
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
  const bool entered = entry && entry(handle);
  auto get = reinterpret_cast<GetFactory>(dlsym(handle, "GetPluginFactory"));
#endif
  if (!entered || !get || !(module->factory_ = get())) {
    *error = "no module entry or factory in " + path;
    return nullptr;
  }
  return module;
}

Module::~Module() {
  if (!handle) return;
  if (factory_) factory_->release();
#if defined(_WIN32)
  HMODULE module = static_cast<HMODULE>(handle);
  if (auto exit = symbol<bool (*)()>(module, "ExitDll")) exit();
  FreeLibrary(module);
#else
  if (auto exit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"))) exit();
  dlclose(handle);
#endif
}

std::unique_ptr<Instance> Instance::create(std::shared_ptr<Module> module, std::string* error) {
  std::unique_ptr<Instance> instance(new Instance);
  instance->module = module;
  ClassInfo info{};
  if (module->factory()->getClassInfo(0, &info) != kResultOk) {
    *error = "no class 0";
    return nullptr;
  }
  void* object = nullptr;
  if (module->factory()->createInstance(info.cid.bytes, Component::iid.bytes, &object) !=
          kResultOk ||
      !object) {
    *error = "createInstance refused the component";
    return nullptr;
  }
  instance->component = static_cast<Component*>(object);
  if (instance->component->initialize(nullptr) != kResultOk) {
    *error = "initialize failed";
    return nullptr;
  }
  // A component that names no controller class is asked for the controller itself.
  if (instance->component->queryInterface(AudioProcessor::iid.bytes, &object) != kResultOk) {
    *error = "no audio processor";
    return nullptr;
  }
  instance->processor = static_cast<AudioProcessor*>(object);
  if (instance->component->queryInterface(EditController::iid.bytes, &object) != kResultOk) {
    *error = "no edit controller";
    return nullptr;
  }
  instance->controller = static_cast<EditController*>(object);
  instance->controller->setComponentHandler(&instance->handler);
  instance->context.state = kTempoValid;
  instance->context.tempo = 120.0;
  return instance;
}

Instance::~Instance() {
  if (component) component->setActive(0);
  if (controller) {
    controller->setComponentHandler(nullptr);
    controller->release();
  }
  if (processor) processor->release();
  if (component) {
    component->terminate();
    component->release();
  }
}

void Instance::start(double rate, int maxBlock) {
  ProcessSetup setup{0, kSample32, maxBlock, rate};
  processor->setupProcessing(setup);
  component->setActive(1);
  processor->setProcessing(1);
}

void Instance::note(int32_t offset, bool on, int pitch, float velocity, int channel,
                    int32_t noteId) {
  Event event{};
  event.sampleOffset = offset;
  event.type = on ? kNoteOnEvent : kNoteOffEvent;
  if (on) {
    event.noteOn = {
        static_cast<int16_t>(channel), static_cast<int16_t>(pitch), 0.0f, velocity, 0, noteId};
  } else {
    event.noteOff = {static_cast<int16_t>(channel), static_cast<int16_t>(pitch), velocity, noteId,
                     0.0f};
  }
  events.list.push_back(event);
}

Result Instance::process(int frames) {
  left.assign(static_cast<size_t>(std::max(frames, 0)), 0.0f);
  right.assign(left.size(), 0.0f);
  float* channels[2] = {left.data(), right.data()};
  AudioBusBuffers bus{2, 0, channels};
  output.queues.clear();
  ProcessData data{};
  data.symbolicSampleSize = kSample32;
  data.numSamples = frames;
  data.numOutputs = 1;
  data.outputs = &bus;
  data.inputParameterChanges = &input;
  data.outputParameterChanges = &output;
  data.inputEvents = &events;
  data.processContext = &context;
  const Result answer = processor->process(data);
  input.queues.clear();
  events.list.clear();
  return answer;
}

}  // namespace vorlak::vst3host
