// Parameters that changed behind the panel's back (a host's edit, a program change on the
// audio thread), for the panel's thread to show at its next idle: one bit a parameter, marked
// from any thread without waiting, taken whole.
#pragma once

#include <atomic>
#include <cstdint>

#include "instrument/program.h"

namespace vorlak {

class ChangedParameters {
  static_assert(kNumParameters <= 32);

 public:
  void mark(int index) {
    if (index >= 0 && index < kNumParameters) bits.fetch_or(1u << index, std::memory_order_relaxed);
  }
  void markAll() { bits.store((1u << kNumParameters) - 1, std::memory_order_relaxed); }
  // show(index) for each parameter marked since the last call.
  template <class Show>
  void take(Show&& show) {
    const uint32_t marked = bits.exchange(0, std::memory_order_relaxed);
    for (int i = 0; i < kNumParameters; ++i)
      if (marked & (1u << i)) show(i);
  }

 private:
  std::atomic<uint32_t> bits{0};
};

}  // namespace vorlak
