// The phrase vorlak-render plays when it is given no MIDI file: eight bars in E minor with a
// single-note line, strummed chords and a bass line, timed at the host tempo.
#pragma once

#include "tools/timed_midi.h"

namespace vorlak::render {

MidiSequence demoPhrase(double beatsPerMinute);

}  // namespace vorlak::render
