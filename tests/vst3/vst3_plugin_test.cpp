// The plug-in as a VST 3 host runs it, from the built bundle through its factory: the same
// samples as vorlak.so for the same notes, controllers, values, program and tempo at any block
// size; the parameters, texts and programs a host lists; a saved session that comes back
// exactly and a broken one refused; and the odd input a host can send.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "formats/vst3/parameter_ids.h"
#include "tests/vst3/vst3_host.h"
#include "tools/vst_host.h"

namespace vorlak::vst3host {
namespace {

constexpr double kRate = 44100.0;
constexpr double kTempo = 97.0;
constexpr int64_t kLength = 40000;

std::shared_ptr<Module> loadModule() {
  std::string error;
  auto module = Module::load(bundleModule(VORLAK_VST3_BUNDLE), &error);
  EXPECT_NE(module, nullptr) << error;
  return module;
}

std::unique_ptr<Instance> startInstance(const std::shared_ptr<Module>& module, int block) {
  std::string error;
  auto instance = Instance::create(module, &error);
  EXPECT_NE(instance, nullptr) << error;
  if (instance) instance->start(kRate, block);
  return instance;
}

std::unique_ptr<host::Plugin> startVst2(int block) {
  std::string error;
  auto plugin = host::Plugin::load(VORLAK_MODULE_PATH, &error);
  EXPECT_NE(plugin, nullptr) << error;
  if (!plugin) return nullptr;
  plugin->host().tempo = kTempo;
  plugin->start(static_cast<float>(kRate), block);
  return plugin;
}

// What happens at a frame of the run: MIDI for the VST 2 module, which the VST 3 host sends
// as a note event or a point of the parameter the controller is mapped to; or a parameter
// value (index 0 to 27) or a program, set before that frame.
struct Step {
  int64_t frame;
  enum Kind { kMidi, kValue, kProgram } kind;
  uint8_t status, data1, data2;
  int index;
  float value;
};

Step midi(int64_t frame, uint8_t status, uint8_t d1, uint8_t d2) {
  return {frame, Step::kMidi, status, d1, d2, 0, 0.0f};
}
Step value(int64_t frame, int index, float v) { return {frame, Step::kValue, 0, 0, 0, index, v}; }
Step program(int64_t frame, int n) { return {frame, Step::kProgram, 0, 0, 0, n, 0.0f}; }

// Chords, volume, a bend, the modulation wheel and the pedal off the block boundaries; a
// program change and edits on them, where the VST 2 module can take them too.
const std::vector<Step> kSteps = {
    midi(3, 0xB0, 7, 110),     midi(101, 0x90, 40, 100),  midi(101, 0x90, 47, 90),
    midi(102, 0x90, 52, 80),   midi(9001, 0x80, 40, 0),   midi(9001, 0x80, 47, 0),
    midi(9002, 0x80, 52, 0),   program(12288, 40),        midi(12300, 0x90, 45, 127),
    midi(13337, 0xE0, 0, 90),  midi(17000, 0x90, 57, 64), value(20480, 13, 0.9f),
    value(20480, 21, 0.3f),    midi(22050, 0x80, 45, 0),  midi(26001, 0xB0, 1, 70),
    midi(28672, 0x80, 57, 0),  value(28672, 3, 0.77f),    midi(33333, 0x90, 64, 100),
    midi(36000, 0xB0, 64, 127), midi(39000, 0x80, 64, 0)};

struct Stereo {
  std::vector<float> left, right;
  void append(const std::vector<float>& l, const std::vector<float>& r, size_t frames) {
    left.insert(left.end(), l.begin(), l.begin() + static_cast<long>(frames));
    right.insert(right.end(), r.begin(), r.begin() + static_cast<long>(frames));
  }
  float peak() const {
    float p = 0.0f;
    for (float v : left) p = std::max(p, std::fabs(v));
    return p;
  }
};

// The reference: MIDI at its offsets in each block, values and programs set before the block
// they fall on (they all fall on a block boundary).
Stereo renderVst2(int block) {
  auto plugin = startVst2(block);
  Stereo out;
  if (!plugin) return out;
  size_t next = 0;
  for (int64_t start = 0; start < kLength; start += block) {
    const int frames = static_cast<int>(std::min<int64_t>(block, kLength - start));
    for (; next < kSteps.size() && kSteps[next].frame < start + frames; ++next) {
      const Step& s = kSteps[next];
      const auto offset = static_cast<VstInt32>(s.frame - start);
      if (s.kind == Step::kMidi) plugin->sendMidi(s.status, s.data1, s.data2, offset);
      if (s.kind == Step::kValue) plugin->setParameter(s.index, s.value);
      if (s.kind == Step::kProgram) plugin->setProgram(s.index);
    }
    plugin->render(frames);
    out.append(plugin->left(), plugin->right(), static_cast<size_t>(frames));
  }
  return out;
}

// The parameter the controller maps a MIDI controller (or the pitch bend) to.
ParamId mappedId(Instance& instance, int16_t controller) {
  void* object = nullptr;
  ParamId id = 0;
  instance.controller->queryInterface(MidiMapping::iid.bytes, &object);
  auto* mapping = static_cast<MidiMapping*>(object);
  if (!mapping) return ~0u;
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 3, controller, id), kResultOk);
  mapping->release();
  return id;
}

void sendStep(Instance& instance, const Step& s, int32_t offset) {
  const int kind = s.status & 0xF0;
  if (s.kind == Step::kValue) {
    instance.point(static_cast<ParamId>(s.index), offset, s.value);
  } else if (s.kind == Step::kProgram) {
    instance.point(kProgramId, offset, s.index / kProgramSteps);
  } else if (kind == 0x90 || kind == 0x80) {
    instance.note(offset, kind == 0x90, s.data1, s.data2 / 127.0f);
  } else if (kind == 0xE0) {
    instance.point(mappedId(instance, kControllerPitchBend), offset,
                   (s.data1 + 128 * s.data2) / kBendSteps);
  } else {
    instance.point(mappedId(instance, s.data1), offset, s.data2 / kControllerSteps);
  }
}

Stereo renderVst3(Module& module, int block) {
  std::string error;
  auto instance = Instance::create(std::shared_ptr<Module>(&module, [](Module*) {}), &error);
  Stereo out;
  if (!instance) return out;
  instance->start(kRate, block);
  instance->context.tempo = kTempo;
  size_t next = 0;
  for (int64_t start = 0; start < kLength; start += block) {
    const int frames = static_cast<int>(std::min<int64_t>(block, kLength - start));
    for (; next < kSteps.size() && kSteps[next].frame < start + frames; ++next)
      sendStep(*instance, kSteps[next], static_cast<int32_t>(kSteps[next].frame - start));
    EXPECT_EQ(instance->process(frames), kResultOk);
    out.append(instance->left, instance->right, static_cast<size_t>(frames));
  }
  return out;
}

// Notes and mapped controllers are queued at their offsets, never by cutting the block, and a
// value or program at offset 0 is what the VST 2 module's setParameter or setProgram before the
// block is.
TEST(Vst3Plugin, PlaysBitForBitWhatTheVst2ModulePlays) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  for (int block : {1, 64, 4096}) {
    SCOPED_TRACE("block " + std::to_string(block));
    const Stereo reference = renderVst2(block);
    EXPECT_GT(reference.peak(), 0.01f);
    const Stereo vst3 = renderVst3(*module, block);
    ASSERT_EQ(vst3.left.size(), reference.left.size());
    EXPECT_TRUE(vst3.left == reference.left);
    EXPECT_TRUE(vst3.right == reference.right);
  }
}

}  // namespace
}  // namespace vorlak::vst3host
