// The standalone program's own window: a top-level window of a fixed size with a title, on a
// display connection of its own, that the panel's child window lives in. The window manager's
// close button is asked for through WM_DELETE_WINDOW, so that closing is the program's to do.
#pragma once

#include <X11/Xlib.h>

#include <memory>

#include "editor/platform/platform.h"

namespace vorlak {

class X11TopLevel : public TopLevelWindow {
 public:
  static std::unique_ptr<X11TopLevel> create(const char* title, int width, int height);
  ~X11TopLevel() override;

  void* parent() override;
  void resize(int width, int height) override;
  void dispatchEvents(TopLevelEvents& events) override;
  int eventDescriptor() const override { return ConnectionNumber(display); }

 private:
  X11TopLevel() = default;
  void fixSize(int width, int height);

  Display* display = nullptr;
  Window window = 0;
  Atom deleteWindow = 0;
};

}  // namespace vorlak
