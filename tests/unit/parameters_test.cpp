#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "instrument/parameters.h"
#include "tests/unit/test_host.h"

namespace vorlak {
namespace {

using namespace testhost;

std::string display(AEffect* e, int index) {
  char text[64];
  std::memset(text, 'x', sizeof text);
  e->dispatcher(e, effGetParamDisplay, index, 0, text, 0.0f);
  return text;
}

std::string programName(AEffect* e) {
  char text[256];
  std::memset(text, 'x', sizeof text);
  e->dispatcher(e, effGetProgramName, 0, 0, text, 0.0f);
  return text;
}

TEST(ParameterDisplay, TruncatesPercentagesAndDecodesOptionEdges) {
  AEffect* e = makeEffect();
  struct Case {
    int index;
    float value;
    const char* shown;
  };
  const Case cases[] = {
      {kDrive, 0.29f, "28%"},          {kDrive, 0.0f, "0%"},
      {kTone, 0.5f, "50%"},            {kTone, 1.0f, "100%"},
      {kFx, 0.5f, "AMP:Harmonizer"},   {kFx, 1.0f, "MST:Multitap"},
      {kFx, 0.0667f, "AMP:Phaser"},    {kStrings, 0.5f, "6String3"},
      {kCoils, 0.5f, "Single"},        {kCabType, 0.3333f, "British"},
      {kAid, 0.25f, "AutoChords"},     {kAid, 0.5f, "PwrChords"},
      {kLatch, 0.5f, "50%"},           {kLatch, 0.75f, "75%"},
      // The nearest float to 0.51 lies just below it, so it truncates to 50.
      {kLatch, 0.51f, "50%"},
      {kGlissandoSrc, 0.5f, "PitchBend"}, {kGlissandoSrc, 0.51f, "Modwheel"},
  };
  for (const Case& c : cases) {
    e->setParameter(e, c.index, c.value);
    EXPECT_EQ(display(e, c.index), c.shown) << c.index << " at " << c.value;
  }

  char text[64];
  for (int index = 0; index < kNumParameters; ++index) {
    std::memset(text, 'x', sizeof text);
    e->dispatcher(e, effGetParamLabel, index, 0, text, 0.0f);
    EXPECT_STREQ(text, "") << index;
  }
  for (int reserved : {10, 11, 23}) {
    e->setParameter(e, reserved, 0.42f);
    EXPECT_EQ(display(e, reserved), "");
    std::memset(text, 'x', sizeof text);
    e->dispatcher(e, effGetParamName, reserved, 0, text, 0.0f);
    EXPECT_EQ(std::string(text), "Reserved " + std::to_string(reserved));
    EXPECT_EQ(e->getParameter(e, reserved), 0.42f);
    EXPECT_EQ(liveValueOf(e, reserved), 0.42f);
  }
  closeEffect(e);
}

TEST(ParameterDisplay, EveryWrittenOptionDecodesBackToItself) {
  struct OptionParameter {
    int index;
    std::vector<const char*> names;
  };
  const OptionParameter parameters[] = {
      {kStrings, {"Noise", "6String1", "6String2", "6String3", "Slap", "Ebass", "Fretless"}},
      {kCoils, {"None", "Single", "Double"}},
      {kAmpType, {"Dry", "Tube", "EQ", "Bandpass"}},
      {kCabType, {"Dry", "British", "Combo", "StaX"}},
      {kFx, {"Dry", "AMP:Phaser", "AMP:Tremolo", "AMP:WahWah", "AMP:WahWah LFO", "AMP:Ringmod",
             "AMP:Fuzz Box", "AMP:Harmonizer", "AMP:Talkbox", "MST:Chorus", "MST:Flanger",
             "MST:Phaser", "MST:Leslie", "MST:Tremolo", "MST:Dub Delay", "MST:Multitap"}},
      {kAid, {"None", "AutoChords", "PwrChords", "Strumming", "Solo fixed", "Solo dynamic"}},
      {kGlissandoSrc, {"PitchBend", "Modwheel"}},
  };
  AEffect* e = makeEffect();
  for (const OptionParameter& p : parameters) {
    const int n = static_cast<int>(p.names.size());
    for (int k = 0; k < n; ++k) {
      const float exact = static_cast<float>(k) / static_cast<float>(n - 1);
      const float fourPlaces = static_cast<float>(std::round(10000.0 * k / (n - 1)) / 10000.0);
      for (float value : {exact, fourPlaces}) {
        e->setParameter(e, p.index, value);
        EXPECT_EQ(display(e, p.index), p.names[k]) << p.index << " at " << value;
      }
    }
  }
  closeEffect(e);
}

TEST(ParameterStore, LatchOwnsBitOneAndValuesAreClampedOrIgnored) {
  AEffect* e = makeEffect();
  startUp(e, 44100.0f, 256);
  const Engine& engine = engineOf(e);

  sendMidi(e, {{0, 0xB0, 64, 127}});
  Stereo out(256);
  e->processReplacing(e, nullptr, out.channels, 256);
  ASSERT_EQ(engine.latchFlags, kLatchPedal | kLatchParameter);
  e->setParameter(e, kLatch, 0.5f);
  EXPECT_EQ(engine.latchFlags, kLatchPedal);
  e->setParameter(e, kLatch, 0.51f);
  EXPECT_EQ(engine.latchFlags, kLatchPedal | kLatchParameter);
  sendMidi(e, {{0, 0xB0, 64, 0}});
  e->processReplacing(e, nullptr, out.channels, 256);
  EXPECT_EQ(engine.latchFlags, kLatchParameter);
  e->setParameter(e, kLatch, 0.0f);
  EXPECT_EQ(engine.latchFlags, 0);

  e->setParameter(e, kTone, 0.7f);
  EXPECT_EQ(e->getParameter(e, kTone), 0.7f);
  EXPECT_EQ(liveValueOf(e, kTone), 0.7f);
  e->setParameter(e, kTone, 1.5f);
  EXPECT_EQ(e->getParameter(e, kTone), 1.0f);
  EXPECT_EQ(liveValueOf(e, kTone), 1.0f);
  e->setParameter(e, kFx, -2.0f);
  EXPECT_EQ(e->getParameter(e, kFx), 0.0f);
  EXPECT_EQ(liveValueOf(e, kFx), 0.0f);

  e->setParameter(e, kDrive, 0.3f);
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
    e->setParameter(e, kDrive, bad);
    EXPECT_EQ(e->getParameter(e, kDrive), 0.3f);
    EXPECT_EQ(liveValueOf(e, kDrive), 0.3f);
  }
  closeEffect(e);
}

TEST(ParameterStore, AutomationReachesTheHostOnceAfterTheValueIsStored) {
  AEffect* e = makeEffect();
  auto* base = static_cast<EffectBase*>(e->object);
  host().count = 0;
  base->setParameterAutomated(kDrive, 0.25f);
  base->setParameterAutomated(kFxPar1, 0.75f);
  ASSERT_EQ(host().count, 2);
  const int indexes[] = {kDrive, kFxPar1};
  const float values[] = {0.25f, 0.75f};
  for (int i = 0; i < 2; ++i) {
    const HostCall& call = host().calls[i];
    EXPECT_EQ(call.effect, e);
    EXPECT_EQ(call.opcode, audioMasterAutomate);
    EXPECT_EQ(call.index, indexes[i]);
    EXPECT_EQ(call.value, 0);
    EXPECT_EQ(call.opt, values[i]);
    EXPECT_EQ(call.parameterSeen, values[i]) << "getParameter inside the call";
  }
  closeEffect(e);
}

TEST(ProgramBank, EditsStayWithTheirProgramAndNamesFitTheRecord) {
  AEffect* e = makeEffect();
  const Engine& engine = engineOf(e);
  auto setProgram = [&](int n) { e->dispatcher(e, effSetProgram, 0, n, nullptr, 0.0f); };

  e->setParameter(e, kDrive, 0.77f);
  setProgram(1);
  for (int i = 0; i < kNumParameters; ++i)
    EXPECT_EQ(liveValueOf(e, i), kFactoryPrograms[1].values[i]) << i;
  setProgram(0);
  EXPECT_EQ(e->getParameter(e, kDrive), 0.77f);
  EXPECT_EQ(liveValueOf(e, kDrive), 0.77f);
  EXPECT_EQ(engine.latchFlags, kLatchParameter);

  setProgram(21);
  EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 21);
  EXPECT_EQ(display(e, kStrings), "Ebass");
  EXPECT_EQ(engine.latchFlags, 0);
  EXPECT_EQ(programName(e), "BASS Ebass");

  char name[] = "My Ebass";
  e->dispatcher(e, effSetProgramName, 0, 0, name, 0.0f);
  EXPECT_EQ(programName(e), "My Ebass");
  const std::string longName(100, 'L');
  e->dispatcher(e, effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()), 0.0f);
  EXPECT_EQ(programName(e), std::string(23, 'L'));

  char other[256];
  EXPECT_EQ(e->dispatcher(e, effGetProgramNameIndexed, 22, 0, other, 0.0f), 1);
  EXPECT_STREQ(other, "BASS Ebass2");
  // The values follow the name in the same record; a long name must not reach them.
  EXPECT_EQ(e->getParameter(e, kStrings), 0.8333f);
  EXPECT_EQ(e->getParameter(e, kCoils), 0.5f);
  closeEffect(e);
}

}  // namespace
}  // namespace vorlak
