// The window an LV2 host gets as the UI's widget: a child of the host's parent window, on a
// display connection of its own, in which the panel opens its own window. An LV2 host hands
// its UI no keys, so this window takes the arrow keys typed over the panel (they reach it
// from the panel's window, which does not want them) for the panel's program stepping.
#pragma once

#include <cstdint>
#include <memory>

typedef struct _XDisplay Display;  // as Xlib declares it; Xlib itself stays in the .cpp

namespace vorlak::lv2 {

class PanelWindow {
 public:
  // Null when the display cannot be opened or the parent is not a window there.
  static std::unique_ptr<PanelWindow> create(unsigned long parent, int width, int height);
  ~PanelWindow();
  PanelWindow(const PanelWindow&) = delete;
  PanelWindow& operator=(const PanelWindow&) = delete;

  unsigned long id() const { return window; }
  // The next arrow key pressed over the window as the editor's virtual key (kKeyLeft and so
  // on), or 0 when none is waiting.
  uint8_t nextKey();
  // The panel's scale changed while open.
  void resize(int width, int height);
  // False once the window went away with its parent.
  bool alive() const { return !gone; }

 private:
  PanelWindow() = default;

  Display* display = nullptr;
  unsigned long window = 0;
  bool gone = false;
};

}  // namespace vorlak::lv2
