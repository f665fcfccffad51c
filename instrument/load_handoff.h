// A load waiting for the audio thread: a whole bank, or one program made current (with the
// record it is to hold, for a preset). One slot, inline in the core, so that handing a load
// over allocates nothing; a newer load replaces one not yet taken.
//
// The slot moves free -> writing (the loading thread fills it) -> ready -> taking (the audio
// thread copies it out between blocks) -> free. The audio thread never waits: it takes a
// ready slot or leaves it for the next block. The loading thread waits only for a copy in
// progress or another thread's load being written, a few microseconds.
#pragma once

#include <atomic>

#include "common/relaxed.h"
#include "instrument/program.h"

namespace vorlak {

struct PendingLoad {
  enum class Kind { kBank, kProgram, kRecord };
  // Read by a thread that edits while the load waits, as the loading thread may replace it.
  Relaxed<Kind> kind = Kind::kProgram;
  Relaxed<int> current = 0;
  Program record{};                  // kRecord: what program current holds from now on
  Program programs[kNumPrograms]{};  // kBank: every program

  // What the load makes of program n; null where it leaves the bank's as it is.
  Program* recordOf(int n) {
    if (kind.load() == Kind::kBank) return &programs[n];
    if (kind.load() == Kind::kRecord && n == current.load()) return &record;
    return nullptr;
  }
  const Program* recordOf(int n) const { return const_cast<PendingLoad*>(this)->recordOf(n); }
};

class LoadHandoff {
 public:
  // The slot for the loading thread to fill; held until publish(). Two threads loading at
  // once take turns.
  PendingLoad& claim() {
    for (;;) {
      int seen = stage.load(std::memory_order_acquire);
      if (seen == kTaking || seen == kWriting) continue;
      if (stage.compare_exchange_weak(seen, kWriting, std::memory_order_acquire)) return slot;
    }
  }
  // The published load taken back to be amended, then published again; null when it has been
  // applied already.
  PendingLoad* reclaim() {
    for (;;) {
      int seen = stage.load(std::memory_order_acquire);
      if (seen == kTaking || seen == kWriting) continue;
      if (seen != kReady) return nullptr;
      if (stage.compare_exchange_weak(seen, kWriting, std::memory_order_acquire)) return &slot;
    }
  }
  void publish() { stage.store(kReady, std::memory_order_release); }

  // For the audio thread: the load to copy out, or null; finish() after copying.
  const PendingLoad* take() {
    int ready = kReady;
    return stage.compare_exchange_strong(ready, kTaking, std::memory_order_acquire) ? &slot
                                                                                    : nullptr;
  }
  void finish() { stage.store(kFree, std::memory_order_release); }

  // Whether a load still waits once a copy in progress has finished, for an edit written into
  // it: if not, the edit must be applied as well.
  bool stillWaiting() const {
    int seen;
    while ((seen = stage.load(std::memory_order_acquire)) == kTaking) {
    }
    return seen == kReady;
  }

  // A load published and not yet applied: what the loading thread reads back in the meantime.
  const PendingLoad* waiting() const {
    const int seen = stage.load(std::memory_order_acquire);
    return seen == kReady || seen == kTaking ? &slot : nullptr;
  }

 private:
  enum : int { kFree, kWriting, kReady, kTaking };
  std::atomic<int> stage{kFree};
  PendingLoad slot;
};

}  // namespace vorlak
