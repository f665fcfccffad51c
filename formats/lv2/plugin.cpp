#include "formats/lv2/plugin.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "formats/lv2/atom_walk.h"
#include "formats/lv2/features.h"
#include "instrument/adapter.h"

namespace vorlak::lv2 {
namespace {

// The block length the host promises not to exceed: its maximum, else its usual length, and
// no more than the core takes for a sensible one.
int announcedBlockLength(const LV2_Options_Option* options, const Uris& uris) {
  int maximum = 0, nominal = 0;
  for (const LV2_Options_Option* o = options; o && (o->key || o->value); ++o) {
    if (o->type != uris.atomInt || o->size != sizeof(int32_t) || !o->value) continue;
    const int32_t value = *static_cast<const int32_t*>(o->value);
    if (o->key == uris.maxBlockLength) maximum = value;
    if (o->key == uris.nominalBlockLength) nominal = value;
  }
  const int announced = maximum > 0 ? maximum : nominal > 0 ? nominal : kDefaultMaxBlock;
  return std::min(announced, kMaxBlockSize);
}

// A number atom of any of the four numeric types, as a double; false for anything else.
bool numberOf(const LV2_Atom& atom, const Uris& uris, double& value) {
  const uint8_t* body = bodyOf(atom);
  if (atom.type == uris.atomFloat && atom.size >= sizeof(float)) {
    float v;
    std::memcpy(&v, body, sizeof v);
    value = v;
  } else if (atom.type == uris.atomDouble && atom.size >= sizeof(double)) {
    std::memcpy(&value, body, sizeof value);
  } else if (atom.type == uris.atomInt && atom.size >= sizeof(int32_t)) {
    int32_t v;
    std::memcpy(&v, body, sizeof v);
    value = v;
  } else if (atom.type == uris.atomLong && atom.size >= sizeof(int64_t)) {
    int64_t v;
    std::memcpy(&v, body, sizeof v);
    value = static_cast<double>(v);
  } else {
    return false;
  }
  return true;
}

}  // namespace

Uris::Uris(const LV2_URID_Map& m) {
  auto map = [&m](const char* uri) { return m.map(m.handle, uri); };
  midiEvent = map(LV2_MIDI__MidiEvent);
  atomObject = map(LV2_ATOM__Object);
  atomBlank = map(LV2_ATOM__Blank);
  atomInt = map(LV2_ATOM__Int);
  atomLong = map(LV2_ATOM__Long);
  atomFloat = map(LV2_ATOM__Float);
  atomDouble = map(LV2_ATOM__Double);
  atomString = map(LV2_ATOM__String);
  atomTuple = map(LV2_ATOM__Tuple);
  frameTime = map(LV2_ATOM__frameTime);
  timePosition = map(LV2_TIME__Position);
  beatsPerMinute = map(LV2_TIME__beatsPerMinute);
  maxBlockLength = map(LV2_BUF_SIZE__maxBlockLength);
  nominalBlockLength = map(LV2_BUF_SIZE__nominalBlockLength);
  stateProgram = map(kStateProgram);
  stateNames = map(kStateNames);
  stateValues = map(kStateValues);
}

Plugin::Plugin(const LV2_URID_Map& map) : uris(map) {
  // No port value has been seen yet: the first run applies every connected port.
  std::fill(std::begin(seen), std::end(seen), std::numeric_limits<float>::quiet_NaN());
}

Plugin* Plugin::create(double sampleRate, const LV2_Feature* const* features) {
  const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
  if (!map || !map->map) return nullptr;
  Plugin* plugin = new (std::nothrow) Plugin(*map);
  if (!plugin) return nullptr;
  const auto* options =
      static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options));
  plugin->core.setBlockSize(announcedBlockLength(options, plugin->uris));
  if (!plugin->core.hasBank() || plugin->core.scratchLength() == 0 ||
      !plugin->core.setSampleRate(static_cast<float>(sampleRate))) {
    delete plugin;
    return nullptr;
  }
  return plugin;
}

void Plugin::connect(uint32_t port, void* data) {
  if (port < kEventsPort) {
    controls[port] = static_cast<const float*>(data);
  } else if (port == kEventsPort) {
    events = static_cast<const LV2_Atom_Sequence*>(data);
  } else if (port == kLeftPort || port == kRightPort) {
    outputs[port - kLeftPort] = static_cast<float*>(data);
  }
}

void Plugin::activate() {
  core.resume();
  active = true;
  core.setRendering(true);
}

void Plugin::deactivate() {
  active = false;
  core.setRendering(false);
}

void Plugin::programChange(int program) { core.switchProgram(program); }

void Plugin::applyControls() {
  for (int i = 0; i < kNumParameters; ++i) {
    if (!controls[i]) continue;
    const float value = *controls[i];
    if (std::memcmp(&value, &seen[i], sizeof value) == 0) continue;
    seen[i] = value;
    if (!adoptControls) core.setParameter(i, value);
  }
  adoptControls = false;
}

void Plugin::readPosition(const LV2_Atom& object) {
  const uint8_t* body = bodyOf(object);
  if (object.size < sizeof(LV2_Atom_Object_Body)) return;
  if (reinterpret_cast<const LV2_Atom_Object_Body*>(body)->otype != uris.timePosition) return;
  forEachProperty(body, object.size, [this](const LV2_Atom_Property_Body& property) {
    double tempo;
    if (property.key == uris.beatsPerMinute && numberOf(property.value, uris, tempo)) {
      transport.tempo = tempo;
      transport.hasTempo = true;
    }
  });
}

// Every event goes to the core at its frame, in stack batches, and the block is rendered in
// one piece afterwards, exactly as the VST 2 module queues a host's event list. An event past
// the block plays at its last frame; one stamped in beats, which the plug-in never asks for,
// at its first.
void Plugin::readEvents(int frames) {
  if (!events) return;
  const bool inFrames = events->body.unit == 0 || events->body.unit == uris.frameTime;
  const int64_t last = std::max(frames - 1, 0);
  MidiBatch batch(core);
  forEachEvent(*events, [&](const LV2_Atom_Event& event) {
    const LV2_Atom& atom = event.body;
    if (atom.type == uris.atomObject || atom.type == uris.atomBlank) {
      readPosition(atom);
      return;
    }
    if (atom.type != uris.midiEvent || atom.size == 0) return;
    const uint8_t* bytes = bodyOf(atom);
    // Running status does not exist in LV2, and system messages mean nothing to the engine.
    if (bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
    const int64_t frame = inFrames ? std::clamp<int64_t>(event.time.frames, 0, last) : 0;
    batch.add({static_cast<int32_t>(frame), bytes[0],
               static_cast<uint8_t>(atom.size > 1 ? bytes[1] : 0),
               static_cast<uint8_t>(atom.size > 2 ? bytes[2] : 0)});
  });
}

void Plugin::run(uint32_t sampleCount) {
  const int frames =
      static_cast<int>(std::min<uint32_t>(sampleCount, std::numeric_limits<int32_t>::max()));
  if (!active) {
    for (float* channel : outputs)
      if (channel) std::memset(channel, 0, sizeof(float) * static_cast<size_t>(frames));
    return;
  }
  applyControls();
  readEvents(frames);
  core.render(outputs[0], outputs[1], frames, true, transport, *this);
}

}  // namespace vorlak::lv2
