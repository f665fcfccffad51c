// A two-state picture button: the bitmap holds both states stacked, off on top, and a left
// click flips the value between 0 and 1. Without a bitmap it is an invisible hit area.
#pragma once

#include "editor/toolkit/widget.h"

namespace vorlak {

class ToggleButton : public ValueWidget {
 public:
  ToggleButton(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background);

  void draw(Painter& painter) override;
  void mouse(Painter& painter, Point where) override;
};

}  // namespace vorlak
