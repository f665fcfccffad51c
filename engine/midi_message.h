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
  int32_t noteId = -1;  // a note-on's id, by which the host's note expressions find it; -1 none
};

enum NoteExpressionKind : int32_t {
  kExpressionTuning = 0,  // semitones, -120..120, continuous
  kExpressionVolume = 1,  // a linear gain of the string's output, 0..4
};

// A change to one sounding note alone, addressed by the note id its note-on carried or, when
// the host gives none (-1), by key and channel, either of which may be -1 for any.
struct NoteExpression {
  int32_t frame;
  int32_t kind;  // NoteExpressionKind
  int32_t noteId;
  int16_t channel;
  int16_t key;
  float value;
};

}  // namespace vorlak
