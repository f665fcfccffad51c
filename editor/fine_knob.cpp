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

void FineKnob::notifyChange(Painter& painter) {
  if (!isDirty()) return;
  if (companion) companion->valueChanged(&painter, this);
  if (listener) listener->valueChanged(&painter, this);
}

void FineKnob::mouse(Painter& painter, Point where) {
  if (!isInputEnabled()) return;
  int buttons = painter.getMouseButtons();
  if (!(buttons & kLeftButton)) return;
  if (buttons & kControl) {
    value = defaultValue;
    notifyChange(painter);
    return;
  }

  dragging = true;
  draw(painter);
  const float range = maximum - minimum;
  const auto stepFor = [&](int held) {
    return held & kShift ? range / (200.0f * zoomFactor) : range / 200.0f;
  };
  const bool circular = (buttons & kAlt) != 0;
  const Point first = where;
  float base = value;
  float step = stepFor(buttons);
  int seenButtons = buttons;
  float previous = circular ? valueFromPoint({where.x - size.left, where.y - size.top}) : 0.0f;

  if (parentFrame) parentFrame->beginEdit(tag);
  Point last{-1, -1};
  while ((buttons = painter.getMouseButtons()) & kLeftButton) {
    if (where != last) {
      last = where;
      if (!circular) {
        const int32_t d = (where.x - first.x) - (where.y - first.y);
        if (buttons != seenButtons) {
          // Re-anchored so that a change of step keeps the value where it is.
          const float newStep = stepFor(buttons);
          base += (step - newStep) * static_cast<float>(d);
          step = newStep;
          seenButtons = buttons;
        }
        value = static_cast<float>(d) * step + base;
        bounceValue();
      } else {
        const float v = valueFromPoint({where.x - size.left, where.y - size.top});
        value = v;
        // A jump across the bottom gap pins the value at the end it came from.
        if (previous - v > range / 2)
          value = maximum;
        else if (v - previous > range / 2)
          value = minimum;
        else
          previous = v;
      }
      notifyChange(painter);
    }
    painter.getMouseLocation(where);
    idleStep();
  }
  if (parentFrame) parentFrame->endEdit(tag);
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
