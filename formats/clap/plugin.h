// The CLAP face of the format-neutral core, one per instance a host creates. Each process call
// queues the block's notes, MIDI and parameter changes into the core at their frames, takes
// the tempo from the host's transport and renders the whole block at once. The extensions
// (parameters, state, presets, the panel) are methods here; extensions.cpp holds the C tables
// that forward to them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "formats/clap/clap_extensions.h"
#include "formats/clap/panel_edits.h"
#include "instrument/core.h"

namespace vorlak::clap {

class PanelView;

extern const PluginDescriptor kDescriptor;

class Instance;
// The plug-in's function table with instance as its data (extensions.cpp).
void fillPluginTable(Plugin& table, Instance* instance);

// What the host offers, looked up once at init.
struct HostExtensions {
  const HostParams* params = nullptr;
  const HostState* state = nullptr;
  const HostGui* gui = nullptr;
  const HostPosixFdSupport* fds = nullptr;
  const HostTimerSupport* timers = nullptr;
  const HostTail* tail = nullptr;
};

class Instance final : private RenderListener {
 public:
  // Null when memory runs out.
  static Instance* create(const Host* host);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  const Plugin* plugin() const { return &table; }
  static Instance* of(const Plugin* plugin);

  bool init();
  // Refuses rates outside 22050 to 384000 Hz and a second activation.
  bool activate(double sampleRate, uint32_t maxFrames);
  void deactivate();
  bool startProcessing();
  void stopProcessing();
  void reset();
  // Silence and an error before start_processing.
  int32_t process(const Process& process);
  void onMainThread();

  // Parameters: ids are the parameter indexes 0 to 27.
  bool paramInfo(uint32_t index, ParamInfo& info) const;
  bool paramValue(Id id, double& value) const;
  bool valueToText(Id id, double value, char* text, uint32_t capacity) const;
  bool textToValue(Id id, const char* text, double& value) const;
  void flush(const InputEvents* in, const OutputEvents* out);

  bool saveState(const OutputStream& stream) const;
  bool loadState(const InputStream& stream);
  bool loadPreset(uint32_t kind, const char* location, const char* key);
  uint32_t tail() const { return core.tailFrames(); }

  PanelView* view() { return panel.get(); }
  bool createView();
  void destroyView();

 private:
  explicit Instance(const Host* host);

  void programChange(int program) override;
  void activityChanged(bool) override {}

  void readEvents(const InputEvents* in, uint32_t frames, Transport* transport);
  // The panel's edits since the last call: applied to the core and told to the host.
  void sendPanelEdits(const OutputEvents* out);
  // After a change of program or state: the host and the panel read every value again.
  void valuesReplaced();

  Plugin table;
  const Host* host;
  HostExtensions hostExtensions;
  InstrumentCore core;
  PanelEdits edits;
  std::unique_ptr<PanelView> panel;
  bool active = false;
  std::atomic<bool> processing{false};
  // Set on the audio thread when a MIDI program change replaced the values; the host is told
  // on the main thread.
  std::atomic<bool> rescanDue{false};
  // The last block answered that nothing sounds or waits: an edit on the panel then asks
  // the host for a block, since a sleeping instance may otherwise not be called again.
  std::atomic<bool> asleep{false};
  // Where the host's steady clock stood at the end of the last block; -1 without one.
  int64_t steadyEnd = -1;
  // The tail the host last heard of, kept on the audio thread.
  uint32_t tailTold = 0;
  friend class PanelView;
};

}  // namespace vorlak::clap
