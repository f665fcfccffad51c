// The program bank as a host sees it: factory names and values, selection, renaming, and
// edits that stay with their program.
#include <array>
#include <string>

#include "tests/integration/plugin_fixture.h"

namespace vorlak::test {
namespace {

const char* const kFactoryNames[64] = {
    "POWER Metal",
    "POWER Chorused",
    "POWER Dumb",
    "POWER Dire Straits",
    "POWER Fuzzy Flange",
    "POWER Heavy Phazor",
    "POWER Old Leslie",
    "POWER Phaser Amp",
    "POWER Rhythm Guitar",
    "POWER Rock",
    "POWER Rock Taps",
    "POWER Tremolo",
    "AUTO Natural",
    "AUTO Chorus chords",
    "AUTO Easy Wah",
    "AUTO Flanger Chords",
    "AUTO Leslie",
    "AUTO Phaser Chords",
    "AUTO Rolling",
    "AUTO Rolling2",
    "AUTO TalkBox",
    "BASS Ebass",
    "BASS Ebass2",
    "BASS Plug",
    "BASS Fretless",
    "BASS Harmonizer",
    "BASS Harmonizer2",
    "BASS Punch",
    "BASS Slap",
    "BASS Slap2",
    "BASS Slap3",
    "BASS Slap Power",
    "SINGLE TalkBox",
    "SINGLE Chorus",
    "SINGLE Funky",
    "SINGLE PhaserFB",
    "SINGLE Ticks",
    "SINGLE Unplugged",
    "SINGLE WahWah1",
    "SINGLE WahWah2",
    "SINGLE Wild West Glide",
    "DIST Dire_Strait",
    "DIST Metal",
    "DIST Reeth",
    "DIST Rhythm",
    "DIST Rock",
    "DIST Sololead Glide",
    "DIST Tremolo",
    "DIST WahWah",
    "ELEKTRO Guitar 3000",
    "ELEKTRO House Music",
    "ELEKTRO Jungle",
    "ELEKTRO Pumpy Bass",
    "ETHNO Rainwoods",
    "ETHNO Sitar like",
    "ETHNO Talking India",
    "ETHNO Glass Guitar",
    "FX Atari 2600 Computer",
    "FX Mad photons",
    "FX Mad Physical Model",
    "FX Spaceinvaders",
    "FX Rattle",
    "FX Warp",
    "FX Sunshine Reggae",
};

struct FactoryProgram {
  VstInt32 number;
  std::array<float, 28> values;
};

// Six programs whose every value is published, ten parameters to a row.
// clang-format off
const FactoryProgram kPublished[] = {
    {0, {0, 0.5f, 0.1222f, 0.1033f, 0.4193f, 1, 0.3032f, 0.1791f, 0, 0,
          0, 0, 0.3333f, 0.3535f, 0.5538f, 1, 0.8609f, 0.3621f, 0.5947f, 0.3333f,
          0, 0.1455f, 0.4239f, 0, 0.5f, 0.3649f, 1, 0}},
    {21, {0.8333f, 0.5f, 0.1444f, 0.4712f, 0.7458f, 1, 0.1623f, 0.5591f, 1, 0,
          0, 0, 0, 0.2813f, 1, 0, 1, 0.4638f, 0, 0.6667f,
          0, 0.1455f, 0.4239f, 0, 0, 0, 0, 0}},
    {28, {0.6667f, 0.5f, 0.2389f, 0.7715f, 0.778f, 1, 0.4668f, 0.23f, 1, 0,
          0, 0, 0, 0.6983f, 0.4662f, 0, 1, 1, 0.4231f, 1,
          0, 0.1455f, 0.4239f, 0, 0, 0, 0, 0}},
    {34, {0.1667f, 0, 0.7111f, 0.5779f, 0.7163f, 0, 0.7813f, 0.4016f, 1, 0,
          0, 0, 0, 0.7754f, 0, 0, 0.6267f, 0.5219f, 0.6667f, 0,
          1, 0, 0, 0, 0.6f, 0.4829f, 0, 0}},
    {46, {0.5f, 1, 0.3722f, 0.7428f, 0.5324f, 1, 0.9611f, 0.2869f, 1, 0,
          0, 0, 0.3333f, 0.7324f, 0.5235f, 0.5275f, 0.4373f, 0.5073f, 0.2843f, 1,
          1, 0.9765f, 0.0724f, 0, 1, 0.1687f, 0, 0}},
    {59, {0, 0, 0.6167f, 1, 0.5088f, 0, 1, 1, 1, 0,
          0, 0, 0.3333f, 1, 0.5843f, 1, 0.6379f, 0.5068f, 0.5683f, 0,
          0.2f, 1, 1, 0, 1, 0.7768f, 0, 0}},
};
// clang-format on

class Programs : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = startVorlak();
    ASSERT_NE(plugin, nullptr);
  }
  std::unique_ptr<host::Plugin> plugin;
};

TEST_F(Programs, ANewInstanceStartsOnPowerMetal) {
  EXPECT_EQ(plugin->program(), 0);
  EXPECT_EQ(plugin->programName(), "POWER Metal");
  EXPECT_EQ(plugin->parameter(20), 0.0f);
  EXPECT_EQ(plugin->parameterDisplay(20), "Dry");
}

TEST_F(Programs, FactoryNamesInOrder) {
  for (VstInt32 i = 0; i < 64; ++i) {
    const host::TextProbe probe = plugin->probeText(effGetProgramNameIndexed, i);
    EXPECT_EQ(probe.answer, 1) << "program " << i;
    EXPECT_EQ(probe.text, kFactoryNames[i]) << "program " << i;
    EXPECT_TRUE(probe.terminated) << "program " << i;
    EXPECT_LE(probe.bytesWritten, 24) << "program " << i;
  }
}

TEST_F(Programs, IndexedNameIgnoresTheCategory) {
  for (VstIntPtr category : {0, 1, 5, -1, 1000}) {
    const host::TextProbe probe = plugin->probeText(effGetProgramNameIndexed, 63, category);
    EXPECT_EQ(probe.answer, 1) << "category " << category;
    EXPECT_EQ(probe.text, "FX Sunshine Reggae") << "category " << category;
  }
}

TEST_F(Programs, PublishedProgramsHaveTheirValues) {
  for (const FactoryProgram& program : kPublished) {
    plugin->setProgram(program.number);
    ASSERT_EQ(plugin->program(), program.number);
    EXPECT_EQ(plugin->programName(), kFactoryNames[program.number]);
    for (VstInt32 i = 0; i < 28; ++i) {
      EXPECT_EQ(plugin->parameter(i), program.values[static_cast<std::size_t>(i)])
          << "program " << program.number << " parameter " << i;
    }
  }
}

TEST_F(Programs, EveryFactoryValueIsInRangeAndReservedSlotsAreZero) {
  for (VstInt32 p = 0; p < 64; ++p) {
    plugin->setProgram(p);
    for (VstInt32 i = 0; i < 28; ++i) {
      const float value = plugin->parameter(i);
      EXPECT_GE(value, 0.0f) << "program " << p << " parameter " << i;
      EXPECT_LE(value, 1.0f) << "program " << p << " parameter " << i;
    }
    for (VstInt32 i : {10, 11, 23, 27}) {
      EXPECT_EQ(plugin->parameter(i), 0.0f) << "program " << p << " parameter " << i;
    }
  }
}

TEST_F(Programs, SelectingAProgramAppliesItsValues) {
  EXPECT_EQ(plugin->dispatch(effSetProgram, 0, 21), 0);
  EXPECT_EQ(plugin->program(), 21);
  EXPECT_EQ(plugin->programName(), "BASS Ebass");
  EXPECT_EQ(plugin->parameterDisplay(0), "Ebass");
  EXPECT_EQ(plugin->parameterDisplay(19), "Combo");
  EXPECT_EQ(plugin->parameterDisplay(24), "None");
}

TEST_F(Programs, RenamingChangesOnlyTheCurrentProgram) {
  plugin->setProgramName("My Riff");
  EXPECT_EQ(plugin->programName(), "My Riff");
  EXPECT_EQ(plugin->programNameIndexed(0), "My Riff");
  EXPECT_EQ(plugin->programNameIndexed(1), "POWER Chorused");
  const std::string longest(23, 'n');
  plugin->setProgram(7);
  plugin->setProgramName(longest);
  EXPECT_EQ(plugin->programName(), longest);
  EXPECT_EQ(plugin->programNameIndexed(7), longest);
  EXPECT_EQ(plugin->programNameIndexed(0), "My Riff");
}

TEST_F(Programs, EditsStayWithTheirProgram) {
  plugin->setParameter(13, 0.75f);
  plugin->setProgram(1);
  EXPECT_NE(plugin->parameter(13), 0.75f);
  const float programOneDrive = plugin->parameter(13);
  plugin->setProgram(0);
  EXPECT_EQ(plugin->parameter(13), 0.75f);
  EXPECT_EQ(plugin->parameterDisplay(13), "75%");
  plugin->setProgram(1);
  EXPECT_EQ(plugin->parameter(13), programOneDrive);
}

TEST_F(Programs, ProgramNumbersOutsideTheBankAreIgnored) {
  plugin->setProgram(9);
  const float drive = plugin->parameter(13);
  for (VstIntPtr bad :
       {VstIntPtr{64}, VstIntPtr{-1}, VstIntPtr{65}, VstIntPtr{INT32_MAX}, VstIntPtr{INT32_MIN},
        VstIntPtr{1} << 40, VstIntPtr{64} + (VstIntPtr{1} << 32)}) {
    EXPECT_EQ(plugin->dispatch(effSetProgram, 0, bad), 0) << bad;
    EXPECT_EQ(plugin->program(), 9) << bad;
    EXPECT_EQ(plugin->programName(), "POWER Rock") << bad;
    EXPECT_EQ(plugin->parameter(13), drive) << bad;
  }
}

TEST_F(Programs, NoChunks) {
  void* chunk = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, &chunk), 0);
  EXPECT_EQ(plugin->dispatch(effGetChunk, 1, 0, &chunk), 0);
  EXPECT_EQ(plugin->effect()->flags & effFlagsProgramChunks, 0);
}

TEST_F(Programs, EachInstanceStartsFromTheFactoryBank) {
  plugin->setParameter(13, 0.9f);
  plugin->setProgramName("Changed");
  auto fresh = startVorlak();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->programName(), "POWER Metal");
  EXPECT_EQ(fresh->parameter(13), 0.3535f);
}

}  // namespace
}  // namespace vorlak::test
