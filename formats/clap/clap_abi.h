// Our declarations of the CLAP plug-in ABI (version 1.2), written from its published
// interface: the records and function tables a host and the plug-in exchange, with the
// identifiers and numbers that interface fixes. Plain C layouts with C++ names: the
// calling convention is the platform's default (x86-64 has one), so these tables pass as they
// are to any host written in C.
#pragma once

#include <cstdint>

namespace vorlak::clap {

struct Version {
  uint32_t major;
  uint32_t minor;
  uint32_t revision;
};
// The version we declare; hosts accept any 1.x module.
constexpr Version kVersion{1, 2, 10};
constexpr bool compatible(const Version& v) { return v.major >= 1; }

using Id = uint32_t;
constexpr Id kInvalidId = 0xFFFFFFFFu;

// Sizes of the fixed text fields in the records below, terminator included.
constexpr uint32_t kNameSize = 256;
constexpr uint32_t kPathSize = 1024;

struct Host;
struct Plugin;

struct PluginDescriptor {
  Version clapVersion;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manualUrl;
  const char* supportUrl;
  const char* version;
  const char* description;
  const char* const* features;  // null-terminated
};

// ---- Events ------------------------------------------------------------------------------

constexpr uint16_t kCoreEventSpace = 0;

enum EventType : uint16_t {
  kNoteOn = 0,
  kNoteOff = 1,
  kNoteChoke = 2,
  kNoteEnd = 3,
  kNoteExpression = 4,
  kParamValue = 5,
  kParamMod = 6,
  kParamGestureBegin = 7,
  kParamGestureEnd = 8,
  kTransportEvent = 9,
  kMidi = 10,
  kMidiSysex = 11,
  kMidi2 = 12,
};

struct EventHeader {
  uint32_t size;  // of the whole event
  uint32_t time;  // frame inside the block
  uint16_t spaceId;
  uint16_t type;
  uint32_t flags;
};

struct NoteEvent {
  EventHeader header;
  int32_t noteId;  // -1: none
  int16_t portIndex;
  int16_t channel;  // 0..15, -1 for all
  int16_t key;      // 0..127, -1 for all
  double velocity;  // 0..1
};

enum NoteExpressionId : int32_t {
  kNoteExpressionVolume = 0,  // linear amplitude, 0 < x <= 4
  kNoteExpressionPan = 1,     // 0 left, 0.5 centre, 1 right
  kNoteExpressionTuning = 2,  // semitones, -120..120
  kNoteExpressionVibrato = 3,
  kNoteExpressionExpression = 4,
  kNoteExpressionBrightness = 5,
  kNoteExpressionPressure = 6,
};

struct NoteExpressionEvent {
  EventHeader header;
  int32_t expressionId;
  int32_t noteId;  // -1: any
  int16_t portIndex;
  int16_t channel;  // -1: any
  int16_t key;      // -1: any
  double value;
};

struct ParamValueEvent {
  EventHeader header;
  Id paramId;
  void* cookie;
  int32_t noteId;
  int16_t portIndex;
  int16_t channel;
  int16_t key;
  double value;
};

struct ParamGestureEvent {
  EventHeader header;
  Id paramId;
};

enum TransportFlags : uint32_t {
  kHasTempo = 1u << 0,
  kHasBeatsTimeline = 1u << 1,
  kHasSecondsTimeline = 1u << 2,
  kHasTimeSignature = 1u << 3,
  kIsPlaying = 1u << 4,
  kIsRecording = 1u << 5,
  kIsLoopActive = 1u << 6,
  kIsWithinPreRoll = 1u << 7,
};

// Beat and second positions are fixed point with 31 fraction bits.
struct TransportEvent {
  EventHeader header;
  uint32_t flags;
  int64_t songPosBeats;
  int64_t songPosSeconds;
  double tempo;     // beats per minute
  double tempoInc;  // per frame, until the next transport event
  int64_t loopStartBeats;
  int64_t loopEndBeats;
  int64_t loopStartSeconds;
  int64_t loopEndSeconds;
  int64_t barStart;
  int32_t barNumber;
  uint16_t timeSignatureNumerator;
  uint16_t timeSignatureDenominator;
};

struct MidiEvent {
  EventHeader header;
  uint16_t portIndex;
  uint8_t data[3];
};

struct InputEvents {
  void* context;
  uint32_t (*size)(const InputEvents* list);
  const EventHeader* (*get)(const InputEvents* list, uint32_t index);
};

struct OutputEvents {
  void* context;
  bool (*tryPush)(const OutputEvents* list, const EventHeader* event);
};

// ---- Processing --------------------------------------------------------------------------

enum ProcessStatus : int32_t {
  kProcessError = 0,
  kProcessContinue = 1,
  kProcessContinueIfNotQuiet = 2,
  kProcessTail = 3,
  kProcessSleep = 4,
};

struct AudioBuffer {
  float** data32;
  double** data64;
  uint32_t channelCount;
  uint32_t latency;
  uint64_t constantMask;
};

struct Process {
  int64_t steadyTime;  // -1 when the host has no such clock
  uint32_t framesCount;
  const TransportEvent* transport;  // null when the host has no transport for this block
  const AudioBuffer* audioInputs;
  AudioBuffer* audioOutputs;
  uint32_t audioInputsCount;
  uint32_t audioOutputsCount;
  const InputEvents* inEvents;
  const OutputEvents* outEvents;
};

// ---- Plug-in, host, factory, entry ------------------------------------------------------

struct Plugin {
  const PluginDescriptor* desc;
  void* pluginData;
  bool (*init)(const Plugin* plugin);
  void (*destroy)(const Plugin* plugin);
  bool (*activate)(const Plugin* plugin, double sampleRate, uint32_t minFrames, uint32_t maxFrames);
  void (*deactivate)(const Plugin* plugin);
  bool (*startProcessing)(const Plugin* plugin);
  void (*stopProcessing)(const Plugin* plugin);
  void (*reset)(const Plugin* plugin);
  int32_t (*process)(const Plugin* plugin, const Process* process);
  const void* (*getExtension)(const Plugin* plugin, const char* id);
  void (*onMainThread)(const Plugin* plugin);
};

struct Host {
  Version clapVersion;
  void* hostData;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  const void* (*getExtension)(const Host* host, const char* id);
  void (*requestRestart)(const Host* host);
  void (*requestProcess)(const Host* host);
  void (*requestCallback)(const Host* host);
};

constexpr const char* kPluginFactoryId = "clap.plugin-factory";

struct PluginFactory {
  uint32_t (*getPluginCount)(const PluginFactory* factory);
  const PluginDescriptor* (*getPluginDescriptor)(const PluginFactory* factory, uint32_t index);
  const Plugin* (*createPlugin)(const PluginFactory* factory, const Host* host,
                                const char* pluginId);
};

struct PluginEntry {
  Version clapVersion;
  bool (*init)(const char* modulePath);
  void (*deinit)();
  const void* (*getFactory)(const char* factoryId);
};

// ---- Streams -----------------------------------------------------------------------------

// Each call moves up to size bytes and answers how many it moved: 0 at the end of an input,
// a negative number on failure.
struct InputStream {
  void* context;
  int64_t (*read)(const InputStream* stream, void* buffer, uint64_t size);
};

struct OutputStream {
  void* context;
  int64_t (*write)(const OutputStream* stream, const void* buffer, uint64_t size);
};

}  // namespace vorlak::clap
