#include "editor/platform/x11/x11_errors.h"

#include <mutex>

namespace vorlak {

namespace {

// Traps can nest (a menu inside a mouse loop) and several editors may be open at once; the
// process-wide handler is swapped in by the first trap and put back by the last.
struct TrapSlot {
  Display* display = nullptr;
  int errors = 0;
  bool windowGone = false;
};

constexpr int kSlots = 64;
std::mutex lock;
TrapSlot slots[kSlots];
int depth = 0;
XErrorHandler previous = nullptr;

int handleError(Display* display, XErrorEvent* error) {
  XErrorHandler next;
  {
    std::lock_guard<std::mutex> guard(lock);
    bool ours = false;
    for (TrapSlot& s : slots) {
      if (s.display != display) continue;
      ours = true;
      ++s.errors;
      if (error->error_code == BadWindow || error->error_code == BadDrawable) s.windowGone = true;
    }
    if (ours) return 0;
    next = previous;
  }
  return next ? next(display, error) : 0;
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* d) : display(d), slot(-1) {
  std::lock_guard<std::mutex> guard(lock);
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].display) continue;
    slots[i] = {display, 0, false};
    slot = i;
    break;
  }
  if (depth++ == 0) previous = XSetErrorHandler(handleError);
}

X11ErrorTrap::~X11ErrorTrap() {
  XSync(display, False);
  std::lock_guard<std::mutex> guard(lock);
  if (slot >= 0) slots[slot] = {};
  if (--depth == 0) {
    // Leave alone a handler the host installed meanwhile.
    XErrorHandler current = XSetErrorHandler(previous);
    if (current != handleError) XSetErrorHandler(current);
    previous = nullptr;
  }
}

bool X11ErrorTrap::failed() {
  XSync(display, False);
  std::lock_guard<std::mutex> guard(lock);
  return slot >= 0 && slots[slot].errors > 0;
}

bool X11ErrorTrap::windowGone() {
  XSync(display, False);
  std::lock_guard<std::mutex> guard(lock);
  return slot >= 0 && slots[slot].windowGone;
}

}  // namespace vorlak
