// The editor's Win32 child window. The host's message loop calls the window procedure at any
// time, but the frame may only be entered from the calls the host makes into the editor (a
// host that closes the editor from inside a mouse loop relies on that), so the procedure
// records paints and presses and the frame gets them when it drains the window's events.
// Paints are answered at once from the DIB section that holds the last presented picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "editor/platform/platform.h"

namespace vorlak {

// Shows the entries as a Win32 popup menu owned by window, with its top-left at screen
// point `at`, and waits for the choice: the chosen entry's id, or -1 when dismissed.
int runWin32Menu(HWND window, const std::vector<MenuEntry>& entries, POINT at, bool rightButton);

class Win32Window : public NativeWindow {
 public:
  static std::unique_ptr<Win32Window> create(HWND parent, int width, int height);
  ~Win32Window() override;

  void present(const Surface& backBuffer, const Rect& area) override;
  Point pointer() override;
  int buttons() override;
  void setCursor(int kind) override;
  int popupMenu(const std::vector<MenuEntry>& entries, Point at, bool rightButton) override;
  void dispatchEvents(WindowEvents& events, bool paintOnly) override;
  bool alive() const override { return window && !gone; }
  void close() override;

  HWND handle() const { return window; }

 private:
  struct Pending {
    enum Kind { kPaint, kPress, kDensity } kind;
    Rect area;
    Point point;
    int buttons;  // the pressed button and the modifiers held, MouseButtons bits
  };

  Win32Window() = default;
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void paint();
  void queuePaint(const Rect& area);
  void deliver(WindowEvents& events, const Pending& event);
  void releaseResources();

  HWND window = nullptr;
  int width = 0, height = 0;
  HDC memory = nullptr;  // holds the DIB section
  HBITMAP dib = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  uint32_t* bits = nullptr;  // top-down rows of 0x00RRGGBB, the surface's own layout
  bool classHeld = false;
  std::deque<Pending> pending;
  // The press being handled, reported by the first buttons() question even if the button
  // went up before the frame got the press.
  int latchedButtons = 0;
  bool latched = false;
  Point lastPointer{0, 0};
  int menus = 0;  // popup menus open on this window
  bool gone = false;
  bool deathReported = false;
};

}  // namespace vorlak
