#include "editor/bitmap_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "editor/toolkit/pixmap.h"
#include "common/relaxed.h"

namespace vorlak {

BitmapText::BitmapText(const Rect& size, Pixmap* font, int fieldWidth, bool,
                       int32_t characterSpacing, int32_t lineSpacing)
    : Widget(size),
      font(font),
      glyphW(font ? font->width() / 16 : 0),
      glyphH(font ? font->height() / 6 : 0),
      characterSpacing(characterSpacing),
      lineSpacing(lineSpacing),
      fieldWidth(std::clamp(fieldWidth, 0, kTextSize - 1)) {}

void BitmapText::setText(const char* format, ...) {
  if (!format || !*format) return;
  char formatted[kTextSize];
  va_list arguments;
  va_start(arguments, format);
  const int written = std::vsnprintf(formatted, sizeof formatted, format, arguments);
  va_end(arguments);
  size_t length = written < 0 ? 0 : std::strlen(formatted);
  // Blanks up to the field width overwrite whatever a longer text left behind.
  while (length < static_cast<size_t>(fieldWidth)) formatted[length++] = ' ';
  formatted[fieldWidth] = '\0';
  for (int i = 0; i <= fieldWidth; ++i) relaxedStore(buffer[i], formatted[i]);
  textDirty.store(true, std::memory_order_release);
}

void BitmapText::draw(Painter& painter) {
  textDirty.store(false, std::memory_order_relaxed);
  if (!font || glyphW <= 0 || glyphH <= 0) return;
  int32_t x = 0, y = 0;
  for (int i = 0; i < kTextSize; ++i) {
    const auto ch = static_cast<unsigned char>(relaxedLoad(buffer[i]));
    if (ch == 0) break;
    if (ch == '\n') {
      x = 0;
      y += glyphH + lineSpacing;
      continue;
    }
    if (ch < 32) continue;
    const Point source{glyphW * (ch & 15), glyphH * ((ch - 32) / 16)};
    const int32_t left = size.left + x, top = size.top + y;
    font->draw(painter, {left, top, left + glyphW, top + glyphH}, source);
    x += glyphW + characterSpacing;
  }
}

}  // namespace vorlak
