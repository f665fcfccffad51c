// A click area that shows a picture over a larger display rectangle: a left click makes it
// the frame's modal widget (every click then goes to it) and shows the picture; the next
// click on the picture hides it and redraws the whole frame.
#pragma once

#include "editor/toolkit/widget.h"

namespace vorlak {

class SplashArea : public ValueWidget {
 public:
  SplashArea(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* picture,
             const Rect& displayRect, Point sourceOffset);

  void draw(Painter& painter) override;
  void mouse(Painter& painter, Point where) override;

  const Rect& getDisplayRect() const { return displayRect; }

 protected:
  Rect displayRect;
  Rect savedRect;
  Point sourceOffset;
};

}  // namespace vorlak
