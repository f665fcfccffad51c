#include "editor/platform/x11/x11_window.h"

#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <algorithm>
#include <bit>

#include "editor/platform/x11/x11_errors.h"
#include "editor/toolkit/surface.h"

namespace vorlak {

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | StructureNotifyMask;

// Scales an 8-bit channel into the bits of a mask.
unsigned long channel(uint32_t value, unsigned long mask) {
  if (!mask) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const unsigned long scaled =
      bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
  return (scaled << shift) & mask;
}

int buttonBits(unsigned int state) {
  int bits = 0;
  if (state & Button1Mask) bits |= kLeftButton;
  if (state & Button2Mask) bits |= kMiddleButton;
  if (state & Button3Mask) bits |= kRightButton;
  if (state & ShiftMask) bits |= kShift;
  if (state & ControlMask) bits |= kControl;
  if (state & Mod1Mask) bits |= kAlt;
  return bits;
}

Visual* chooseVisual(Display* display, int screen, int& depth) {
  Visual* standard = DefaultVisual(display, screen);
  if (standard->c_class == TrueColor && DefaultDepth(display, screen) >= 15) {
    depth = DefaultDepth(display, screen);
    return standard;
  }
  XVisualInfo info;
  if (XMatchVisualInfo(display, screen, 24, TrueColor, &info)) {
    depth = 24;
    return info.visual;
  }
  return nullptr;
}

}  // namespace

X11PixelFormat::X11PixelFormat(const Visual* visual, int depth)
    : redMask(visual->red_mask), greenMask(visual->green_mask), blueMask(visual->blue_mask) {
  // A 32-bit visual has alpha in the bits no colour uses; a window must be opaque.
  const unsigned long colours = redMask | greenMask | blueMask;
  alpha = depth == 32 ? 0xffffffffUL & ~colours : 0;
  direct = redMask == 0xff0000 && greenMask == 0xff00 && blueMask == 0xff;
}

unsigned long X11PixelFormat::pixel(uint32_t rgb) const {
  if (direct) return (rgb & 0xffffff) | alpha;
  return channel((rgb >> 16) & 0xff, redMask) | channel((rgb >> 8) & 0xff, greenMask) |
         channel(rgb & 0xff, blueMask) | alpha;
}

std::unique_ptr<X11Window> X11Window::create(unsigned long parent, int width, int height) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  std::unique_ptr<X11Window> self(new X11Window);
  self->display = display;
  width = std::max(width, 1);
  height = std::max(height, 1);
  bool ok = false;
  {
    X11ErrorTrap trap(display);
    XWindowAttributes parentAttributes;
    if (XGetWindowAttributes(display, parent, &parentAttributes) && !trap.failed()) {
      self->screen = XScreenNumberOfScreen(parentAttributes.screen);
      self->visual = chooseVisual(display, self->screen, self->depth);
    }
    if (self->visual) {
      if (self->visual == DefaultVisual(display, self->screen)) {
        self->colormap = DefaultColormap(display, self->screen);
      } else {
        self->colormap =
            XCreateColormap(display, RootWindow(display, self->screen), self->visual, AllocNone);
        self->ownColormap = true;
      }
      XSetWindowAttributes attributes{};
      attributes.background_pixmap = None;  // what we present is the whole picture
      attributes.border_pixel = 0;
      attributes.colormap = self->colormap;
      attributes.event_mask = kEventMask;
      self->window =
          XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width),
                        static_cast<unsigned>(height), 0, self->depth, InputOutput, self->visual,
                        CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
      self->gc = XCreateGC(display, self->window, 0, nullptr);
      XSetGraphicsExposures(display, self->gc, False);
      XMapWindow(display, self->window);
      self->image =
          XCreateImage(display, self->visual, static_cast<unsigned>(self->depth), ZPixmap, 0,
                       nullptr, static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
      ok = !trap.failed() && self->image;
    }
  }
  if (!ok) return nullptr;  // the destructor gives back whatever was made
  XImage* image = self->image;
  self->imageData.assign(static_cast<size_t>(image->bytes_per_line) * image->height, 0);
  image->data = self->imageData.data();
  // The pixels are written in this machine's order; Xlib swaps if the server wants another.
  image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  self->format = std::make_unique<X11PixelFormat>(self->visual, self->depth);
  if (image->bits_per_pixel != 32) self->format->direct = false;
  return self;
}

X11Window::~X11Window() { close(); }

int X11Window::eventDescriptor() const { return alive() ? ConnectionNumber(display) : -1; }

void X11Window::close() {
  if (!display) return;
  {
    X11ErrorTrap trap(display);
    for (Cursor& c : cursors)
      if (c) XFreeCursor(display, c);
    if (window && !gone) XDestroyWindow(display, window);
    if (gc) XFreeGC(display, gc);
    if (ownColormap) XFreeColormap(display, colormap);
  }
  if (image) {
    image->data = nullptr;  // ours, not Xlib's to free
    XDestroyImage(image);
    image = nullptr;
  }
  XCloseDisplay(display);
  display = nullptr;
  gone = true;
}

void X11Window::present(const Surface& backBuffer, const Rect& area) {
  if (!alive() || !image) return;
  const int left = std::max(area.left, 0), top = std::max(area.top, 0);
  const int right = std::min({area.right, image->width, backBuffer.width()});
  const int bottom = std::min({area.bottom, image->height, backBuffer.height()});
  if (left >= right || top >= bottom) return;
  for (int y = top; y < bottom; ++y) {
    const uint32_t* from = backBuffer.row(y);
    if (format->direct) {
      auto* to =
          reinterpret_cast<uint32_t*>(image->data + static_cast<size_t>(y) * image->bytes_per_line);
      const uint32_t alpha = static_cast<uint32_t>(format->alpha);
      for (int x = left; x < right; ++x) to[x] = (from[x] & 0xffffff) | alpha;
    } else {
      for (int x = left; x < right; ++x) XPutPixel(image, x, y, format->pixel(from[x]));
    }
  }
  X11ErrorTrap trap(display);
  XPutImage(display, window, gc, image, left, top, left, top, static_cast<unsigned>(right - left),
            static_cast<unsigned>(bottom - top));
  if (trap.windowGone()) gone = true;
}

bool X11Window::query(Point& where, unsigned int& mask) {
  if (!alive()) return false;
  X11ErrorTrap trap(display);
  Window root, child;
  int rootX, rootY, x, y;
  const Bool sameScreen =
      XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask);
  if (trap.windowGone()) {
    gone = true;
    return false;
  }
  if (!sameScreen) return false;
  where = {x, y};
  return true;
}

Point X11Window::pointer() {
  unsigned int mask = 0;
  query(lastPointer, mask);
  return lastPointer;
}

int X11Window::buttons() {
  unsigned int mask = 0;
  Point where;
  int bits = query(where, mask) ? buttonBits(mask) : 0;
  if (latched) {
    latched = false;
    bits |= latchedButtons;
  }
  return alive() ? bits : 0;
}

void X11Window::setCursor(int kind) {
  if (!alive()) return;
  static constexpr unsigned int kShapes[7] = {
      XC_left_ptr,           XC_watch, XC_sb_h_double_arrow,
      XC_sb_v_double_arrow,  XC_fleur, XC_bottom_left_corner,
      XC_bottom_right_corner};
  X11ErrorTrap trap(display);
  if (kind <= 0 || kind > 6) {
    XUndefineCursor(display, window);
    return;
  }
  if (!cursors[kind]) cursors[kind] = XCreateFontCursor(display, kShapes[kind]);
  XDefineCursor(display, window, cursors[kind]);
}

int X11Window::popupMenu(const std::vector<MenuEntry>& entries, Point at, bool) {
  if (!alive() || entries.empty()) return -1;
  latched = false;
  int x = at.x, y = at.y;
  {
    X11ErrorTrap trap(display);
    Window child;
    XTranslateCoordinates(display, window, RootWindow(display, screen), at.x, at.y, &x, &y, &child);
    if (trap.windowGone()) {
      gone = true;
      return -1;
    }
  }
  return runX11Menu({display, screen, visual, depth, colormap, scale}, entries, x, y);
}

void X11Window::handle(WindowEvents& events, XEvent& event) {
  switch (event.type) {
    case Expose:
      if (event.xexpose.window == window)
        events.onPaint({event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                        event.xexpose.y + event.xexpose.height});
      break;
    case ButtonPress: {
      if (event.xbutton.window != window) break;
      const Point where{event.xbutton.x, event.xbutton.y};
      const unsigned int b = event.xbutton.button;
      if (b == Button4 || b == Button5) {
        events.onWheel(where, b == Button4 ? 1.0f : -1.0f);
      } else if (b >= Button1 && b <= Button3) {
        const int bit = b == Button1 ? kLeftButton : b == Button2 ? kMiddleButton : kRightButton;
        latchedButtons = bit | (buttonBits(event.xbutton.state) & (kShift | kControl | kAlt));
        latched = true;
        events.onButtonDown(where, bit);
        latched = false;
      }
      break;
    }
    case DestroyNotify:
      if (event.xdestroywindow.window == window) gone = true;
      break;
    default:
      break;
  }
}

void X11Window::dispatchEvents(WindowEvents& events, bool paintOnly) {
  if (display && !gone) {
    XEvent event;
    if (paintOnly) {
      if (XCheckTypedWindowEvent(display, window, Expose, &event)) handle(events, event);
    } else {
      // One at a time: a handler can run a mouse loop that reads and presents meanwhile.
      while (display && !gone && XPending(display)) {
        XNextEvent(display, &event);
        handle(events, event);
      }
    }
  }
  if (display && gone && !deathReported) {
    deathReported = true;
    events.onDestroyed();
  }
}

}  // namespace vorlak
