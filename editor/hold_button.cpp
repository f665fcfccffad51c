#include "editor/hold_button.h"

#include "editor/toolkit/painter.h"

namespace vorlak {

HoldButton::HoldButton(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background)
    : ToggleButton(size, listener, tag, background) {}

void HoldButton::mouse(Painter& painter, Point) {
  if (!isInputEnabled() || !(painter.getMouseButtons() & kLeftButton)) return;
  // The editor takes its step on this call, so a click too short to show the pressed
  // picture still counts once.
  if (listener) listener->valueChanged(&painter, this);
  if (!hold) return;
  value = 1.0f;
  while (painter.getMouseButtons() & kLeftButton) idleStep();
  // Differs from the last drawn value, so the next idle redraw shows the released picture.
  value = 0.0f;
}

}  // namespace vorlak
