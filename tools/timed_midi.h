// A short MIDI channel message at a time in seconds: what the MIDI file reader and the demo
// phrase produce and the render job places on frames.
#pragma once

#include <vector>

namespace vorlak::render {

struct TimedMidi {
  double seconds = 0.0;
  unsigned char bytes[3] = {0, 0, 0};
};

using MidiSequence = std::vector<TimedMidi>;

// A piece to render: its events in time order and where it ends, which for a MIDI file may
// be later than its last event (the end-of-track time), never earlier.
struct MidiSong {
  MidiSequence events;
  double endSeconds = 0.0;
};

}  // namespace vorlak::render
