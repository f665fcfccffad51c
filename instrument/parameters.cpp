#include "instrument/parameters.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <charconv>
#include <cstring>

#include "common/text.h"

namespace vorlak {
namespace {

enum class Display { kNone, kPercent, kOption, kGlissando };

struct OptionList {
  int count;
  const char* const* names;
};

constexpr const char* kStringNames[] = {"Noise", "6String1", "6String2", "6String3",
                                        "Slap",  "Ebass",    "Fretless"};
constexpr const char* kCoilNames[] = {"None", "Single", "Double"};
constexpr const char* kAmpNames[] = {"Dry", "Tube", "EQ", "Bandpass"};
constexpr const char* kCabNames[] = {"Dry", "British", "Combo", "StaX"};
constexpr const char* kFxNames[] = {
    "Dry",         "AMP:Phaser",   "AMP:Tremolo",    "AMP:WahWah",  "AMP:WahWah LFO",
    "AMP:Ringmod", "AMP:Fuzz Box", "AMP:Harmonizer", "AMP:Talkbox", "MST:Chorus",
    "MST:Flanger", "MST:Phaser",   "MST:Leslie",     "MST:Tremolo", "MST:Dub Delay",
    "MST:Multitap"};
constexpr const char* kAidNames[] = {"None",      "AutoChords", "PwrChords",
                                     "Strumming", "Solo fixed", "Solo dynamic"};
constexpr const char* kLatchNames[] = {"off", "on"};
constexpr const char* kGlissandoNames[] = {"PitchBend", "Modwheel"};

template <int N>
constexpr OptionList list(const char* const (&names)[N]) {
  return {N, names};
}

struct ParameterInfo {
  const char* name;
  Display display;
  OptionList options;
};

// "Latch" is shown as a percentage but decodes as a two-way switch. The reserved slots have a
// name too, as hosts list every parameter, hidden or not; they have no display.
constexpr ParameterInfo kParameters[kNumParameters] = {
    {"Strings", Display::kOption, list(kStringNames)},
    {"Coils", Display::kOption, list(kCoilNames)},
    {"Pickup pos", Display::kPercent, {}},
    {"Tone", Display::kPercent, {}},
    {"Slap level", Display::kPercent, {}},
    {"Fret level", Display::kPercent, {}},
    {"Harmonic", Display::kPercent, {}},
    {"Damp", Display::kPercent, {}},
    {"Vel VScale", Display::kPercent, {}},
    {"Vel DScale", Display::kPercent, {}},
    {"Reserved 10", Display::kNone, {}},
    {"Reserved 11", Display::kNone, {}},
    {"Amp type", Display::kOption, list(kAmpNames)},
    {"Drive", Display::kPercent, {}},
    {"Presence", Display::kPercent, {}},
    {"Feedback", Display::kPercent, {}},
    {"EQ low", Display::kPercent, {}},
    {"EQ mid", Display::kPercent, {}},
    {"EQ high", Display::kPercent, {}},
    {"Cab type", Display::kOption, list(kCabNames)},
    {"FX", Display::kOption, list(kFxNames)},
    {"FX par1", Display::kPercent, {}},
    {"FX par2", Display::kPercent, {}},
    {"Reserved 23", Display::kNone, {}},
    {"Aid", Display::kOption, list(kAidNames)},
    {"Timing", Display::kPercent, {}},
    {"Latch", Display::kPercent, list(kLatchNames)},
    {"Glissando src", Display::kGlissando, list(kGlissandoNames)},
};

bool validIndex(int index) { return index >= 0 && index < kNumParameters; }

}  // namespace

// In single precision n - 0.01 is the nearest float to the decimal (6.99f for 7, 15.99f for
// 16 and so on), so every k / (n - 1) decodes back to k.
float optionMultiplier(int count) { return static_cast<float>(count) - 0.01f; }

int optionCount(int index) { return validIndex(index) ? kParameters[index].options.count : 0; }

int optionIndex(int index, float value) {
  const int count = optionCount(index);
  if (count == 0) return 0;
  const float product = value * optionMultiplier(count);
  if (!(product >= 0.0f)) return 0;
  if (product >= static_cast<float>(count - 1)) return count - 1;
  return static_cast<int>(product);
}

const char* optionName(int index, int option) {
  if (option < 0 || option >= optionCount(index)) return "";
  return kParameters[index].options.names[option];
}

const char* parameterName(int index) { return validIndex(index) ? kParameters[index].name : ""; }

bool isReservedParameter(int index) {
  return validIndex(index) && kParameters[index].display == Display::kNone;
}

void formatParameterDisplay(int index, float value, char* text) {
  text[0] = 0;
  if (!validIndex(index)) return;
  switch (kParameters[index].display) {
    case Display::kNone:
      return;
    case Display::kPercent: {
      // The product is taken in double: in float, 0.29 x 100 rounds up to exactly 29.
      const double percent = static_cast<double>(value) * 100.0;
      const int shown =
          std::isfinite(percent) && std::fabs(percent) < 1.0e6 ? static_cast<int>(percent) : 0;
      std::snprintf(text, kParameterTextSize, "%d%%", shown);
      return;
    }
    case Display::kOption:
    case Display::kGlissando:
      copyText(text, optionName(index, optionIndex(index, value)), kParameterTextSize);
      return;
  }
}

namespace {

bool sameName(const char* typed, size_t length, const char* name) {
  if (std::strlen(name) != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (std::tolower(static_cast<unsigned char>(typed[i])) !=
        std::tolower(static_cast<unsigned char>(name[i])))
      return false;
  return true;
}

// The smallest value that displays as percent: in single precision percent / 100 can fall a
// hair below it and show one less.
float percentValue(double percent) {
  const int shown = static_cast<int>(std::clamp(percent, 0.0, 100.0));
  float value = static_cast<float>(shown / 100.0);
  while (value < 1.0f && static_cast<int>(static_cast<double>(value) * 100.0) < shown)
    value = std::nextafter(value, 2.0f);
  return value;
}

}  // namespace

bool parseParameterDisplay(int index, const char* text, float& value) {
  if (!validIndex(index) || !text || kParameters[index].display == Display::kNone) return false;
  const char* begin = text;
  while (std::isspace(static_cast<unsigned char>(*begin))) ++begin;
  size_t length = std::strlen(begin);
  while (length > 0 && std::isspace(static_cast<unsigned char>(begin[length - 1]))) --length;

  const OptionList& options = kParameters[index].options;
  for (int k = 0; k < options.count; ++k) {
    if (sameName(begin, length, options.names[k])) {
      value = optionValue(index, k);
      return true;
    }
  }
  if (kParameters[index].display != Display::kPercent) return false;

  if (length > 0 && begin[length - 1] == '%') --length;
  // Read the same whatever locale the host has set.
  double percent = 0.0;
  const auto read = std::from_chars(begin, begin + length, percent);
  if (length == 0 || read.ec != std::errc() || read.ptr != begin + length ||
      !std::isfinite(percent))
    return false;
  value = percentValue(percent);
  return true;
}

Patch decodePatch(const float* v) {
  Patch p;
  p.strings = optionIndex(kStrings, v[kStrings]);
  p.coils = optionIndex(kCoils, v[kCoils]);
  p.pickupPos = v[kPickupPos];
  p.tone = v[kTone];
  p.slapLevel = v[kSlapLevel];
  p.fretLevel = v[kFretLevel];
  p.harmonic = v[kHarmonic];
  p.damp = v[kDamp];
  p.velVScale = v[kVelVScale];
  p.velDScale = v[kVelDScale];
  p.ampType = optionIndex(kAmpType, v[kAmpType]);
  p.drive = v[kDrive];
  p.presence = v[kPresence];
  p.feedback = v[kFeedback];
  p.eqLow = v[kEqLow];
  p.eqMid = v[kEqMid];
  p.eqHigh = v[kEqHigh];
  p.cabType = optionIndex(kCabType, v[kCabType]);
  p.fx = optionIndex(kFx, v[kFx]);
  p.fxPar1 = v[kFxPar1];
  p.fxPar2 = v[kFxPar2];
  p.aid = optionIndex(kAid, v[kAid]);
  p.timing = v[kTiming];
  p.glissandoSrc = optionIndex(kGlissandoSrc, v[kGlissandoSrc]);
  return p;
}

float optionValue(int index, int option) {
  const int count = optionCount(index);
  if (count < 2) return 0.0f;
  return static_cast<float>(option) * (1.0f / static_cast<float>(count - 1));
}

}  // namespace vorlak
