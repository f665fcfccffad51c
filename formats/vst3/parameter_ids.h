// The VST 3 parameter ids: the 28 parameters keep their indexes, then the program change, then
// the hidden parameters a host's MIDI is mapped to, which the processor turns back into MIDI.
#pragma once

#include <cstdint>

#include "instrument/program.h"

namespace vorlak::vst3 {

constexpr uint32_t kProgramId = kNumParameters;
constexpr uint32_t kPitchBendId = kProgramId + 1;
// The controllers the engine reads: modulation wheel, volume, expression, sustain pedal,
// and all sound off, reset all controllers and all notes off.
constexpr uint8_t kMappedControllers[] = {1, 7, 11, 64, 120, 121, 123};
constexpr int kMappedControllerCount = sizeof kMappedControllers;
constexpr uint32_t kFirstControllerId = kPitchBendId + 1;
constexpr int kParameterCount = static_cast<int>(kFirstControllerId) + kMappedControllerCount;

// The largest value of a 14-bit pitch bend and of a 7-bit controller.
constexpr double kBendSteps = 16383.0;
constexpr double kControllerSteps = 127.0;
constexpr double kProgramSteps = kNumPrograms - 1;

}  // namespace vorlak::vst3
