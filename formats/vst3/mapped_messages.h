// The MIDI messages the hidden mapped parameters of one block stand for, kept in order of
// offset so that the block's notes can be merged in.
#pragma once

#include "engine/midi_message.h"

namespace vorlak::vst3 {

// In order of offset (stable, so two points of one offset keep the host's order). Points past
// the capacity, far more bends and controller moves than a block holds from any host, are
// dropped rather than queued out of order.
struct MappedMessages {
  static constexpr int kCapacity = 256;
  MidiMessage messages[kCapacity];
  int count = 0;

  void insert(const MidiMessage& message) {
    if (count == kCapacity) return;
    int at = count++;
    while (at > 0 && messages[at - 1].frame > message.frame) {
      messages[at] = messages[at - 1];
      --at;
    }
    messages[at] = message;
  }
};

}  // namespace vorlak::vst3
