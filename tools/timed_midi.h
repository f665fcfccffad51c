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

}  // namespace vorlak::render
