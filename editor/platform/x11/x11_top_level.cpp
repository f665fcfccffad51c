#include "editor/platform/x11/x11_top_level.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>

#include "editor/platform/x11/x11_keys.h"

namespace vorlak {

namespace {

uint8_t modifierBits(unsigned int state) {
  uint8_t bits = 0;
  if (state & ShiftMask) bits |= kModifierShift;
  if (state & Mod1Mask) bits |= kModifierAlternate;
  if (state & ControlMask) bits |= kModifierControl;
  return bits;
}

// The key as the editor's handlers take it: the unshifted character for the keys that print
// one (so that a held Shift or Control does not change which key it is), a virtual key for
// the arrows.
KeyStroke strokeOf(XKeyEvent& event) {
  const KeySym symbol = XLookupKeysym(&event, 0);
  KeyStroke key{0, virtualKeyOf(symbol), modifierBits(event.state)};
  if (!key.virt && symbol >= 0x20 && symbol < 0x7f) key.character = static_cast<int32_t>(symbol);
  return key;
}

}  // namespace

std::unique_ptr<X11TopLevel> X11TopLevel::create(const char* title, int width, int height) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  std::unique_ptr<X11TopLevel> self(new X11TopLevel);
  self->display = display;
  const int screen = DefaultScreen(display);
  width = std::max(width, 1);
  height = std::max(height, 1);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
  self->window =
      XCreateWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                    static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                    CWBackPixel | CWEventMask, &attributes);
  XStoreName(display, self->window, title);
  XClassHint classHint{const_cast<char*>("vorlak"), const_cast<char*>("Vorlak")};
  XSetClassHint(display, self->window, &classHint);
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XSetWMHints(display, self->window, &hints);
  self->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, self->window, &self->deleteWindow, 1);
  self->fixSize(width, height);
  // Held keys send presses only, so that a held note is not released and struck again.
  XkbSetDetectableAutoRepeat(display, True, nullptr);
  XMapWindow(display, self->window);
  // The panel's window is made on another connection: this one must exist by then.
  XSync(display, False);
  return self;
}

X11TopLevel::~X11TopLevel() {
  if (!display) return;
  if (window) XDestroyWindow(display, window);
  XCloseDisplay(display);
}

void* X11TopLevel::parent() { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

void X11TopLevel::fixSize(int width, int height) {
  XSizeHints* size = XAllocSizeHints();
  if (!size) return;
  size->flags = PMinSize | PMaxSize;
  size->min_width = size->max_width = width;
  size->min_height = size->max_height = height;
  XSetWMNormalHints(display, window, size);
  XFree(size);
}

void X11TopLevel::resize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  fixSize(width, height);
  XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(display, False);
}

void X11TopLevel::dispatchEvents(TopLevelEvents& events) {
  while (XPending(display)) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == KeyPress || event.type == KeyRelease) {
      events.onKey(strokeOf(event.xkey), event.type == KeyPress);
    } else if (event.type == ClientMessage &&
               static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
      events.onCloseRequest();
    } else if (event.type == DestroyNotify && event.xdestroywindow.window == window) {
      // Destroyed by another client (xkill, a window manager without the close protocol): the
      // program ends as if asked, and never names the dead window again.
      window = 0;
      events.onCloseRequest();
    }
  }
}

}  // namespace vorlak
