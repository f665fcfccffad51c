// A small CLAP host for the tests: loads a module, creates the plug-in with a host that
// records what the plug-in asks of it, and drives it block by block with the events a test
// lays out. It sees the plug-in only through our declarations of the ABI.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "formats/clap/clap_extensions.h"

namespace vorlak::claptest {

class ClapModule {
 public:
  // Null with the loader's or the entry's complaint in error.
  static std::unique_ptr<ClapModule> load(const std::string& path, std::string* error);
  ~ClapModule();

  const clap::PluginEntry& entry() const { return *entry_; }
  const clap::PluginFactory* plugins() const;
  const clap::PresetDiscoveryFactory* presets() const;

 private:
  ClapModule() = default;
  void* handle_ = nullptr;
  const clap::PluginEntry* entry_ = nullptr;
};

// What the plug-in asked of its host.
struct HostLog {
  int valueRescans = 0;
  int flushRequests = 0;
  int callbackRequests = 0;
  int dirtyMarks = 0;
  std::set<clap::Id> timers;
  std::set<int> descriptors;
  uint32_t resizedWidth = 0, resizedHeight = 0;
  clap::Id nextTimer = 7;
};

struct OutEvent {
  uint16_t type;
  clap::Id param;
  double value;
};

class ClapInstance {
 public:
  // create_plugin and init; null with a complaint in error.
  static std::unique_ptr<ClapInstance> create(const ClapModule& module, std::string* error,
                                              const char* id = "audio.kivo.vorlak");
  ~ClapInstance();

  const clap::Plugin& plugin() const { return *plugin_; }
  template <class Extension>
  const Extension* extension(const char* id) const {
    return static_cast<const Extension*>(plugin_->getExtension(plugin_, id));
  }
  HostLog& log() { return log_; }

  // activate and start_processing.
  bool start(double rate, uint32_t maxFrames);

  // Events for the next process call (or flush), in the order added.
  void addMidi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2);
  void addNote(uint16_t type, uint32_t frame, int16_t key, double velocity, int16_t channel = 0,
               int32_t noteId = -1);
  void addNoteExpression(uint32_t frame, int32_t expression, int32_t noteId, int16_t key,
                         int16_t channel, double value);
  void addParam(uint32_t frame, clap::Id id, double value);
  // Any bytes as an event: a header of this size, space and type followed by zeros.
  void addRaw(uint32_t size, uint32_t frame, uint16_t space, uint16_t type);
  // The transport handed with every block; none when not finite.
  double tempo = 120.0;
  int64_t steadyTime = -1;  // the steady clock handed with every block

  // Renders frames into left() and right() with the events added since the last call.
  int32_t process(uint32_t frames);
  // Makes the plug-in's process call in process() when set, so that a checker can watch
  // exactly that call.
  int32_t (*callProcess)(const clap::Plugin*, const clap::Process*) = nullptr;
  void flush();
  // Runs the plug-in's main-thread callback when it asked for one.
  void mainThread();
  const std::vector<float>& left() const { return left_; }
  const std::vector<float>& right() const { return right_; }
  // What the plug-in pushed to the host in the last process or flush.
  const std::vector<OutEvent>& sent() const { return sent_; }

 private:
  ClapInstance() = default;
  template <class Event>
  Event& add(uint16_t type, uint32_t frame);
  static uint32_t eventCount(const clap::InputEvents* list);
  static const clap::EventHeader* eventAt(const clap::InputEvents* list, uint32_t index);
  static bool tryPush(const clap::OutputEvents* list, const clap::EventHeader* event);

  clap::Host host_{};
  const clap::Plugin* plugin_ = nullptr;
  HostLog log_;
  bool callbackDue_ = false;
  std::vector<std::vector<uint64_t>> events_;
  std::vector<OutEvent> sent_;
  std::vector<float> left_, right_;
  friend struct HostCalls;
};

}  // namespace vorlak::claptest
