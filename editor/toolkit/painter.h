// Drawing context for one paint, one mouse action or one idle redraw. Draws into a surface
// (the frame's back buffer or an off-screen picture) and, when it belongs to a window,
// presents what it touched when it goes away. It also answers the two input questions of a
// mouse loop: which buttons are down and where the pointer is. Everything a widget hands it
// (points, rectangles, offset, clip, the pointer it answers) is in the panel's logical
// pixels; the surface is in device pixels, the frame's scale times as many.
#pragma once

#include "editor/toolkit/geometry.h"
#include "editor/toolkit/surface.h"

namespace vorlak {

class NativeWindow;
class RootFrame;

class Painter {
 public:
  // target may be null: the painter then only answers input questions.
  Painter(RootFrame* frame, Surface* target, NativeWindow* window);
  virtual ~Painter();
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  void moveTo(Point p);
  // Stops one pixel short of p, as the window system does; p starts the next segment.
  void lineTo(Point p);
  // Closed one-pixel outline through the four corners (right and bottom included).
  void drawRect(const Rect& r);
  // Fills (left + 1, top + 1) to (right, bottom) exclusive: the outline's top and left are
  // left to drawRect.
  void fillRect(const Rect& r);
  void setFrameColor(Color c) { frameColor = c; }
  void setFillColor(Color c) { fillColor = c; }
  void setLineStyle(int style) { lineStyle = style; }  // 1 dotted, else solid

  int getMouseButtons();
  void getMouseLocation(Point& where);

  Point offset{0, 0};  // added to every coordinate
  Rect clip;

  Surface* surface() { return target; }
  RootFrame* frame() { return owner; }
  void touch(const Rect& r);  // marks an area (logical coordinates) to present

  double scale() const { return factor; }
  // A logical coordinate, or rectangle, in the surface's device pixels.
  int device(int64_t logical) const;
  Rect device(const Rect& logical) const;
  // The clip in device pixels, inside the surface.
  Rect deviceClip() const;
  void touchDevice(const Rect& r);

 protected:
  void plot(int x, int y, uint32_t pixel);

  RootFrame* owner;
  Surface* target;
  NativeWindow* window;
  Point pen{0, 0};
  Color frameColor = kWhite;
  Color fillColor = kBlack;
  int lineStyle = 0;
  Rect touched{0, 0, 0, 0};
  double factor = 1.0;
};

class OffscreenPainter : public Painter {
 public:
  // Filled and outlined in background; width and height logical, at the frame's scale.
  OffscreenPainter(RootFrame* frame, int width, int height, Color background);
  // Copies (destination's size) from sourceOffset to destination + the destination's offset.
  void copyTo(Painter& destination, const Rect& area, Point sourceOffset);

 private:
  Surface picture;
};

}  // namespace vorlak
