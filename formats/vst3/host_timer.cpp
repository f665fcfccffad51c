#include "formats/vst3/host_timer.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vorlak::vst3 {
namespace {

#if defined(_WIN32)
// A thread timer's procedure is told only the timer's id: it finds its handler here. Written
// and read on the host's UI thread only; every instance's controller holds one slot, and each
// open view another.
struct TimerSlot {
  UINT_PTR id;
  TimerHandler* target;
};
TimerSlot timerSlots[1024];

void CALLBACK onWin32Timer(HWND, UINT, UINT_PTR id, DWORD) {
  for (TimerSlot& slot : timerSlots)
    if (slot.id == id && slot.target) slot.target->onTimer();
}
#endif

}  // namespace

bool HostTimer::start(TimerHandler& handler, Unknown* source, uint64_t milliseconds) {
  if (target) return true;
#if defined(_WIN32)
  (void)source;
  for (TimerSlot& slot : timerSlots) {
    if (slot.target) continue;
    win32Timer = SetTimer(nullptr, 0, static_cast<UINT>(milliseconds), onWin32Timer);
    if (!win32Timer) return false;
    slot = {win32Timer, &handler};
    target = &handler;
    return true;
  }
  return false;
#else
  void* found = nullptr;
  if (!source || source->queryInterface(RunLoop::iid.bytes, &found) != kResultOk || !found)
    return false;
  auto* offered = static_cast<RunLoop*>(found);
  if (offered->registerTimer(&handler, milliseconds) != kResultOk) {
    offered->release();
    return false;
  }
  loop = offered;
  target = &handler;
  return true;
#endif
}

void HostTimer::stop() {
  if (!target) return;
#if defined(_WIN32)
  KillTimer(nullptr, win32Timer);
  for (TimerSlot& slot : timerSlots)
    if (slot.id == win32Timer) slot = {0, nullptr};
  win32Timer = 0;
#else
  loop->unregisterTimer(target);
  loop->release();
  loop = nullptr;
#endif
  target = nullptr;
}

}  // namespace vorlak::vst3
