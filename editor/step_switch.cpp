#include "editor/step_switch.h"

#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/root_frame.h"

namespace vorlak {

StepSwitch::StepSwitch(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* picture,
                       int states)
    : ValueWidget(size, listener, tag, nullptr),
      count(states < 1 ? 1 : states),
      indexScale(static_cast<float>(count) - 0.01f),
      lastIndex(static_cast<float>(count - 1)) {
  background = picture;
  layOut();
}

// The base would forget a picture this switch never remembered.
StepSwitch::~StepSwitch() { background = nullptr; }

void StepSwitch::layOut() {
  across = size.height() > size.width() || size.height() > 600;
  if (!background)
    frame = 0;
  else
    frame = (across ? background->width() : background->height()) / count;
}

void StepSwitch::setBackground(Pixmap* picture) {
  background = picture;
  layOut();
  setDirty(true);
}

void StepSwitch::draw(Painter& painter) {
  if (background && shown) {
    int index = static_cast<int>(value * indexScale);
    if (index < 0) index = 0;
    if (index > count - 1) index = count - 1;
    const Point source = across ? Point{index * frame, 0} : Point{0, index * frame};
    if (transparency)
      background->drawTransparent(painter, size, source);
    else
      background->draw(painter, size, source);
  }
  setDirty(false);
}

void StepSwitch::mouse(Painter& painter, Point) {
  if (!isInputEnabled() || !(painter.getMouseButtons() & kLeftButton)) return;
  if (parentFrame) parentFrame->beginEdit(tag);
  const int index = (static_cast<int>(indexScale * value) + 1) % count;
  value = lastIndex > 0.0f ? static_cast<float>(index) / lastIndex : minimum;
  bounceValue();
  notifyIfDirty(&painter);
  if (parentFrame) parentFrame->endEdit(tag);
}

}  // namespace vorlak
