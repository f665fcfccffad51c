#include "tests/lv2/lv2_host.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <cstdlib>
#include <cstring>

namespace vorlak::lv2test {

Urids::Urids() {
  mapData.handle = this;
  mapData.map = [](LV2_URID_Map_Handle self, const char* uri) {
    return static_cast<Urids*>(self)->map(uri);
  };
  unmapData.handle = this;
  unmapData.unmap = [](LV2_URID_Unmap_Handle self, LV2_URID urid) {
    return static_cast<Urids*>(self)->unmap(urid);
  };
}

LV2_URID Urids::map(const char* uri) {
  auto [place, added] = ids.emplace(uri, static_cast<LV2_URID>(uris.size() + 1));
  if (added) uris.emplace_back(uri);
  return place->second;
}

const char* Urids::unmap(LV2_URID urid) const {
  return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
}

std::unique_ptr<Lv2World> Lv2World::load(const std::string& bundle, const std::string& uri,
                                         std::string* error) {
  std::unique_ptr<Lv2World> self(new Lv2World);
  self->lilvWorld = lilv_world_new();
  const std::string folder = bundle.back() == '/' ? bundle : bundle + "/";
  LilvNode* bundleUri = lilv_new_file_uri(self->lilvWorld, nullptr, folder.c_str());
  lilv_world_load_bundle(self->lilvWorld, bundleUri);
  lilv_node_free(bundleUri);
  LilvNode* pluginUri = lilv_new_uri(self->lilvWorld, uri.c_str());
  self->lilvPlugin =
      lilv_plugins_get_by_uri(lilv_world_get_all_plugins(self->lilvWorld), pluginUri);
  lilv_node_free(pluginUri);
  if (!self->lilvPlugin) {
    if (error) *error = "no plug-in " + uri + " in " + bundle;
    return nullptr;
  }
  return self;
}

Lv2World::~Lv2World() {
  if (lilvWorld) lilv_world_free(lilvWorld);
}

std::unique_ptr<Lv2Instance> Lv2World::instantiate(double rate, int maxBlock, bool withMap,
                                                   bool activate) {
  const int32_t blockLength = maxBlock;
  const LV2_URID intType = ids.map(LV2_ATOM__Int);
  const LV2_Options_Option options[] = {
      {LV2_OPTIONS_INSTANCE, 0, ids.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType,
       &blockLength},
      {LV2_OPTIONS_INSTANCE, 0, ids.map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), intType,
       &blockLength},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  const LV2_Feature mapFeature{LV2_URID__map, ids.mapFeature()};
  const LV2_Feature unmapFeature{LV2_URID__unmap, ids.unmapFeature()};
  const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
  const LV2_Feature* withAll[] = {&mapFeature, &unmapFeature, &optionsFeature, nullptr};
  const LV2_Feature* withoutMap[] = {&unmapFeature, &optionsFeature, nullptr};
  LilvInstance* instance =
      lilv_plugin_instantiate(lilvPlugin, rate, withMap ? withAll : withoutMap);
  if (!instance) return nullptr;
  auto made = std::make_unique<Lv2Instance>(*this, instance, maxBlock);
  if (activate) made->activate();
  return made;
}

Lv2Instance::Lv2Instance(Lv2World& owner, LilvInstance* instance, int maxBlock)
    : world(owner),
      lilv(instance),
      events(kEventCapacity / sizeof(uint64_t)),
      leftOut(static_cast<size_t>(maxBlock > 0 ? maxBlock : 1)),
      rightOut(leftOut.size()) {
  // The ports start at their defaults, as a host sets them.
  float defaults[kControls + 3];
  lilv_plugin_get_port_ranges_float(world.plugin(), nullptr, nullptr, defaults);
  for (int i = 0; i < kControls; ++i) {
    controls[i] = defaults[i];
    lilv_instance_connect_port(lilv, static_cast<uint32_t>(i), &controls[i]);
  }
  lilv_instance_connect_port(lilv, kEventsPort, events.data());
  connectOutputs(leftOut.data(), rightOut.data());
  clearEvents();
}

Lv2Instance::~Lv2Instance() {
  lilv_instance_deactivate(lilv);
  lilv_instance_free(lilv);
}

void Lv2Instance::connectOutputs(float* left, float* right) {
  lilv_instance_connect_port(lilv, kLeftPort, left);
  lilv_instance_connect_port(lilv, kRightPort, right);
}

void Lv2Instance::clearEvents() {
  LV2_Atom_Sequence* seq = sequence();
  seq->atom.type = world.urids().map(LV2_ATOM__Sequence);
  seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
  seq->body.unit = 0;
  seq->body.pad = 0;
}

void Lv2Instance::addAtom(int64_t frame, LV2_URID type, const void* body, uint32_t size) {
  LV2_Atom_Sequence* seq = sequence();
  const size_t used = sizeof(LV2_Atom) + seq->atom.size;
  const size_t length = (sizeof(LV2_Atom_Event) + size + 7) & ~size_t{7};
  if (used + length > kEventCapacity) std::abort();
  auto* at = reinterpret_cast<uint8_t*>(seq) + used;
  std::memset(at, 0, length);
  auto* event = reinterpret_cast<LV2_Atom_Event*>(at);
  event->time.frames = frame;
  event->body.size = size;
  event->body.type = type;
  if (size) std::memcpy(event + 1, body, size);
  seq->atom.size += static_cast<uint32_t>(length);
}

void Lv2Instance::addMidi(int64_t frame, std::vector<uint8_t> bytes) {
  addAtom(frame, world.urids().map(LV2_MIDI__MidiEvent), bytes.data(),
          static_cast<uint32_t>(bytes.size()));
}

void Lv2Instance::addTempo(int64_t frame, float beatsPerMinute) {
  struct {
    LV2_Atom_Object_Body object;
    LV2_Atom_Property_Body property;
    float value;
  } position{};
  Urids& urids = world.urids();
  position.object = {0, urids.map(LV2_TIME__Position)};
  position.property.key = urids.map(LV2_TIME__beatsPerMinute);
  position.property.value = {sizeof(float), urids.map(LV2_ATOM__Float)};
  position.value = beatsPerMinute;
  addAtom(frame, urids.map(LV2_ATOM__Object), &position, sizeof position);
}

void Lv2Instance::run(int frames) {
  const auto needed = static_cast<size_t>(frames > 0 ? frames : 1);
  if (leftOut.size() < needed) {
    leftOut.resize(needed);
    rightOut.resize(needed);
    connectOutputs(leftOut.data(), rightOut.data());
  }
  lilv_instance_run(lilv, static_cast<uint32_t>(frames));
  clearEvents();
}

const void* Lv2Instance::portValue(const char* symbol, void* data, uint32_t* size, uint32_t* type) {
  auto* self = static_cast<Lv2Instance*>(data);
  LilvNode* name = lilv_new_string(self->world.world(), symbol);
  const LilvPort* port = lilv_plugin_get_port_by_symbol(self->world.plugin(), name);
  lilv_node_free(name);
  const uint32_t index = port ? lilv_port_get_index(self->world.plugin(), port) : kControls;
  if (index >= kControls) return nullptr;
  *size = sizeof(float);
  *type = self->world.urids().map(LV2_ATOM__Float);
  return &self->controls[index];
}

void Lv2Instance::setPortValue(const char* symbol, void* data, const void* value, uint32_t size,
                               uint32_t type) {
  auto* self = static_cast<Lv2Instance*>(data);
  Urids& urids = self->world.urids();
  LilvNode* name = lilv_new_string(self->world.world(), symbol);
  const LilvPort* port = lilv_plugin_get_port_by_symbol(self->world.plugin(), name);
  lilv_node_free(name);
  const uint32_t index = port ? lilv_port_get_index(self->world.plugin(), port) : kControls;
  if (index >= kControls) return;
  if (type == urids.map(LV2_ATOM__Float) && size == sizeof(float))
    self->controls[index] = *static_cast<const float*>(value);
  else if (type == urids.map(LV2_ATOM__Double) && size == sizeof(double))
    self->controls[index] = static_cast<float>(*static_cast<const double*>(value));
}

LilvState* Lv2Instance::save() {
  return lilv_state_new_from_instance(world.plugin(), lilv, world.urids().mapFeature(), nullptr,
                                      nullptr, nullptr, nullptr, portValue, this,
                                      LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
}

void Lv2Instance::restore(const LilvState* state) {
  lilv_state_restore(state, lilv, setPortValue, this, 0, nullptr);
}

std::string Lv2Instance::stateText(const LilvState* state) {
  char* text =
      lilv_state_to_string(world.world(), world.urids().mapFeature(), world.urids().unmapFeature(),
                           state, "urn:vorlak:test:state", nullptr);
  std::string out = text ? text : "";
  lilv_free(text);
  return out;
}

LilvState* Lv2Instance::stateFromText(const std::string& text) {
  return lilv_state_new_from_string(world.world(), world.urids().mapFeature(), text.c_str());
}

}  // namespace vorlak::lv2test
