// Our declarations of the CLAP extensions and the preset-discovery factory the instrument
// offers or asks its host for, written from the published interface: each the extension's
// identifier and its function tables, the plug-in's side first.
#pragma once

#include "formats/clap/clap_abi.h"

namespace vorlak::clap {

// ---- Audio and note ports ----------------------------------------------------------------

constexpr const char* kExtAudioPorts = "clap.audio-ports";
constexpr const char* kPortStereo = "stereo";
constexpr uint32_t kAudioPortIsMain = 1u << 0;

struct AudioPortInfo {
  Id id;
  char name[kNameSize];
  uint32_t flags;
  uint32_t channelCount;
  const char* portType;
  Id inPlacePair;
};

struct PluginAudioPorts {
  uint32_t (*count)(const Plugin* plugin, bool isInput);
  bool (*get)(const Plugin* plugin, uint32_t index, bool isInput, AudioPortInfo* info);
};

constexpr const char* kExtNotePorts = "clap.note-ports";

enum NoteDialect : uint32_t {
  kDialectClap = 1u << 0,
  kDialectMidi = 1u << 1,
  kDialectMidiMpe = 1u << 2,
  kDialectMidi2 = 1u << 3,
};

struct NotePortInfo {
  Id id;
  uint32_t supportedDialects;
  uint32_t preferredDialect;
  char name[kNameSize];
};

struct PluginNotePorts {
  uint32_t (*count)(const Plugin* plugin, bool isInput);
  bool (*get)(const Plugin* plugin, uint32_t index, bool isInput, NotePortInfo* info);
};

constexpr const char* kExtVoiceInfo = "clap.voice-info";

// With this flag a host may send overlapping notes of one key, told apart by note id.
constexpr uint64_t kVoiceInfoSupportsOverlappingNotes = 1u << 0;

struct VoiceInfo {
  uint32_t voiceCount;
  uint32_t voiceCapacity;
  uint64_t flags;
};

struct PluginVoiceInfo {
  bool (*get)(const Plugin* plugin, VoiceInfo* info);
};

// ---- Parameters --------------------------------------------------------------------------

constexpr const char* kExtParams = "clap.params";

enum ParamFlags : uint32_t {
  kParamIsStepped = 1u << 0,
  kParamIsPeriodic = 1u << 1,
  kParamIsHidden = 1u << 2,
  kParamIsReadonly = 1u << 3,
  kParamIsBypass = 1u << 4,
  kParamIsAutomatable = 1u << 5,
  kParamRequiresProcess = 1u << 15,
  kParamIsEnum = 1u << 16,
};

struct ParamInfo {
  Id id;
  uint32_t flags;
  void* cookie;
  char name[kNameSize];
  char module[kPathSize];
  double minValue;
  double maxValue;
  double defaultValue;
};

struct PluginParams {
  uint32_t (*count)(const Plugin* plugin);
  bool (*getInfo)(const Plugin* plugin, uint32_t index, ParamInfo* info);
  bool (*getValue)(const Plugin* plugin, Id id, double* value);
  bool (*valueToText)(const Plugin* plugin, Id id, double value, char* text, uint32_t capacity);
  bool (*textToValue)(const Plugin* plugin, Id id, const char* text, double* value);
  void (*flush)(const Plugin* plugin, const InputEvents* in, const OutputEvents* out);
};

enum ParamRescanFlags : uint32_t {
  kRescanValues = 1u << 0,
  kRescanText = 1u << 1,
  kRescanInfo = 1u << 2,
  kRescanAll = 1u << 3,
};

struct HostParams {
  void (*rescan)(const Host* host, uint32_t flags);
  void (*clear)(const Host* host, Id id, uint32_t flags);
  void (*requestFlush)(const Host* host);
};

// ---- State -------------------------------------------------------------------------------

constexpr const char* kExtState = "clap.state";

struct PluginState {
  bool (*save)(const Plugin* plugin, const OutputStream* stream);
  bool (*load)(const Plugin* plugin, const InputStream* stream);
};

struct HostState {
  void (*markDirty)(const Host* host);
};

// ---- Tail: frames, anything from INT32_MAX up meaning without end ------------------------

constexpr const char* kExtTail = "clap.tail";

struct PluginTail {
  uint32_t (*get)(const Plugin* plugin);
};

struct HostTail {
  void (*changed)(const Host* host);  // from the audio thread
};

// ---- The panel ---------------------------------------------------------------------------

constexpr const char* kExtGui = "clap.gui";
constexpr const char* kWindowApiWin32 = "win32";
constexpr const char* kWindowApiX11 = "x11";

struct Window {
  const char* api;
  union {
    void* cocoa;
    void* uikit;
    unsigned long x11;
    void* win32;
    void* ptr;
  };
};

struct GuiResizeHints {
  bool canResizeHorizontally;
  bool canResizeVertically;
  bool preserveAspectRatio;
  uint32_t aspectRatioWidth;
  uint32_t aspectRatioHeight;
};

struct PluginGui {
  bool (*isApiSupported)(const Plugin* plugin, const char* api, bool isFloating);
  bool (*getPreferredApi)(const Plugin* plugin, const char** api, bool* isFloating);
  bool (*create)(const Plugin* plugin, const char* api, bool isFloating);
  void (*destroy)(const Plugin* plugin);
  bool (*setScale)(const Plugin* plugin, double scale);
  bool (*getSize)(const Plugin* plugin, uint32_t* width, uint32_t* height);
  bool (*canResize)(const Plugin* plugin);
  bool (*getResizeHints)(const Plugin* plugin, GuiResizeHints* hints);
  bool (*adjustSize)(const Plugin* plugin, uint32_t* width, uint32_t* height);
  bool (*setSize)(const Plugin* plugin, uint32_t width, uint32_t height);
  bool (*setParent)(const Plugin* plugin, const Window* window);
  bool (*setTransient)(const Plugin* plugin, const Window* window);
  void (*suggestTitle)(const Plugin* plugin, const char* title);
  bool (*show)(const Plugin* plugin);
  bool (*hide)(const Plugin* plugin);
};

struct HostGui {
  void (*resizeHintsChanged)(const Host* host);
  bool (*requestResize)(const Host* host, uint32_t width, uint32_t height);
  bool (*requestShow)(const Host* host);
  bool (*requestHide)(const Host* host);
  void (*closed)(const Host* host, bool wasDestroyed);
};

constexpr const char* kExtPosixFdSupport = "clap.posix-fd-support";

enum PosixFdFlags : uint32_t {
  kFdRead = 1u << 0,
  kFdWrite = 1u << 1,
  kFdError = 1u << 2,
};

struct PluginPosixFdSupport {
  void (*onFd)(const Plugin* plugin, int fd, uint32_t flags);
};

struct HostPosixFdSupport {
  bool (*registerFd)(const Host* host, int fd, uint32_t flags);
  bool (*modifyFd)(const Host* host, int fd, uint32_t flags);
  bool (*unregisterFd)(const Host* host, int fd);
};

constexpr const char* kExtTimerSupport = "clap.timer-support";

struct PluginTimerSupport {
  void (*onTimer)(const Plugin* plugin, Id timerId);
};

struct HostTimerSupport {
  bool (*registerTimer)(const Host* host, uint32_t periodMs, Id* timerId);
  bool (*unregisterTimer)(const Host* host, Id timerId);
};

// ---- Presets -----------------------------------------------------------------------------

// Hosts of the draft era ask by the older names; both lead to the same tables.
constexpr const char* kExtPresetLoad = "clap.preset-load/2";
constexpr const char* kExtPresetLoadCompat = "clap.preset-load.draft/2";

struct PluginPresetLoad {
  bool (*fromLocation)(const Plugin* plugin, uint32_t locationKind, const char* location,
                       const char* loadKey);
};

struct HostPresetLoad {
  void (*onError)(const Host* host, uint32_t locationKind, const char* location,
                  const char* loadKey, int32_t osError, const char* message);
  void (*loaded)(const Host* host, uint32_t locationKind, const char* location,
                 const char* loadKey);
};

constexpr const char* kPresetDiscoveryFactoryId = "clap.preset-discovery-factory/2";
constexpr const char* kPresetDiscoveryFactoryIdCompat = "clap.preset-discovery-factory/draft-2";

enum PresetLocationKind : uint32_t {
  kLocationFile = 0,
  kLocationPlugin = 1,  // presets inside the plug-in itself; the location is null
};

enum PresetFlags : uint32_t {
  kPresetIsFactoryContent = 1u << 0,
  kPresetIsUserContent = 1u << 1,
  kPresetIsDemoContent = 1u << 2,
  kPresetIsFavorite = 1u << 3,
};

// A plug-in named across formats: the ABI ("clap") and the id within it.
struct UniversalPluginId {
  const char* abi;
  const char* id;
};

struct PresetMetadataReceiver {
  void* receiverData;
  void (*onError)(const PresetMetadataReceiver* receiver, int32_t osError, const char* message);
  bool (*beginPreset)(const PresetMetadataReceiver* receiver, const char* name,
                      const char* loadKey);
  void (*addPluginId)(const PresetMetadataReceiver* receiver, const UniversalPluginId* id);
  void (*setSoundpackId)(const PresetMetadataReceiver* receiver, const char* soundpackId);
  void (*setFlags)(const PresetMetadataReceiver* receiver, uint32_t flags);
  void (*addCreator)(const PresetMetadataReceiver* receiver, const char* creator);
  void (*setDescription)(const PresetMetadataReceiver* receiver, const char* description);
  void (*setTimestamps)(const PresetMetadataReceiver* receiver, uint64_t created,
                        uint64_t modified);
  void (*addFeature)(const PresetMetadataReceiver* receiver, const char* feature);
  void (*addExtraInfo)(const PresetMetadataReceiver* receiver, const char* key, const char* value);
};

struct PresetFiletype {
  const char* name;
  const char* description;
  const char* fileExtension;
};

struct PresetLocation {
  uint32_t flags;
  const char* name;
  uint32_t kind;
  const char* location;
};

struct PresetSoundpack {
  uint32_t flags;
  const char* id;
  const char* name;
  const char* description;
  const char* homepageUrl;
  const char* vendor;
  const char* imagePath;
  uint64_t releaseTimestamp;
};

struct PresetProviderDescriptor {
  Version clapVersion;
  const char* id;
  const char* name;
  const char* vendor;
};

struct PresetProvider {
  const PresetProviderDescriptor* desc;
  void* providerData;
  bool (*init)(const PresetProvider* provider);
  void (*destroy)(const PresetProvider* provider);
  bool (*getMetadata)(const PresetProvider* provider, uint32_t locationKind, const char* location,
                      const PresetMetadataReceiver* receiver);
  const void* (*getExtension)(const PresetProvider* provider, const char* id);
};

struct PresetIndexer {
  Version clapVersion;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  void* indexerData;
  bool (*declareFiletype)(const PresetIndexer* indexer, const PresetFiletype* filetype);
  bool (*declareLocation)(const PresetIndexer* indexer, const PresetLocation* location);
  bool (*declareSoundpack)(const PresetIndexer* indexer, const PresetSoundpack* soundpack);
  const void* (*getExtension)(const PresetIndexer* indexer, const char* id);
};

struct PresetDiscoveryFactory {
  uint32_t (*count)(const PresetDiscoveryFactory* factory);
  const PresetProviderDescriptor* (*getDescriptor)(const PresetDiscoveryFactory* factory,
                                                   uint32_t index);
  const PresetProvider* (*create)(const PresetDiscoveryFactory* factory,
                                  const PresetIndexer* indexer, const char* providerId);
};

}  // namespace vorlak::clap
