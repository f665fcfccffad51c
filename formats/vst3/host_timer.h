// A call every few milliseconds on the host's UI thread, where the controller may call the
// host back. On Linux it is a timer of the host's run loop, asked of whatever the host offers
// one through (the view's frame, the component handler, the host's context); Windows hosts
// give no run loop, so there it is a thread timer of the thread that starts it, which is the
// host's UI thread when the host keeps to the interface's threading.
#pragma once

#include <cstdint>

#include "formats/vst3/vst3.h"

namespace vorlak::vst3 {

class HostTimer {
 public:
  HostTimer() = default;
  ~HostTimer() { stop(); }
  HostTimer(const HostTimer&) = delete;
  HostTimer& operator=(const HostTimer&) = delete;

  // Calls target.onTimer every period until stop; false when source offers no run loop (Linux)
  // or the system has no timer left. A running timer is left as it is.
  bool start(TimerHandler& target, Unknown* source, uint64_t milliseconds);
  void stop();
  bool running() const { return target != nullptr; }
  // The run loop the timer runs on, for watching descriptors; null on Windows.
  RunLoop* runLoop() const { return loop; }

 private:
  TimerHandler* target = nullptr;
  RunLoop* loop = nullptr;
  uintptr_t win32Timer = 0;
};

}  // namespace vorlak::vst3
