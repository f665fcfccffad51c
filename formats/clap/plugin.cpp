#include "formats/clap/plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "formats/clap/param_values.h"
#include "formats/clap/view.h"
#include "instrument/adapter.h"
#include "vorlak_version.h"

namespace vorlak::clap {
namespace {

const char* const kFeatures[] = {"instrument", "synthesizer", "stereo", nullptr};

// The MIDI controller that releases every sounding note of its channel.
constexpr uint8_t kAllNotesOff = 123;

template <class Extension>
const Extension* hostExtension(const Host* host, const char* id) {
  if (!host->getExtension) return nullptr;
  return static_cast<const Extension*>(host->getExtension(host, id));
}

uint8_t midiVelocity(double velocity) {
  return static_cast<uint8_t>(std::lround(std::clamp(velocity, 0.0, 1.0) * 127.0));
}

// A note event as the MIDI message it stands for; false when it stands for none (a note-on
// for every key, or a velocity that is not a number).
bool noteMessage(const NoteEvent& note, int frame, MidiMessage& message) {
  if (note.portIndex > 0 || !std::isfinite(note.velocity)) return false;
  const auto channel =
      static_cast<uint8_t>(note.channel >= 0 && note.channel < 16 ? note.channel : 0);
  const bool on = note.header.type == kNoteOn;
  if (note.key < 0 || note.key > 127) {
    if (on) return false;
    message = {frame, static_cast<uint8_t>(0xB0 | channel), kAllNotesOff, 0};
    return true;
  }
  const auto key = static_cast<uint8_t>(note.key);
  if (on) {
    const uint8_t velocity = std::max<uint8_t>(midiVelocity(note.velocity), 1);
    message = {frame, static_cast<uint8_t>(0x90 | channel), key, velocity};
    message.noteId = std::max(note.noteId, -1);
  } else {
    message = {frame, static_cast<uint8_t>(0x80 | channel), key, midiVelocity(note.velocity)};
  }
  return true;
}

// Tuning and volume reach the note's string. The strings are mixed to one channel before the
// amplifier, so a pan has nothing to move, and the other expressions have no counterpart.
bool noteExpression(const NoteExpressionEvent& event, int frame, NoteExpression& expression) {
  if (event.portIndex > 0 || !std::isfinite(event.value)) return false;
  NoteExpressionKind kind;
  if (event.expressionId == kNoteExpressionTuning)
    kind = kExpressionTuning;
  else if (event.expressionId == kNoteExpressionVolume)
    kind = kExpressionVolume;
  else
    return false;
  const auto value = static_cast<float>(std::clamp(event.value, -120.0, 120.0));
  expression = {frame, kind, std::max(event.noteId, -1), event.channel, event.key, value};
  return true;
}

template <class Event>
const Event* eventAs(const EventHeader& header) {
  return header.size >= sizeof(Event) ? reinterpret_cast<const Event*>(&header) : nullptr;
}

bool push(const OutputEvents* out, const EventHeader& event) {
  return out && out->tryPush && out->tryPush(out, &event);
}

}  // namespace

const PluginDescriptor kDescriptor{kVersion,
                                   "audio.kivo.vorlak",
                                   "Vorlak",
                                   "Kivo",
                                   "",
                                   "",
                                   "",
                                   VORLAK_VERSION,
                                   "Electric guitar and bass, modelled string by string",
                                   kFeatures};

Instance::Instance(const Host* hostTable) : host(hostTable) { fillPluginTable(table, this); }

Instance::~Instance() = default;

Instance* Instance::create(const Host* host) {
  if (!host || !compatible(host->clapVersion)) return nullptr;
  Instance* instance = new (std::nothrow) Instance(host);
  if (instance && !instance->core.hasBank()) {
    delete instance;
    return nullptr;
  }
  return instance;
}

Instance* Instance::of(const Plugin* plugin) {
  return plugin ? static_cast<Instance*>(plugin->pluginData) : nullptr;
}

bool Instance::init() {
  hostExtensions.params = hostExtension<HostParams>(host, kExtParams);
  hostExtensions.state = hostExtension<HostState>(host, kExtState);
  hostExtensions.gui = hostExtension<HostGui>(host, kExtGui);
  hostExtensions.fds = hostExtension<HostPosixFdSupport>(host, kExtPosixFdSupport);
  hostExtensions.timers = hostExtension<HostTimerSupport>(host, kExtTimerSupport);
  hostExtensions.tail = hostExtension<HostTail>(host, kExtTail);
  return true;
}

bool Instance::activate(double sampleRate, uint32_t maxFrames) {
  // Past the float range the conversion itself would be undefined; the core refuses the rest.
  if (active || !(std::fabs(sampleRate) <= std::numeric_limits<float>::max())) return false;
  if (!core.setSampleRate(static_cast<float>(sampleRate))) return false;
  core.setBlockSize(static_cast<int>(std::min<uint32_t>(maxFrames, kMaxBlockSize)));
  if (core.scratchLength() == 0) return false;
  core.resume();
  steadyEnd = -1;
  active = true;
  core.setRendering(true);
  return true;
}

void Instance::deactivate() {
  processing = false;
  active = false;
  core.setRendering(false);
}

bool Instance::startProcessing() {
  if (!active) return false;
  processing = true;
  return true;
}

void Instance::stopProcessing() { processing = false; }

void Instance::reset() {
  if (active) core.resume();
  steadyEnd = -1;
}

void Instance::programChange(int program) {
  if (!core.switchProgram(program)) return;
  edits.changed.markAll();
  rescanDue = true;
  if (host->requestCallback) host->requestCallback(host);
}

void Instance::onMainThread() {
  if (!rescanDue.exchange(false)) return;
  if (hostExtensions.params && hostExtensions.params->rescan)
    hostExtensions.params->rescan(host, kRescanValues);
  if (hostExtensions.state && hostExtensions.state->markDirty)
    hostExtensions.state->markDirty(host);
}

void Instance::valuesReplaced() {
  edits.changed.markAll();
  if (hostExtensions.params && hostExtensions.params->rescan)
    hostExtensions.params->rescan(host, kRescanValues);
}

// Every event goes to the core at its frame and the block is rendered in one piece, exactly
// as the VST 2 module queues a host's event list. An event past the block plays at its last
// frame; events of other spaces, unknown types and records too short for their type are
// passed over.
void Instance::readEvents(const InputEvents* in, uint32_t frames, Transport* transport) {
  if (!in || !in->size || !in->get) return;
  const uint32_t last = frames > 0 ? frames - 1 : 0;
  const uint32_t count = in->size(in);
  MidiBatch batch(core);
  for (uint32_t i = 0; i < count; ++i) {
    const EventHeader* header = in->get(in, i);
    if (!header || header->spaceId != kCoreEventSpace) continue;
    const int frame = static_cast<int>(std::min(header->time, last));
    switch (header->type) {
      case kNoteOn:
      case kNoteOff:
      case kNoteChoke:
        if (const auto* note = eventAs<NoteEvent>(*header)) {
          MidiMessage message;
          if (noteMessage(*note, frame, message)) batch.add(message);
        }
        break;
      case kMidi:
        if (const auto* midi = eventAs<MidiEvent>(*header)) {
          // Running status does not exist here, and system messages mean nothing to the engine.
          if (midi->portIndex != 0 || midi->data[0] < 0x80 || midi->data[0] >= 0xF0) break;
          batch.add(MidiMessage{frame, midi->data[0], midi->data[1], midi->data[2]});
        }
        break;
      case kNoteExpression:
        if (const auto* change = eventAs<NoteExpressionEvent>(*header)) {
          NoteExpression expression;
          if (!noteExpression(*change, frame, expression)) break;
          // Behind the notes of the batch, so that an expression finds the note it follows.
          batch.flush();
          core.queueNoteExpressions(&expression, 1);
        }
        break;
      case kParamValue:
        if (const auto* change = eventAs<ParamValueEvent>(*header)) {
          const int index = static_cast<int>(std::min<Id>(change->paramId, 0x7fffffff));
          float value;
          if (!isParameterIndex(index) || !coreValueOf(index, change->value, value)) break;
          if (transport) {
            core.queueParameter(frame, index, value);
          } else {
            core.setParameter(index, value);
          }
          edits.changed.mark(index);
        }
        break;
      case kTransportEvent:
        if (const auto* position = eventAs<TransportEvent>(*header); position && transport)
          if (position->flags & kHasTempo) *transport = {position->tempo, true};
        break;
      default:
        break;
    }
  }
}

void Instance::sendPanelEdits(const OutputEvents* out) {
  PanelEdit edit;
  while (edits.pop(edit)) {
    const EventHeader header{0, 0, kCoreEventSpace, 0, 0};
    if (edit.kind == PanelEdit::kValue) {
      ParamValueEvent event{header, edit.index, nullptr, -1,
                            -1,     -1,         -1,      hostValueOf(edit.index, edit.value)};
      event.header.size = sizeof event;
      event.header.type = kParamValue;
      push(out, event.header);
    } else {
      ParamGestureEvent event{header, edit.index};
      event.header.size = sizeof event;
      event.header.type = edit.kind == PanelEdit::kBegin ? kParamGestureBegin : kParamGestureEnd;
      push(out, event.header);
    }
  }
}

int32_t Instance::process(const Process& block) {
  const uint32_t frames = std::min<uint32_t>(block.framesCount, kMaxBlockSize);
  float* left = nullptr;
  float* right = nullptr;
  if (block.audioOutputsCount > 0 && block.audioOutputs && block.audioOutputs->data32) {
    const AudioBuffer& output = block.audioOutputs[0];
    if (output.channelCount > 0) left = output.data32[0];
    if (output.channelCount > 1) right = output.data32[1];
    block.audioOutputs->constantMask = 0;
  }
  if (!processing) {
    for (float* channel : {left, right})
      if (channel) std::memset(channel, 0, sizeof(float) * frames);
    return kProcessError;
  }
  Transport transport{120.0, false};
  if (block.transport && (block.transport->flags & kHasTempo))
    transport = {block.transport->tempo, true};
  // Woken from a sleep, the instance catches up with the time that passed, before the events
  // that woke it are queued.
  if (block.steadyTime >= 0 && steadyEnd >= 0 && block.steadyTime > steadyEnd &&
      asleep.load(std::memory_order_relaxed))
    core.skipRest(static_cast<uint64_t>(block.steadyTime - steadyEnd));
  steadyEnd = block.steadyTime >= 0 ? block.steadyTime + frames : -1;
  sendPanelEdits(block.outEvents);
  readEvents(block.inEvents, frames, &transport);
  core.render(left, right, static_cast<int>(frames), true, transport, *this);
  // A program, the latch or the pedal may have changed how long the instrument rings.
  const uint32_t tail = core.tailFrames();
  if (tail != tailTold) {
    tailTold = tail;
    if (hostExtensions.tail && hostExtensions.tail->changed) hostExtensions.tail->changed(host);
  }
  // Ringing, the answer stays ours: the tail counts from a note's end, and a held or strummed
  // note is bound by none. Asleep, the host calls again with the next event.
  const bool rest = core.atRest(left, right, static_cast<int>(frames));
  asleep.store(rest, std::memory_order_relaxed);
  return rest ? kProcessSleep : kProcessContinue;
}

bool Instance::createView() {
  if (panel) return false;
  panel = PanelView::create(*this);
  return panel != nullptr;
}

void Instance::destroyView() { panel.reset(); }

// Outside processing the values apply at once; notes and MIDI wait for a block.
void Instance::flush(const InputEvents* in, const OutputEvents* out) {
  if (processing) return;
  sendPanelEdits(out);
  readEvents(in, 0, nullptr);
}

}  // namespace vorlak::clap
