// The pickup-position slider: horizontal with 0 at the left, the handle travelling from the
// rectangle's left edge to its right edge less the handle's width, a click anywhere taking
// the handle's centre to the pointer, and an overlay picture drawn over it that may reach
// past its rectangle.
#pragma once

#include "editor/toolkit/slider.h"

namespace vorlak {

class PickupSlider : public Slider {
 public:
  static constexpr int32_t kOverlayDrop = 17;  // the overlay's top below the slider's top

  // The overlay is not reference-counted here: its owner keeps it alive as long as the slider.
  PickupSlider(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
               Pixmap* handle, Pixmap* overlay, Point backgroundOffset);

  void draw(Painter& painter) override;

  Pixmap* getOverlay() const { return overlay; }
  int32_t travelRange() const { return travel; }

 private:
  Pixmap* overlay;
};

}  // namespace vorlak
