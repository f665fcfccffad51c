#include "formats/lv2/ui/panel_window.h"

#include <X11/Xlib.h>

#include <algorithm>

#include "editor/platform/x11/x11_errors.h"
#include "editor/platform/x11/x11_keys.h"
#include "editor/toolkit/key_stroke.h"

namespace vorlak::lv2 {

std::unique_ptr<PanelWindow> PanelWindow::create(unsigned long parent, int width, int height) {
  if (!parent) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  std::unique_ptr<PanelWindow> self(new PanelWindow);
  self->display = display;
  X11ErrorTrap trap(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // the panel covers all of it
  attributes.event_mask = KeyPressMask | StructureNotifyMask;
  self->window =
      XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(std::max(width, 1)),
                    static_cast<unsigned>(std::max(height, 1)), 0, CopyFromParent, InputOutput,
                    CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
  XMapWindow(display, self->window);
  if (trap.failed()) {
    self->window = 0;  // nothing was made: there is nothing to destroy
    return nullptr;
  }
  return self;
}

void PanelWindow::resize(int width, int height) {
  if (!display || !window || gone) return;
  X11ErrorTrap trap(display);
  XResizeWindow(display, window, static_cast<unsigned>(std::max(width, 1)),
                static_cast<unsigned>(std::max(height, 1)));
  XFlush(display);
}

PanelWindow::~PanelWindow() {
  if (!display) return;
  {
    X11ErrorTrap trap(display);
    if (window && !gone) XDestroyWindow(display, window);
  }
  XCloseDisplay(display);
}

uint8_t PanelWindow::nextKey() {
  while (!gone && XPending(display)) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == DestroyNotify && event.xdestroywindow.window == window) {
      gone = true;
    } else if (event.type == KeyPress) {
      if (const uint8_t key = virtualKeyOf(XLookupKeysym(&event.xkey, 0))) return key;
    }
  }
  return 0;
}

}  // namespace vorlak::lv2
