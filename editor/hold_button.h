// A step button: reports its click at once, while its value is still 0, then shows its
// pressed picture for as long as the left button is held and falls back to released without
// a second report. Pictures as ToggleButton: released on top, pressed below.
#pragma once

#include "editor/toolkit/toggle_button.h"

namespace vorlak {

class HoldButton : public ToggleButton {
 public:
  HoldButton(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background);

  void mouse(Painter& painter, Point where) override;

  bool holds() const { return hold; }

 private:
  bool hold = true;
};

}  // namespace vorlak
