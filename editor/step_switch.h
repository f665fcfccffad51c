// A switch of n states that a click steps through, wrapping from the last to the first. The
// bitmap holds the states stacked, or side by side for a rectangle taller than wide (or
// taller than 600 pixels).
#pragma once

#include "editor/toolkit/widget.h"

namespace vorlak {

class StepSwitch : public ValueWidget {
 public:
  // The bitmap is not reference-counted here: its owner keeps it alive as long as the switch.
  StepSwitch(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
             int states);
  ~StepSwitch() override;

  void draw(Painter& painter) override;
  void mouse(Painter& painter, Point where) override;
  // Stores the picture without reference counting and marks the switch dirty.
  void setBackground(Pixmap* picture) override;

  virtual void setShown(bool flag) { shown = flag; }
  virtual void setNotifyAgain(bool flag) { notifyAgain = flag; }

  int states() const { return count; }
  bool sideBySide() const { return across; }
  int frameSize() const { return frame; }

 private:
  void layOut();

  int count;
  int frame = 0;
  bool across = false;
  bool shown = true;
  bool notifyAgain = false;
  float indexScale;  // n - 0.01
  float lastIndex;   // n - 1
};

}  // namespace vorlak
