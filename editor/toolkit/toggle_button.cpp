#include "editor/toolkit/toggle_button.h"

#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"

namespace vorlak {

ToggleButton::ToggleButton(const Rect& size, ControlListener* listener, int32_t tag,
                           Pixmap* background)
    : ValueWidget(size, listener, tag, background) {}

void ToggleButton::draw(Painter& painter) {
  if (background) {
    const Point source{0, value != 0.0f ? background->height() / 2 : 0};
    if (transparency)
      background->drawTransparent(painter, size, source);
    else
      background->draw(painter, size, source);
  }
  setDirty(false);
}

void ToggleButton::mouse(Painter& painter, Point) {
  if (!isInputEnabled() || !(painter.getMouseButtons() & kLeftButton)) return;
  // Off is any value whose integer part is 0 (0.4 included).
  value = value > -1.0f && value < 1.0f ? 1.0f : 0.0f;
  idleStep();
  if (listener) listener->valueChanged(&painter, this);
}

}  // namespace vorlak
