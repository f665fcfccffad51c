// Note expression tuning: the host bends one note, by its id, over the range declared here.
#pragma once

#include "engine/midi_message.h"
#include "formats/vst3/vst3.h"

namespace vorlak::vst3 {

// Semitones either way; the type's own range is ten octaves, more than a string can take.
constexpr double kTuningRange = 48.0;

// The core's expression for a tuning event; false for any other event, for a note the host
// gave no id, and for a value that is not a number. Values past the range are held at it.
bool tuningExpression(const Event& event, int offset, NoteExpression& expression);

}  // namespace vorlak::vst3
