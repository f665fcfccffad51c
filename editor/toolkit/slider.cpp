#include "editor/toolkit/slider.h"

#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/root_frame.h"

namespace vorlak {

Slider::Slider(const Rect& size, ControlListener* listener, int32_t tag, int32_t travelStart,
               int32_t travelEnd, Pixmap* handle, Pixmap* background, Point backgroundOffset,
               int style)
    : ValueWidget(size, listener, tag, background),
      backgroundOffset(backgroundOffset),
      travelStart(travelStart),
      travel(travelEnd - travelStart),
      style(style),
      controlWidth(size.width()),
      controlHeight(size.height()) {
  setHandleBitmap(handle);
}

Slider::~Slider() {
  if (handle) handle->forget();
}

void Slider::computeLimits() {
  if (horizontal())
    lowerLimit = handleOffset.x + (travelStart - size.left);
  else
    lowerLimit = handleOffset.y + (travelStart - size.top);
  upperLimit = lowerLimit + travel + (horizontal() ? handleWidth : handleHeight);
}

void Slider::setHandleOffset(Point offset) {
  handleOffset = offset;
  computeLimits();
  setDirty(true);
}

void Slider::setHandleBitmap(Pixmap* picture) {
  if (handle) handle->forget();
  handle = picture;
  if (handle) handle->remember();
  handleWidth = handle ? handle->width() : 1;
  handleHeight = handle ? handle->height() : 1;
  computeLimits();
  setDirty(true);
}

bool Slider::attached(Widget*) {
  offscreen = std::make_unique<OffscreenPainter>(parentFrame, controlWidth, controlHeight, kBlack);
  return true;
}

bool Slider::removed(Widget*) {
  offscreen.reset();
  return true;
}

float Slider::fraction() const {
  return style & (kLeftIsZero | kTopIsZero) ? value.load() : 1.0f - value;
}

Rect Slider::handleRect() const {
  const int32_t along = static_cast<int32_t>(travel * fraction());
  if (horizontal()) {
    int32_t left = along + handleOffset.x;
    if (left < lowerLimit) left = lowerLimit;
    int32_t right = left + handleWidth;
    if (right > upperLimit) right = upperLimit;
    return {left, handleOffset.y, right, handleOffset.y + handleHeight};
  }
  int32_t top = along + handleOffset.y;
  if (top < lowerLimit) top = lowerLimit;
  int32_t bottom = top + handleHeight;
  if (bottom > upperLimit) bottom = upperLimit;
  return {handleOffset.x, top, handleOffset.x + handleWidth, bottom};
}

void Slider::draw(Painter& painter) {
  // A slider drawn before it was attached composes in a picture of its own.
  if (!offscreen) attached(nullptr);
  const Rect whole{0, 0, controlWidth, controlHeight};
  if (background) {
    if (transparency)
      background->drawTransparent(*offscreen, whole, backgroundOffset);
    else
      background->draw(*offscreen, whole, backgroundOffset);
  }
  if (handle) {
    if (transparentHandle)
      handle->drawTransparent(*offscreen, handleRect(), {0, 0});
    else
      handle->draw(*offscreen, handleRect(), {0, 0});
  }
  offscreen->copyTo(painter, size, {0, 0});
  setDirty(false);
}

void Slider::mouse(Painter& painter, Point where) {
  if (!isInputEnabled()) return;
  int buttons = painter.getMouseButtons();
  if (buttons == (kLeftButton | kControl)) {
    value = defaultValue;
    notifyIfDirty(&painter);
    return;
  }
  if (!(buttons & kLeftButton)) return;

  const bool alongX = horizontal();
  const int32_t origin = alongX ? size.left : size.top;
  const int32_t handleSize = alongX ? handleWidth : handleHeight;
  int32_t grab;
  if (freeClick) {
    // The handle's centre jumps to the pointer.
    grab = origin + (alongX ? handleOffset.x : handleOffset.y) + handleSize / 2 - 1;
  } else {
    const Rect onPanel = handleRect().offset(size.left, size.top);
    if (!onPanel.contains(where)) return;
    // Keeps the distance between the pointer and the handle.
    const int32_t along = static_cast<int32_t>(travel * fraction());
    grab = (alongX ? where.x : where.y) - along;
  }

  if (parentFrame) {
    parentFrame->beginEdit(tag);
    parentFrame->setFocusWidget(this);
  }
  float reference = value;
  const bool reversed = (style & (kRightIsZero | kBottomIsZero)) != 0;
  while (true) {
    buttons = painter.getMouseButtons();
    if (!(buttons & kLeftButton)) break;
    const bool fine = (buttons & kShift) != 0;
    if (travel != 0) {
      float v = static_cast<float>((alongX ? where.x : where.y) - grab) / travel;
      if (reversed) v = 1.0f - v;
      if (fine) v = reference + (v - reference) / zoomFactor;
      value = v;
    }
    bounceValue();
    // Without Shift the reference follows the value, so Shift fixes it where it was then.
    if (!fine) reference = value;
    notifyIfDirty(&painter);
    painter.getMouseLocation(where);
    idleStep();
  }
  if (parentFrame) parentFrame->endEdit(tag);
}

bool Slider::wheel(Painter* painter, Point, float distance) { return wheelStep(painter, distance); }

int Slider::keyDown(const KeyStroke& key) { return arrowKeyStep(key); }

}  // namespace vorlak
