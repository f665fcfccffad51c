// A control that shows its value as text over a background picture or a filled, framed
// rectangle. This panel's displays draw no text (its lists draw nothing at all), so the
// glyphs are not drawn; background, frames and every setting are kept.
#pragma once

#include <string>

#include "editor/toolkit/widget.h"

namespace vorlak {

class ValueDisplay : public ValueWidget {
 public:
  enum Style : int {
    kCheckEach = 1,
    kShadowText = 4,
    kSunkenFrame = 128,
    kRaisedFrame = 256,
    kMenuAtTop = 512,
    kCheckCurrent = 1024,
    kNoText = 2048,
    kNoDrawing = 4096,
  };
  using Converter = void (*)(float value, char* text);
  using DataConverter = void (*)(float value, char* text, void* userData);
  // Converters write at most kTextSize bytes, the terminating zero included.
  static constexpr int kTextSize = 256;

  ValueDisplay(const Rect& size, Pixmap* background, int style);

  void draw(Painter& painter) override;
  // Background (highlight, else the own picture, else fill and frame), then the text.
  virtual void drawText(Painter& painter, const char* text, Pixmap* highlight = nullptr);

  virtual void setFont(int index);
  virtual void setFontColor(Color c);
  virtual void setBackgroundColor(Color c);
  virtual void setFrameColor(Color c);
  virtual void setShadowColor(Color c);
  virtual void setTextAlignment(int alignment);
  virtual void setBackgroundOffset(Point offset) { backgroundOffset = offset; }
  virtual void setDataConverter(DataConverter convert, void* data) {
    dataConverter = convert;
    converterUserData = data;
  }
  virtual void setConverter(Converter convert) { converter = convert; }
  virtual void setUserData(void* data) { userData = data; }
  virtual void setStyle(int value);
  virtual void setTextStyle(int value);
  virtual void setTransparentTextBackground(bool flag) { transparentTextBackground = flag; }

  int getStyle() const { return style; }
  int getFont() const { return fontIndex; }
  int getTextAlignment() const { return textAlignment; }
  Color getFontColor() const { return fontColor; }
  Color getBackgroundColor() const { return backgroundColor; }
  Color getFrameColor() const { return frameColor; }
  // The text draw would show for the current value.
  std::string text() const;

 protected:
  ValueDisplay(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
               int style);

  Converter converter = nullptr;
  DataConverter dataConverter = nullptr;
  void* userData = nullptr;
  void* converterUserData = nullptr;
  int textAlignment = 1;
  int style;
  int fontIndex = 3;
  int textStyle = 0;
  Color fontColor = kWhite;
  Color backgroundColor = kBlack;
  Color frameColor = kBlack;
  Color shadowColor = kRed;
  Point backgroundOffset{0, 0};
  bool transparentTextBackground = true;
};

}  // namespace vorlak
