// The factory programs as CLAP presets: a discovery factory whose one provider declares a
// location inside the plug-in and lists the 64 programs, each loaded by its number as key.
#pragma once

#include "formats/clap/clap_extensions.h"

namespace vorlak::clap {

extern const PresetDiscoveryFactory kPresetDiscoveryFactory;

// The program a load key names: its decimal number, 0 to 63, and nothing else; -1 otherwise.
int programOfKey(const char* key);

}  // namespace vorlak::clap
