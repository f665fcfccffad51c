// MIDI from one thread to the audio thread without a lock: a single-producer, single-consumer
// ring of fixed capacity. When it is full the newest message is dropped, never waited for.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/midi_message.h"

namespace vorlak::standalone {

class MidiRing {
 public:
  // Producer only.
  bool push(const MidiMessage& message) {
    const uint32_t at = tail.load(std::memory_order_relaxed);
    if (at - head.load(std::memory_order_acquire) == kCapacity) return false;
    slots[at % kCapacity] = message;
    tail.store(at + 1, std::memory_order_release);
    return true;
  }
  // Consumer only.
  bool pop(MidiMessage& message) {
    const uint32_t at = head.load(std::memory_order_relaxed);
    if (at == tail.load(std::memory_order_acquire)) return false;
    message = slots[at % kCapacity];
    head.store(at + 1, std::memory_order_release);
    return true;
  }

 private:
  static constexpr uint32_t kCapacity = 1024;  // a power of two, so the counters may wrap
  MidiMessage slots[kCapacity];
  std::atomic<uint32_t> head{0};
  std::atomic<uint32_t> tail{0};
};

}  // namespace vorlak::standalone
