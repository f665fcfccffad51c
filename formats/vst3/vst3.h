// Our own declarations of the VST 3 interfaces the plug-in implements or calls, written from
// the interface's public facts: the 16-byte identifiers, the order of every interface's
// methods (each interface is a table of function pointers, the COM layout), the result codes,
// and the layouts of the records hosts and plug-ins exchange. Names follow this project's
// style; only the order and the types matter to a host.
//
// Two platform differences decide the binary contract: Windows uses COM's result codes and
// stores the first eight bytes of an identifier as COM does (little-endian groups), every other
// platform its own small codes and the identifier's bytes as written. On both 64-bit platforms
// the records keep their natural alignment, save the two note-expression events, packed to 4
// bytes, which only size the event record's union here. The size checks below are the
// interface's own figures for 64-bit builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define VST3_CALL __stdcall
#else
#define VST3_CALL
#endif

namespace vorlak::vst3 {

using Result = int32_t;
using Char16 = char16_t;
using String128 = Char16[128];
using ParamId = uint32_t;
using ParamValue = double;
using SpeakerArrangement = uint64_t;
using UnitId = int32_t;
using ProgramListId = int32_t;

#if defined(_WIN32)
constexpr Result kResultOk = 0;
constexpr Result kResultFalse = 1;
constexpr Result kNoInterface = static_cast<Result>(0x80004002u);
constexpr Result kInvalidArgument = static_cast<Result>(0x80070057u);
constexpr Result kNotImplemented = static_cast<Result>(0x80004001u);
constexpr Result kInternalError = static_cast<Result>(0x80004005u);
constexpr Result kNotInitialized = static_cast<Result>(0x8000FFFFu);
#else
constexpr Result kNoInterface = -1;
constexpr Result kResultOk = 0;
constexpr Result kResultFalse = 1;
constexpr Result kInvalidArgument = 2;
constexpr Result kNotImplemented = 3;
constexpr Result kInternalError = 4;
constexpr Result kNotInitialized = 5;
#endif

// An interface or class identifier as the host compares it, byte for byte.
struct Uid {
  char bytes[16];
};

// The identifier written as four 32-bit groups, in the platform's byte order.
constexpr Uid makeUid(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  auto byte = [](uint32_t word, int shift) { return static_cast<char>((word >> shift) & 0xff); };
#if defined(_WIN32)
  return {{byte(a, 0), byte(a, 8), byte(a, 16), byte(a, 24), byte(b, 16), byte(b, 24),
           byte(b, 0), byte(b, 8), byte(c, 24), byte(c, 16), byte(c, 8), byte(c, 0),
           byte(d, 24), byte(d, 16), byte(d, 8), byte(d, 0)}};
#else
  return {{byte(a, 24), byte(a, 16), byte(a, 8), byte(a, 0), byte(b, 24), byte(b, 16),
           byte(b, 8), byte(b, 0), byte(c, 24), byte(c, 16), byte(c, 8), byte(c, 0),
           byte(d, 24), byte(d, 16), byte(d, 8), byte(d, 0)}};
#endif
}

inline bool sameUid(const char* raw, const Uid& uid) {
  return raw && std::memcmp(raw, uid.bytes, sizeof uid.bytes) == 0;
}

// ---- The base of every interface -------------------------------------------------------

struct Unknown {
  static constexpr Uid iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
  virtual Result VST3_CALL queryInterface(const char* iid, void** object) = 0;
  virtual uint32_t VST3_CALL addRef() = 0;
  virtual uint32_t VST3_CALL release() = 0;
};

struct PluginBase : Unknown {
  static constexpr Uid iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
  virtual Result VST3_CALL initialize(Unknown* context) = 0;
  virtual Result VST3_CALL terminate() = 0;
};

// A byte stream of the host's: a call may move fewer bytes than asked.
struct Stream : Unknown {
  static constexpr Uid iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
  virtual Result VST3_CALL read(void* buffer, int32_t bytes, int32_t* bytesRead) = 0;
  virtual Result VST3_CALL write(void* buffer, int32_t bytes, int32_t* bytesWritten) = 0;
  virtual Result VST3_CALL seek(int64_t position, int32_t mode, int64_t* result) = 0;
  virtual Result VST3_CALL tell(int64_t* position) = 0;
};

// ---- The factory ------------------------------------------------------------------------

struct FactoryInfo {
  char vendor[64];
  char url[256];
  char email[128];
  int32_t flags;
};
constexpr int32_t kFactoryUnicode = 1 << 4;

constexpr int32_t kManyInstances = 0x7FFFFFFF;

struct ClassInfo {
  Uid cid;
  int32_t cardinality;
  char category[32];
  char name[64];
};

struct ClassInfo2 {
  Uid cid;
  int32_t cardinality;
  char category[32];
  char name[64];
  uint32_t classFlags;
  char subCategories[128];
  char vendor[64];
  char version[64];
  char sdkVersion[64];
};

struct ClassInfoW {
  Uid cid;
  int32_t cardinality;
  char category[32];
  Char16 name[64];
  uint32_t classFlags;
  char subCategories[128];
  Char16 vendor[64];
  Char16 version[64];
  Char16 sdkVersion[64];
};

static_assert(sizeof(FactoryInfo) == 452 && sizeof(ClassInfo) == 116);
static_assert(sizeof(ClassInfo2) == 440 && sizeof(ClassInfoW) == 696);

struct PluginFactory : Unknown {
  static constexpr Uid iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
  virtual Result VST3_CALL getFactoryInfo(FactoryInfo* info) = 0;
  virtual int32_t VST3_CALL countClasses() = 0;
  virtual Result VST3_CALL getClassInfo(int32_t index, ClassInfo* info) = 0;
  virtual Result VST3_CALL createInstance(const char* cid, const char* iid, void** object) = 0;
};

struct PluginFactory2 : PluginFactory {
  static constexpr Uid iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
  virtual Result VST3_CALL getClassInfo2(int32_t index, ClassInfo2* info) = 0;
};

struct PluginFactory3 : PluginFactory2 {
  static constexpr Uid iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
  virtual Result VST3_CALL getClassInfoUnicode(int32_t index, ClassInfoW* info) = 0;
  virtual Result VST3_CALL setHostContext(Unknown* context) = 0;
};

// ---- The component and its processing ----------------------------------------------------

constexpr int32_t kMediaAudio = 0;
constexpr int32_t kMediaEvent = 1;
constexpr int32_t kDirectionInput = 0;
constexpr int32_t kDirectionOutput = 1;
constexpr int32_t kBusMain = 0;
constexpr uint32_t kBusDefaultActive = 1 << 0;
constexpr SpeakerArrangement kStereo = 0x3;  // left and right

struct BusInfo {
  int32_t mediaType;
  int32_t direction;
  int32_t channelCount;
  String128 name;
  int32_t busType;
  uint32_t flags;
};

struct RoutingInfo {
  int32_t mediaType;
  int32_t busIndex;
  int32_t channel;
};

struct Component : PluginBase {
  static constexpr Uid iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  virtual Result VST3_CALL getControllerClassId(char* classId) = 0;
  virtual Result VST3_CALL setIoMode(int32_t mode) = 0;
  virtual int32_t VST3_CALL getBusCount(int32_t type, int32_t direction) = 0;
  virtual Result VST3_CALL getBusInfo(int32_t type, int32_t direction, int32_t index,
                                      BusInfo& bus) = 0;
  virtual Result VST3_CALL getRoutingInfo(RoutingInfo& in, RoutingInfo& out) = 0;
  virtual Result VST3_CALL activateBus(int32_t type, int32_t direction, int32_t index,
                                       uint8_t state) = 0;
  virtual Result VST3_CALL setActive(uint8_t state) = 0;
  virtual Result VST3_CALL setState(Stream* state) = 0;
  virtual Result VST3_CALL getState(Stream* state) = 0;
};

constexpr int32_t kSample32 = 0;
constexpr int32_t kSample64 = 1;

struct ProcessSetup {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32_t numChannels;
  uint64_t silenceFlags;
  float** channels32;  // shares its place with the 64-bit channels, which we refuse
};

struct ParamValueQueue : Unknown {
  static constexpr Uid iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
  virtual ParamId VST3_CALL getParameterId() = 0;
  virtual int32_t VST3_CALL getPointCount() = 0;
  virtual Result VST3_CALL getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) = 0;
  virtual Result VST3_CALL addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) = 0;
};

struct ParameterChanges : Unknown {
  static constexpr Uid iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
  virtual int32_t VST3_CALL getParameterCount() = 0;
  virtual ParamValueQueue* VST3_CALL getParameterData(int32_t index) = 0;
  virtual ParamValueQueue* VST3_CALL addParameterData(const ParamId& id, int32_t& index) = 0;
};

constexpr uint16_t kNoteOnEvent = 0;
constexpr uint16_t kNoteOffEvent = 1;
constexpr uint16_t kPolyPressureEvent = 3;
constexpr uint16_t kNoteExpressionValueEvent = 4;

struct NoteOnEvent {
  int16_t channel;
  int16_t pitch;
  float tuning;  // cents
  float velocity;
  int32_t length;
  int32_t noteId;
};

struct NoteOffEvent {
  int16_t channel;
  int16_t pitch;
  float velocity;
  int32_t noteId;
  float tuning;
};

struct PolyPressureEvent {
  int16_t channel;
  int16_t pitch;
  float pressure;
  int32_t noteId;
};

// A new value of one note's expression, normalized 0..1; the type fixes the plain range.
struct NoteExpressionValueEvent {
  uint32_t typeId;
  int32_t noteId;
  double value;
};

struct Event {
  int32_t busIndex;
  int32_t sampleOffset;
  double ppqPosition;
  uint16_t flags;
  uint16_t type;
  union {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    PolyPressureEvent polyPressure;
    NoteExpressionValueEvent noteExpressionValue;
    // The members we never read, by size and alignment: the system-exclusive data event (a
    // pointer after two integers) and the note-expression text event (20 bytes, packed).
    struct {
      uint32_t size, type;
      const uint8_t* bytes;
    } data;
    char noteExpressionText[20];
  };
};

struct EventList : Unknown {
  static constexpr Uid iid = makeUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
  virtual int32_t VST3_CALL getEventCount() = 0;
  virtual Result VST3_CALL getEvent(int32_t index, Event& event) = 0;
  virtual Result VST3_CALL addEvent(Event& event) = 0;
};

constexpr uint32_t kTempoValid = 1 << 10;

struct ProcessContext {
  uint32_t state;
  double sampleRate;
  int64_t projectTimeSamples;
  int64_t systemTime;
  int64_t continuousTimeSamples;
  double projectTimeMusic;
  double barPositionMusic;
  double cycleStartMusic;
  double cycleEndMusic;
  double tempo;
  int32_t timeSigNumerator;
  int32_t timeSigDenominator;
  uint8_t chordKeyNote;
  uint8_t chordRootNote;
  int16_t chordMask;
  int32_t smpteOffsetSubframes;
  uint32_t framesPerSecond;
  uint32_t frameRateFlags;
  int32_t samplesToNextClock;
};

struct ProcessData {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t numSamples;
  int32_t numInputs;
  int32_t numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  ParameterChanges* inputParameterChanges;
  ParameterChanges* outputParameterChanges;
  EventList* inputEvents;
  EventList* outputEvents;
  ProcessContext* processContext;
};

static_assert(sizeof(void*) == 8, "the sizes below are those of 64-bit builds");
static_assert(sizeof(BusInfo) == 276 && sizeof(ProcessSetup) == 24);
static_assert(sizeof(AudioBusBuffers) == 24 && sizeof(Event) == 48);
static_assert(sizeof(ProcessContext) == 112 && sizeof(ProcessData) == 80);
static_assert(offsetof(ProcessContext, tempo) == 72 && offsetof(Event, noteOn) == 24);
static_assert(offsetof(ProcessData, inputs) == 24 && offsetof(AudioBusBuffers, channels32) == 16);

struct AudioProcessor : Unknown {
  static constexpr Uid iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
  virtual Result VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32_t inputCount,
                                              SpeakerArrangement* outputs,
                                              int32_t outputCount) = 0;
  virtual Result VST3_CALL getBusArrangement(int32_t direction, int32_t index,
                                             SpeakerArrangement& arrangement) = 0;
  virtual Result VST3_CALL canProcessSampleSize(int32_t symbolicSize) = 0;
  virtual uint32_t VST3_CALL getLatencySamples() = 0;
  virtual Result VST3_CALL setupProcessing(ProcessSetup& setup) = 0;
  virtual Result VST3_CALL setProcessing(uint8_t state) = 0;
  virtual Result VST3_CALL process(ProcessData& data) = 0;
  virtual uint32_t VST3_CALL getTailSamples() = 0;
};

constexpr uint32_t kNoTail = 0;
constexpr uint32_t kInfiniteTail = 0xFFFFFFFFu;

// Which fields of the process context the processor reads; a host may leave the others out,
// or give no context at all to a processor that does not answer this.
constexpr uint32_t kNeedTempo = 1 << 6;

struct ProcessContextRequirements : Unknown {
  static constexpr Uid iid = makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
  virtual uint32_t VST3_CALL getProcessContextRequirements() = 0;
};

// ---- The controller ----------------------------------------------------------------------

constexpr int32_t kCanAutomate = 1 << 0;
constexpr int32_t kIsList = 1 << 3;
constexpr int32_t kIsHidden = 1 << 4;
constexpr int32_t kIsProgramChange = 1 << 15;

struct ParameterInfo {
  ParamId id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32_t stepCount;
  ParamValue defaultNormalizedValue;
  UnitId unitId;
  int32_t flags;
};

static_assert(sizeof(ParameterInfo) == 792);

// restartComponent's flag: every parameter's value may have changed.
constexpr int32_t kParamValuesChanged = 1 << 2;

struct ComponentHandler : Unknown {
  static constexpr Uid iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
  virtual Result VST3_CALL beginEdit(ParamId id) = 0;
  virtual Result VST3_CALL performEdit(ParamId id, ParamValue value) = 0;
  virtual Result VST3_CALL endEdit(ParamId id) = 0;
  virtual Result VST3_CALL restartComponent(int32_t flags) = 0;
};

struct PlugView;

struct EditController : PluginBase {
  static constexpr Uid iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
  virtual Result VST3_CALL setComponentState(Stream* state) = 0;
  virtual Result VST3_CALL setState(Stream* state) = 0;
  virtual Result VST3_CALL getState(Stream* state) = 0;
  virtual int32_t VST3_CALL getParameterCount() = 0;
  virtual Result VST3_CALL getParameterInfo(int32_t index, ParameterInfo& info) = 0;
  virtual Result VST3_CALL getParamStringByValue(ParamId id, ParamValue value,
                                                 String128 text) = 0;
  virtual Result VST3_CALL getParamValueByString(ParamId id, Char16* text,
                                                 ParamValue& value) = 0;
  virtual ParamValue VST3_CALL normalizedParamToPlain(ParamId id, ParamValue value) = 0;
  virtual ParamValue VST3_CALL plainParamToNormalized(ParamId id, ParamValue plain) = 0;
  virtual ParamValue VST3_CALL getParamNormalized(ParamId id) = 0;
  virtual Result VST3_CALL setParamNormalized(ParamId id, ParamValue value) = 0;
  virtual Result VST3_CALL setComponentHandler(ComponentHandler* handler) = 0;
  virtual PlugView* VST3_CALL createView(const char* name) = 0;
};

// MIDI controller numbers past the 128 of MIDI itself.
constexpr int16_t kControllerPitchBend = 129;

struct MidiMapping : Unknown {
  static constexpr Uid iid = makeUid(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);
  virtual Result VST3_CALL getMidiControllerAssignment(int32_t busIndex, int16_t channel,
                                                       int16_t controller, ParamId& id) = 0;
};

// Note expression: the controller names the types it takes per bus and channel.
constexpr uint32_t kTuningTypeId = 2;  // 0..1 is -120..+120 semitones, 0.5 none
constexpr double kTuningSemitonesPerUnit = 240.0;

struct NoteExpressionValueDescription {
  double defaultValue;  // normalized, as are the bounds
  double minimum;
  double maximum;
  int32_t stepCount;  // 0: continuous
};

enum NoteExpressionTypeFlags : int32_t {
  kNoteExpressionIsBipolar = 1 << 0,
  kNoteExpressionIsOneShot = 1 << 1,
  kNoteExpressionIsAbsolute = 1 << 2,
  kNoteExpressionHasParameter = 1 << 3,
};

struct NoteExpressionTypeInfo {
  uint32_t typeId;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32_t unitId;
  NoteExpressionValueDescription valueDesc;
  ParamId associatedParameterId;
  int32_t flags;
};

struct NoteExpressionController : Unknown {
  static constexpr Uid iid = makeUid(0xB7F8F859, 0x41234872, 0x91169581, 0x4F3721A3);
  virtual int32_t VST3_CALL getNoteExpressionCount(int32_t busIndex, int16_t channel) = 0;
  virtual Result VST3_CALL getNoteExpressionInfo(int32_t busIndex, int16_t channel, int32_t index,
                                                 NoteExpressionTypeInfo& info) = 0;
  virtual Result VST3_CALL getNoteExpressionStringByValue(int32_t busIndex, int16_t channel,
                                                          uint32_t typeId, double value,
                                                          String128 text) = 0;
  virtual Result VST3_CALL getNoteExpressionValueByString(int32_t busIndex, int16_t channel,
                                                          uint32_t typeId, const Char16* text,
                                                          double& value) = 0;
};

constexpr UnitId kRootUnitId = 0;
constexpr UnitId kNoParentUnitId = -1;

struct UnitInfo {
  UnitId id;
  UnitId parentUnitId;
  String128 name;
  ProgramListId programListId;
};

struct ProgramListInfo {
  ProgramListId id;
  String128 name;
  int32_t programCount;
};

static_assert(sizeof(UnitInfo) == 268 && sizeof(ProgramListInfo) == 264);

struct UnitInfoSource : Unknown {
  static constexpr Uid iid = makeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
  virtual int32_t VST3_CALL getUnitCount() = 0;
  virtual Result VST3_CALL getUnitInfo(int32_t index, UnitInfo& info) = 0;
  virtual int32_t VST3_CALL getProgramListCount() = 0;
  virtual Result VST3_CALL getProgramListInfo(int32_t index, ProgramListInfo& info) = 0;
  virtual Result VST3_CALL getProgramName(ProgramListId list, int32_t program,
                                          String128 name) = 0;
  virtual Result VST3_CALL getProgramInfo(ProgramListId list, int32_t program,
                                          const char* attribute, String128 value) = 0;
  virtual Result VST3_CALL hasProgramPitchNames(ProgramListId list, int32_t program) = 0;
  virtual Result VST3_CALL getProgramPitchName(ProgramListId list, int32_t program,
                                               int16_t pitch, String128 name) = 0;
  virtual UnitId VST3_CALL getSelectedUnit() = 0;
  virtual Result VST3_CALL selectUnit(UnitId unit) = 0;
  virtual Result VST3_CALL getUnitByBus(int32_t type, int32_t direction, int32_t bus,
                                        int32_t channel, UnitId& unit) = 0;
  virtual Result VST3_CALL setUnitProgramData(int32_t listOrUnit, int32_t program,
                                              Stream* data) = 0;
};

// ---- The view ----------------------------------------------------------------------------

struct ViewRect {
  int32_t left, top, right, bottom;
};
static_assert(sizeof(ViewRect) == 16);

constexpr const char* kPlatformX11 = "X11EmbedWindowID";
constexpr const char* kPlatformHwnd = "HWND";

struct PlugFrame;

struct PlugView : Unknown {
  static constexpr Uid iid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
  virtual Result VST3_CALL isPlatformTypeSupported(const char* type) = 0;
  virtual Result VST3_CALL attached(void* parent, const char* type) = 0;
  virtual Result VST3_CALL removed() = 0;
  virtual Result VST3_CALL onWheel(float distance) = 0;
  virtual Result VST3_CALL onKeyDown(Char16 key, int16_t keyCode, int16_t modifiers) = 0;
  virtual Result VST3_CALL onKeyUp(Char16 key, int16_t keyCode, int16_t modifiers) = 0;
  virtual Result VST3_CALL getSize(ViewRect* size) = 0;
  virtual Result VST3_CALL onSize(ViewRect* size) = 0;
  virtual Result VST3_CALL onFocus(uint8_t state) = 0;
  virtual Result VST3_CALL setFrame(PlugFrame* frame) = 0;
  virtual Result VST3_CALL canResize() = 0;
  virtual Result VST3_CALL checkSizeConstraint(ViewRect* rect) = 0;
};

struct PlugFrame : Unknown {
  static constexpr Uid iid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
  virtual Result VST3_CALL resizeView(PlugView* view, ViewRect* size) = 0;
};

struct ContentScaleSupport : Unknown {
  static constexpr Uid iid = makeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
  virtual Result VST3_CALL setContentScaleFactor(float factor) = 0;
};

// Linux only: the host's run loop, which the view asks for through its frame.
struct EventHandler : Unknown {
  static constexpr Uid iid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
  virtual void VST3_CALL onFdIsSet(int fd) = 0;
};

struct TimerHandler : Unknown {
  static constexpr Uid iid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
  virtual void VST3_CALL onTimer() = 0;
};

struct RunLoop : Unknown {
  static constexpr Uid iid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
  virtual Result VST3_CALL registerEventHandler(EventHandler* handler, int fd) = 0;
  virtual Result VST3_CALL unregisterEventHandler(EventHandler* handler) = 0;
  virtual Result VST3_CALL registerTimer(TimerHandler* handler, uint64_t milliseconds) = 0;
  virtual Result VST3_CALL unregisterTimer(TimerHandler* handler) = 0;
};

}  // namespace vorlak::vst3
