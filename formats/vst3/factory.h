// The module's one factory: one audio-module class, the instrument.
#pragma once

#include "formats/vst3/vst3.h"

namespace vorlak::vst3 {

// "KivoVorlakVST3" and a version byte pair: stable for as long as saved sessions should find it.
constexpr Uid kClassId = makeUid(0x4B69766F, 0x566F726C, 0x616B5653, 0x54330001);

PluginFactory3& moduleFactory();

}  // namespace vorlak::vst3
