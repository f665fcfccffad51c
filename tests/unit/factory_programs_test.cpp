#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "instrument/parameters.h"
#include "instrument/program.h"

namespace vorlak {
namespace {

constexpr const char* kExpectedNames[kNumPrograms] = {
    "POWER Metal",         "POWER Chorused",        "POWER Dumb",
    "POWER Dire Straits",  "POWER Fuzzy Flange",    "POWER Heavy Phazor",
    "POWER Old Leslie",    "POWER Phaser Amp",      "POWER Rhythm Guitar",
    "POWER Rock",          "POWER Rock Taps",       "POWER Tremolo",
    "AUTO Natural",        "AUTO Chorus chords",    "AUTO Easy Wah",
    "AUTO Flanger Chords", "AUTO Leslie",           "AUTO Phaser Chords",
    "AUTO Rolling",        "AUTO Rolling2",         "AUTO TalkBox",
    "BASS Ebass",          "BASS Ebass2",           "BASS Plug",
    "BASS Fretless",       "BASS Harmonizer",       "BASS Harmonizer2",
    "BASS Punch",          "BASS Slap",             "BASS Slap2",
    "BASS Slap3",          "BASS Slap Power",       "SINGLE TalkBox",
    "SINGLE Chorus",       "SINGLE Funky",          "SINGLE PhaserFB",
    "SINGLE Ticks",        "SINGLE Unplugged",      "SINGLE WahWah1",
    "SINGLE WahWah2",      "SINGLE Wild West Glide", "DIST Dire_Strait",
    "DIST Metal",          "DIST Reeth",            "DIST Rhythm",
    "DIST Rock",           "DIST Sololead Glide",   "DIST Tremolo",
    "DIST WahWah",         "ELEKTRO Guitar 3000",   "ELEKTRO House Music",
    "ELEKTRO Jungle",      "ELEKTRO Pumpy Bass",    "ETHNO Rainwoods",
    "ETHNO Sitar like",    "ETHNO Talking India",   "ETHNO Glass Guitar",
    "FX Atari 2600 Computer", "FX Mad photons",     "FX Mad Physical Model",
    "FX Spaceinvaders",    "FX Rattle",             "FX Warp",
    "FX Sunshine Reggae",
};

// The engine decodes option k as trunc(value * multiplier) with a single-precision multiplier.
struct OptionParameter {
  int index;
  int count;
  float multiplier;
};

constexpr OptionParameter kOptionParameters[] = {
    {kStrings, 7, 6.99f}, {kCoils, 3, 2.99f}, {kAmpType, 4, 3.99f},
    {kCabType, 4, 3.99f}, {kFx, 16, 15.99f},  {kLatch, 2, 1.99f},
};

constexpr float kAidMultiplier = 5.99f;

float fourPlaces(double x) { return static_cast<float>(std::round(x * 10000.0) / 10000.0); }

int decode(float value, float multiplier) { return static_cast<int>(value * multiplier); }

int option(const Program& p, int index) {
  for (const auto& o : kOptionParameters)
    if (o.index == index) return decode(p.values[index], o.multiplier);
  return decode(p.values[index], kAidMultiplier);
}

bool contains(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < word.size() && std::tolower(static_cast<unsigned char>(text[i + j])) ==
                                  std::tolower(static_cast<unsigned char>(word[j])))
      ++j;
    if (j == word.size()) return true;
  }
  return false;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

TEST(FactoryPrograms, NamesFollowTheListAndAreZeroPadded) {
  for (int i = 0; i < kNumPrograms; ++i) {
    const Program& p = kFactoryPrograms[i];
    SCOPED_TRACE(i);
    const size_t length = strnlen(p.name, kProgramNameSize);
    ASSERT_LE(length, 23u);
    EXPECT_STREQ(p.name, kExpectedNames[i]);
    for (int b = static_cast<int>(length); b < kProgramNameSize; ++b) EXPECT_EQ(p.name[b], 0) << b;
  }
}

TEST(FactoryPrograms, ValuesAreFourPlaceDecimalsInRangeWithUnusedSlotsZero) {
  for (const Program& p : kFactoryPrograms) {
    SCOPED_TRACE(p.name);
    for (int k = 0; k < kNumParameters; ++k) {
      const float v = p.values[k];
      ASSERT_TRUE(std::isfinite(v)) << k;
      EXPECT_GE(v, 0.0f) << k;
      EXPECT_LE(v, 1.0f) << k;
      EXPECT_EQ(fourPlaces(v), v) << k;
    }
    for (int k : {kReserved10, kReserved11, kReserved23, kGlissandoSrc})
      EXPECT_EQ(p.values[k], 0.0f) << k;
  }
  for (int i = 0; i < kNumPrograms; ++i)
    for (int j = i + 1; j < kNumPrograms; ++j)
      EXPECT_NE(std::memcmp(kFactoryPrograms[i].values, kFactoryPrograms[j].values,
                            sizeof kFactoryPrograms[i].values),
                0)
          << kExpectedNames[i] << " and " << kExpectedNames[j] << " sound the same";
}

TEST(FactoryPrograms, OptionValuesAreCanonicalAndDecodeToTheirOption) {
  struct AidValue {
    float value;
    int option;
  };
  constexpr AidValue kAidValues[] = {{0.0f, 0}, {0.2f, 1}, {0.25f, 1}, {0.4f, 2},
                                     {0.5f, 2}, {0.6f, 3}, {0.8f, 4},  {1.0f, 5}};
  for (const Program& p : kFactoryPrograms) {
    SCOPED_TRACE(p.name);
    for (const auto& o : kOptionParameters) {
      const float v = p.values[o.index];
      const int k = decode(v, o.multiplier);
      ASSERT_LT(k, o.count) << o.index;
      EXPECT_EQ(v, fourPlaces(static_cast<double>(k) / (o.count - 1))) << o.index;
    }
    const float aid = p.values[kAid];
    bool listed = false;
    for (const auto& a : kAidValues) {
      if (a.value != aid) continue;
      listed = true;
      EXPECT_EQ(decode(aid, kAidMultiplier), a.option);
    }
    EXPECT_TRUE(listed) << "Aid " << aid;
  }
}

TEST(FactoryPrograms, DocumentedProgramsAreExact) {
  struct Documented {
    int index;
    std::array<float, kNumParameters> values;
  };
  const Documented kDocumented[] = {
      {0, {0, 0.5f, 0.1222f, 0.1033f, 0.4193f, 1, 0.3032f, 0.1791f, 0, 0, 0, 0, 0.3333f, 0.3535f,
           0.5538f, 1, 0.8609f, 0.3621f, 0.5947f, 0.3333f, 0, 0.1455f, 0.4239f, 0, 0.5f, 0.3649f,
           1, 0}},
      {21, {0.8333f, 0.5f, 0.1444f, 0.4712f, 0.7458f, 1, 0.1623f, 0.5591f, 1, 0, 0, 0, 0,
            0.2813f, 1, 0, 1, 0.4638f, 0, 0.6667f, 0, 0.1455f, 0.4239f, 0, 0, 0, 0, 0}},
      {28, {0.6667f, 0.5f, 0.2389f, 0.7715f, 0.778f, 1, 0.4668f, 0.23f, 1, 0, 0, 0, 0, 0.6983f,
            0.4662f, 0, 1, 1, 0.4231f, 1, 0, 0.1455f, 0.4239f, 0, 0, 0, 0, 0}},
      {34, {0.1667f, 0, 0.7111f, 0.5779f, 0.7163f, 0, 0.7813f, 0.4016f, 1, 0, 0, 0, 0, 0.7754f,
            0, 0, 0.6267f, 0.5219f, 0.6667f, 0, 1, 0, 0, 0, 0.6f, 0.4829f, 0, 0}},
      {46, {0.5f, 1, 0.3722f, 0.7428f, 0.5324f, 1, 0.9611f, 0.2869f, 1, 0, 0, 0, 0.3333f,
            0.7324f, 0.5235f, 0.5275f, 0.4373f, 0.5073f, 0.2843f, 1, 1, 0.9765f, 0.0724f, 0, 1,
            0.1687f, 0, 0}},
      {59, {0, 0, 0.6167f, 1, 0.5088f, 0, 1, 1, 1, 0, 0, 0, 0.3333f, 1, 0.5843f, 1, 0.6379f,
            0.5068f, 0.5683f, 0, 0.2f, 1, 1, 0, 1, 0.7768f, 0, 0}},
  };
  for (const auto& d : kDocumented) {
    const Program& p = kFactoryPrograms[d.index];
    SCOPED_TRACE(p.name);
    for (int k = 0; k < kNumParameters; ++k) EXPECT_EQ(p.values[k], d.values[k]) << k;
  }
}

TEST(FactoryPrograms, NamesAgreeWithWhatTheProgramsSelect) {
  struct EffectWord {
    const char* word;
    std::vector<int> effects;  // "FX" options that answer to the word
  };
  const EffectWord kEffectWords[] = {
      {"chorus", {9}},     {"flange", {10}},     {"phaser", {1, 11}}, {"phazor", {1, 11}},
      {"leslie", {12}},    {"tremolo", {2, 13}}, {"wah", {3, 4}},     {"talk", {8}},
      {"harmonizer", {7}}, {"taps", {15}},       {"fuzz", {6}},
  };
  for (const Program& p : kFactoryPrograms) {
    const std::string_view name = p.name;
    SCOPED_TRACE(p.name);
    const int strings = option(p, kStrings);
    const int aid = option(p, kAid);

    EXPECT_EQ(contains(name, "bass"), strings >= 4) << "Strings option " << strings;
    if (startsWith(name, "BASS") && contains(name, "Slap")) {
      EXPECT_EQ(strings, 4);
    }
    if (contains(name, "Fretless")) {
      EXPECT_EQ(strings, 6);
    }
    if (startsWith(name, "POWER ")) {
      EXPECT_EQ(p.values[kAid], 0.5f);
    }
    if (startsWith(name, "AUTO ")) {
      EXPECT_EQ(p.values[kAid], 0.25f);
    }
    if (contains(name, "Glide")) {
      EXPECT_TRUE(aid == 4 || aid == 5) << "Aid option " << aid;
    }
    if (startsWith(name, "DIST ")) {
      const int amp = option(p, kAmpType);
      EXPECT_TRUE(amp == 1 || amp == 2) << "Amp type option " << amp;
      EXPECT_GE(p.values[kDrive], 0.5f);
    }

    std::vector<int> allowed;
    for (const auto& w : kEffectWords)
      if (contains(name, w.word)) allowed.insert(allowed.end(), w.effects.begin(), w.effects.end());
    if (allowed.empty()) continue;
    const int fx = option(p, kFx);
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), fx), allowed.end()) << "FX option " << fx;
  }
}

}  // namespace
}  // namespace vorlak
