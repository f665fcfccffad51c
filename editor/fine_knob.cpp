#include "editor/fine_knob.h"

#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/root_frame.h"

namespace vorlak {

FineKnob::FineKnob(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
                   Pixmap* handle, Point backgroundOffset)
    : RotaryKnob(size, listener, tag, background, handle, backgroundOffset) {
  zoomFactor = 2.5f;
}

void FineKnob::reportChange(Painter& painter) {
  if (!isDirty()) return;
  if (companion) companion->valueChanged(&painter, this);
  if (listener) listener->valueChanged(&painter, this);
}

void FineKnob::mouse(Painter& painter, Point where) {
  if (!isInputEnabled()) return;
  const int buttons = painter.getMouseButtons();
  if (!(buttons & kLeftButton)) return;
  if (buttons & kControl) {
    value = defaultValue;
    reportChange(painter);
    return;
  }
  // The knob mode does not apply here: Alt alone chooses the angle drag.
  dragging = true;
  draw(painter);
  trackDrag(painter, where, buttons, (buttons & kAlt) != 0, false);
  dragging = false;
  draw(painter);
}

void FineKnob::drawHandle(Painter& painter) {
  if (!handle) {
    RotaryKnob::drawHandle(painter);
    return;
  }
  Point p;
  valueToPoint(p);
  const int32_t w = handle->width(), h = handle->height();
  const int32_t left = size.left + p.x - w / 2, top = size.top + p.y - h / 4;
  const Rect destination{left, top, left + w, top + h / 2};
  const Point source{0, dragging ? h / 2 : 0};
  if (transparentHandle)
    handle->drawTransparent(painter, destination, source);
  else
    handle->draw(painter, destination, source);
}

}  // namespace vorlak
