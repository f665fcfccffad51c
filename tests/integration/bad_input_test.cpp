// Requests no well-behaved host makes: indexes outside the tables, null pointers, overlong
// texts, non-finite values, odd rates and block sizes, missing buffers and malformed events.
// Each must get a defined answer without writing outside what the host handed over, and
// rendering must go on producing every frame.
#include <climits>
#include <cmath>
#include <limits>

#include "tests/integration/plugin_fixture.h"

namespace vorlak::test {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

const VstInt32 kBadParameterIndexes[] = {-1, 28, 29, 100, INT_MAX, INT_MIN};

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = startVorlak();
    ASSERT_NE(plugin, nullptr);
  }

  std::array<float, 28> allParameters() {
    std::array<float, 28> values{};
    for (VstInt32 i = 0; i < 28; ++i) values[static_cast<std::size_t>(i)] = plugin->parameter(i);
    return values;
  }

  // The instance still answers and renders cleanly.
  void expectHealthy() {
    EXPECT_EQ(plugin->dispatch(effIdentify), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(plugin->programNameIndexed(63), "FX Sunshine Reggae");
    playPhrase(*plugin, 4 * kBlock);
  }

  std::unique_ptr<host::Plugin> plugin;
};

TEST_F(BadInput, ParameterIndexesOutsideTheTable) {
  const auto before = allParameters();
  for (VstInt32 index : kBadParameterIndexes) {
    EXPECT_TRUE(std::isfinite(plugin->parameter(index))) << index;
    plugin->setParameter(index, 0.77f);
    for (VstInt32 opcode : {effGetParamName, effGetParamDisplay, effGetParamLabel}) {
      const host::TextProbe probe = plugin->probeText(opcode, index);
      EXPECT_LE(probe.bytesWritten, 15) << "opcode " << opcode << " index " << index;
      if (probe.bytesWritten > 0) {
        EXPECT_TRUE(probe.terminated) << "opcode " << opcode << " index " << index;
      }
    }
    EXPECT_EQ(plugin->dispatch(effCanBeAutomated, index), 1) << index;
  }
  EXPECT_EQ(allParameters(), before);
  expectHealthy();
}

TEST_F(BadInput, ProgramIndexesOutsideTheBank) {
  for (VstInt32 index : {-1, 64, 65, 1000, INT_MAX, INT_MIN}) {
    const host::TextProbe probe = plugin->probeText(effGetProgramNameIndexed, index);
    EXPECT_LE(probe.bytesWritten, 24) << index;
    if (probe.bytesWritten > 0) {
      EXPECT_TRUE(probe.terminated) << index;
    }
  }
  for (VstIntPtr program : {VstIntPtr{-1}, VstIntPtr{64}, VstIntPtr{INT_MAX}, VstIntPtr{INT_MIN}}) {
    plugin->setProgram(program);
    EXPECT_EQ(plugin->program(), 0) << program;
  }
  EXPECT_EQ(plugin->programName(), "POWER Metal");
  expectHealthy();
}

TEST_F(BadInput, NullPointersWhereTextsAndRecordsGo) {
  const VstInt32 opcodes[] = {effSetProgramName,
                              effGetProgramName,
                              effGetParamLabel,
                              effGetParamDisplay,
                              effGetParamName,
                              effEditGetRect,
                              effGetProgramNameIndexed,
                              effGetInputProperties,
                              effGetOutputProperties,
                              effGetEffectName,
                              effGetVendorString,
                              effGetProductString,
                              effCanDo,
                              effProcessEvents};
  for (VstInt32 opcode : opcodes) {
    for (VstInt32 index : {0, 1, 27}) plugin->dispatch(opcode, index, 0, nullptr);
  }
  EXPECT_NE(plugin->dispatch(effCanDo, 0, 0, nullptr), 1);
  EXPECT_EQ(plugin->programName(), "POWER Metal");
  expectHealthy();
}

TEST_F(BadInput, OverlongProgramNameStaysInsideItsField) {
  const std::string longName(100, 'x');
  plugin->setProgramName(longName);
  const host::TextProbe name = plugin->probeText(effGetProgramName, 0, 0, 24);
  EXPECT_LE(name.bytesWritten, 24);
  EXPECT_TRUE(name.terminated);
  // Cut to the field or refused: either way nothing beyond 23 characters.
  EXPECT_TRUE(name.text == std::string(23, 'x') || name.text == "POWER Metal") << name.text;
  const host::TextProbe indexed = plugin->probeText(effGetProgramNameIndexed, 0, 0, 24);
  EXPECT_LE(indexed.bytesWritten, 24);
  EXPECT_EQ(indexed.text, name.text);
  // The neighbouring program and the values behind the name are untouched.
  EXPECT_EQ(plugin->programNameIndexed(1), "POWER Chorused");
  EXPECT_EQ(plugin->parameter(0), 0.0f);
  EXPECT_EQ(plugin->parameter(1), 0.5f);

  plugin->setProgramName(std::string(24, 'y'));
  const host::TextProbe next = plugin->probeText(effGetProgramName, 0, 0, 24);
  EXPECT_LE(next.bytesWritten, 24);
  EXPECT_TRUE(next.terminated);
  EXPECT_LE(next.text.size(), 23u);
  expectHealthy();
}

TEST_F(BadInput, NonFiniteValuesAreIgnored) {
  plugin->setParameter(2, 0.3f);
  plugin->setParameter(20, 0.2f);
  for (float bad : {kNaN, kInf, -kInf}) {
    plugin->setParameter(2, bad);
    plugin->setParameter(20, bad);
    EXPECT_EQ(plugin->parameter(2), 0.3f) << bad;
    EXPECT_EQ(plugin->parameter(20), 0.2f) << bad;
    EXPECT_EQ(plugin->parameterDisplay(2), "30%") << bad;
  }
  expectHealthy();
}

TEST_F(BadInput, OutOfRangeValuesAreClamped) {
  for (VstInt32 index = 0; index < 28; ++index) {
    plugin->setParameter(index, 1.5f);
    EXPECT_EQ(plugin->parameter(index), 1.0f) << index;
    plugin->setParameter(index, -2.0f);
    EXPECT_EQ(plugin->parameter(index), 0.0f) << index;
  }
  plugin->setParameter(2, 1e30f);
  EXPECT_EQ(plugin->parameterDisplay(2), "100%");
  plugin->setParameter(20, 7.0f);
  EXPECT_EQ(plugin->parameterDisplay(20), "MST:Multitap");
  plugin->setParameter(20, -7.0f);
  EXPECT_EQ(plugin->parameterDisplay(20), "Dry");
  plugin->setParameter(27, 3.0f);
  EXPECT_EQ(plugin->parameterDisplay(27), "Modwheel");
  expectHealthy();
}

TEST_F(BadInput, ExtremeValuesNeverOverrunTheTextBuffer) {
  for (VstInt32 index = 0; index < 28; ++index) {
    for (float value : {kNaN, kInf, -kInf, 1e30f, -1e30f, 1.5f, -2.0f, 1e-40f, -0.0f}) {
      plugin->setParameter(index, value);
      const host::TextProbe display = plugin->probeText(effGetParamDisplay, index);
      EXPECT_LE(display.bytesWritten, 15) << index << " " << value;
      EXPECT_TRUE(display.terminated) << index << " " << value;
    }
  }
  expectHealthy();
}

// Sample rates no host would send are ignored: the engine keeps its rate, so the phrase
// renders exactly as in an instance that never saw them.
TEST(BadRate, ImpossibleSampleRatesAreIgnored) {
  auto reference = startVorlak();
  ASSERT_NE(reference, nullptr);
  const Rendered expected = playPhrase(*reference);
  for (float rate : {0.0f, -1.0f, kNaN, kInf, -kInf, 1e9f, 1e-30f}) {
    auto plugin = startVorlak();
    ASSERT_NE(plugin, nullptr);
    plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    const Rendered got = playPhrase(*plugin);
    EXPECT_TRUE(sameSamples(got.left, expected.left)) << "rate " << rate;
    EXPECT_TRUE(sameSamples(got.right, expected.right)) << "rate " << rate;
    plugin->dispatch(effSetBlockSizeAndSampleRate, 0, kBlock, nullptr, rate);
    playPhrase(*plugin, 2 * kBlock);
  }
}

// Where an event falls in a block whose size was never announced is the plug-in's choice,
// so these phrases put every event at the start of a block.
std::vector<ScheduledMidi> blockAlignedPhrase(int block) {
  std::vector<ScheduledMidi> events = shortPhrase();
  for (ScheduledMidi& event : events) event.frame -= event.frame % block;
  return events;
}

// Frames where the reference sounds but the render holds exact zeros: frames nobody wrote.
int dropouts(const std::vector<float>& got, const std::vector<float>& reference) {
  int count = 0;
  for (std::size_t i = 0; i < got.size() && i < reference.size(); ++i) {
    count += reference[i] != 0.0f && got[i] == 0.0f ? 1 : 0;
  }
  return count;
}

Rendered renderPhrase(host::Plugin& plugin, const std::vector<ScheduledMidi>& events, int frames,
                      int block, bool replacing) {
  Rendered result;
  renderEvents(plugin, events, frames, block, [&](GuardedOutput& out, int) {
    if (!replacing) out.fill(0.0f);
    plugin.render(out.outputs(), out.frames(), replacing);
    if (replacing) {
      expectCleanReplacingRender(out);
    } else {
      EXPECT_TRUE(out.guardsIntact());
      EXPECT_EQ(out.nonFiniteFrames(0) + out.nonFiniteFrames(1), 0);
    }
    result.append(out);
  });
  return result;
}

// Whatever block size was announced, both entries handle every frame they are given:
// processReplacing writes exactly what a well set-up instance writes, and process adds a
// signal to every frame.
void expectBothEntriesRender(VstIntPtr announced, int block) {
  const auto events = blockAlignedPhrase(block);
  const int frames = 16384;
  auto reference = startVorlak();
  ASSERT_NE(reference, nullptr);
  const Rendered expected = renderPhrase(*reference, events, frames, block, true);

  auto replacing = startVorlak();
  ASSERT_NE(replacing, nullptr);
  replacing->setBlockSize(announced);
  const Rendered got = renderPhrase(*replacing, events, frames, block, true);
  EXPECT_TRUE(sameSamples(got.left, expected.left)) << "announced " << announced;
  EXPECT_TRUE(sameSamples(got.right, expected.right)) << "announced " << announced;

  auto accumulating = startVorlak();
  ASSERT_NE(accumulating, nullptr);
  accumulating->setBlockSize(announced);
  const Rendered added = renderPhrase(*accumulating, events, frames, block, false);
  EXPECT_EQ(dropouts(added.left, expected.left), 0) << "announced " << announced;
  EXPECT_EQ(dropouts(added.right, expected.right), 0) << "announced " << announced;
}

TEST(BadBlockSize, ZeroBlockSize) { expectBothEntriesRender(0, kBlock); }
TEST(BadBlockSize, NegativeBlockSize) { expectBothEntriesRender(-5, kBlock); }
TEST(BadBlockSize, HugeBlockSize) { expectBothEntriesRender(VstIntPtr{1} << 30, kBlock); }
TEST(BadBlockSize, MoreFramesThanAnnounced) { expectBothEntriesRender(64, 4096); }

TEST(BadBlockSize, ProcessBeforeAnyBlockSize) {
  const auto events = blockAlignedPhrase(kBlock);
  auto reference = startVorlak();
  ASSERT_NE(reference, nullptr);
  const Rendered expected = renderPhrase(*reference, events, 16384, kBlock, true);

  for (bool replacing : {true, false}) {
    auto plugin = loadVorlak();
    ASSERT_NE(plugin, nullptr);
    plugin->open();
    plugin->setSampleRate(kRate);
    plugin->resume();
    const Rendered got = renderPhrase(*plugin, events, 16384, kBlock, replacing);
    if (replacing) {
      EXPECT_TRUE(sameSamples(got.left, expected.left));
    } else {
      EXPECT_EQ(dropouts(got.left, expected.left), 0);
    }
  }
}

TEST_F(BadInput, BlocksOfZeroFramesTouchNothing) {
  plugin->sendMidi(0x90, 60, 100);
  for (bool replacing : {true, false}) {
    GuardedOutput out(0);
    plugin->host().clearCalls();
    plugin->render(out.outputs(), 0, replacing);
    EXPECT_TRUE(out.guardsIntact());
    EXPECT_EQ(plugin->host().count(audioMasterGetTime), 1);
  }
  // A zero-frame block in the middle of a phrase changes nothing around it either.
  GuardedOutput held(16);
  held.fill(0.5f);
  plugin->render(held.outputs(), 0, true);
  plugin->render(held.outputs(), 0, false);
  EXPECT_EQ(held.copy(0), std::vector<float>(16, 0.5f));
  EXPECT_TRUE(held.guardsIntact());
  expectHealthy();
}

TEST_F(BadInput, NegativeFrameCountsTouchNothing) {
  for (bool replacing : {true, false}) {
    GuardedOutput out(16);
    out.fill(0.5f);
    plugin->render(out.outputs(), -1, replacing);
    plugin->render(out.outputs(), INT_MIN, replacing);
    EXPECT_EQ(out.copy(0), std::vector<float>(16, 0.5f));
    EXPECT_TRUE(out.guardsIntact());
  }
  expectHealthy();
}

// A host may hand over a missing channel or no channel array; the channels that exist
// still get exactly what they would have got.
TEST(MissingOutputs, NullChannelsAreSkipped) {
  auto reference = startVorlak();
  ASSERT_NE(reference, nullptr);
  const Rendered expected = playPhrase(*reference);
  for (int missing : {0, 1}) {
    for (bool replacing : {true, false}) {
      auto plugin = startVorlak();
      ASSERT_NE(plugin, nullptr);
      const int present = 1 - missing;
      std::vector<float> got;
      renderEvents(*plugin, shortPhrase(), static_cast<int>(expected.left.size()), kBlock,
                   [&](GuardedOutput& out, int) {
                     out.fill(0.0f);
                     float* outputs[2] = {out.channel(0), out.channel(1)};
                     outputs[missing] = nullptr;
                     plugin->render(outputs, out.frames(), replacing);
                     EXPECT_TRUE(out.guardsIntact());
                     const auto channel = out.copy(present);
                     got.insert(got.end(), channel.begin(), channel.end());
                   });
      EXPECT_TRUE(sameSamples(got, present == 0 ? expected.left : expected.right))
          << "missing " << missing << (replacing ? " replacing" : " accumulating");
    }
  }
}

TEST_F(BadInput, NoChannelsAtAll) {
  for (bool replacing : {true, false}) {
    renderEvents(*plugin, shortPhrase(), 8 * kBlock, kBlock, [&](GuardedOutput& out, int) {
      float* outputs[2] = {nullptr, nullptr};
      plugin->render(outputs, out.frames(), replacing);
      plugin->render(nullptr, out.frames(), replacing);
    });
  }
  expectHealthy();
}

// Tempo drives strumming and the tempo-locked effects; "SINGLE Funky" strums through a
// multi-tap delay.
void expectCleanWithTempo(host::TimeInfoMode mode, double tempo) {
  auto plugin = startVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->host().timeMode = mode;
  plugin->host().tempo = tempo;
  plugin->setProgram(34);
  playPhrase(*plugin, 32 * kBlock);
  plugin->setProgram(46);
  playPhrase(*plugin, 16 * kBlock);
}

TEST(BadTempo, NoTimeInformation) { expectCleanWithTempo(host::TimeInfoMode::Null, 120.0); }
TEST(BadTempo, NaNTempo) {
  expectCleanWithTempo(host::TimeInfoMode::Valid, std::numeric_limits<double>::quiet_NaN());
}
TEST(BadTempo, InfiniteTempo) {
  expectCleanWithTempo(host::TimeInfoMode::Valid, std::numeric_limits<double>::infinity());
}
TEST(BadTempo, ZeroTempo) { expectCleanWithTempo(host::TimeInfoMode::Valid, 0.0); }
TEST(BadTempo, NegativeTempo) { expectCleanWithTempo(host::TimeInfoMode::Valid, -120.0); }
TEST(BadTempo, AbsurdTempos) {
  expectCleanWithTempo(host::TimeInfoMode::Valid, 1e300);
  expectCleanWithTempo(host::TimeInfoMode::Valid, 1e-300);
  expectCleanWithTempo(host::TimeInfoMode::Valid, 1e6);
}

TEST_F(BadInput, MalformedEventListsAreSurvived) {
  // A list that says it holds fewer than no events.
  alignas(VstEvents) unsigned char raw[sizeof(VstEvents)] = {};
  auto* list = reinterpret_cast<VstEvents*>(raw);
  list->numEvents = -3;
  plugin->dispatch(effProcessEvents, 0, 0, list);
  list->numEvents = INT_MIN;
  plugin->dispatch(effProcessEvents, 0, 0, list);
  EXPECT_EQ(plugin->processEvents({}), 1);

  // Null entries, events that are not MIDI, sizes that lie.
  VstEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = 16;
  VstEvent unknown{};
  unknown.type = 99;
  unknown.byteSize = -1;
  VstMidiEvent shortSize = records::midiEvent(0x90, 60, 100, 0);
  shortSize.byteSize = 0;
  plugin->processEvents(
      {nullptr, &sysex, nullptr, &unknown, reinterpret_cast<VstEvent*>(&shortSize)});
  for (int block = 0; block < 4; ++block) renderChecked(*plugin, kBlock);
  plugin->sendMidi(0x80, 60, 0);
  expectHealthy();
}

TEST_F(BadInput, MalformedMidiBytesAreSurvived) {
  std::vector<VstMidiEvent> events;
  // Data bytes with the top bit set (a signed char reads them as negative), statuses that
  // carry no channel message, running-status data bytes and every kind of message.
  for (int status : {0x90, 0x80, 0xB0, 0xC0, 0xE0, 0xA0, 0xD0, 0xF0, 0xF7, 0xFF, 0x00, 0x7F}) {
    for (int data : {0, 1, 63, 64, 126, 127, 128, 200, 255}) {
      events.push_back(records::midiEvent(status, data, data, 0));
      events.push_back(records::midiEvent(status | 0x0F, 255 - data, data, 3));
    }
  }
  for (int controller : {1, 7, 11, 64, 120, 121, 122, 123, 127}) {
    events.push_back(records::midiEvent(0xB0, controller, 127, 5));
  }
  // Detune is a signed cents byte; the extremes lie outside the tuning table's range.
  for (int detune : {-128, -65, 64, 127}) {
    events.push_back(records::midiEvent(0x90, 60 + detune / 16, 100, 7, detune));
  }
  for (const VstMidiEvent& event : events) plugin->sendMidi(event);
  renderChecked(*plugin, 16 * kBlock);
  expectHealthy();
}

TEST_F(BadInput, EventFramesOutsideTheBlock) {
  for (VstInt32 frame : {-1, -1000, INT_MIN, kBlock, kBlock + 1, 100000, INT_MAX}) {
    plugin->sendMidi(records::midiEvent(0x90, 48 + (frame & 7), 100, frame));
    plugin->sendMidi(records::midiEvent(0x80, 48 + (frame & 7), 0, frame));
  }
  renderChecked(*plugin, 32 * kBlock);
  expectHealthy();
}

TEST_F(BadInput, MoreEventsThanTheQueueHolds) {
  for (int i = 0; i < 5000; ++i) {
    plugin->sendMidi(records::midiEvent(i % 2 == 0 ? 0x90 : 0x80, 30 + i % 60, 100, i % kBlock));
  }
  EXPECT_EQ(plugin->flushMidi(), 1);
  for (int i = 0; i < 3000; ++i)
    plugin->sendMidi(records::midiEvent(0xE0, i & 0x7F, i % 128, i % kBlock));
  renderChecked(*plugin, 64 * kBlock);
  expectHealthy();
}

TEST(BadProgramBank, EveryProgramWithExtremeNotesStaysFinite) {
  auto plugin = startVorlak();
  ASSERT_NE(plugin, nullptr);
  for (VstIntPtr program = 0; program < 64; ++program) {
    plugin->setProgram(program);
    for (int note : {0, 1, 126, 127}) plugin->sendMidi(0x90, static_cast<unsigned char>(note), 127);
    plugin->sendMidi(0xE0, 0x7F, 0x7F);
    plugin->sendMidi(0xB0, 1, 127);
    renderChecked(*plugin, 8 * kBlock);
    plugin->sendMidi(0xB0, 123, 0);
    plugin->sendMidi(0xE0, 0x00, 0x40);
    plugin->sendMidi(0xB0, 1, 0);
    renderChecked(*plugin, kBlock);
  }
}

}  // namespace
}  // namespace vorlak::test
