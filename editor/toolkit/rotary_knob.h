// A knob: a background region and a handle (a small picture or two lines) placed on a circle
// of radius (half the width - inset). By default value 0 sits at 225 degrees (lower left)
// and value 1 at -45 degrees (lower right), 270 degrees clockwise; the 90-degree gap at the
// bottom is split in the middle when a point is turned back into a value.
#pragma once

#include "editor/toolkit/widget.h"

namespace vorlak {

class RotaryKnob : public ValueWidget {
 public:
  // handle may be null: the handle is then drawn as two lines from the centre.
  RotaryKnob(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
             Pixmap* handle, Point backgroundOffset);
  ~RotaryKnob() override;

  void draw(Painter& painter) override;
  void mouse(Painter& painter, Point where) override;
  bool wheel(Painter* painter, Point where, float distance) override;
  int keyDown(const KeyStroke& key) override;

  virtual void drawHandle(Painter& painter);
  virtual void setStartAngle(float angle);
  virtual float getStartAngle() const { return startAngle; }
  virtual void setRangeAngle(float angle);
  virtual float getRangeAngle() const { return rangeAngle; }
  // Both points are relative to the rectangle's top-left, y downwards.
  virtual void valueToPoint(Point& point) const;
  virtual float valueFromPoint(const Point& point) const;
  virtual void setInset(int32_t pixels) { inset = pixels; }
  virtual void setShadowColor(Color c) { shadowColor = c; }
  virtual void setHandleColor(Color c) { handleColor = c; }
  // Also recomputes the inset from the handle's width.
  virtual void setHandleBitmap(Pixmap* picture);
  virtual void setZoomFactor(float factor) { zoomFactor = factor; }
  virtual float getZoomFactor() const { return zoomFactor; }

  Pixmap* getHandleBitmap() const { return handle; }
  int32_t getInset() const { return inset; }

 protected:
  void compute();
  // Follows the pointer while the left button is held, inside the edit brackets: a straight
  // drag (right and up increase, the step re-anchored when Shift changes it) or an angle
  // drag in which a jump across the bottom gap pins the value at the end it came from.
  void trackDrag(Painter& painter, Point where, int buttons, bool circular, bool takeFocus);
  // Tells the listener of a change when the control is dirty.
  virtual void reportChange(Painter& painter) { notifyIfDirty(&painter); }

  Point backgroundOffset;
  Color handleColor = kWhite;
  Color shadowColor = kGrey;
  Pixmap* handle = nullptr;
  int32_t inset = 3;
  float startAngle = 3.9269907f;
  float rangeAngle = -4.712389f;
  float halfGap = 0.0f;
  float slope = 0.0f;
  float intercept = 0.0f;
  float radius;
  float zoomFactor = 1.5f;
};

}  // namespace vorlak
