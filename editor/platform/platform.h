// The window system as the toolkit sees it: one child window inside the host's window (or a
// program's own top-level window), the pointer and buttons, a clock, and a popup menu.
// Bindings: x11 and win32 for hosts, headless for tests and snapshots. Nothing else in the
// editor includes a window-system header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/toolkit/geometry.h"
#include "editor/toolkit/key_stroke.h"

namespace vorlak {

class Surface;

struct MenuEntry {
  enum Kind : uint8_t { kItem, kSeparator, kTitle, kGreyed, kSubmenuBegin, kSubmenuEnd };
  std::string text;
  int id = -1;  // reported when chosen; items only
  Kind kind = kItem;
  bool checked = false;
  bool columnBreak = false;
};

// What the window hands to the frame while its events are drained.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void onPaint(const Rect& area) = 0;
  // button: kLeftButton, kMiddleButton or kRightButton; point relative to the window.
  virtual void onButtonDown(Point point, int button) = 0;
  virtual void onWheel(Point point, float distance) = 0;
  // The window went away without us (the host destroyed its parent first).
  virtual void onDestroyed() = 0;
  // The window moved to a screen of another density; the panel rescales at its next idle.
  virtual void onScaleChanged() {}
};

class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  // Shows area of the back buffer (window coordinates) on screen.
  virtual void present(const Surface& backBuffer, const Rect& area) = 0;
  // The pointer relative to the window's top-left, read now.
  virtual Point pointer() = 0;
  // MouseButtons bits (buttons and Shift, Ctrl, Alt), read now.
  virtual int buttons() = 0;
  // 0 default, 1 wait, 2 west-east, 3 north-south, 4 four-way, 5 NE-SW, 6 NW-SE.
  virtual void setCursor(int kind) = 0;
  // Shows a menu with its top-left at `at` (window coordinates) and waits for the choice;
  // the chosen entry's id, or -1 when dismissed. Drawn at the window's scale.
  virtual int popupMenu(const std::vector<MenuEntry>& entries, Point at, bool rightButton) = 0;
  // Handles pending events; with paintOnly, at most one pending paint and nothing else.
  virtual void dispatchEvents(WindowEvents& events, bool paintOnly) = 0;
  virtual bool alive() const = 0;
  // The descriptor that turns readable when events wait, for a host's run loop to watch; -1
  // when the binding has none.
  virtual int eventDescriptor() const { return -1; }
  // Takes the window off the screen now, while painters may still hold this object: from
  // then on it is not alive, presents nothing and answers no buttons. Every binding does so.
  virtual void close() {}
  // The panel's scale, for what the binding draws itself (menus).
  void setScale(double factor) { scale = factor; }

 protected:
  double scale = 1.0;
};

// What a program's own window reports while its events are drained.
class TopLevelEvents {
 public:
  virtual ~TopLevelEvents() = default;
  // A key pressed (down) or released while the window had the focus. Held keys do not repeat.
  virtual void onKey(const KeyStroke& key, bool down) = 0;
  // The user asked the window system to close the window.
  virtual void onCloseRequest() = 0;
};

// A window of the program's own on the desktop, which the panel's window lives in as it lives
// in a host's: for a program with no host.
class TopLevelWindow {
 public:
  virtual ~TopLevelWindow() = default;
  // What createWindow takes as the parent of the panel's window.
  virtual void* parent() = 0;
  // A new fixed size in device pixels (the panel's scale changed).
  virtual void resize(int width, int height) = 0;
  virtual void dispatchEvents(TopLevelEvents& events) = 0;
  // The descriptor that turns readable when events wait; -1 when there is none.
  virtual int eventDescriptor() const = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;
  // A visible child window of the given size in parent; null without a parent or when the
  // window system is unreachable.
  virtual std::unique_ptr<NativeWindow> createWindow(void* parent, int width, int height) = 0;
  virtual uint32_t tickCount() = 0;  // milliseconds
  virtual void sleep(int milliseconds) = 0;
  // The density of the screen parent (or, when null, the main screen) shows on, as a
  // factor of 96 dpi; 0 when the system says nothing.
  virtual double systemScale(void* /*parent*/) { return 0.0; }
  // A titled window of a fixed size on the desktop; null where the binding has none or the
  // window system is unreachable.
  virtual std::unique_ptr<TopLevelWindow> createTopLevel(const char* /*title*/, int /*width*/,
                                                         int /*height*/) {
    return nullptr;
  }
};

// The platform the editor uses: the module's own window system unless a test or the snapshot
// tool installed another.
Platform& currentPlatform();
// The module's own window system; the binding linked into it defines this.
Platform& defaultPlatform();
// Installs platform (not owned), or restores the default with null.
void setPlatform(Platform* platform);

}  // namespace vorlak
