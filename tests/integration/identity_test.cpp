// What a host learns about the instrument before it plays a note: the record, its names,
// the answers of the dispatcher and the calls the instance makes back.
#include <climits>

#include "tests/integration/plugin_fixture.h"

namespace vorlak::test {
namespace {

TEST(Identity, RecordDescribesAStereoSynthWithEditor) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  const AEffect& e = *plugin->effect();
  EXPECT_EQ(e.magic, kEffectMagic);
  EXPECT_EQ(e.numPrograms, 64);
  EXPECT_EQ(e.numParams, 28);
  EXPECT_EQ(e.numInputs, 0);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsIsSynth);
  EXPECT_EQ(e.flags, 273);
  EXPECT_EQ(e.uniqueID, vstFourCC('V', 'R', 'L', 'K'));
  EXPECT_EQ(e.version, 1);
  EXPECT_EQ(e.ioRatio, 1.0f);
  EXPECT_EQ(e.initialDelay, 0);
  EXPECT_EQ(e.realQualities, 0);
  EXPECT_EQ(e.offQualities, 0);
  EXPECT_EQ(e.resvd1, 0);
  EXPECT_EQ(e.resvd2, 0);
  EXPECT_NE(e.object, nullptr);
  EXPECT_EQ(e.user, nullptr);
  EXPECT_NE(e.dispatcher, nullptr);
  EXPECT_NE(e.process, nullptr);
  EXPECT_NE(e.processReplacing, nullptr);
  EXPECT_NE(e.setParameter, nullptr);
  EXPECT_NE(e.getParameter, nullptr);
  for (std::size_t i = 0; i < sizeof(e.future); ++i) {
    EXPECT_EQ(e.future[i], 0) << "future byte " << i;
  }
}

TEST(Identity, NamesVendorAndIdentify) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  struct Name {
    VstInt32 opcode;
    const char* text;
    int field;
  };
  for (const Name& name :
       {Name{effGetEffectName, "Vorlak", 32}, Name{effGetVendorString, "Kivo", 64},
        Name{effGetProductString, "Vorlak", 64}}) {
    const host::TextProbe probe = plugin->probeText(name.opcode);
    EXPECT_EQ(probe.answer, 1) << "opcode " << name.opcode;
    EXPECT_EQ(probe.text, name.text);
    EXPECT_TRUE(probe.terminated) << "opcode " << name.opcode;
    EXPECT_LE(probe.bytesWritten, name.field) << "opcode " << name.opcode;
  }
  EXPECT_EQ(plugin->dispatch(effIdentify), vstFourCC('N', 'v', 'E', 'f'));
}

TEST(Identity, TheVersionQueryComesFirstAndWithoutARecord) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  const auto& calls = plugin->host().calls;
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].opcode, audioMasterVersion);
  EXPECT_EQ(calls[0].effect, nullptr);
  EXPECT_EQ(plugin->host().count(audioMasterVersion), 1);
}

// A host that answers 0 to the version query gets no instance.
int versionCalls = 0;
VstIntPtr refusingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) ++versionCalls;
  return 0;
}

TEST(Identity, AHostAnsweringVersionZeroGetsNull) {
  std::string error;
  auto module = host::Module::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  versionCalls = 0;
  EXPECT_EQ(module->entry()(&refusingHost), nullptr);
  EXPECT_EQ(versionCalls, 1);

  EXPECT_EQ(host::Plugin::create(module, &error, host::LoadOptions{0}), nullptr);
  EXPECT_FALSE(error.empty());
}

struct OpcodeCase {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  VstIntPtr expected;
};

// Opcodes whose answer is fixed. The editor's own answers (open, key down and up, knob mode)
// belong to the editor suites; effClose is tested on its own.
const OpcodeCase kFixedAnswers[] = {
    {effOpen, 0, 0, 0},
    {effSetProgram, 0, 0, 0},
    {effGetProgram, 0, 0, 0},
    {effGetProgramName, 0, 0, 0},
    {effGetParamLabel, 0, 0, 0},
    {effGetParamDisplay, 0, 0, 0},
    {effGetParamName, 0, 0, 0},
    {effGetVu, 0, 0, 0},
    {effSetBlockSize, 0, 256, 0},
    {effMainsChanged, 0, 1, 0},
    {effMainsChanged, 0, 0, 0},
    {effEditClose, 0, 0, 0},
    {effEditDraw, 0, 0, 0},
    {effEditMouse, 0, 0, 0},
    {effEditKey, 0, 0, 0},
    {effEditIdle, 0, 0, 0},
    {effEditTop, 0, 0, 0},
    {effEditSleep, 0, 0, 0},
    {effIdentify, 0, 0, vstFourCC('N', 'v', 'E', 'f')},
    {effGetChunk, 0, 0, 0},
    {effGetChunk, 1, 0, 0},
    {effSetChunk, 0, 0, 0},
    {effCanBeAutomated, 0, 0, 1},
    {effCanBeAutomated, 10, 0, 1},
    {effCanBeAutomated, 27, 0, 1},
    {effString2Parameter, 0, 0, 0},
    {effGetNumProgramCategories, 0, 0, 1},
    {effGetProgramNameIndexed, 5, 0, 1},
    {effCopyProgram, 1, 0, 0},
    {effConnectInput, 0, 1, 1},
    {effConnectOutput, 1, 1, 1},
    {effGetInputProperties, 0, 0, 0},
    {effGetOutputProperties, 0, 0, 1},
    {effGetOutputProperties, 1, 0, 1},
    {effGetOutputProperties, 2, 0, 0},
    {effGetPlugCategory, 0, 0, kPlugCategSynth},
    {effGetCurrentPosition, 0, 0, 0},
    {effGetDestinationBuffer, 0, 0, 0},
    {effOfflineNotify, 0, 0, 0},
    {effOfflinePrepare, 0, 0, 0},
    {effOfflineRun, 0, 0, 0},
    {effProcessVarIo, 0, 0, 0},
    {effSetSpeakerArrangement, 0, 0, 0},
    {effSetBlockSizeAndSampleRate, 0, 256, 1},
    {effSetBypass, 0, 1, 0},
    {effGetEffectName, 0, 0, 1},
    {effGetErrorText, 0, 0, 0},
    {effGetVendorString, 0, 0, 1},
    {effGetProductString, 0, 0, 1},
    {effGetVendorVersion, 0, 0, 0},
    {effVendorSpecific, 0, 0, 0},
    {effGetTailSize, 0, 0, 0},
    {effIdle, 0, 0, 0},
    {effGetIcon, 0, 0, 0},
    {effSetViewPosition, 0, 0, 0},
    {effGetParameterProperties, 0, 0, 0},
    {effKeysRequired, 0, 0, 1},
    {effGetVstVersion, 0, 0, 2200},
    {effGetMidiProgramName, 0, 0, 0},
    {effGetCurrentMidiProgram, 0, 0, -1},
    {effGetMidiProgramCategory, 0, 0, 0},
    {effHasMidiProgramsChanged, 0, 0, 0},
    {effGetMidiKeyName, 0, 0, 0},
    {effBeginSetProgram, 0, 0, 0},
    {effEndSetProgram, 0, 0, 0},
    {69, 0, 0, 0},
    {100, 0, 0, 0},
    {1000, 0, 0, 0},
    {-1, 0, 0, 0},
    {INT_MAX, 0, 0, 0},
    {INT_MIN, 0, 0, 0},
};

TEST(Dispatcher, EveryOpcodeAnswersAsTabled) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  for (const OpcodeCase& c : kFixedAnswers) {
    // Room for whatever record or text an opcode may write.
    alignas(16) char scratch[512] = {};
    const VstIntPtr answer =
        plugin->dispatch(c.opcode, c.index, c.value, scratch, c.opcode == 43 ? 44100.0f : 0.0f);
    EXPECT_EQ(answer, c.expected) << "opcode " << c.opcode << " index " << c.index;
  }
}

TEST(Dispatcher, EventListAnswersOne) {
  auto plugin = startVorlak();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->processEvents({}), 1);
  plugin->sendMidi(0x90, 60, 100);
  EXPECT_EQ(plugin->flushMidi(), 1);
}

TEST(Dispatcher, SampleRateAnswersZero) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
}

TEST(Dispatcher, CanDoKnowsExactlyThreeCapabilities) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->canDo("receiveVstEvents"), 1);
  EXPECT_EQ(plugin->canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(plugin->canDo("receiveVstTimeInfo"), 1);
  for (const char* text : {"sendVstMidiEvent", "", "ReceiveVstEvents", "receiveVstEvent",
                           "receiveVstEventsX", "receiveVstTimeInfo ", "offline", "bypass"}) {
    EXPECT_EQ(plugin->canDo(text), -1) << '"' << text << '"';
  }
}

TEST(Dispatcher, OutputPinsAreStereoAndLabelled) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  for (VstInt32 pin : {0, 1}) {
    VstPinProperties properties;
    std::memset(&properties, 0x5A, sizeof(properties));
    EXPECT_EQ(plugin->outputProperties(pin, &properties), 1);
    EXPECT_STREQ(properties.label, "Vorlak");
    EXPECT_EQ(properties.flags, kVstPinIsActive | kVstPinIsStereo);
    // Fields the plug-in does not own keep what the host put there.
    VstPinProperties untouched;
    std::memset(&untouched, 0x5A, sizeof(untouched));
    EXPECT_EQ(properties.arrangementType, untouched.arrangementType);
    EXPECT_EQ(
        std::memcmp(properties.shortLabel, untouched.shortLabel, sizeof(untouched.shortLabel)), 0);
    EXPECT_EQ(std::memcmp(properties.future, untouched.future, sizeof(untouched.future)), 0);
    // Nothing is written past the label's terminator either.
    const std::size_t used = std::strlen("Vorlak") + 1;
    for (std::size_t i = used; i < sizeof(properties.label); ++i) {
      EXPECT_EQ(static_cast<unsigned char>(properties.label[i]), 0x5A) << "label byte " << i;
    }
  }
}

TEST(Dispatcher, ThirdOutputPinDoesNotExist) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  VstPinProperties properties;
  std::memset(&properties, 0x5A, sizeof(properties));
  VstPinProperties before = properties;
  EXPECT_EQ(plugin->outputProperties(2, &properties), 0);
  EXPECT_EQ(std::memcmp(&properties, &before, sizeof(properties)), 0);
}

TEST(Dispatcher, InputPinsDoNotExist) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  VstPinProperties properties;
  std::memset(&properties, 0x5A, sizeof(properties));
  VstPinProperties before = properties;
  EXPECT_EQ(plugin->dispatch(effGetInputProperties, 0, 0, &properties), 0);
  EXPECT_EQ(std::memcmp(&properties, &before, sizeof(properties)), 0);
}

TEST(Dispatcher, EditorRectangleIsThePanelSize) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  VstIntPtr answer = 0;
  const std::optional<ERect> rect = plugin->editorRect(&answer);
  EXPECT_EQ(answer, 1);
  ASSERT_TRUE(rect.has_value());
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 530);
  EXPECT_EQ(rect->right, 396);
}

TEST(Lifecycle, EverySwitchOnAsksForMidiOnce) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->open();
  plugin->setSampleRate(kRate);
  plugin->setBlockSize(kBlock);
  for (int round = 1; round <= 3; ++round) {
    plugin->host().clearCalls();
    plugin->resume();
    ASSERT_EQ(plugin->host().calls.size(), 1u) << "round " << round;
    const host::HostCall& call = plugin->host().calls[0];
    EXPECT_EQ(call.opcode, audioMasterWantMidi);
    EXPECT_EQ(call.value, 1);
    EXPECT_EQ(call.index, 0);
    EXPECT_EQ(call.effect, plugin->effect());
  }
  plugin->host().clearCalls();
  plugin->suspend();
  EXPECT_TRUE(plugin->host().calls.empty());
}

TEST(Lifecycle, SetUpOpcodesMakeNoHostCalls) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->host().clearCalls();
  plugin->open();
  plugin->setSampleRate(48000.0f);
  plugin->setBlockSize(128);
  plugin->setBlockSize(128);
  plugin->setProgram(5);
  plugin->setParameter(3, 0.25f);
  EXPECT_TRUE(plugin->host().calls.empty());
}

TEST(Lifecycle, CloseAnswersOneAndEndsTheInstance) {
  auto plugin = startVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->render(kBlock);
  EXPECT_EQ(plugin->close(), 1);
  EXPECT_TRUE(plugin->closed());
}

TEST(Lifecycle, InstancesAreIndependent) {
  auto first = startVorlak();
  auto second = startVorlak();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first->effect(), second->effect());
  EXPECT_NE(first->effect()->object, second->effect()->object);
  first->setProgram(21);
  first->setParameter(13, 0.9f);
  EXPECT_EQ(second->program(), 0);
  EXPECT_NE(second->parameter(13), 0.9f);
  EXPECT_EQ(first->close(), 1);
  // The survivor still works after its sibling is gone.
  EXPECT_EQ(second->programName(), "POWER Metal");
  Rendered out = renderChecked(*second, 4 * kBlock);
  EXPECT_EQ(peak(out.left), 0.0f);
}

}  // namespace
}  // namespace vorlak::test
