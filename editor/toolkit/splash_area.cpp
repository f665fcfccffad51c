#include "editor/toolkit/splash_area.h"

#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/root_frame.h"

namespace vorlak {

SplashArea::SplashArea(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* picture,
                       const Rect& displayRect, Point sourceOffset)
    : ValueWidget(size, listener, tag, picture),
      displayRect(displayRect),
      savedRect(size),
      sourceOffset(sourceOffset) {}

void SplashArea::draw(Painter& painter) {
  if (value != 0.0f && background) {
    if (transparency)
      background->drawTransparent(painter, displayRect, sourceOffset);
    else
      background->draw(painter, displayRect, sourceOffset);
  }
  setDirty(false);
}

void SplashArea::mouse(Painter& painter, Point) {
  if (!isInputEnabled() || !(painter.getMouseButtons() & kLeftButton)) return;
  if (value == 0.0f) {
    // Shown only if the frame lets it take over; another modal widget keeps it hidden.
    if (!parentFrame || !parentFrame->setModalWidget(this)) return;
    value = 1.0f;
    savedRect = size;
    size = displayRect;
    draw(painter);
    if (listener) listener->valueChanged(&painter, this);
  } else {
    value = 0.0f;
    size = savedRect;
    if (parentFrame) {
      parentFrame->setModalWidget(nullptr);
      parentFrame->drawWidget(nullptr);
    }
    if (listener) listener->valueChanged(&painter, this);
  }
  setDirty(true);
}

}  // namespace vorlak
