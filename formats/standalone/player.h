// The instrument as the audio callback of the program plays it, whatever drives the callback
// (JACK or ALSA): one period's MIDI queued into the core at its frames and the period rendered
// in one piece, as the plug-ins render a host's block. MIDI that comes from another thread (an
// ALSA sequencer port, the computer's keyboard) waits in a ring and plays at the start of the
// next period. Nothing here allocates, locks or calls the system once prepared.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/spsc_ring.h"
#include "instrument/adapter.h"

namespace vorlak::standalone {

// MIDI from a sequencer port's thread or the panel's; the newest is dropped when full.
using MidiRing = SpscRing<MidiMessage, 1024>;

class Player final : private RenderListener {
 public:
  Player() = default;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Before the audio starts (the render scratch is made for maxFrames; a longer period is
  // rendered in pieces without allocating): false for a rate the core refuses.
  bool prepare(float rate, int maxFrames);

  // Audio thread. forEachEvent(add) calls add(frame, bytes, size) for each MIDI event of the
  // period, in order.
  template <class ForEachEvent>
  void renderPeriod(ForEachEvent&& forEachEvent, float* left, float* right, int frames) {
    const int last = frames > 0 ? frames - 1 : 0;
    MidiBatch batch(core);
    forEachEvent([&](int frame, const uint8_t* bytes, size_t size) {
      // Running status and system messages mean nothing to the engine.
      if (size == 0 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
      batch.add({frame < 0      ? 0
                 : frame > last ? last
                                : frame,
                 bytes[0], static_cast<uint8_t>(size > 1 ? bytes[1] : 0),
                 static_cast<uint8_t>(size > 2 ? bytes[2] : 0)});
    });
    MidiMessage message;
    for (MidiRing* ring : {&device, &keyboard})
      while (ring->pop(message)) batch.add({0, message.status, message.data1, message.data2});
    batch.flush();
    core.render(left, right, frames, true, Transport{120.0, false}, *this);
  }

  // The MIDI of a sequencer port's thread, and of the panel's thread (the computer's keys).
  MidiRing& deviceInput() { return device; }
  MidiRing& keyboardInput() { return keyboard; }

  // Panel's thread: true once after a MIDI program change replaced the values.
  bool takeProgramChange() { return programChanged.exchange(false); }

  InstrumentCore& instrument() { return core; }

 private:
  void programChange(int program) override;
  void activityChanged(bool) override {}

  InstrumentCore core;
  MidiRing device;
  MidiRing keyboard;
  std::atomic<bool> programChanged{false};
};

}  // namespace vorlak::standalone
