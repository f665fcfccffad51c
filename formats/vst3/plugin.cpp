#include "formats/vst3/plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "formats/vst3/mapped_messages.h"
#include "formats/vst3/note_expression.h"
#include "formats/vst3/text.h"
#include "formats/vst3/view.h"
#include "instrument/adapter.h"
#include "instrument/session_state.h"

namespace vorlak::vst3 {
namespace {

constexpr int kStatusNoteOff = 0x80;
constexpr int kStatusNoteOn = 0x90;
constexpr int kStatusPolyPressure = 0xA0;
constexpr int kStatusController = 0xB0;
constexpr int kStatusPitchBend = 0xE0;

// A normalized value as the 0..steps integer a MIDI message carries; 0 for garbage.
int midiSteps(double value, double steps) {
  if (!(value >= 0.0)) return 0;
  return static_cast<int>(std::lround(std::min(value, 1.0) * steps));
}

uint8_t dataByte(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 127)); }

// A note's tuning in cents as the core's per-note detune, which holds -64..63.
int8_t detuneOf(float cents) {
  if (!std::isfinite(cents)) return 0;
  return static_cast<int8_t>(std::lround(std::clamp(cents, -64.0f, 63.0f)));
}

// A double from the host as a float, where a value past the float range would be undefined.
float narrowed(double value, double low, double high) {
  return static_cast<float>(std::clamp(value, low, high));
}

// The MIDI message a point of a hidden mapped parameter stands for; false for any other id.
bool mappedMessage(ParamId id, int offset, double value, MidiMessage& message) {
  if (id == kPitchBendId) {
    const int bend = midiSteps(value, kBendSteps);
    message = {offset, kStatusPitchBend, static_cast<uint8_t>(bend & 0x7f),
               static_cast<uint8_t>(bend >> 7)};
    return true;
  }
  if (id < kFirstControllerId || id >= static_cast<ParamId>(kParameterCount)) return false;
  message = {offset, kStatusController, kMappedControllers[id - kFirstControllerId],
             static_cast<uint8_t>(midiSteps(value, kControllerSteps))};
  return true;
}

// The MIDI of one note event; false for an event the engine has no use for.
bool eventMessage(const Event& event, int offset, MidiMessage& message) {
  switch (event.type) {
    case kNoteOnEvent: {
      const NoteOnEvent& note = event.noteOn;
      if (note.pitch < 0 || note.pitch > 127) return false;
      message = {offset, static_cast<uint8_t>(kStatusNoteOn | (note.channel & 0x0f)),
                 static_cast<uint8_t>(note.pitch),
                 dataByte(midiSteps(note.velocity, kControllerSteps)), detuneOf(note.tuning)};
      message.noteId = std::max(note.noteId, -1);
      return true;
    }
    case kNoteOffEvent: {
      const NoteOffEvent& note = event.noteOff;
      if (note.pitch < 0 || note.pitch > 127) return false;
      message = {offset, static_cast<uint8_t>(kStatusNoteOff | (note.channel & 0x0f)),
                 static_cast<uint8_t>(note.pitch),
                 dataByte(midiSteps(note.velocity, kControllerSteps))};
      return true;
    }
    case kPolyPressureEvent: {
      const PolyPressureEvent& pressure = event.polyPressure;
      if (pressure.pitch < 0 || pressure.pitch > 127) return false;
      message = {offset, static_cast<uint8_t>(kStatusPolyPressure | (pressure.channel & 0x0f)),
                 static_cast<uint8_t>(pressure.pitch),
                 dataByte(midiSteps(pressure.pressure, kControllerSteps))};
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

Plugin::Plugin() { showCore(); }

Plugin::~Plugin() {
  if (view) view->ownerGone();
}

Result Plugin::queryInterface(const char* iid, void** object) {
  if (!object) return kInvalidArgument;
  void* found = nullptr;
  if (sameUid(iid, Unknown::iid) || sameUid(iid, PluginBase::iid) ||
      sameUid(iid, Component::iid)) {
    found = static_cast<Component*>(this);
  } else if (sameUid(iid, AudioProcessor::iid)) {
    found = static_cast<AudioProcessor*>(this);
  } else if (sameUid(iid, ProcessContextRequirements::iid)) {
    found = static_cast<ProcessContextRequirements*>(this);
  } else if (sameUid(iid, EditController::iid)) {
    found = static_cast<EditController*>(this);
  } else if (sameUid(iid, UnitInfoSource::iid)) {
    found = static_cast<UnitInfoSource*>(this);
  } else if (sameUid(iid, MidiMapping::iid)) {
    found = static_cast<MidiMapping*>(this);
  } else if (sameUid(iid, NoteExpressionController::iid)) {
    found = static_cast<NoteExpressionController*>(this);
  }
  *object = found;
  if (!found) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32_t Plugin::addRef() { return ++references; }

uint32_t Plugin::release() {
  const uint32_t left = --references;
  if (left == 0) delete this;
  return left;
}

Result Plugin::initialize(Unknown* context) {
  hostContext = context;
  return core.hasBank() ? kResultOk : kInternalError;
}

Result Plugin::terminate() {
  idleTimer.stop();
  handler = nullptr;
  hostContext = nullptr;
  return kResultOk;
}

// One object is component and controller, so no other controller class exists.
Result Plugin::getControllerClassId(char*) { return kNotImplemented; }

Result Plugin::setIoMode(int32_t) { return kResultOk; }

int32_t Plugin::getBusCount(int32_t type, int32_t direction) {
  if (type == kMediaAudio && direction == kDirectionOutput) return 1;
  if (type == kMediaEvent && direction == kDirectionInput) return 1;
  return 0;
}

Result Plugin::getBusInfo(int32_t type, int32_t direction, int32_t index, BusInfo& bus) {
  if (index != 0 || getBusCount(type, direction) == 0) return kInvalidArgument;
  bus = {};
  bus.mediaType = type;
  bus.direction = direction;
  bus.channelCount = type == kMediaAudio ? 2 : 1;
  copyText(bus.name, type == kMediaAudio ? "Output" : "MIDI In");
  bus.busType = kBusMain;
  bus.flags = kBusDefaultActive;
  return kResultOk;
}

Result Plugin::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

Result Plugin::activateBus(int32_t type, int32_t direction, int32_t index, uint8_t) {
  return index == 0 && getBusCount(type, direction) == 1 ? kResultOk : kInvalidArgument;
}

Result Plugin::setActive(uint8_t state) {
  if (state && !active) core.resume();
  active = state != 0;
  core.setRendering(active);
  return kResultOk;
}

Result Plugin::loadState(Stream* state) {
  if (!state) return kInvalidArgument;
  uint8_t bytes[kSessionStateSize];
  size_t size = 0;
  while (size < sizeof bytes) {
    int32_t moved = 0;
    const int32_t wanted = static_cast<int32_t>(sizeof bytes - size);
    if (state->read(bytes + size, wanted, &moved) != kResultOk || moved <= 0) break;
    size += static_cast<size_t>(std::min(moved, wanted));
  }
  if (!loadSessionState(core, bytes, size)) return kResultFalse;
  showCore();
  panelUpdate();
  return kResultOk;
}

Result Plugin::saveState(Stream* state) {
  if (!state) return kInvalidArgument;
  uint8_t bytes[kSessionStateSize];
  saveSessionState(core, bytes);
  size_t size = 0;
  while (size < sizeof bytes) {
    int32_t moved = 0;
    const int32_t wanted = static_cast<int32_t>(sizeof bytes - size);
    if (state->write(bytes + size, wanted, &moved) != kResultOk || moved <= 0) return kResultFalse;
    size += static_cast<size_t>(std::min(moved, wanted));
  }
  return kResultOk;
}

// No input, one stereo output: any other arrangement is answered with ours.
Result Plugin::setBusArrangements(SpeakerArrangement*, int32_t inputCount,
                                  SpeakerArrangement* outputs, int32_t outputCount) {
  const bool ours = inputCount == 0 && outputCount == 1 && outputs && outputs[0] == kStereo;
  return ours ? kResultOk : kResultFalse;
}

Result Plugin::getBusArrangement(int32_t direction, int32_t index,
                                 SpeakerArrangement& arrangement) {
  if (direction != kDirectionOutput || index != 0) return kInvalidArgument;
  arrangement = kStereo;
  return kResultOk;
}

Result Plugin::canProcessSampleSize(int32_t symbolicSize) {
  return symbolicSize == kSample32 ? kResultOk : kResultFalse;
}

Result Plugin::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize != kSample32) return kResultFalse;
  if (!std::isfinite(setup.sampleRate) ||
      !core.setSampleRate(narrowed(setup.sampleRate, 0.0, 1e9)))
    return kResultFalse;
  core.setBlockSize(std::min(setup.maxSamplesPerBlock, kMaxBlockSize));
  return kResultOk;
}

uint32_t Plugin::getTailSamples() {
  static_assert(kEndlessTail == kInfiniteTail);
  return core.tailFrames();
}

// Every block is rendered whole: parameter points and events are queued at their offsets,
// exactly as the VST 2 module queues a host's event list.
Result Plugin::process(ProcessData& data) {
  if (data.symbolicSampleSize != kSample32) return kInvalidArgument;
  const int frames = std::max(data.numSamples, 0);
  float* channels[2] = {nullptr, nullptr};
  if (data.numOutputs > 0 && data.outputs && data.outputs[0].channels32) {
    AudioBusBuffers& bus = data.outputs[0];
    for (int c = 0; c < std::min(bus.numChannels, 2); ++c) channels[c] = bus.channels32[c];
    bus.silenceFlags = 0;
  }
  if (!active) {
    for (float* channel : channels)
      if (channel) std::memset(channel, 0, sizeof(float) * static_cast<size_t>(frames));
    return kResultOk;
  }
  MappedMessages mapped;
  queueParameterPoints(data, frames, mapped);
  queueEvents(data, frames, mapped);
  const ProcessContext* context = data.processContext;
  // A tempo past the float range would be undefined in the core's conversion: none is played.
  const bool hasTempo = context && (context->state & kTempoValid) &&
                        std::fabs(context->tempo) <= std::numeric_limits<float>::max();
  const Transport transport{hasTempo ? context->tempo : 120.0, hasTempo};
  core.render(channels[0], channels[1], frames, true, transport, *this);
  return kResultOk;
}

// The 28 parameters are queued at their points; a program change selects the program at its
// point and reports its values back; the mapped parameters become MIDI, kept in order of
// offset for the notes to be merged in.
void Plugin::queueParameterPoints(ProcessData& data, int frames, MappedMessages& mapped) {
  ParameterChanges* changes = data.inputParameterChanges;
  if (!changes) return;
  const int32_t queues = changes->getParameterCount();
  for (int32_t q = 0; q < queues; ++q) {
    ParamValueQueue* queue = changes->getParameterData(q);
    if (!queue) continue;
    const ParamId id = queue->getParameterId();
    const int32_t points = queue->getPointCount();
    for (int32_t p = 0; p < points; ++p) {
      int32_t offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(p, offset, value) != kResultOk || !std::isfinite(value)) continue;
      offset = std::clamp(offset, 0, std::max(frames - 1, 0));
      MidiMessage message;
      if (id < static_cast<ParamId>(kNumParameters)) {
        core.queueParameter(offset, static_cast<int>(id), narrowed(value, 0.0, 1.0));
      } else if (id == kProgramId) {
        reportProgram(data, offset, midiSteps(value, kProgramSteps));
      } else if (mappedMessage(id, offset, value, message)) {
        mapped.insert(message);
      }
    }
  }
}

// The block's notes and the mapped controllers go to the core in order of offset, a
// controller before a note of the same offset.
void Plugin::queueEvents(ProcessData& data, int frames, const MappedMessages& mapped) {
  MidiBatch batch(core);
  int next = 0;
  if (EventList* events = data.inputEvents) {
    const int32_t count = events->getEventCount();
    for (int32_t i = 0; i < count; ++i) {
      Event event{};
      if (events->getEvent(i, event) != kResultOk) continue;
      const int offset = std::clamp(event.sampleOffset, 0, std::max(frames - 1, 0));
      MidiMessage message;
      NoteExpression expression;
      const bool note = eventMessage(event, offset, message);
      const bool tuning = !note && tuningExpression(event, offset, expression);
      if (!note && !tuning) continue;
      while (next < mapped.count && mapped.messages[next].frame <= offset)
        batch.add(mapped.messages[next++]);
      if (note) {
        batch.add(message);
      } else {
        // Behind what the batch holds, so that it finds the note it follows.
        batch.flush();
        core.queueNoteExpressions(&expression, 1);
      }
    }
  }
  while (next < mapped.count) batch.add(mapped.messages[next++]);
}

void Plugin::reportProgram(ProcessData& data, int offset, int program) {
  ParameterChanges* out = data.outputParameterChanges;
  switchProgram(core, program, [&](int index, float value) {
    core.queueParameter(offset, index, value);
    if (!out) return;
    int32_t slot = 0;
    const ParamId id = static_cast<ParamId>(index);
    if (ParamValueQueue* queue = out->addParameterData(id, slot))
      queue->addPoint(offset, value, slot);
  });
  heardProgram.store(program, std::memory_order_release);
}

// A MIDI program change: the VST 3 events carry none, but the core's listener must answer.
void Plugin::programChange(int program) {
  if (core.switchProgram(program)) heardProgram.store(program, std::memory_order_release);
}

}  // namespace vorlak::vst3
