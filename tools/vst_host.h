// A minimal VST 2 host: loads a module, creates one instance with a recording host callback
// and wraps the AEffect record in typed helpers. Used by vorlak-render and the integration
// tests, which see the plug-in only as a host does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/vst2/vst2.h"
#include "tools/host_records.h"

namespace vorlak::host {

using VstEntryProc = AEffect* (*)(audioMasterCallback);

// A loaded shared object; instances keep it loaded for as long as they live.
class Module {
 public:
  // Loads path with dlopen (LoadLibrary on Windows) and resolves VSTPluginMain, then main.
  // Returns null and fills error (with the loader's own text) when either step fails.
  static std::shared_ptr<Module> load(const std::string& path, std::string* error);
  ~Module();

  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  VstEntryProc entry() const { return entry_; }
  const std::string& path() const { return path_; }

 private:
  Module(void* handle, VstEntryProc entry, std::string path);

  void* handle_;
  VstEntryProc entry_;
  std::string path_;
};

// One call the plug-in made into the host.
struct HostCall {
  const AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  bool ptrNull;
  float opt;
};

enum class TimeInfoMode {
  Valid,  // a record whose tempo is HostState::tempo (which may be any double, NaN included)
  Null,   // no time information
};

// What the host callback answers and what it has seen. One per instance.
struct HostState {
  static constexpr std::size_t kLogCapacity = 1 << 16;
  static constexpr int kCountedOpcodes = 64;

  VstIntPtr versionAnswer = 2400;
  TimeInfoMode timeMode = TimeInfoMode::Valid;
  double tempo = 120.0;
  double sampleRate = 44100.0;
  double samplePos = 0.0;  // advanced by every render call
  VstTimeInfo timeInfo{};

  // Calls in order; capacity is reserved up front so recording never allocates, and calls
  // beyond it are only counted.
  std::vector<HostCall> calls;
  std::size_t droppedCalls = 0;
  std::array<long, kCountedOpcodes> counts{};
  long otherOpcodeCount = 0;

  HostState();
  long count(VstInt32 opcode) const;
  // Forgets every recorded call and count.
  void clearCalls();
};

// What a text opcode wrote into a guarded buffer.
struct TextProbe {
  VstIntPtr answer = 0;
  std::string text;      // bytes up to the first terminator (or all that were written)
  int bytesWritten = 0;  // extent of the bytes the plug-in changed
  bool terminated = false;
};

struct LoadOptions {
  VstIntPtr versionAnswer = 2400;
  // The callback handed to the entry point instead of the library's own recording one; the
  // instance's HostState then sees none of the plug-in's calls.
  audioMasterCallback callback = nullptr;
};

class Plugin {
 public:
  // Loads the module at path and creates an instance. Returns null with a one-line error when
  // the file cannot be loaded, has no entry point, the entry answers null or the record is
  // not a VST 2 effect.
  static std::unique_ptr<Plugin> load(const std::string& path, std::string* error,
                                      LoadOptions options = {});
  static std::unique_ptr<Plugin> create(std::shared_ptr<Module> module, std::string* error,
                                        LoadOptions options = {});
  ~Plugin();

  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect* effect() const { return effect_; }
  HostState& host() { return *host_; }
  const HostState& host() const { return *host_; }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

  VstIntPtr open();
  // Sends effClose; the record is gone afterwards and effect() is null.
  VstIntPtr close();
  bool closed() const { return effect_ == nullptr; }

  void setSampleRate(float rate);
  void setBlockSize(VstIntPtr frames);
  void resume();
  void suspend();
  // The usual start-up sequence of a host: open, rate, block size, switch on.
  void start(float rate, VstIntPtr blockSize);

  VstIntPtr program();
  void setProgram(VstIntPtr program);
  std::string programName();
  void setProgramName(const std::string& name);
  std::string programNameIndexed(VstInt32 index, VstIntPtr* answer = nullptr);

  float parameter(VstInt32 index);
  void setParameter(VstInt32 index, float value);
  std::string parameterName(VstInt32 index);
  std::string parameterDisplay(VstInt32 index);
  std::string parameterLabel(VstInt32 index);
  // Parameter index with exactly this non-empty name, or -1.
  VstInt32 findParameter(const std::string& name);
  // Program index with exactly this name, or -1.
  VstInt32 findProgram(const std::string& name);

  VstIntPtr canDo(const char* text);
  VstIntPtr outputProperties(VstInt32 index, VstPinProperties* properties);
  // The editor rectangle and the opcode's answer; nullopt when no rectangle came back.
  std::optional<ERect> editorRect(VstIntPtr* answer = nullptr);

  // Runs a text opcode against a buffer of bufferSize bytes followed by guard bytes, and
  // reports how far the plug-in wrote.
  TextProbe probeText(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                      std::size_t bufferSize = 256);

  // Queues a short MIDI message for the next block; delivered by flushMidi or render.
  void sendMidi(unsigned char status, unsigned char data1, unsigned char data2,
                VstInt32 deltaFrames = 0, signed char detune = 0);
  void sendMidi(const VstMidiEvent& event);
  std::size_t pendingMidi() const { return pendingMidi_.size(); }
  // Delivers every queued event in one effProcessEvents call; returns its answer, or 0
  // when nothing was queued (no call is made then).
  VstIntPtr flushMidi();
  // Delivers arbitrary events (any pointers, null included) in one list of that count.
  VstIntPtr processEvents(const std::vector<VstEvent*>& events);

  // Renders into the instance's own buffers (left(), right()), resized to frames.
  void render(VstInt32 frames, bool replacing = true);
  // Renders into caller buffers; outputs may be null or hold null channels. Pending MIDI
  // is delivered first.
  void render(float** outputs, VstInt32 frames, bool replacing = true);
  // The same with the input channels a host hands over too: null, null channels or buffers
  // of any content, all of which an instrument must ignore.
  void render(float** inputs, float** outputs, VstInt32 frames, bool replacing);
  const std::vector<float>& left() const { return left_; }
  const std::vector<float>& right() const { return right_; }

 private:
  Plugin(std::shared_ptr<Module> module, std::unique_ptr<HostState> host);

  std::shared_ptr<Module> module_;
  std::unique_ptr<HostState> host_;
  AEffect* effect_ = nullptr;
  std::vector<VstMidiEvent> pendingMidi_;
  std::vector<VstEvent*> eventPointers_;
  records::EventList eventList_;
  std::vector<float> left_;
  std::vector<float> right_;
};

// A MIDI message at an absolute frame of a run.
struct ScheduledMidi {
  std::int64_t frame;
  unsigned char status;
  unsigned char data1;
  unsigned char data2;
};

// Messages at absolute frames, handed to an instance block by block at their offsets in the
// block they fall into.
class MidiSchedule {
 public:
  // Adds messages; those not yet handed over go out in frame order, messages at one frame in
  // the order they were added.
  void add(const std::vector<ScheduledMidi>& events);
  // Queues on the instance the messages due before frame start + frames, at their offsets
  // from start; a message added too late for its frame gets a negative offset.
  void queue(Plugin& plugin, std::int64_t start, VstInt32 frames);

 private:
  std::vector<ScheduledMidi> events_;
  std::size_t next_ = 0;
};

// The host callback every instance receives; exposed so tests can hand it to an entry point
// themselves.
VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt);

}  // namespace vorlak::host
