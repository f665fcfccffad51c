// What crosses between the panel's thread and the thread that talks to the host about
// parameters (the audio thread while processing, else the main thread in flush): the panel's
// gestures and values on their way to the host, one writer and one reader, and the other way
// the parameters that changed behind the panel's back. Neither side allocates or waits.
#pragma once

#include <atomic>
#include <cstdint>

#include "instrument/program.h"

namespace vorlak::clap {

struct PanelEdit {
  enum Kind : uint8_t { kBegin, kValue, kEnd };
  Kind kind;
  uint8_t index;
  float value;  // the core's value, 0 to 1
};

class PanelEdits {
 public:
  // False when the reader has fallen a whole ring behind: the edit is dropped (the core
  // already has the value; only the host's recording misses it).
  bool push(const PanelEdit& edit) {
    const uint32_t tail = written.load(std::memory_order_relaxed);
    if (tail - read.load(std::memory_order_acquire) == kCapacity) return false;
    ring[tail % kCapacity] = edit;
    written.store(tail + 1, std::memory_order_release);
    return true;
  }
  bool pop(PanelEdit& edit) {
    const uint32_t head = read.load(std::memory_order_relaxed);
    if (head == written.load(std::memory_order_acquire)) return false;
    edit = ring[head % kCapacity];
    read.store(head + 1, std::memory_order_release);
    return true;
  }

  void markChanged(int index) {
    if (index >= 0 && index < kNumParameters)
      changed.fetch_or(1u << index, std::memory_order_relaxed);
  }
  void markAllChanged() { changed.store((1u << kNumParameters) - 1, std::memory_order_relaxed); }
  // The parameters marked since the last call, one bit each.
  uint32_t takeChanged() { return changed.exchange(0, std::memory_order_relaxed); }

 private:
  static constexpr uint32_t kCapacity = 256;
  PanelEdit ring[kCapacity];
  std::atomic<uint32_t> written{0}, read{0};
  std::atomic<uint32_t> changed{0};
};

}  // namespace vorlak::clap
