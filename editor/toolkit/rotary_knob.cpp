#include "editor/toolkit/rotary_knob.h"

#include <cmath>
#include <numbers>

#include "editor/toolkit/gui_editor.h"
#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/root_frame.h"

namespace vorlak {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

int32_t insetFor(const Pixmap* handle) {
  return handle ? static_cast<int32_t>(handle->width() * 0.5 + 2.5) : 3;
}

}  // namespace

RotaryKnob::RotaryKnob(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
                       Pixmap* handle, Point backgroundOffset)
    : ValueWidget(size, listener, tag, background),
      backgroundOffset(backgroundOffset),
      handle(handle),
      inset(insetFor(handle)),
      radius(size.width() * 0.5f) {
  if (handle) handle->remember();
  compute();
}

RotaryKnob::~RotaryKnob() {
  if (handle) handle->forget();
}

void RotaryKnob::compute() {
  halfGap = static_cast<float>((kTwoPi - std::fabs(rangeAngle)) * 0.5);
  slope = rangeAngle != 0.0f ? (maximum - minimum) / rangeAngle : 0.0f;
  intercept = minimum - slope * startAngle;
}

void RotaryKnob::setStartAngle(float angle) {
  startAngle = angle;
  compute();
  setDirty(true);
}

void RotaryKnob::setRangeAngle(float angle) {
  rangeAngle = angle;
  compute();
  setDirty(true);
}

void RotaryKnob::setHandleBitmap(Pixmap* picture) {
  if (handle) handle->forget();
  handle = picture;
  if (handle) handle->remember();
  inset = insetFor(handle);
  setDirty(true);
}

void RotaryKnob::draw(Painter& painter) {
  if (background) {
    if (transparency)
      background->drawTransparent(painter, size, backgroundOffset);
    else
      background->draw(painter, size, backgroundOffset);
  }
  drawHandle(painter);
  setDirty(false);
}

void RotaryKnob::drawHandle(Painter& painter) {
  Point p;
  valueToPoint(p);
  if (handle) {
    const int32_t w = handle->width(), h = handle->height();
    const int32_t left = size.left + p.x - w / 2, top = size.top + p.y - h / 2;
    handle->drawTransparent(painter, {left, top, left + w, top + h}, {0, 0});
    return;
  }
  const Point centre{size.left + size.width() / 2, size.top + size.height() / 2};
  painter.setFrameColor(shadowColor);
  painter.moveTo({size.left + p.x - 1, size.top + p.y});
  painter.lineTo({centre.x - 1, centre.y});
  painter.setFrameColor(handleColor);
  painter.moveTo({size.left + p.x, size.top + p.y - 1});
  painter.lineTo({centre.x, centre.y - 1});
}

void RotaryKnob::valueToPoint(Point& point) const {
  float angle = slope != 0.0f ? (value - intercept) / slope : startAngle;
  if (!std::isfinite(angle)) angle = startAngle;
  const double reach = static_cast<double>(radius) - inset;
  point.x = static_cast<int32_t>(radius + std::cos(static_cast<double>(angle)) * reach + 0.5);
  point.y = static_cast<int32_t>(radius - std::sin(static_cast<double>(angle)) * reach + 0.5);
}

float RotaryKnob::valueFromPoint(const Point& point) const {
  const double r = radius;
  double angle = std::atan2(r - point.y, point.x - r);
  if (angle < 0.0) angle += kTwoPi;
  angle -= startAngle;
  const double range = std::fabs(rangeAngle);
  const double a = rangeAngle < 0.0f ? angle - rangeAngle : angle;
  double w = std::fmod(a, kTwoPi);
  if (w < 0.0) w += kTwoPi;
  // The gap is split in the middle: the half beside the start position gives the start's
  // value, the half beside the end position the end's.
  const bool clockwise = rangeAngle < 0.0f;
  if (w > halfGap + range) return clockwise ? maximum : minimum;
  if (w > range) return clockwise ? minimum : maximum;
  double unwrapped = a;
  if (a > halfGap + range)
    unwrapped = a - kTwoPi;
  else if (a < -halfGap)
    unwrapped = a + kTwoPi;
  const float base = clockwise ? maximum : minimum;
  return static_cast<float>(base + slope * unwrapped);
}

void RotaryKnob::mouse(Painter& painter, Point where) {
  if (!isInputEnabled()) return;
  const int buttons = painter.getMouseButtons();
  if (!(buttons & kLeftButton)) return;
  if (buttons == (kLeftButton | kControl)) {
    value = defaultValue;
    notifyIfDirty(&painter);
    return;
  }
  const bool alt = (buttons & kAlt) != 0;
  trackDrag(painter, where, buttons, knobMode() != 2 ? !alt : alt, true);
}

void RotaryKnob::trackDrag(Painter& painter, Point where, int buttons, bool circular,
                           bool takeFocus) {
  const float range = maximum - minimum;
  const auto stepFor = [&](int held) {
    return held & kShift ? range / (200.0f * zoomFactor) : range / 200.0f;
  };
  const Point first = where;
  float base = value;
  float step = stepFor(buttons);
  int seenButtons = buttons;
  float previous = circular ? valueFromPoint({where.x - size.left, where.y - size.top}) : 0.0f;

  if (parentFrame) {
    parentFrame->beginEdit(tag);
    if (takeFocus) parentFrame->setFocusWidget(this);
  }
  Point last{-1, -1};
  while ((buttons = painter.getMouseButtons()) & kLeftButton) {
    if (where != last) {
      last = where;
      if (!circular) {
        const int32_t d = (where.x - first.x) - (where.y - first.y);
        if (buttons != seenButtons) {
          // Re-anchored so that the value does not jump when Shift changes the step.
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
        if (previous - v > range / 2)
          value = maximum;
        else if (v - previous > range / 2)
          value = minimum;
        else
          previous = v;
      }
      reportChange(painter);
    }
    painter.getMouseLocation(where);
    idleStep();
  }
  if (parentFrame) parentFrame->endEdit(tag);
}

bool RotaryKnob::wheel(Painter* painter, Point, float distance) {
  return wheelStep(painter, distance);
}

int RotaryKnob::keyDown(const KeyStroke& key) { return arrowKeyStep(key); }

}  // namespace vorlak
