// The editor's X11 child window: its own display connection (only touched from the calls the
// host makes, so no Xlib thread support is needed), the back-buffer image it presents from,
// and the pointer and button state read from the server.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "editor/platform/platform.h"

namespace vorlak {

// Turns 0x00RRGGBB into a pixel value of a TrueColor visual.
struct X11PixelFormat {
  explicit X11PixelFormat(const Visual* visual, int depth);
  unsigned long pixel(uint32_t rgb) const;

  unsigned long redMask, greenMask, blueMask, alpha;
  // True for the common layout, where a surface pixel (plus alpha) is the visual's pixel.
  bool direct;
};

struct X11MenuTarget {
  Display* display;
  int screen;
  Visual* visual;
  int depth;
  Colormap colormap;
  double scale;
};

// Shows the popup menu with its top-left at root coordinates (x, y) and runs until an entry is
// chosen (its id) or the menu is dismissed (-1).
int runX11Menu(const X11MenuTarget& target, const std::vector<MenuEntry>& entries, int x, int y);

class X11Window : public NativeWindow {
 public:
  static std::unique_ptr<X11Window> create(unsigned long parent, int width, int height);
  ~X11Window() override;

  void present(const Surface& backBuffer, const Rect& area) override;
  Point pointer() override;
  int buttons() override;
  void setCursor(int kind) override;
  int popupMenu(const std::vector<MenuEntry>& entries, Point at, bool rightButton) override;
  void dispatchEvents(WindowEvents& events, bool paintOnly) override;
  bool alive() const override { return display && !gone; }
  int eventDescriptor() const override;
  void close() override;

  unsigned long id() const { return window; }

 private:
  X11Window() = default;
  // Reads the pointer; false when the window is gone or the pointer is on another screen.
  bool query(Point& where, unsigned int& mask);
  void handle(WindowEvents& events, XEvent& event);

  Display* display = nullptr;
  Window window = 0;
  int screen = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  bool ownColormap = false;
  GC gc = nullptr;
  XImage* image = nullptr;
  std::vector<char> imageData;
  std::unique_ptr<X11PixelFormat> format;
  Cursor cursors[7] = {};
  Point lastPointer{0, 0};
  // The press being handled, reported by the first buttons() question even if the button
  // went up before the event was read.
  int latchedButtons = 0;
  bool latched = false;
  bool gone = false;
  bool deathReported = false;
};

}  // namespace vorlak
