// The CLAP module as a CLAP host meets it, through our own small host: what it says it is, the
// same samples as vorlak.so for the same events, values, tempo and blocks, its state through
// streams of any stride, its factory presets, and the odd input a host can send.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/clap/clap_host.h"
#include "tests/integration/stereo.h"
#include "tests/unit/audio_measure.h"
#include "tools/vst_host.h"

namespace vorlak::claptest {
namespace {

constexpr double kRate = 44100.0;
constexpr double kTempo = 97.0;

std::unique_ptr<ClapModule> loadModule() {
  std::string error;
  auto module = ClapModule::load(VORLAK_CLAP_PATH, &error);
  EXPECT_NE(module, nullptr) << error;
  return module;
}

std::unique_ptr<ClapInstance> startInstance(const ClapModule& module, uint32_t block,
                                            double rate = kRate) {
  std::string error;
  auto instance = ClapInstance::create(module, &error);
  EXPECT_NE(instance, nullptr) << error;
  if (instance) {
    instance->tempo = kTempo;
    EXPECT_TRUE(instance->start(rate, block));
  }
  return instance;
}

std::unique_ptr<host::Plugin> startVst(int block) {
  std::string error;
  auto plugin = host::Plugin::load(VORLAK_MODULE_PATH, &error);
  EXPECT_NE(plugin, nullptr) << error;
  if (plugin) {
    plugin->host().tempo = kTempo;
    plugin->start(static_cast<float>(kRate), block);
  }
  return plugin;
}

using vorlak::test::Stereo;

// Chords, a controller, a MIDI program change and a pitch bend, mostly off the block
// boundaries.
const host::ScheduledMidi kPhrase[] = {
    {3, 0xB0, 7, 110},      {101, 0x90, 40, 100}, {101, 0x90, 47, 90},    {102, 0x90, 52, 80},
    {9001, 0x80, 40, 0},    {9001, 0x80, 47, 0},  {9002, 0x80, 52, 0},    {11025, 0xC0, 40, 0},
    {11100, 0x90, 45, 127}, {13337, 0xE0, 0, 90}, {17000, 0x90, 57, 64},  {22050, 0x80, 45, 0},
    {26001, 0xB0, 1, 70},   {30000, 0x80, 57, 0}, {33333, 0x90, 64, 100}, {40000, 0x80, 64, 0}};

// Edits on frames every block size divides: at frame 0 of a CLAP block, they must sound as the
// VST 2 module's setParameter before that block. The CLAP value of "Amp" is its choice number.
struct Edit {
  int64_t frame;
  int index;
  float vstValue;
  double clapValue;
};
const Edit kEdits[] = {
    {16384, 13, 0.9f, 0.9f}, {16384, 12, 1.0f / 3.0f, 1.0}, {28672, 3, 0.75f, 0.75f}};
constexpr int64_t kLength = 45056;

Stereo renderVst(int block) {
  auto plugin = startVst(block);
  if (!plugin) return {};
  host::MidiSchedule schedule;
  schedule.add({std::begin(kPhrase), std::end(kPhrase)});
  Stereo out;
  for (int64_t start = 0; start < kLength; start += block) {
    for (const Edit& edit : kEdits)
      if (edit.frame == start) plugin->setParameter(edit.index, edit.vstValue);
    schedule.queue(*plugin, start, block);
    plugin->render(block);
    out.append(plugin->left(), plugin->right(), static_cast<size_t>(block));
  }
  return out;
}

Stereo renderClap(const ClapModule& module, uint32_t block, HostLog* log = nullptr) {
  auto instance = startInstance(module, block);
  if (!instance) return {};
  Stereo out;
  size_t next = 0;
  for (int64_t start = 0; start < kLength; start += block) {
    for (const Edit& edit : kEdits)
      if (edit.frame == start)
        instance->addParam(0, static_cast<clap::Id>(edit.index), edit.clapValue);
    for (; next < std::size(kPhrase) && kPhrase[next].frame < start + block; ++next) {
      const host::ScheduledMidi& e = kPhrase[next];
      instance->addMidi(static_cast<uint32_t>(e.frame - start), e.status, e.data1, e.data2);
    }
    EXPECT_NE(instance->process(block), clap::kProcessError);
    instance->mainThread();
    out.append(instance->left(), instance->right(), block);
  }
  if (log) *log = instance->log();
  return out;
}

TEST(ClapPlugin, DescribesOneInstrumentWithItsPorts) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  const clap::PluginFactory* factory = module->plugins();
  ASSERT_NE(factory, nullptr);
  ASSERT_EQ(factory->getPluginCount(factory), 1u);
  EXPECT_EQ(factory->getPluginDescriptor(factory, 1), nullptr);
  const clap::PluginDescriptor* d = factory->getPluginDescriptor(factory, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->id, "audio.kivo.vorlak");
  EXPECT_STREQ(d->name, "Vorlak");
  EXPECT_STREQ(d->vendor, "Kivo");
  std::vector<std::string> features;
  for (const char* const* f = d->features; *f; ++f) features.push_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"instrument", "synthesizer", "stereo"}));

  std::string error;
  EXPECT_EQ(ClapInstance::create(*module, &error, "audio.kivo.other"), nullptr);
  auto instance = ClapInstance::create(*module, &error);
  ASSERT_NE(instance, nullptr) << error;
  const auto* audio = instance->extension<clap::PluginAudioPorts>(clap::kExtAudioPorts);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->count(&instance->plugin(), true), 0u);
  ASSERT_EQ(audio->count(&instance->plugin(), false), 1u);
  clap::AudioPortInfo port{};
  ASSERT_TRUE(audio->get(&instance->plugin(), 0, false, &port));
  EXPECT_EQ(port.channelCount, 2u);
  EXPECT_STREQ(port.portType, "stereo");
  EXPECT_FALSE(audio->get(&instance->plugin(), 1, false, &port));

  const auto* notes = instance->extension<clap::PluginNotePorts>(clap::kExtNotePorts);
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(notes->count(&instance->plugin(), false), 0u);
  ASSERT_EQ(notes->count(&instance->plugin(), true), 1u);
  clap::NotePortInfo notePort{};
  ASSERT_TRUE(notes->get(&instance->plugin(), 0, true, &notePort));
  EXPECT_EQ(notePort.supportedDialects,
            clap::kDialectClap | clap::kDialectMidi | clap::kDialectMidiMpe);
  EXPECT_EQ(notePort.preferredDialect, clap::kDialectMidi);
  const auto* voices = instance->extension<clap::PluginVoiceInfo>(clap::kExtVoiceInfo);
  ASSERT_NE(voices, nullptr);
  clap::VoiceInfo voiceInfo{};
  ASSERT_TRUE(voices->get(&instance->plugin(), &voiceInfo));
  EXPECT_EQ(voiceInfo.voiceCount, 6u);
}

// A tuning expression bends the note it names, by note id or by key and channel, and no other.
TEST(ClapPlugin, TuningNoteExpressionsBendOneNote) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  auto instance = startInstance(*module, 512);
  ASSERT_NE(instance, nullptr);
  // The plain guitar with nothing after it, no style, no latch.
  for (clap::Id id : {12u, 15u, 19u, 20u, 24u, 26u}) instance->addParam(0, id, 0.0);
  instance->addParam(0, 0, 1.0);
  auto pitchAfter = [&](auto&& events) {
    events();
    std::vector<float> out;
    for (int block = 0; block < 22; ++block) {
      instance->process(512);
      out.insert(out.end(), instance->left().begin(), instance->left().end());
    }
    const int window = 4410;
    return test::estimatePitch(out.data() + out.size() - window, window, kRate, 60.f, 1000.f);
  };
  const double open = pitchAfter([&] { instance->addNote(clap::kNoteOn, 0, 57, 0.8, 0, 7); });
  ASSERT_GT(open, 0.0);
  auto cents = [&](double hz) { return 1200.0 * std::log2(hz / open); };
  EXPECT_NEAR(cents(pitchAfter([&] {
                instance->addNoteExpression(9, clap::kNoteExpressionTuning, 7, -1, -1, 1.5);
              })),
              150.0, 3.0);
  EXPECT_NEAR(cents(pitchAfter([&] {
                instance->addNote(clap::kNoteOff, 0, 57, 0.0, 0, 7);
                instance->addNote(clap::kNoteOn, 0, 62, 0.8, 0, 8);
                instance->addNoteExpression(0, clap::kNoteExpressionTuning, 7, -1, -1, 5.0);
              })),
              500.0, 3.0);
  EXPECT_NEAR(cents(pitchAfter([&] {
                instance->addNoteExpression(0, clap::kNoteExpressionTuning, -1, 62, 0, -2.0);
              })),
              300.0, 3.0);
}

// Ids, names, ranges and flags, and the texts the VST 2 module shows for the same values.
TEST(ClapPlugin, ParametersShowAndTakeBackWhatVst2Shows) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  std::string error;
  auto instance = ClapInstance::create(*module, &error);
  ASSERT_NE(instance, nullptr) << error;
  auto vst = startVst(64);
  ASSERT_NE(vst, nullptr);
  const auto* params = instance->extension<clap::PluginParams>(clap::kExtParams);
  ASSERT_NE(params, nullptr);
  const clap::Plugin* p = &instance->plugin();
  ASSERT_EQ(params->count(p), 28u);
  clap::ParamInfo info{};
  EXPECT_FALSE(params->getInfo(p, 28, &info));
  for (uint32_t i = 0; i < 28; ++i) {
    SCOPED_TRACE("parameter " + std::to_string(i));
    ASSERT_TRUE(params->getInfo(p, i, &info));
    EXPECT_EQ(info.id, i);
    EXPECT_EQ(info.name, vst->parameterName(static_cast<VstInt32>(i)));
    const bool reserved = i == 10 || i == 11 || i == 23;
    EXPECT_EQ((info.flags & clap::kParamIsHidden) != 0, reserved);
    EXPECT_EQ((info.flags & clap::kParamIsAutomatable) != 0, !reserved);
    EXPECT_EQ(info.minValue, 0.0);
    const bool stepped = (info.flags & clap::kParamIsStepped) != 0;
    const bool choices = i == 0 || i == 1 || i == 12 || i == 19 || i == 20 || i == 24 || i == 27;
    EXPECT_EQ(stepped, choices || i == 26);
    // "Latch" is a switch shown as a percentage: stepped, with no choice names.
    EXPECT_EQ((info.flags & clap::kParamIsEnum) != 0, choices);
    // Every step (or eleven points of a continuous range) shows what VST 2 shows for it.
    const int points = stepped ? static_cast<int>(info.maxValue) + 1 : 11;
    for (int k = 0; k < points; ++k) {
      const double value = stepped ? k : k / 10.0;
      const float vstValue =
          stepped ? static_cast<float>(k / info.maxValue) : static_cast<float>(value);
      vst->setParameter(static_cast<VstInt32>(i), vstValue);
      char text[64];
      ASSERT_TRUE(params->valueToText(p, i, value, text, sizeof text));
      EXPECT_EQ(text, vst->parameterDisplay(static_cast<VstInt32>(i)));
      double back = -1.0;
      if (!reserved) {
        ASSERT_TRUE(params->textToValue(p, i, text, &back)) << text;
        if (stepped) {
          EXPECT_EQ(back, value) << text;
        }
      }
    }
  }
  // Program 0's values as the host reads them: choices as numbers.
  double value = -1.0;
  ASSERT_TRUE(params->getValue(p, 12, &value));
  EXPECT_EQ(value, std::round(startVst(64)->parameter(12) * 3.0));  // "Amp type": four choices
  EXPECT_FALSE(params->getValue(p, 28, &value));
  char small[3];
  ASSERT_TRUE(params->valueToText(p, 3, 0.5, small, sizeof small));
  EXPECT_STREQ(small, "50");
}

TEST(ClapPlugin, PlaysBitForBitWhatTheVst2ModulePlays) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  for (uint32_t block : {1u, 64u, 4096u}) {
    SCOPED_TRACE("block " + std::to_string(block));
    const Stereo vst = renderVst(static_cast<int>(block));
    HostLog log;
    const Stereo clap = renderClap(*module, block, &log);
    ASSERT_EQ(vst.left.size(), clap.left.size());
    EXPECT_GT(vst.peak(), 0.01f);
    EXPECT_TRUE(vst.left == clap.left);
    EXPECT_TRUE(vst.right == clap.right);
    // The MIDI program change replaced the values: the host was told to read them again.
    EXPECT_GE(log.valueRescans, 1);
  }
}

// The same notes as CLAP note events and as MIDI; a parameter change inside a block heard from
// its tick on.
TEST(ClapPlugin, NoteEventsSoundAsTheirMidiAndInBlockChangesWaitForTheirTick) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  auto notes = startInstance(*module, 512);
  auto midi = startInstance(*module, 512);
  ASSERT_TRUE(notes && midi);
  Stereo fromNotes, fromMidi;
  for (int block = 0; block < 40; ++block) {
    if (block == 1) {
      notes->addNote(clap::kNoteOn, 17, 40, 100 / 127.0);
      notes->addNote(clap::kNoteOn, 300, 47, 1.0);
      midi->addMidi(17, 0x90, 40, 100);
      midi->addMidi(300, 0x90, 47, 127);
    }
    if (block == 20) {
      notes->addNote(clap::kNoteOff, 5, 40, 0.0);
      notes->addNote(clap::kNoteChoke, 400, -1, 0.0);  // every key
      midi->addMidi(5, 0x80, 40, 0);
      midi->addMidi(400, 0xB0, 123, 0);
    }
    notes->process(512);
    midi->process(512);
    fromNotes.append(notes->left(), notes->right(), 512);
    fromMidi.append(midi->left(), midi->right(), 512);
  }
  EXPECT_GT(fromMidi.peak(), 0.01f);
  EXPECT_TRUE(fromNotes.left == fromMidi.left);
  EXPECT_TRUE(fromNotes.right == fromMidi.right);

  // A change inside a block takes effect on the core's 5 ms grid (220.5 frames at 44.1 kHz),
  // at the first tick at or after its frame, 1102.5 for frame 1000: a change anywhere from
  // 882.5 to 1102 sounds the same, and nothing of it is heard before the tick. Cutting the
  // block at the event would tell 1000 from 1102.
  auto render = [&](int64_t changeAt) {
    auto instance = startInstance(*module, 4096);
    instance->addMidi(0, 0x90, 45, 110);
    if (changeAt >= 0) instance->addParam(static_cast<uint32_t>(changeAt), 13, 1.0);
    instance->process(4096);
    return instance->left();
  };
  const std::vector<float> unchanged = render(-1);
  const std::vector<float> at1000 = render(1000);
  EXPECT_TRUE(render(883) == at1000);
  EXPECT_TRUE(render(1102) == at1000);
  EXPECT_FALSE(render(1103) == at1000);
  const auto firstDifference =
      std::mismatch(unchanged.begin(), unchanged.end(), at1000.begin()).first - unchanged.begin();
  EXPECT_GE(firstDifference, 1102);
  EXPECT_LT(firstDifference, 1200);
}

// SLEEP waits for ringing strings, strums (a C chord's last string 250 ms after its key, at
// 22.05 kHz after a gap where nothing rings), a note waiting for a tick (32 frames a block) and
// echoes; never with the latch; silence follows. A twin called only when awake plays the same.
TEST(ClapPlugin, SleepsOnlyWhenSilentWithNothingToCome) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  // Rate, block, latch, aid, fx, the block the key goes up in, the first that may sleep.
  const double cases[][7] = {{kRate, 256, 0, 0, 0, 60, 61},
                             {kRate, 32, 0, 0, 0, 30, 31},
                             {22050, 64, 0, 1, 0, 1, 87},
                             {kRate, 256, 1, 0, 0, 2, 300},
                             {kRate, 4096, 0, 0, 15, 2, 3}};
  for (const auto& c : cases) {
    const auto block = static_cast<uint32_t>(c[1]);
    std::unique_ptr<ClapInstance> twins[2];
    for (auto& instance : twins) {
      ASSERT_TRUE(instance = startInstance(*module, block, c[0]));
      instance->steadyTime = 0;
      const clap::Id ids[] = {26, 24, 25, 3, 20, 21, 22};  // the slowest strum, brightest tone
      const double values[] = {c[2], c[3], 1.0, 1.0, c[4], 1.0, 0.0};
      for (int k = 0; k < 7; ++k) instance->addParam(0, ids[k], values[k]);
    }
    int asleep = 300, answer = clap::kProcessContinue;
    for (int b = 0; b < 400; ++b) {
      const bool on = b == 1 || b == 300, off = b == c[5] || b == 320;
      for (auto& instance : twins) {
        if (on) instance->addNote(clap::kNoteOn, 0, 48, 0.8);
        if (off) instance->addNote(clap::kNoteOff, 1, 48, 0.0);
      }
      const bool sleeps = twins[0]->process(block) == clap::kProcessSleep;
      const float peak = Stereo{twins[0]->left(), twins[0]->right()}.peak();
      if (b > 0 && sleeps && asleep == 300) asleep = b;
      EXPECT_TRUE(b >= 300 || sleeps == (b == 0 ? c[2] + c[4] == 0 : b >= asleep)) << b;
      EXPECT_TRUE(b < asleep || b >= 300 || peak <= (b == asleep ? 0x1p-20f : 0.0f)) << b;
      const bool called = b == 0 || on || off || answer != clap::kProcessSleep;
      if (called) answer = twins[1]->process(block);
      for (auto& instance : twins) instance->steadyTime += block;
      EXPECT_TRUE(!called || twins[0]->left() == twins[1]->left()) << b;
    }
    EXPECT_GE(asleep, c[6]);
    EXPECT_EQ(asleep == 300, c[2] != 0);
  }
}

// A stream over bytes in memory that moves at most stride bytes per call and fails (-1) once
// failAt bytes have moved.
struct MemoryStream {
  std::vector<uint8_t> bytes;
  size_t position = 0;
  uint64_t stride = std::numeric_limits<uint64_t>::max();
  size_t failAt = std::numeric_limits<size_t>::max();

  static int64_t read(const clap::InputStream* stream, void* buffer, uint64_t size) {
    auto& self = *static_cast<MemoryStream*>(stream->context);
    if (self.position >= self.failAt) return -1;
    const size_t n = static_cast<size_t>(
        std::min({size, self.stride, static_cast<uint64_t>(self.bytes.size() - self.position)}));
    if (n > 0) std::memcpy(buffer, self.bytes.data() + self.position, n);
    self.position += n;
    return static_cast<int64_t>(n);
  }
  static int64_t write(const clap::OutputStream* stream, const void* buffer, uint64_t size) {
    auto& self = *static_cast<MemoryStream*>(stream->context);
    if (self.bytes.size() >= self.failAt) return -1;
    const size_t n = static_cast<size_t>(std::min(size, self.stride));
    self.bytes.insert(self.bytes.end(), static_cast<const uint8_t*>(buffer),
                      static_cast<const uint8_t*>(buffer) + n);
    return static_cast<int64_t>(n);
  }
  clap::InputStream in() { return {this, read}; }
  clap::OutputStream out() { return {this, write}; }
};

std::vector<uint8_t> saved(ClapInstance& instance, uint64_t stride) {
  const auto* state = instance.extension<clap::PluginState>(clap::kExtState);
  MemoryStream stream;
  stream.stride = stride;
  const clap::OutputStream out = stream.out();
  EXPECT_TRUE(state->save(&instance.plugin(), &out));
  return stream.bytes;
}

std::vector<double> values(ClapInstance& instance) {
  const auto* params = instance.extension<clap::PluginParams>(clap::kExtParams);
  std::vector<double> all(28);
  for (uint32_t i = 0; i < 28; ++i) params->getValue(&instance.plugin(), i, &all[i]);
  return all;
}

// Programs 5 and 9 edited, program 9 current: saved a byte per call, loaded a byte per call
// into a fresh instance, saved again the same; broken, short, long or failing state refused
// with nothing changed.
TEST(ClapPlugin, StateComesBackExactlyAndBrokenStateChangesNothing) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  auto edited = startInstance(*module, 256);
  ASSERT_NE(edited, nullptr);
  edited->addMidi(0, 0xC0, 5, 0);
  edited->process(256);
  edited->addParam(0, 2, 0.123456789);
  edited->addParam(0, 12, 3.0);
  edited->process(256);
  edited->addMidi(0, 0xC0, 9, 0);
  edited->process(256);
  edited->addParam(0, 13, 0.987654321);
  edited->process(256);
  const std::vector<uint8_t> state = saved(*edited, 1);
  ASSERT_FALSE(state.empty());
  EXPECT_EQ(saved(*edited, 1000), state);

  auto restored = startInstance(*module, 256);
  ASSERT_NE(restored, nullptr);
  const auto* plugState = restored->extension<clap::PluginState>(clap::kExtState);
  ASSERT_NE(plugState, nullptr);
  MemoryStream stream{state};
  stream.stride = 1;
  const clap::InputStream in = stream.in();
  ASSERT_TRUE(plugState->load(&restored->plugin(), &in));
  EXPECT_EQ(saved(*restored, 7), state);
  EXPECT_EQ(values(*restored), values(*edited));
  EXPECT_EQ(restored->log().valueRescans, 1);

  auto fresh = startInstance(*module, 256);
  ASSERT_NE(fresh, nullptr);
  const std::vector<uint8_t> before = saved(*fresh, 4096);
  std::vector<uint8_t> flipped = state;
  flipped[flipped.size() / 2] ^= 0x10;
  std::vector<uint8_t> longer = state;
  longer.push_back(0);
  const std::vector<uint8_t> shorter(state.begin(), state.end() - 1);
  for (const auto& bad : {flipped, longer, shorter, std::vector<uint8_t>{}}) {
    MemoryStream broken{bad};
    const clap::InputStream badIn = broken.in();
    EXPECT_FALSE(plugState->load(&fresh->plugin(), &badIn));
  }
  MemoryStream failing{state};
  failing.stride = 100;
  failing.failAt = 300;
  const clap::InputStream failingIn = failing.in();
  EXPECT_FALSE(plugState->load(&fresh->plugin(), &failingIn));
  EXPECT_EQ(saved(*fresh, 4096), before);
  EXPECT_EQ(fresh->log().valueRescans, 0);

  MemoryStream full;
  full.failAt = 10;
  full.stride = 4;
  const clap::OutputStream fullOut = full.out();
  EXPECT_FALSE(plugState->save(&fresh->plugin(), &fullOut));
}

// What an indexer and a metadata receiver hear from the preset provider.
struct Catalogue {
  std::vector<clap::PresetLocation> locations;
  std::vector<std::string> names, keys, pluginIds;
  std::vector<uint32_t> flags;

  static Catalogue& of(const clap::PresetIndexer* indexer) {
    return *static_cast<Catalogue*>(indexer->indexerData);
  }
  static Catalogue& of(const clap::PresetMetadataReceiver* receiver) {
    return *static_cast<Catalogue*>(receiver->receiverData);
  }
  static bool declareLocation(const clap::PresetIndexer* indexer, const clap::PresetLocation* l) {
    of(indexer).locations.push_back(*l);
    return true;
  }
  static bool beginPreset(const clap::PresetMetadataReceiver* r, const char* name,
                          const char* key) {
    of(r).names.push_back(name);
    of(r).keys.push_back(key);
    return true;
  }
  static void addPluginId(const clap::PresetMetadataReceiver* r,
                          const clap::UniversalPluginId* id) {
    of(r).pluginIds.push_back(std::string(id->abi) + ":" + id->id);
  }
  static void setFlags(const clap::PresetMetadataReceiver* r, uint32_t flags) {
    of(r).flags.push_back(flags);
  }
};

TEST(ClapPlugin, PresetFactoryListsAndLoadsTheFactoryPrograms) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  const clap::PresetDiscoveryFactory* factory = module->presets();
  ASSERT_NE(factory, nullptr);
  ASSERT_EQ(factory->count(factory), 1u);
  const clap::PresetProviderDescriptor* descriptor = factory->getDescriptor(factory, 0);
  ASSERT_NE(descriptor, nullptr);
  Catalogue catalogue;
  clap::PresetIndexer indexer{
      clap::kVersion, "test", "", "", "", &catalogue, nullptr, Catalogue::declareLocation,
      nullptr,        nullptr};
  EXPECT_EQ(factory->create(factory, &indexer, "audio.kivo.other"), nullptr);
  const clap::PresetProvider* provider = factory->create(factory, &indexer, descriptor->id);
  ASSERT_NE(provider, nullptr);
  ASSERT_TRUE(provider->init(provider));
  ASSERT_EQ(catalogue.locations.size(), 1u);
  const clap::PresetLocation location = catalogue.locations[0];
  EXPECT_EQ(location.kind, clap::kLocationPlugin);
  EXPECT_EQ(location.flags, clap::kPresetIsFactoryContent);
  clap::PresetMetadataReceiver receiver{};
  receiver.receiverData = &catalogue;
  receiver.beginPreset = Catalogue::beginPreset;
  receiver.addPluginId = Catalogue::addPluginId;
  receiver.setFlags = Catalogue::setFlags;
  ASSERT_TRUE(provider->getMetadata(provider, location.kind, location.location, &receiver));
  provider->destroy(provider);

  auto vst = startVst(64);
  ASSERT_NE(vst, nullptr);
  ASSERT_EQ(catalogue.names.size(), 64u);
  EXPECT_EQ(catalogue.pluginIds, std::vector<std::string>(64, "clap:audio.kivo.vorlak"));
  EXPECT_EQ(catalogue.flags, std::vector<uint32_t>(64, clap::kPresetIsFactoryContent));

  // Each program loaded by its key, edited, and loaded again: the factory's name and values
  // come back, as a fresh VST 2 module holds them, and the host is told to rescan each time.
  auto instance = startInstance(*module, 64);
  ASSERT_NE(instance, nullptr);
  const auto* load = instance->extension<clap::PluginPresetLoad>(clap::kExtPresetLoad);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(load, instance->extension<clap::PluginPresetLoad>(clap::kExtPresetLoadCompat));
  const auto* params = instance->extension<clap::PluginParams>(clap::kExtParams);
  for (int n = 0; n < 64; ++n) {
    SCOPED_TRACE("program " + std::to_string(n));
    EXPECT_EQ(catalogue.names[static_cast<size_t>(n)], vst->programNameIndexed(n));
    const char* key = catalogue.keys[static_cast<size_t>(n)].c_str();
    ASSERT_TRUE(load->fromLocation(&instance->plugin(), location.kind, location.location, key));
    instance->addParam(0, 3, 0.0123);
    instance->addParam(0, 20, 1.0);
    instance->process(64);
    const int rescans = instance->log().valueRescans;
    ASSERT_TRUE(load->fromLocation(&instance->plugin(), location.kind, location.location, key));
    EXPECT_EQ(instance->log().valueRescans, rescans + 1);
    vst->setProgram(n);
    for (uint32_t i = 0; i < 28; ++i) {
      clap::ParamInfo info{};
      params->getInfo(&instance->plugin(), i, &info);
      double value = -1.0;
      params->getValue(&instance->plugin(), i, &value);
      char text[64];
      params->valueToText(&instance->plugin(), i, value, text, sizeof text);
      EXPECT_EQ(text, vst->parameterDisplay(static_cast<VstInt32>(i))) << "parameter " << i;
      if (!(info.flags & clap::kParamIsStepped)) {
        EXPECT_EQ(value, vst->parameter(static_cast<VstInt32>(i))) << "parameter " << i;
      }
    }
  }
  for (const char* key : {"64", "-1", "", "x", "3x", "100"})
    EXPECT_FALSE(load->fromLocation(&instance->plugin(), clap::kLocationPlugin, nullptr, key));
  EXPECT_FALSE(load->fromLocation(&instance->plugin(), clap::kLocationPlugin, nullptr, nullptr));
  EXPECT_FALSE(load->fromLocation(&instance->plugin(), clap::kLocationFile, "/tmp/x", "3"));
}

// Calls out of order, odd events and values: defined answers, and the sound stays finite.
TEST(ClapPlugin, OddHostInputGetsDefinedAnswers) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  std::string error;
  auto instance = ClapInstance::create(*module, &error);
  ASSERT_NE(instance, nullptr) << error;
  const clap::Plugin* p = &instance->plugin();
  EXPECT_EQ(p->getExtension(p, "clap.unknown"), nullptr);
  EXPECT_EQ(p->getExtension(p, nullptr), nullptr);
  // Before activation and before start_processing: refused, silent.
  EXPECT_FALSE(p->startProcessing(p));
  instance->addMidi(0, 0x90, 40, 100);
  EXPECT_EQ(instance->process(64), clap::kProcessError);
  for (double rate : {0.0, -44100.0, 1.0e9, 1.0e300, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_FALSE(p->activate(p, rate, 1, 64));
  ASSERT_TRUE(p->activate(p, kRate, 1, 64));
  EXPECT_FALSE(p->activate(p, kRate, 1, 64));
  EXPECT_EQ(instance->process(64), clap::kProcessError);
  ASSERT_TRUE(p->startProcessing(p));
  EXPECT_EQ(p->process(p, nullptr), clap::kProcessError);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  Stereo out;
  for (int block = 0; block < 200; ++block) {
    instance->addNote(clap::kNoteOn, 500, 45, 0.9);  // past the block
    instance->addMidi(30, 0x90, 52, 100);            // out of order
    instance->addMidi(10, 0xE0, 0, 127);
    instance->addNote(clap::kNoteOn, 3, 300, 0.5);  // no such key
    instance->addNote(clap::kNoteOn, 3, 50, nan);
    instance->addParam(5, 28, 0.5);  // no such parameter
    instance->addParam(5, 0xFFFFFFFFu, 0.5);
    instance->addParam(6, 13, nan);
    instance->addParam(7, 12, 1.0e300);            // far past the last choice
    instance->addRaw(8, 1, 0, clap::kParamValue);  // shorter than its type
    instance->addRaw(64, 1, 7, clap::kMidi);       // another space
    instance->addRaw(64, 1, 0, 999);               // unknown type
    instance->tempo = block % 2 ? nan : -5.0;
    EXPECT_EQ(instance->process(64), clap::kProcessContinue);
    out.append(instance->left(), instance->right(), 64);
  }
  EXPECT_TRUE(out.finite());
  EXPECT_GT(out.peak(), 0.01f);
  double amp = -1.0;
  const auto* params = instance->extension<clap::PluginParams>(clap::kExtParams);
  ASSERT_TRUE(params->getValue(p, 12, &amp));
  EXPECT_EQ(amp, 3.0);
  char text[16];
  EXPECT_FALSE(params->valueToText(p, 3, nan, text, sizeof text));
  EXPECT_FALSE(params->valueToText(p, 3, 0.5, nullptr, 0));
  double value;
  EXPECT_FALSE(params->textToValue(p, 12, "no such amp", &value));
  EXPECT_FALSE(params->textToValue(p, 12, nullptr, &value));

  // The panel: embedded only, in this build's window system, at 396 x 530.
  const auto* gui = instance->extension<clap::PluginGui>(clap::kExtGui);
  ASSERT_NE(gui, nullptr);
  EXPECT_FALSE(gui->create(p, "cocoa", false));
  EXPECT_FALSE(gui->create(p, "x11", true));
  uint32_t width = 0, height = 0;
  EXPECT_FALSE(gui->getSize(p, &width, &height));
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->getPreferredApi(p, &api, &floating));
  ASSERT_TRUE(gui->create(p, api, floating));
  EXPECT_FALSE(gui->create(p, api, floating));
  ASSERT_TRUE(gui->getSize(p, &width, &height));
  EXPECT_EQ(width, 396u);
  EXPECT_EQ(height, 530u);
  EXPECT_FALSE(gui->canResize(p));
  clap::Window nowhere{api, {}};
  EXPECT_FALSE(gui->setParent(p, &nowhere));
  gui->destroy(p);
  gui->destroy(p);
  EXPECT_TRUE(instance->log().timers.empty());
  EXPECT_TRUE(instance->log().descriptors.empty());
  p->stopProcessing(p);
  p->deactivate(p);
}

}  // namespace
}  // namespace vorlak::claptest
