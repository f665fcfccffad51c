// The phrase vorlak-render plays when it is given no MIDI file. As a tour it walks through the
// playing styles, selecting a factory program for each section with a MIDI program change: a
// power-chord riff, automatic chords from single keys, a strum, a gliding solo line, a bass
// line and a final chord. Without the tour (the user chose a program or settings) the same
// notes play in whatever program is current.
#pragma once

#include "tools/timed_midi.h"

namespace vorlak::render {

MidiSequence demoPhrase(double beatsPerMinute, bool tour);

}  // namespace vorlak::render
