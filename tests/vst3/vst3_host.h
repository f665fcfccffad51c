// A small VST 3 host on our own declarations: loads a bundle's module through its factory,
// makes an instance as hosts do (component, then the controller the component is), and runs
// blocks with the parameter points, note events and tempo a test gives each one. The host's
// own objects (streams, changes, event lists, the component handler) record what the
// plug-in did with them. Used by the VST 3 suites and the real-time check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/vst3/vst3.h"

namespace vorlak::vst3host {

using namespace vorlak::vst3;

// Host objects live on the test's stack: counting references changes nothing.
template <class Interface>
struct HostObject : Interface {
  Result VST3_CALL queryInterface(const char* iid, void** object) override {
    const bool ours = sameUid(iid, Unknown::iid) || sameUid(iid, Interface::iid);
    *object = ours ? this : nullptr;
    return ours ? kResultOk : kNoInterface;
  }
  uint32_t VST3_CALL addRef() override { return 1; }
  uint32_t VST3_CALL release() override { return 1; }
};

// Bytes in memory, moved at most chunk bytes per call, as some hosts' streams do.
class MemoryStream final : public HostObject<Stream> {
 public:
  explicit MemoryStream(int32_t chunk = 1 << 30) : chunk(chunk) {}
  Result VST3_CALL read(void* buffer, int32_t bytes, int32_t* bytesRead) override;
  Result VST3_CALL write(void* buffer, int32_t bytes, int32_t* bytesWritten) override;
  Result VST3_CALL seek(int64_t position, int32_t mode, int64_t* result) override;
  Result VST3_CALL tell(int64_t* position) override;

  std::vector<uint8_t> bytes;
  size_t position = 0;
  int32_t chunk;
};

class PointQueue final : public HostObject<ParamValueQueue> {
 public:
  explicit PointQueue(ParamId id) : id(id) {}
  ParamId VST3_CALL getParameterId() override { return id; }
  int32_t VST3_CALL getPointCount() override { return static_cast<int32_t>(points.size()); }
  Result VST3_CALL getPoint(int32_t index, int32_t& offset, ParamValue& value) override;
  Result VST3_CALL addPoint(int32_t offset, ParamValue value, int32_t& index) override;

  ParamId id;
  std::vector<std::pair<int32_t, ParamValue>> points;
};

class Changes final : public HostObject<ParameterChanges> {
 public:
  int32_t VST3_CALL getParameterCount() override { return static_cast<int32_t>(queues.size()); }
  ParamValueQueue* VST3_CALL getParameterData(int32_t index) override;
  ParamValueQueue* VST3_CALL addParameterData(const ParamId& id, int32_t& index) override;

  void add(ParamId id, int32_t offset, ParamValue value);
  // The last value of id, or -1 when none came.
  ParamValue last(ParamId id) const;

  std::vector<std::unique_ptr<PointQueue>> queues;
};

class Events final : public HostObject<EventList> {
 public:
  int32_t VST3_CALL getEventCount() override { return static_cast<int32_t>(list.size()); }
  Result VST3_CALL getEvent(int32_t index, Event& event) override;
  Result VST3_CALL addEvent(Event& event) override;

  std::vector<Event> list;
};

class Handler final : public HostObject<ComponentHandler> {
 public:
  Result VST3_CALL beginEdit(ParamId id) override;
  Result VST3_CALL performEdit(ParamId id, ParamValue value) override;
  Result VST3_CALL endEdit(ParamId id) override;
  Result VST3_CALL restartComponent(int32_t flags) override;

  // "b12", "p12=0.5", "e12", "r4", in order.
  std::vector<std::string> calls;
};

// A loaded module; instances keep it loaded.
class Module {
 public:
  // Null, with the reason in error, when the module cannot be loaded or has no factory.
  static std::shared_ptr<Module> load(const std::string& path, std::string* error);
  ~Module();
  PluginFactory* factory() const { return factory_; }

 private:
  Module() = default;
  void* handle = nullptr;
  PluginFactory* factory_ = nullptr;
};

// The path of a bundle's module on this platform.
std::string bundleModule(const std::string& bundle);

class Instance {
 public:
  // The first class of the factory, initialized, with the test's handler; null when any step
  // fails.
  static std::unique_ptr<Instance> create(std::shared_ptr<Module> module, std::string* error);
  ~Instance();

  // Processing set up for 32-bit samples, switched on.
  void start(double rate, int maxBlock);

  void note(int32_t offset, bool on, int pitch, float velocity, int channel = 0,
            int32_t noteId = -1);
  void point(ParamId id, int32_t offset, ParamValue value) { input.add(id, offset, value); }
  // Renders frames into left and right with the pending points and notes, which are then
  // cleared; the output changes of the block stay in output until the next one.
  Result process(int frames);

  Component* component = nullptr;
  AudioProcessor* processor = nullptr;
  EditController* controller = nullptr;
  Handler handler;
  Changes input, output;
  Events events;
  ProcessContext context{};
  std::vector<float> left, right;

 private:
  Instance() = default;
  std::shared_ptr<Module> module;
};

}  // namespace vorlak::vst3host
