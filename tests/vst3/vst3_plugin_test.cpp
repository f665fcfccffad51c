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
#include "tests/integration/stereo.h"
#include "tests/unit/audio_measure.h"
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

using vorlak::test::Stereo;

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

// One 4096-frame block of a sounding chord in which Drive is turned to 1 at offset 2000, or
// not at all.
std::vector<float> driveTurnedAt(Module& module, int offset) {
  std::string error;
  auto instance = Instance::create(std::shared_ptr<Module>(&module, [](Module*) {}), &error);
  if (!instance) return {};
  instance->start(kRate, 4096);
  instance->note(0, true, 40, 0.9f);
  instance->note(0, true, 47, 0.9f);
  instance->process(4096);
  if (offset >= 0) instance->point(13, offset, 1.0);  // Drive
  instance->process(4096);
  return instance->left;
}

// A point inside a block takes effect at the core's first 5 ms tick at or after its offset:
// never before it, and within one tick (221 frames at 44.1 kHz) of it.
TEST(Vst3Plugin, APointInsideABlockTakesEffectAtTheFirstTickAtOrAfterIt) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  const std::vector<float> plain = driveTurnedAt(*module, -1);
  const std::vector<float> turned = driveTurnedAt(*module, 2000);
  ASSERT_EQ(plain.size(), 4096u);
  ASSERT_EQ(turned.size(), 4096u);
  size_t first = 0;
  while (first < plain.size() && plain[first] == turned[first]) ++first;
  EXPECT_GE(first, 2000u);
  EXPECT_LT(first, 2000u + 221u);
}

// The controller offers tuning on every channel over +-48 semitones; a tuning event bends the
// note whose id it names and no other.
TEST(Vst3Plugin, TuningNoteExpressionBendsTheNoteItNames) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  auto instance = startInstance(module, 512);
  ASSERT_NE(instance, nullptr);
  void* object = nullptr;
  ASSERT_EQ(instance->controller->queryInterface(NoteExpressionController::iid.bytes, &object),
            kResultOk);
  auto* expressions = static_cast<NoteExpressionController*>(object);
  EXPECT_EQ(expressions->getNoteExpressionCount(0, 15), 1);
  NoteExpressionTypeInfo info{};
  ASSERT_EQ(expressions->getNoteExpressionInfo(0, 3, 0, info), kResultOk);
  EXPECT_EQ(info.typeId, kTuningTypeId);
  EXPECT_NEAR((info.valueDesc.maximum - info.valueDesc.minimum) * 240.0, 96.0, 1e-9);
  expressions->release();

  // The plain guitar with nothing after it, no style, no latch.
  for (ParamId id : {0u, 12u, 15u, 19u, 20u, 24u, 26u})
    instance->point(id, 0, id == 0 ? 1 / 6.0 : 0.0);
  auto pitchAfter = [&](auto&& events) {
    events();
    std::vector<float> out;
    for (int block = 0; block < 22; ++block) {
      instance->process(512);
      out.insert(out.end(), instance->left.begin(), instance->left.end());
    }
    const int window = 4410;
    return test::estimatePitch(out.data() + out.size() - window, window, kRate, 60.f, 1000.f);
  };
  auto tune = [&](int32_t noteId, double semitones) {
    Event event{};
    event.type = kNoteExpressionValueEvent;
    event.noteExpressionValue = {kTuningTypeId, noteId, 0.5 + semitones / 240.0};
    instance->events.list.push_back(event);
  };
  const double open = pitchAfter([&] { instance->note(0, true, 57, 0.8f, 0, 41); });
  ASSERT_GT(open, 0.0);
  auto cents = [&](double hz) { return 1200.0 * std::log2(hz / open); };
  EXPECT_NEAR(cents(pitchAfter([&] { tune(41, -2.5); })), -250.0, 3.0);
  EXPECT_NEAR(cents(pitchAfter([&] { tune(40, 7.0); })), -250.0, 3.0);
}

std::string ascii(const Char16* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text);
  return out;
}

std::vector<Char16> utf16(const std::string& text) {
  std::vector<Char16> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

// What a host lists and shows: the 28 with the VST 2 module's names, displays and values, the
// 25 visible ones automatable, a choice k at k / (n - 1); a typed display read back to a value
// that shows the same; the 64 programs by name; a program chosen in the host's view takes the
// program's values into that view without the component being restarted, and the processor
// reports the values it switched to.
TEST(Vst3Plugin, ListsParametersTextsAndProgramsAsTheVst2ModuleDoes) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  auto instance = startInstance(module, 64);
  ASSERT_NE(instance, nullptr);
  auto vst2 = startVst2(64);
  ASSERT_NE(vst2, nullptr);
  EditController& controller = *instance->controller;

  ASSERT_EQ(controller.getParameterCount(), kParameterCount);
  int automatable = 0;
  for (int i = 0; i < kParameterCount; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(controller.getParameterInfo(i, info), kResultOk);
    EXPECT_EQ(info.id, static_cast<ParamId>(i));
    if (info.flags & kCanAutomate) ++automatable;
    if (i >= kNumParameters) {
      EXPECT_TRUE((info.flags & kIsHidden) || (info.flags & kIsProgramChange)) << i;
      continue;
    }
    SCOPED_TRACE("parameter " + std::to_string(i));
    const bool reserved = i == 10 || i == 11 || i == 23;
    EXPECT_EQ((info.flags & kIsHidden) != 0, reserved);
    EXPECT_EQ(info.defaultNormalizedValue, vst2->parameter(i));
    EXPECT_EQ(ascii(info.title), vst2->parameterName(i));
    if (reserved) continue;
    std::vector<double> values = {0.0, 0.25, 0.5, 0.77, 1.0};
    for (int k = 0; k <= info.stepCount && info.stepCount > 0; ++k) {
      const double normalized = controller.plainParamToNormalized(info.id, k);
      EXPECT_EQ(normalized, static_cast<float>(k) * (1.0f / static_cast<float>(info.stepCount)));
      values.push_back(normalized);
    }
    for (double v : values) {
      vst2->setParameter(i, static_cast<float>(v));
      String128 text{};
      ASSERT_EQ(controller.getParamStringByValue(info.id, v, text), kResultOk);
      EXPECT_EQ(ascii(text), vst2->parameterDisplay(i)) << v;
      ParamValue typed = -1.0;
      auto field = utf16(ascii(text));
      ASSERT_EQ(controller.getParamValueByString(info.id, field.data(), typed), kResultOk)
          << ascii(text);
      String128 again{};
      controller.getParamStringByValue(info.id, typed, again);
      EXPECT_EQ(ascii(again), ascii(text));
    }
  }
  EXPECT_EQ(automatable, 25);

  void* object = nullptr;
  ASSERT_EQ(controller.queryInterface(UnitInfoSource::iid.bytes, &object), kResultOk);
  auto* units = static_cast<UnitInfoSource*>(object);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(list.programCount, kNumPrograms);
  for (int n = 0; n < kNumPrograms; ++n) {
    String128 name{};
    ASSERT_EQ(units->getProgramName(list.id, n, name), kResultOk);
    EXPECT_EQ(ascii(name), vst2->programNameIndexed(n));
  }
  units->release();

  vst2->setProgram(40);
  ASSERT_EQ(controller.setParamNormalized(kProgramId, 40 / kProgramSteps), kResultOk);
  instance->point(kProgramId, 0, 40 / kProgramSteps);
  ASSERT_EQ(instance->process(64), kResultOk);
  for (int i = 0; i < kNumParameters; ++i) {
    EXPECT_EQ(controller.getParamNormalized(i), vst2->parameter(i)) << i;
    EXPECT_EQ(instance->output.last(i), vst2->parameter(i)) << i;
  }
  for (const std::string& call : instance->handler.calls) EXPECT_NE(call[0], 'r') << call;

  // The panel as the host's view: the native window type only, and the size at the host's
  // content scale.
  PlugView* view = controller.createView("editor");
  ASSERT_NE(view, nullptr);
#if defined(_WIN32)
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformHwnd), kResultOk);
  EXPECT_NE(view->isPlatformTypeSupported(kPlatformX11), kResultOk);
#else
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformX11), kResultOk);
  EXPECT_NE(view->isPlatformTypeSupported(kPlatformHwnd), kResultOk);
#endif
  ViewRect size{};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 396);
  EXPECT_EQ(size.bottom - size.top, 530);
  ASSERT_EQ(view->queryInterface(ContentScaleSupport::iid.bytes, &object), kResultOk);
  static_cast<ContentScaleSupport*>(object)->setContentScaleFactor(2.0f);
  static_cast<ContentScaleSupport*>(object)->release();
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 792);
  EXPECT_EQ(size.bottom - size.top, 1060);
  view->release();
}

// A few notes rendered in blocks of 64, for comparing two instances' sound.
std::vector<float> playNotes(Instance& instance) {
  std::vector<float> out;
  for (int block = 0; block < 60; ++block) {
    if (block == 0) instance.note(5, true, 45, 0.8f);
    if (block == 1) instance.note(7, true, 52, 0.6f);
    EXPECT_EQ(instance.process(64), kResultOk);
    out.insert(out.end(), instance.left.begin(), instance.left.end());
  }
  return out;
}

std::vector<double> valuesOf(EditController& controller) {
  std::vector<double> values;
  for (int i = 0; i < kNumParameters; ++i) values.push_back(controller.getParamNormalized(i));
  return values;
}

// The session comes back into a fresh instance exactly, through streams that move a few bytes
// per call; a short, damaged or empty one is refused and changes nothing.
TEST(Vst3Plugin, RestoresASessionExactlyAndRefusesABrokenOne) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  auto saved = startInstance(module, 64);
  ASSERT_NE(saved, nullptr);
  saved->point(kProgramId, 0, 7 / kProgramSteps);
  saved->process(64);
  saved->point(13, 0, 0.123456789);
  saved->point(20, 0, 1.0);
  saved->point(3, 0, 0.3333333);
  saved->process(64);
  MemoryStream stream(333);
  ASSERT_EQ(saved->component->getState(&stream), kResultOk);
  ASSERT_GE(stream.bytes.size(), 8720u);

  auto restored = startInstance(module, 64);
  ASSERT_NE(restored, nullptr);
  restored->process(64);
  restored->process(64);
  const std::vector<double> fresh = valuesOf(*restored->controller);
  auto refused = [&](std::vector<uint8_t> bytes) {
    MemoryStream broken(1000);
    broken.bytes = std::move(bytes);
    EXPECT_NE(restored->component->setState(&broken), kResultOk);
    restored->controller->setComponentState(&broken);
    EXPECT_EQ(valuesOf(*restored->controller), fresh);
  };
  refused({});
  refused(std::vector<uint8_t>(stream.bytes.begin(), stream.bytes.end() - 1));
  for (size_t at : {size_t{5}, size_t{100}, stream.bytes.size() - 1}) {
    std::vector<uint8_t> damaged = stream.bytes;
    damaged[at] ^= 0x10;
    refused(damaged);
  }

  stream.position = 0;
  stream.chunk = 7;
  ASSERT_EQ(restored->component->setState(&stream), kResultOk);
  stream.position = 0;
  ASSERT_EQ(restored->controller->setComponentState(&stream), kResultOk);
  // What the saved instance plays with, as the VST 2 module holds it after the same edits.
  auto vst2 = startVst2(64);
  ASSERT_NE(vst2, nullptr);
  vst2->setProgram(7);
  for (auto [index, value] : {std::pair{13, 0.123456789}, {20, 1.0}, {3, 0.3333333}})
    vst2->setParameter(index, static_cast<float>(value));
  for (int i = 0; i < kNumParameters; ++i)
    EXPECT_EQ(restored->controller->getParamNormalized(i), vst2->parameter(i)) << i;
  EXPECT_EQ(restored->controller->getParamNormalized(kProgramId), 7 / kProgramSteps);
  MemoryStream again;
  ASSERT_EQ(restored->component->getState(&again), kResultOk);
  EXPECT_EQ(again.bytes, stream.bytes);
  // Both switched off and on again, and alike in how many frames they have played.
  for (Instance* instance : {saved.get(), restored.get()}) {
    instance->component->setActive(0);
    instance->component->setActive(1);
  }
  const std::vector<float> original = playNotes(*saved);
  const std::vector<float> copy = playNotes(*restored);
  EXPECT_EQ(copy, original);
}

// What a careless host can send gets a defined answer, and the sound stays finite: no output
// buffers, no channels, empty and negative blocks, a block longer than announced, 64-bit
// samples, events and points at any offset with any pitch, id or value, unknown buses and
// arrangements, processing before switch-on.
TEST(Vst3Plugin, AnswersBadHostInput) {
  auto module = loadModule();
  ASSERT_NE(module, nullptr);
  std::string error;
  auto instance = Instance::create(module, &error);
  ASSERT_NE(instance, nullptr) << error;
  AudioProcessor& processor = *instance->processor;
  Component& component = *instance->component;

  instance->note(0, true, 45, 1.0f);
  ASSERT_EQ(instance->process(64), kResultOk);
  for (float v : instance->left) EXPECT_EQ(v, 0.0f);

  SpeakerArrangement mono = 0x1, stereo = kStereo;
  EXPECT_EQ(processor.setBusArrangements(nullptr, 0, &mono, 1), kResultFalse);
  EXPECT_EQ(processor.setBusArrangements(&stereo, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(processor.setBusArrangements(nullptr, 0, &stereo, 1), kResultOk);
  EXPECT_EQ(processor.canProcessSampleSize(kSample64), kResultFalse);
  BusInfo bus{};
  EXPECT_NE(component.getBusInfo(kMediaAudio, kDirectionInput, 0, bus), kResultOk);
  EXPECT_NE(component.getBusInfo(kMediaAudio, kDirectionOutput, 1, bus), kResultOk);
  EXPECT_NE(component.getBusInfo(kMediaEvent, kDirectionInput, -1, bus), kResultOk);
  ParameterInfo info{};
  EXPECT_NE(instance->controller->getParameterInfo(-1, info), kResultOk);
  EXPECT_NE(instance->controller->getParameterInfo(kParameterCount, info), kResultOk);
  EXPECT_NE(instance->controller->setParamNormalized(999, 0.5), kResultOk);
  EXPECT_NE(instance->controller->setParamNormalized(3, std::nan("")), kResultOk);
  EXPECT_NE(component.setState(nullptr), kResultOk);
  EXPECT_NE(component.getState(nullptr), kResultOk);
  for (double rate : {std::numeric_limits<double>::quiet_NaN(), 1e300, -44100.0}) {
    ProcessSetup bad{0, kSample32, 64, rate};
    EXPECT_NE(processor.setupProcessing(bad), kResultOk);
  }

  instance->start(kRate, 64);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ProcessData data{};
  data.symbolicSampleSize = kSample32;
  data.numSamples = 64;
  EXPECT_EQ(processor.process(data), kResultOk);  // no buses at all
  AudioBusBuffers none{2, 0, nullptr};
  data.numOutputs = 1;
  data.outputs = &none;
  EXPECT_EQ(processor.process(data), kResultOk);  // no channel array
  data.numSamples = -5;
  EXPECT_EQ(processor.process(data), kResultOk);
  data.symbolicSampleSize = kSample64;
  EXPECT_NE(processor.process(data), kResultOk);

  for (int32_t offset : {-100, 0, 63, 64, 100000}) {
    instance->note(offset, true, 200, nan);
    instance->note(offset, true, -3, 2.0f, 99);
    instance->note(offset, true, 40, 1e30f);
    instance->point(static_cast<ParamId>(-1), offset, 0.5);
    instance->point(999, offset, 0.5);
    instance->point(5, offset, nan);
    instance->point(7, offset, -4.0);
    instance->point(8, offset, 1e300);
    instance->point(kPitchBendId, offset, 1e300);
    instance->point(kProgramId, offset, -1.0);
    instance->point(kFirstControllerId, offset, nan);
  }
  instance->context.tempo = 1e300;
  bool finite = true;
  for (int frames : {0, 1, 64, 5000}) {
    ASSERT_EQ(instance->process(frames), kResultOk);
    for (float v : instance->left) finite = finite && std::isfinite(v);
    for (float v : instance->right) finite = finite && std::isfinite(v);
  }
  EXPECT_TRUE(finite);
}

}  // namespace
}  // namespace vorlak::vst3host
