// A slider: a handle picture moved along one axis over a background region. The handle's
// travel is given in panel pixels; background and handle are composed off-screen and copied
// in one piece so the handle never flickers over a bare background.
#pragma once

#include <memory>

#include "editor/toolkit/painter.h"
#include "editor/toolkit/widget.h"

namespace vorlak {

class Slider : public ValueWidget {
 public:
  enum Style : int {
    kHorizontal = 1,
    kVertical = 2,
    kLeftIsZero = 8,
    kRightIsZero = 16,
    kTopIsZero = 32,
    kBottomIsZero = 64,
  };

  Slider(const Rect& size, ControlListener* listener, int32_t tag, int32_t travelStart,
         int32_t travelEnd, Pixmap* handle, Pixmap* background, Point backgroundOffset, int style);
  ~Slider() override;

  void draw(Painter& painter) override;
  void mouse(Painter& painter, Point where) override;
  bool wheel(Painter* painter, Point where, float distance) override;
  int keyDown(const KeyStroke& key) override;
  bool removed(Widget* parent) override;
  bool attached(Widget* parent) override;

  virtual void setTransparentHandle(bool flag) { transparentHandle = flag; }
  virtual void setFreeClick(bool flag) { freeClick = flag; }
  virtual bool getFreeClick() const { return freeClick; }
  virtual void setHandleOffset(Point offset);
  virtual void setHandleBitmap(Pixmap* picture);
  virtual Pixmap* getHandleBitmap() const { return handle; }
  virtual void setZoomFactor(float factor) { zoomFactor = factor; }
  virtual float getZoomFactor() const { return zoomFactor; }

  // The handle's place inside the control (control coordinates) for the current value.
  Rect handleRect() const;

 protected:
  bool horizontal() const { return !(style & kVertical) || (style & kHorizontal); }
  // The handle's travel fraction: value, or 1 - value unless 0 is at the left or top.
  float fraction() const;
  void computeLimits();

  Point backgroundOffset;
  Point handleOffset{0, 0};
  Pixmap* handle = nullptr;
  int32_t handleWidth = 1;
  int32_t handleHeight = 1;
  std::unique_ptr<OffscreenPainter> offscreen;
  int32_t travelStart;
  int32_t travel;
  int style;
  int32_t lowerLimit = 0;
  int32_t upperLimit = 0;
  int32_t controlWidth;
  int32_t controlHeight;
  float zoomFactor = 10.0f;
  bool transparentHandle = true;
  bool freeClick = true;
};

}  // namespace vorlak
