// The 28 parameters as a host sees them: names, display texts, labels and stored values.
#include <cmath>
#include <string>
#include <vector>

#include "tests/integration/plugin_fixture.h"

namespace vorlak::test {
namespace {

const char* const kNames[28] = {
    "Strings",  "Coils",      "Pickup pos", "Tone",   "Slap level", "Fret level", "Harmonic",
    "Damp",     "Vel VScale", "Vel DScale", "Reserved 10", "Reserved 11", "Amp type", "Drive",
    "Presence", "Feedback",   "EQ low",     "EQ mid", "EQ high",    "Cab type",   "FX",
    "FX par1",  "FX par2",    "Reserved 23", "Aid",    "Timing",     "Latch",      "Glissando src",
};

struct OptionList {
  VstInt32 index;
  std::vector<std::string> names;
};

const OptionList kOptionLists[] = {
    {0, {"Noise", "6String1", "6String2", "6String3", "Slap", "Ebass", "Fretless"}},
    {1, {"None", "Single", "Double"}},
    {12, {"Dry", "Tube", "EQ", "Bandpass"}},
    {19, {"Dry", "British", "Combo", "StaX"}},
    {20,
     {"Dry", "AMP:Phaser", "AMP:Tremolo", "AMP:WahWah", "AMP:WahWah LFO", "AMP:Ringmod",
      "AMP:Fuzz Box", "AMP:Harmonizer", "AMP:Talkbox", "MST:Chorus", "MST:Flanger", "MST:Phaser",
      "MST:Leslie", "MST:Tremolo", "MST:Dub Delay", "MST:Multitap"}},
    {24, {"None", "AutoChords", "PwrChords", "Strumming", "Solo fixed", "Solo dynamic"}},
};

bool isOptionParameter(VstInt32 index) {
  for (const OptionList& list : kOptionLists) {
    if (list.index == index) return true;
  }
  return index == 27;
}

class Parameters : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = startVorlak();
    ASSERT_NE(plugin, nullptr);
  }

  std::string displayOf(VstInt32 index, float value) {
    plugin->setParameter(index, value);
    return plugin->parameterDisplay(index);
  }

  std::unique_ptr<host::Plugin> plugin;
};

TEST_F(Parameters, NamesAreTheHostVocabulary) {
  for (VstInt32 i = 0; i < 28; ++i) {
    const host::TextProbe name = plugin->probeText(effGetParamName, i);
    EXPECT_EQ(name.text, kNames[i]) << "parameter " << i;
    EXPECT_TRUE(name.terminated) << "parameter " << i;
    EXPECT_LE(name.bytesWritten, 15) << "parameter " << i;
  }
}

TEST_F(Parameters, EveryLabelIsEmpty) {
  for (VstInt32 i = 0; i < 28; ++i) {
    const host::TextProbe label = plugin->probeText(effGetParamLabel, i);
    EXPECT_EQ(label.text, "") << "parameter " << i;
    EXPECT_TRUE(label.terminated) << "parameter " << i;
  }
}

TEST_F(Parameters, PercentDisplaysTruncate) {
  EXPECT_EQ(displayOf(2, 0.29f), "28%");
  EXPECT_EQ(displayOf(2, 0.0f), "0%");
  EXPECT_EQ(displayOf(2, 0.5f), "50%");
  EXPECT_EQ(displayOf(2, 1.0f), "100%");
  EXPECT_EQ(displayOf(13, 0.999f), "99%");
  EXPECT_EQ(displayOf(25, 0.014f), "1%");
  EXPECT_EQ(displayOf(25, 0.0099f), "0%");
  for (VstInt32 i = 0; i < 28; ++i) {
    if (isOptionParameter(i) || i == 10 || i == 11 || i == 23) continue;
    EXPECT_EQ(displayOf(i, 0.75f), "75%") << "parameter " << i;
  }
}

TEST_F(Parameters, OptionValuesShowTheirNames) {
  for (const OptionList& list : kOptionLists) {
    const int n = static_cast<int>(list.names.size());
    for (int k = 0; k < n; ++k) {
      const float value = static_cast<float>(k) / static_cast<float>(n - 1);
      EXPECT_EQ(displayOf(list.index, value), list.names[static_cast<std::size_t>(k)])
          << "parameter " << list.index << " option " << k;
    }
  }
}

TEST_F(Parameters, OptionBoundariesTruncate) {
  EXPECT_EQ(displayOf(20, 0.5f), "AMP:Harmonizer");
  EXPECT_EQ(displayOf(20, 1.0f), "MST:Multitap");
  EXPECT_EQ(displayOf(20, 0.0667f), "AMP:Phaser");
  EXPECT_EQ(displayOf(20, 0.0f), "Dry");
  EXPECT_EQ(displayOf(0, 0.5f), "6String3");
  EXPECT_EQ(displayOf(1, 0.5f), "Single");
  EXPECT_EQ(displayOf(19, 0.3333f), "British");
  EXPECT_EQ(displayOf(24, 0.25f), "AutoChords");
  EXPECT_EQ(displayOf(24, 0.5f), "PwrChords");
  // 0.999 x 6.99 is 6.98: the last option, reached only near the top of the range.
  EXPECT_EQ(displayOf(0, 0.999f), "Fretless");
  EXPECT_EQ(displayOf(0, 0.85f), "Ebass");
}

TEST_F(Parameters, LatchShowsAPercentage) {
  // The switch point lies between these two, but both show 50%: 0.51 as a float is just
  // below 0.51, and the product truncates.
  EXPECT_EQ(displayOf(26, 0.5f), "50%");
  EXPECT_EQ(displayOf(26, 0.51f), "50%");
  EXPECT_EQ(displayOf(26, 0.75f), "75%");
  EXPECT_EQ(displayOf(26, 1.0f), "100%");
}

// The latch switch shows only as a percentage, so it is heard instead: a latched note
// sounds on after its release, an unlatched one dies away.
double levelAfterRelease(float latch) {
  auto plugin = startVorlak();
  if (!plugin) return 0.0;
  plugin->setProgram(21);
  plugin->setParameter(26, latch);
  plugin->sendMidi(0x90, 45, 110);
  renderChecked(*plugin, 20 * kBlock);
  plugin->sendMidi(0x80, 45, 0);
  renderChecked(*plugin, 40 * kBlock);
  const Rendered later = renderChecked(*plugin, 40 * kBlock);
  double energy = 0.0;
  for (float s : later.left) energy += static_cast<double>(s) * s;
  return std::sqrt(energy / static_cast<double>(later.left.size()));
}

TEST(Latch, SwitchesOnJustAboveHalf) {
  const double latched = levelAfterRelease(0.51f);
  const double unlatched = levelAfterRelease(0.5f);
  EXPECT_GT(latched, 0.01);
  EXPECT_LT(unlatched, latched * 0.01);
}

TEST_F(Parameters, GlissandoSourceIsATwoWaySwitch) {
  EXPECT_EQ(displayOf(27, 0.0f), "PitchBend");
  EXPECT_EQ(displayOf(27, 0.5f), "PitchBend");
  EXPECT_EQ(displayOf(27, 0.51f), "Modwheel");
  EXPECT_EQ(displayOf(27, 1.0f), "Modwheel");
}

TEST_F(Parameters, ReservedSlotsAreBlankButStoreValues) {
  for (VstInt32 i : {10, 11, 23}) {
    plugin->setParameter(i, 0.7f);
    EXPECT_EQ(plugin->parameter(i), 0.7f) << "parameter " << i;
    const host::TextProbe display = plugin->probeText(effGetParamDisplay, i);
    EXPECT_EQ(display.text, "") << "parameter " << i;
    EXPECT_TRUE(display.terminated) << "parameter " << i;
  }
}

TEST_F(Parameters, ValuesRoundTripExactly) {
  plugin->setParameter(3, 0.7f);
  EXPECT_EQ(plugin->parameter(3), 0.7f);
  for (VstInt32 i = 0; i < 28; ++i) {
    plugin->setParameter(i, 0.01f + 0.0345f * static_cast<float>(i));
  }
  for (VstInt32 i = 0; i < 28; ++i) {
    EXPECT_EQ(plugin->parameter(i), 0.01f + 0.0345f * static_cast<float>(i)) << "parameter " << i;
  }
  // Option values are stored as given, not snapped to an option.
  plugin->setParameter(20, 0.123456f);
  EXPECT_EQ(plugin->parameter(20), 0.123456f);
}

TEST_F(Parameters, NoTextIsLongerThanFourteenCharacters) {
  for (VstInt32 i = 0; i < 28; ++i) {
    for (float value : {0.0f, 0.3f, 0.5f, 0.51f, 0.7f, 0.999f, 1.0f}) {
      plugin->setParameter(i, value);
      for (VstInt32 opcode : {effGetParamName, effGetParamDisplay, effGetParamLabel}) {
        const host::TextProbe probe = plugin->probeText(opcode, i);
        EXPECT_LE(probe.bytesWritten, 15) << "opcode " << opcode << " parameter " << i;
        EXPECT_TRUE(probe.terminated) << "opcode " << opcode << " parameter " << i;
      }
    }
  }
}

}  // namespace
}  // namespace vorlak::test
