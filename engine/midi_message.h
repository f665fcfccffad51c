// A MIDI message as every plug-in format can deliver it: where in the coming block it falls
// and its three bytes. Each format converts its own event records into these.
#pragma once

#include <cstdint>

namespace vorlak {

struct MidiMessage {
  int32_t frame;  // offset into the next block the host renders
  uint8_t status;
  uint8_t data1;
  uint8_t data2;
  int8_t detune = 0;  // cents by which a host tunes this one note (-64..63); 0 when it cannot
};

}  // namespace vorlak
