// The plug-in as an LV2 host runs it, from the built bundle through lilv: the same samples as
// vorlak.so for the same values, tempo, MIDI and blocks; a saved session that comes back
// exactly; and the odd input a host can send.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/integration/stereo.h"
#include "tests/lv2/lv2_host.h"
#include "tools/vst_host.h"

namespace vorlak::lv2test {
namespace {

constexpr const char* kUri = "https://vorlak.kivo.audio/plugins/vorlak";
constexpr double kRate = 44100.0;

std::unique_ptr<Lv2World> loadWorld() {
  std::string error;
  auto world = Lv2World::load(VORLAK_LV2_BUNDLE, kUri, &error);
  EXPECT_NE(world, nullptr) << error;
  return world;
}

// Chords, a controller, a bend and a MIDI program change, mostly off the block boundaries.
std::vector<host::ScheduledMidi> phrase() {
  std::vector<host::ScheduledMidi> events = {
      {3, 0xB0, 7, 110},      {101, 0x90, 40, 100}, {101, 0x90, 47, 90},    {102, 0x90, 52, 80},
      {9001, 0x80, 40, 0},    {9001, 0x80, 47, 0},  {9002, 0x80, 52, 0},    {11025, 0xC0, 40, 0},
      {11100, 0x90, 45, 127}, {13337, 0xE0, 0, 90}, {17000, 0x90, 57, 64},  {22050, 0x80, 45, 0},
      {26001, 0xB0, 1, 70},   {30000, 0x80, 57, 0}, {33333, 0x90, 64, 100}, {40000, 0x80, 64, 0}};
  return events;
}

// A parameter edit made at the first block boundary at or after its frame.
struct Edit {
  int64_t frame;
  int index;
  float value;
};
const Edit kEdits[] = {{20000, 13, 0.9f}, {20000, 21, 0.3f}, {30000, 3, 0.77f}};
constexpr int64_t kLength = 48000;
constexpr float kTempo = 97.0f;

using vorlak::test::Stereo;

Stereo renderVst(int block) {
  std::string error;
  auto plugin = host::Plugin::load(VORLAK_MODULE_PATH, &error);
  EXPECT_NE(plugin, nullptr) << error;
  if (!plugin) return {};
  plugin->host().tempo = kTempo;
  plugin->start(static_cast<float>(kRate), block);
  host::MidiSchedule schedule;
  schedule.add(phrase());
  Stereo out;
  for (int64_t start = 0; start < kLength; start += block) {
    for (const Edit& edit : kEdits)
      if (edit.frame <= start && edit.frame > start - block)
        plugin->setParameter(edit.index, edit.value);
    schedule.queue(*plugin, start, block);
    plugin->render(block);
    out.left.insert(out.left.end(), plugin->left().begin(), plugin->left().end());
    out.right.insert(out.right.end(), plugin->right().begin(), plugin->right().end());
  }
  return out;
}

Stereo renderLv2(Lv2World& world, int block) {
  auto instance = world.instantiate(kRate, block);
  EXPECT_NE(instance, nullptr);
  if (!instance) return {};
  const std::vector<host::ScheduledMidi> events = phrase();
  size_t next = 0;
  Stereo out;
  for (int64_t start = 0; start < kLength; start += block) {
    for (const Edit& edit : kEdits)
      if (edit.frame <= start && edit.frame > start - block)
        instance->control(edit.index) = edit.value;
    if (start == 0) instance->addTempo(0, kTempo);
    for (; next < events.size() && events[next].frame < start + block; ++next) {
      const host::ScheduledMidi& e = events[next];
      instance->addMidi(e.frame - start, {e.status, e.data1, e.data2});
    }
    instance->run(block);
    out.left.insert(out.left.end(), instance->left().begin(), instance->left().begin() + block);
    out.right.insert(out.right.end(), instance->right().begin(), instance->right().begin() + block);
  }
  return out;
}

// The ports keep program 0's values all along: after the MIDI program change the plug-in
// must go on playing program 40, as the VST 2 module does, not return to the ports' values.
TEST(Lv2Plugin, PlaysBitForBitWhatTheVst2ModulePlays) {
  auto world = loadWorld();
  ASSERT_NE(world, nullptr);
  for (int block : {1, 64, 4096}) {
    SCOPED_TRACE("block " + std::to_string(block));
    const Stereo vst = renderVst(block);
    const Stereo lv2 = renderLv2(*world, block);
    ASSERT_EQ(vst.left.size(), lv2.left.size());
    EXPECT_GT(vst.peak(), 0.01f);
    EXPECT_TRUE(vst.left == lv2.left);
    EXPECT_TRUE(vst.right == lv2.right);
  }
}

// A few notes in each of the programs, chosen by MIDI program changes; the same for either
// format through the two functions that send one block's MIDI and render it.
template <class Send, class Render>
Stereo playPrograms(std::initializer_list<int> programs, Send send, Render render) {
  Stereo out;
  for (int program : programs) {
    send(0, std::vector<uint8_t>{0xC0, static_cast<uint8_t>(program)});
    send(10, std::vector<uint8_t>{0x90, 48, 100});
    send(10, std::vector<uint8_t>{0x90, 55, 100});
    for (int block = 0; block < 40; ++block) {
      if (block == 30) send(5, std::vector<uint8_t>{0xB0, 123, 0});
      render(out);
    }
  }
  return out;
}

Stereo playPrograms(Lv2Instance& instance, std::initializer_list<int> programs) {
  return playPrograms(
      programs, [&](int frame, std::vector<uint8_t> bytes) { instance.addMidi(frame, bytes); },
      [&](Stereo& out) {
        instance.run(256);
        out.left.insert(out.left.end(), instance.left().begin(), instance.left().begin() + 256);
        out.right.insert(out.right.end(), instance.right().begin(), instance.right().begin() + 256);
      });
}

Stereo playPrograms(host::Plugin& plugin, std::initializer_list<int> programs) {
  return playPrograms(
      programs,
      [&](int frame, std::vector<uint8_t> bytes) {
        plugin.sendMidi(bytes[0], bytes[1], bytes.size() > 2 ? bytes[2] : 0, frame);
      },
      [&](Stereo& out) {
        plugin.render(256);
        out.left.insert(out.left.end(), plugin.left().begin(), plugin.left().end());
        out.right.insert(out.right.end(), plugin.right().begin(), plugin.right().end());
      });
}

// A session: programs 5 and 9 edited through the ports after MIDI program changes (with
// more digits than a host writes for float values), program 9 left current with its ports
// still showing program 5's edits, saved as Turtle text as a session file holds it.
TEST(Lv2Plugin, SavedStateComesBackExactlyIntoAFreshInstance) {
  auto world = loadWorld();
  ASSERT_NE(world, nullptr);
  auto edited = world->instantiate(kRate, 256);
  ASSERT_NE(edited, nullptr);
  edited->addMidi(0, {0xC0, 5});
  edited->run(256);
  edited->control(2) = 0.123456789f;
  edited->control(7) = 3.0e-9f;
  edited->run(256);
  edited->addMidi(0, {0xC0, 9});
  edited->run(256);
  edited->control(13) = 0.987654321f;
  edited->run(256);
  LilvState* saved = edited->save();
  ASSERT_NE(saved, nullptr);
  const std::string text = edited->stateText(saved);

  // Through the text and back, every bit of every program survives: saved again, the
  // restored instance writes the same text.
  LilvState* session = edited->stateFromText(text);
  ASSERT_NE(session, nullptr);
  auto restored = world->instantiate(kRate, 256);
  ASSERT_NE(restored, nullptr);
  restored->restore(session);
  LilvState* again = restored->save();
  EXPECT_EQ(restored->stateText(again), text);
  lilv_state_free(again);
  lilv_state_free(session);
  lilv_state_free(saved);

  // It sounds as the VST 2 module does with the same edits made directly: the restored
  // current program plays, not the stale ports, and program 5 keeps its edits.
  std::string error;
  auto vst = host::Plugin::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(vst, nullptr) << error;
  vst->start(static_cast<float>(kRate), 256);
  vst->setProgram(5);
  vst->setParameter(2, 0.123456789f);
  vst->setParameter(7, 3.0e-9f);
  vst->setProgram(9);
  vst->setParameter(13, 0.987654321f);
  const Stereo reference = playPrograms(*vst, {9, 5, 9});
  const Stereo copy = playPrograms(*restored, {9, 5, 9});
  EXPECT_GT(reference.peak(), 0.01f);
  EXPECT_TRUE(reference.left == copy.left);
  EXPECT_TRUE(reference.right == copy.right);

  // A renamed program comes back under its new name.
  std::string renamed = text;
  const size_t at = renamed.find("\"POWER Metal\"");
  ASSERT_NE(at, std::string::npos);
  renamed.replace(at, 13, "\"Edited \\\"Metal\\\"\"");
  LilvState* edit = restored->stateFromText(renamed);
  ASSERT_NE(edit, nullptr);
  auto named = world->instantiate(kRate, 256);
  ASSERT_NE(named, nullptr);
  named->restore(edit);
  LilvState* namedState = named->save();
  EXPECT_TRUE(lilv_state_equals(edit, namedState));
  lilv_state_free(namedState);

  // A factory preset holds port values only: loading one edits the current program and
  // leaves the names and the other programs alone.
  LilvNode* presetUri = lilv_new_uri(world->world(), (std::string(kUri) + "/presets/42").c_str());
  ASSERT_GT(lilv_world_load_resource(world->world(), presetUri), 0);
  LilvState* preset =
      lilv_state_new_from_world(world->world(), world->urids().mapFeature(), presetUri);
  lilv_node_free(presetUri);
  ASSERT_NE(preset, nullptr);
  EXPECT_STREQ(lilv_state_get_label(preset), "DIST Metal");
  named->restore(preset);
  lilv_state_free(preset);
  named->run(256);
  LilvState* afterPreset = named->save();
  const std::string afterText = named->stateText(afterPreset);
  lilv_state_free(afterPreset);
  lilv_state_free(edit);
  EXPECT_NE(afterText.find("Edited \"Metal"), std::string::npos);
  EXPECT_NE(afterText.find(" 3e-09 "), std::string::npos);
}

// The plug-in's state interface fed directly, with one property broken at a time.
class StateStore {
 public:
  static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value,
                                size_t size, uint32_t type, uint32_t) {
    auto* self = static_cast<StateStore*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(value);
    self->values[key] = {type, std::vector<uint8_t>(bytes, bytes + size)};
    return LV2_STATE_SUCCESS;
  }
  static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                              uint32_t* flags) {
    auto* self = static_cast<StateStore*>(handle);
    const auto found = self->values.find(key);
    if (found == self->values.end()) return nullptr;
    *size = found->second.second.size();
    *type = found->second.first;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return found->second.second.data();
  }
  std::map<uint32_t, std::pair<uint32_t, std::vector<uint8_t>>> values;
};

TEST(Lv2Plugin, BrokenStateIsRefusedAndChangesNothing) {
  auto world = loadWorld();
  ASSERT_NE(world, nullptr);
  auto instance = world->instantiate(kRate, 256);
  ASSERT_NE(instance, nullptr);
  const auto* state = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance->instance(), LV2_STATE__interface));
  ASSERT_NE(state, nullptr);
  LV2_Handle handle = lilv_instance_get_handle(instance->instance());
  StateStore good;
  ASSERT_EQ(state->save(handle, StateStore::store, &good, LV2_STATE_IS_POD, nullptr),
            LV2_STATE_SUCCESS);
  ASSERT_EQ(good.values.size(), 3u);

  Urids& urids = world->urids();
  const uint32_t program = urids.map((std::string(kUri) + "#currentProgram").c_str());
  const uint32_t names = urids.map((std::string(kUri) + "#programNames").c_str());
  const uint32_t values = urids.map((std::string(kUri) + "#programValues").c_str());
  auto broken = [&](auto change) {
    StateStore copy = good;
    change(copy);
    return copy;
  };
  const std::string text(good.values[values].second.begin(), good.values[values].second.end());
  const StateStore cases[] = {
      broken([&](StateStore& s) {
        s.values[program].second = {64, 0, 0, 0};
      }),
      broken([&](StateStore& s) { s.values[program].first = urids.map(LV2_ATOM__Float); }),
      broken([&](StateStore& s) { s.values.erase(names); }),
      // 63 names: the tuple cut after its last item but one.
      broken([&](StateStore& s) {
        s.values[names].second.resize(s.values[names].second.size() - 16);
      }),
      // A name whose size runs past the tuple.
      broken([&](StateStore& s) { s.values[names].second[0] = 0xff; }),
      // 64 x 28 - 1 values, and one that is not a number.
      broken([&](StateStore& s) {
        const std::string cut = text.substr(0, text.find_last_of(' '));
        s.values[values].second.assign(cut.begin(), cut.end());
        s.values[values].second.push_back(0);
      }),
      broken([&](StateStore& s) { s.values[values].second[0] = 'x'; }),
  };
  for (const StateStore& bad : cases) {
    StateStore copy = bad;
    EXPECT_NE(state->restore(handle, StateStore::retrieve, &copy, 0, nullptr), LV2_STATE_SUCCESS);
    StateStore after;
    state->save(handle, StateStore::store, &after, LV2_STATE_IS_POD, nullptr);
    EXPECT_EQ(after.values, good.values);
  }
  // No key of ours at all, as a preset restores: accepted, and nothing changes.
  StateStore empty;
  EXPECT_EQ(state->restore(handle, StateStore::retrieve, &empty, 0, nullptr), LV2_STATE_SUCCESS);
  StateStore after;
  state->save(handle, StateStore::store, &after, LV2_STATE_IS_POD, nullptr);
  EXPECT_EQ(after.values, good.values);
}

// What a careless or broken host does: no URID map, a rate out of range, run() before
// activate(), blocks of 0 and 1 frames, events out of order or past the block, atoms of
// unknown types, sizes that lie, port values out of range or not numbers.
TEST(Lv2Plugin, BadHostInputGetsADefinedAnswer) {
  auto world = loadWorld();
  ASSERT_NE(world, nullptr);
  EXPECT_EQ(world->instantiate(kRate, 256, false), nullptr);
  EXPECT_EQ(world->instantiate(8000.0, 256), nullptr);

  auto early = world->instantiate(kRate, 64, true, false);
  ASSERT_NE(early, nullptr);
  std::fill(early->left().begin(), early->left().end(), std::numeric_limits<float>::quiet_NaN());
  early->addMidi(0, {0x90, 60, 100});
  early->run(64);
  for (float v : early->left()) EXPECT_EQ(v, 0.0f);
  early->activate();

  // Blocks of 0 and 1 frames, then ordinary ones: the note still plays, nothing overflows.
  auto tiny = world->instantiate(kRate, 64);
  ASSERT_NE(tiny, nullptr);
  tiny->addMidi(0, {0x90, 60, 100});
  tiny->addMidi(7, {0x90, 64, 100});
  tiny->run(0);
  Stereo tinyOut;
  for (int block = 0; block < 2000; ++block) {
    tiny->run(block % 3 == 0 ? 0 : 1);
    tinyOut.left.push_back(tiny->left()[0]);
  }
  EXPECT_TRUE(tinyOut.finite());
  EXPECT_GT(tinyOut.peak(), 0.001f);

  // Out of order and past the block: queued exactly as the VST 2 module queues the same list
  // (an event past the block plays at its last frame).
  std::string error;
  auto vst = host::Plugin::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(vst, nullptr) << error;
  vst->start(static_cast<float>(kRate), 64);
  auto odd = world->instantiate(kRate, 64);
  ASSERT_NE(odd, nullptr);
  const host::ScheduledMidi events[] = {
      {40, 0x90, 60, 100}, {10, 0x90, 64, 100}, {500, 0x90, 67, 100}, {-20, 0x90, 71, 90}};
  for (const host::ScheduledMidi& e : events) {
    vst->sendMidi(e.status, e.data1, e.data2, static_cast<VstInt32>(e.frame));
    odd->addMidi(e.frame, {e.status, e.data1, e.data2});
  }
  // Unknown atoms, empty and system messages, a stray data byte and an object of another
  // type: all ignored.
  const int32_t number = 5;
  const uint32_t object[2] = {0, world->urids().map(LV2_ATOM__Vector)};
  odd->addAtom(3, world->urids().map(LV2_ATOM__Int), &number, sizeof number);
  odd->addAtom(4, world->urids().map(LV2_ATOM__Object), object, sizeof object);
  odd->addAtom(5, world->urids().map(LV2_MIDI__MidiEvent), nullptr, 0);
  odd->addMidi(6, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
  odd->addMidi(7, {0x40, 0x40});
  Stereo vstOut, lv2Out;
  for (int block = 0; block < 200; ++block) {
    vst->render(64);
    odd->run(64);
    vstOut.left.insert(vstOut.left.end(), vst->left().begin(), vst->left().end());
    lv2Out.left.insert(lv2Out.left.end(), odd->left().begin(), odd->left().begin() + 64);
  }
  EXPECT_GT(vstOut.peak(), 0.01f);
  EXPECT_TRUE(vstOut.left == lv2Out.left);

  // An event whose size runs past its sequence, and a sequence too short for its header.
  odd->addMidi(0, {0x90, 62, 100});
  odd->sequence()->atom.size -= 8;
  odd->run(64);
  odd->sequence()->atom.size = 4;
  odd->run(64);
  EXPECT_TRUE(std::all_of(odd->left().begin(), odd->left().begin() + 64,
                          [](float v) { return std::isfinite(v); }));

  // Ports out of range are clamped and ports that are not numbers ignored, as setParameter
  // does: the same samples as the ports at the limits and at their defaults.
  auto wild = world->instantiate(kRate, 256);
  auto tame = world->instantiate(kRate, 256);
  ASSERT_TRUE(wild && tame);
  wild->control(13) = -1.0f;
  tame->control(13) = 0.0f;
  wild->control(14) = 7.0f;
  tame->control(14) = 1.0f;
  wild->control(15) = std::numeric_limits<float>::quiet_NaN();
  wild->control(16) = std::numeric_limits<float>::infinity();
  wild->control(22) = -std::numeric_limits<float>::infinity();
  Stereo wildOut, tameOut;
  for (int block = 0; block < 100; ++block) {
    if (block == 0) {
      wild->addMidi(0, {0x90, 45, 120});
      tame->addMidi(0, {0x90, 45, 120});
    }
    wild->run(256);
    tame->run(256);
    wildOut.left.insert(wildOut.left.end(), wild->left().begin(), wild->left().begin() + 256);
    tameOut.left.insert(tameOut.left.end(), tame->left().begin(), tame->left().begin() + 256);
  }
  EXPECT_TRUE(wildOut.finite());
  EXPECT_GT(tameOut.peak(), 0.01f);
  EXPECT_TRUE(wildOut.left == tameOut.left);
}

}  // namespace
}  // namespace vorlak::lv2test
