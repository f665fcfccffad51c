// The panel's knob: a straight drag (right and up increase, half the range per 100 pixels,
// a fifth with Shift), an angle drag with Alt, Ctrl-click back to the default, and a handle
// picture whose lower half shows while the knob is dragged.
#pragma once

#include "editor/toolkit/rotary_knob.h"

namespace vorlak {

class FineKnob : public RotaryKnob {
 public:
  // The handle holds two stacked halves, normal on top and pressed below.
  FineKnob(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
           Pixmap* handle, Point backgroundOffset);

  void mouse(Painter& painter, Point where) override;
  void drawHandle(Painter& painter) override;

  virtual void setTransparentHandle(bool flag) { transparentHandle = flag; }
  // Told of every change besides the listener; none by default.
  virtual void setCompanion(ControlListener* other) { companion = other; }
  virtual ControlListener* getCompanion() const { return companion; }

  bool isDragging() const { return dragging; }

 protected:
  void reportChange(Painter& painter) override;

 private:
  ControlListener* companion = nullptr;
  bool dragging = false;
  bool transparentHandle = true;
};

}  // namespace vorlak
