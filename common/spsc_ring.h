// Records from one thread to another without a lock: one writer, one reader, a fixed number of
// slots inside the ring. A full ring refuses the newest record rather than waiting, so neither
// side ever blocks the other.
#pragma once

#include <atomic>
#include <cstdint>

namespace vorlak {

template <class T, uint32_t Capacity>
class SpscRing {
  // The counters run on and wrap; a power of two keeps their slot the same across the wrap.
  static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0);

 public:
  // Writer only: false, and nothing written, when the reader has fallen a whole ring behind.
  bool push(const T& record) {
    const uint32_t at = written.load(std::memory_order_relaxed);
    if (at - read.load(std::memory_order_acquire) == Capacity) return false;
    slots[at % Capacity] = record;
    written.store(at + 1, std::memory_order_release);
    return true;
  }
  // Reader only: false when nothing waits.
  bool pop(T& record) {
    const uint32_t at = read.load(std::memory_order_relaxed);
    if (at == written.load(std::memory_order_acquire)) return false;
    record = slots[at % Capacity];
    read.store(at + 1, std::memory_order_release);
    return true;
  }

 private:
  T slots[Capacity];
  std::atomic<uint32_t> written{0};
  std::atomic<uint32_t> read{0};
};

}  // namespace vorlak
