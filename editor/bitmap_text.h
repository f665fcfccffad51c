// A line of text drawn from a bitmap font: 16 columns x 6 rows of glyph cells for the codes
// 32 to 127. The text is kept padded with blanks to a fixed field width so that a shorter
// text overwrites a longer one; nothing else clears the area.
#pragma once

#include <atomic>
#include <cstdint>

#include "editor/toolkit/widget.h"

namespace vorlak {

class BitmapText : public Widget {
 public:
  static constexpr int kTextSize = 256;

  // The font is not reference-counted here: its owner keeps it alive as long as the view.
  // The flag is accepted for the caller's sake and ignored.
  BitmapText(const Rect& size, Pixmap* font, int fieldWidth, bool ignored, int32_t characterSpacing,
             int32_t lineSpacing);

  void draw(Painter& painter) override;
  bool isDirty() const override { return textDirty.load(std::memory_order_acquire); }
  void setDirty(bool flag) override { textDirty.store(flag, std::memory_order_release); }

  // printf-style; an empty or missing format leaves the text as it is.
  virtual void setText(const char* format, ...) __attribute__((format(printf, 2, 3)));

  const char* text() const { return buffer; }
  int glyphWidth() const { return glyphW; }
  int glyphHeight() const { return glyphH; }

 private:
  Pixmap* font;
  char buffer[kTextSize] = {};
  int glyphW = 0;
  int glyphH = 0;
  int32_t characterSpacing;
  int32_t lineSpacing;
  int fieldWidth;
  // The panel sets texts from any thread the host changes parameters on: the characters
  // are stored one relaxed store each and the flag raised after them (see common/relaxed.h).
  std::atomic<bool> textDirty{false};
};

}  // namespace vorlak
