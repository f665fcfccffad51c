// Texts and parameter values as validators probe them: every opcode handed a 256-byte buffer
// full of a fill pattern may write only inside its documented field, terminated; indexes just
// outside and far outside the tables; values outside 0 to 1, subnormal and not finite; and a
// thousand values set and read back bit for bit.
#include <climits>
#include <cstring>
#include <limits>
#include <random>

#include "tests/integration/validator_support.h"

namespace vorlak::test {
namespace {

constexpr std::size_t kCanaryBuffer = 256;

// Bytes an opcode may write into its ptr: text fields with their terminators, the editor's
// rectangle pointer and the output pin record. Every other opcode writes nothing there.
int writableBytes(VstInt32 opcode) {
  switch (opcode) {
    case effGetProgramName:
    case effGetProgramNameIndexed:
      return 24;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
      return 15;
    case effGetEffectName:
      return 32;
    case effGetVendorString:
    case effGetProductString:
      return 64;
    case effEditGetRect:
      return static_cast<int>(sizeof(ERect*));
    case effGetOutputProperties:
      return static_cast<int>(sizeof(VstPinProperties));
    default:
      return 0;
  }
}

bool textOpcode(VstInt32 opcode) {
  return opcode != effEditGetRect && opcode != effGetOutputProperties && writableBytes(opcode) > 0;
}

// Opcodes whose ptr the plug-in reads or keeps (a text, a window, events, a chunk, speaker
// records, vendor data) or that end the instance; they are exercised elsewhere.
bool probed(VstInt32 opcode) {
  switch (opcode) {
    case effClose:
    case effSetProgramName:
    case effEditOpen:
    case effSetChunk:
    case effProcessEvents:
    case effString2Parameter:
    case effSetSpeakerArrangement:
    case effVendorSpecific:
    case effCanDo:
      return false;
    default:
      return true;
  }
}

const VstInt32 kIndexes[] = {-1, 0, 1, 27, 28, 63, 64, INT_MAX, INT_MIN};

class ValidatorStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = startVorlak(44100.0f, 512);
    ASSERT_NE(plugin, nullptr);
  }

  void expectWithinField(VstInt32 opcode, VstInt32 index, VstIntPtr value = 0) {
    const host::TextProbe probe = plugin->probeText(opcode, index, value, kCanaryBuffer);
    const int limit = writableBytes(opcode);
    EXPECT_LE(probe.bytesWritten, limit)
        << "opcode " << opcode << " index " << index << " wrote \"" << probe.text << "\"";
    if (textOpcode(opcode) && probe.bytesWritten > 0) {
      EXPECT_TRUE(probe.terminated) << "opcode " << opcode << " index " << index;
    }
    // The same field handed over at exactly its documented size.
    if (limit > 0) {
      const host::TextProbe exact =
          plugin->probeText(opcode, index, value, static_cast<std::size_t>(limit));
      EXPECT_LE(exact.bytesWritten, limit) << "opcode " << opcode << " index " << index;
    }
  }

  void expectHealthy() {
    EXPECT_EQ(plugin->dispatch(effIdentify), kEffectIdentify);
    plugin->start(44100.0f, 512);
    plugin->setProgram(12);
    BlockRenderer renderer(*plugin);
    renderer.schedule(phraseFor(*plugin, 44100.0f, 0, 0.2));
    renderer.until(framesOf(0.3, 44100.0f), 512);
    EXPECT_TRUE(renderer.clean());
    EXPECT_GT(renderer.census().peak, 0.01f);
  }

  std::unique_ptr<host::Plugin> plugin;
};

TEST_F(ValidatorStrings, EveryOpcodeWritesOnlyInsideItsField) {
  std::vector<VstInt32> opcodes;
  for (VstInt32 opcode = 0; opcode < 128; ++opcode) opcodes.push_back(opcode);
  for (VstInt32 opcode : {1000, INT_MAX, -1, INT_MIN}) opcodes.push_back(opcode);
  for (VstInt32 opcode : opcodes) {
    if (!probed(opcode)) continue;
    for (VstInt32 index : kIndexes) expectWithinField(opcode, index);
  }
  expectHealthy();
}

TEST_F(ValidatorStrings, TextsOfEveryProgramAndParameterFitTheirFields) {
  for (VstIntPtr program = 0; program < 64; ++program) {
    plugin->setProgram(program);
    expectWithinField(effGetProgramName, 0);
    expectWithinField(effGetProgramNameIndexed, static_cast<VstInt32>(program));
    for (VstIntPtr category : {VstIntPtr{-1}, VstIntPtr{1}, VstIntPtr{INT_MAX}}) {
      expectWithinField(effGetProgramNameIndexed, static_cast<VstInt32>(program), category);
    }
    for (VstInt32 index = 0; index < 28; ++index) {
      for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        expectWithinField(opcode, index);
      }
    }
  }
  // Every option of every parameter, and the display at the ends of the range.
  for (VstInt32 index = 0; index < 28; ++index) {
    for (int step = 0; step <= 100; ++step) {
      plugin->setParameter(index, static_cast<float>(step) / 100.0f);
      expectWithinField(effGetParamDisplay, index);
    }
  }
  expectHealthy();
}

const float kStrangeValues[] = {-1.0f,
                                1e-40f,
                                -1e-40f,
                                2.0f,
                                -0.0f,
                                1e30f,
                                -1e30f,
                                std::numeric_limits<float>::quiet_NaN(),
                                -std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::signaling_NaN(),
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::max(),
                                std::numeric_limits<float>::denorm_min()};

bool inUnitRange(float value) { return value >= 0.0f && value <= 1.0f; }

TEST_F(ValidatorStrings, StrangeValuesLeaveEveryParameterInsideZeroToOne) {
  for (VstInt32 index = 0; index < 28; ++index) {
    for (float value : kStrangeValues) {
      plugin->setParameter(index, value);
      EXPECT_TRUE(inUnitRange(plugin->parameter(index)))
          << "index " << index << " set to " << value << " reads " << plugin->parameter(index);
      expectWithinField(effGetParamDisplay, index);
    }
  }
  for (VstInt32 index : {-1, 28, 64, INT_MAX, INT_MIN}) {
    for (float value : kStrangeValues) plugin->setParameter(index, value);
    EXPECT_TRUE(inUnitRange(plugin->parameter(index))) << "index " << index;
  }
  expectHealthy();
}

// Values anywhere in [0, 1]: uniform ones and raw bit patterns, which reach the subnormals
// and the smallest normals too.
TEST_F(ValidatorStrings, AThousandValuesReadBackBitForBit) {
  std::mt19937 random(2024);
  std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
  std::uniform_int_distribution<std::uint32_t> bits(0, 0x3F800000u);
  int mismatches = 0;
  for (int i = 0; i < 1000; ++i) {
    const auto index = static_cast<VstInt32>(i % 28);
    float value = uniform(random);
    if (i % 2 == 1) {
      const std::uint32_t pattern = bits(random);
      std::memcpy(&value, &pattern, sizeof value);
    }
    plugin->setParameter(index, value);
    const float got = plugin->parameter(index);
    if (std::memcmp(&got, &value, sizeof value) != 0) {
      ++mismatches;
      ADD_FAILURE() << "index " << index << " set to " << value << " reads " << got;
    }
  }
  EXPECT_EQ(mismatches, 0);
  expectHealthy();
}

}  // namespace
}  // namespace vorlak::test
