// What hosts know of the LV2 plug-in by name: its URIs, and the port layout the description,
// the plug-in and its panel share. A session stores these; they never change meaning.
#pragma once

#include <cstdint>

#include "instrument/program.h"

namespace vorlak::lv2 {

// A domain we own, so that the URI stays ours and can one day answer with documentation.
#define VORLAK_LV2_URI "https://vorlak.kivo.audio/plugins/vorlak"

constexpr const char* kPluginUri = VORLAK_LV2_URI;
constexpr const char* kUiUri = VORLAK_LV2_URI "#ui";
// Factory program n is the preset kPresetUriBase followed by n in two digits.
constexpr const char* kPresetUriBase = VORLAK_LV2_URI "/presets/";
// The keys of the state the plug-in saves.
constexpr const char* kStateProgram = VORLAK_LV2_URI "#currentProgram";
constexpr const char* kStateNames = VORLAK_LV2_URI "#programNames";
constexpr const char* kStateValues = VORLAK_LV2_URI "#programValues";

// Control port n is parameter n; the event input and the two outputs follow.
constexpr uint32_t kEventsPort = kNumParameters;
constexpr uint32_t kLeftPort = kNumParameters + 1;
constexpr uint32_t kRightPort = kNumParameters + 2;

// Used when the host states no maximum block length.
constexpr int kDefaultMaxBlock = 8192;

}  // namespace vorlak::lv2
