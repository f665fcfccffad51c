#include "editor/toolkit/widget.h"

#include <algorithm>

#include "editor/toolkit/gui_editor.h"
#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/root_frame.h"

namespace vorlak {

Widget::Widget(const Rect& size) : size(size), mouseArea(size) {}

void Widget::update(Painter& painter) {
  if (isDirty()) {
    draw(painter);
    setDirty(false);
  }
}

GuiEditor* Widget::getEditor() const { return parentFrame ? parentFrame->getEditor() : nullptr; }

void Widget::forget() {
  if (references <= 0) return;
  if (--references == 0) delete this;
}

ValueWidget::ValueWidget(const Rect& size, ControlListener* listener, int32_t tag,
                         Pixmap* background)
    : Widget(size), listener(listener), tag(tag), background(background) {
  if (background) background->remember();
}

ValueWidget::~ValueWidget() {
  if (background) background->forget();
}

bool ValueWidget::isDirty() const { return value != lastDrawn || Widget::isDirty(); }

void ValueWidget::setDirty(bool flag) {
  Widget::setDirty(flag);
  if (flag)
    lastDrawn = value != -1.0f ? -1.0f : 0.0f;
  else
    lastDrawn = value;
}

void ValueWidget::idleStep() {
  if (GuiEditor* editor = getEditor()) editor->idlePump();
}

void ValueWidget::setBackground(Pixmap* picture) {
  if (background) background->forget();
  background = picture;
  if (background) background->remember();
}

void ValueWidget::bounceValue() {
  // Written so that a NaN ends up at the minimum rather than staying.
  if (!(value >= minimum)) value = minimum;
  if (value > maximum) value = maximum;
}

void ValueWidget::notifyIfDirty(Painter* painter) {
  if (listener && isDirty()) listener->valueChanged(painter, this);
}

void ValueWidget::stepValue(Painter* painter, float steps, bool fine) {
  float amount = steps * wheelIncrement;
  if (fine) amount *= 0.1f;
  value += amount;
  bounceValue();
  notifyIfDirty(painter);
}

bool ValueWidget::wheelStep(Painter* painter, float distance) {
  if (!isInputEnabled()) return false;
  const bool fine = painter && (painter->getMouseButtons() & kShift) != 0;
  stepValue(painter, distance, fine);
  return true;
}

int ValueWidget::arrowKeyStep(const KeyStroke& key) {
  float steps;
  switch (key.virt) {
    case kKeyLeft:
    case kKeyDown:
      steps = -1.0f;
      break;
    case kKeyUp:
    case kKeyRight:
      steps = 1.0f;
      break;
    default:
      return -1;
  }
  stepValue(nullptr, steps, (key.modifier & kModifierShift) != 0);
  return 1;
}

}  // namespace vorlak
