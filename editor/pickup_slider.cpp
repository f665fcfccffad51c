#include "editor/pickup_slider.h"

#include "editor/toolkit/pixmap.h"

namespace vorlak {

PickupSlider::PickupSlider(const Rect& size, ControlListener* listener, int32_t tag,
                           Pixmap* background, Pixmap* handle, Pixmap* overlay,
                           Point backgroundOffset)
    : Slider(size, listener, tag, size.left, size.right - (handle ? handle->width() : 0), handle,
             background, backgroundOffset, kHorizontal | kLeftIsZero),
      overlay(overlay) {
  setFreeClick(true);
  setTransparentHandle(true);
  setZoomFactor(10.0f);
}

void PickupSlider::draw(Painter& painter) {
  setDirty(false);
  Slider::draw(painter);
  if (overlay) {
    const int32_t top = size.top + kOverlayDrop;
    overlay->drawTransparent(
        painter, {size.left, top, size.left + overlay->width(), top + overlay->height()}, {0, 0});
  }
}

}  // namespace vorlak
