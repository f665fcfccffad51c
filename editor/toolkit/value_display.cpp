#include "editor/toolkit/value_display.h"

#include <cstdio>

#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"

namespace vorlak {

ValueDisplay::ValueDisplay(const Rect& size, Pixmap* background, int style)
    : ValueDisplay(size, nullptr, 0, background, style) {}

ValueDisplay::ValueDisplay(const Rect& size, ControlListener* listener, int32_t tag,
                           Pixmap* background, int style)
    : ValueWidget(size, listener, tag, background), style(style) {
  if (style & kNoDrawing) setDirty(false);
}

namespace {

template <typename T>
void change(T& field, T to, ValueWidget& widget) {
  if (field == to) return;
  field = to;
  widget.setDirty(true);
}

}  // namespace

void ValueDisplay::setFont(int index) { change(fontIndex, index, *this); }
void ValueDisplay::setFontColor(Color c) { change(fontColor, c, *this); }
void ValueDisplay::setBackgroundColor(Color c) { change(backgroundColor, c, *this); }
void ValueDisplay::setFrameColor(Color c) { change(frameColor, c, *this); }
void ValueDisplay::setShadowColor(Color c) { change(shadowColor, c, *this); }
void ValueDisplay::setTextAlignment(int alignment) { change(textAlignment, alignment, *this); }
void ValueDisplay::setStyle(int value) { change(style, value, *this); }
void ValueDisplay::setTextStyle(int value) { change(textStyle, value, *this); }

std::string ValueDisplay::text() const {
  char buffer[kTextSize] = {};
  if (dataConverter)
    dataConverter(value, buffer, converterUserData);
  else if (converter)
    converter(value, buffer);
  else
    std::snprintf(buffer, sizeof buffer, "%2.2f", static_cast<double>(value));
  buffer[kTextSize - 1] = '\0';
  return buffer;
}

void ValueDisplay::draw(Painter& painter) { drawText(painter, text().c_str(), nullptr); }

void ValueDisplay::drawText(Painter& painter, const char*, Pixmap* highlight) {
  setDirty(false);
  if (style & kNoDrawing) return;
  if (Pixmap* picture = highlight ? highlight : background) {
    if (transparency)
      picture->drawTransparent(painter, size, backgroundOffset);
    else
      picture->draw(painter, size, backgroundOffset);
  } else if (!transparency) {
    painter.setFillColor(backgroundColor);
    painter.fillRect(size);
    if (!(style & (kSunkenFrame | kRaisedFrame))) {
      painter.setFrameColor(frameColor);
      painter.drawRect(size);
    }
  }
  if (style & (kSunkenFrame | kRaisedFrame)) {
    const bool sunken = (style & kSunkenFrame) != 0;
    painter.setFrameColor(sunken ? backgroundColor : frameColor);
    painter.moveTo({size.left, size.bottom});
    painter.lineTo({size.left, size.top});
    painter.lineTo({size.right, size.top});
    painter.setFrameColor(sunken ? frameColor : backgroundColor);
    painter.lineTo({size.right, size.bottom});
    painter.lineTo({size.left, size.bottom});
  }
  // The text itself is not drawn: no display on this panel shows any.
}

}  // namespace vorlak
