#include "formats/vst3/text.h"

namespace vorlak::vst3 {

void copyField(char* field, size_t count, const char* text) {
  size_t i = 0;
  for (; text && text[i] && i + 1 < count; ++i) field[i] = text[i];
  field[i] = 0;
}

void copyField(Char16* field, size_t count, const char* text) {
  size_t i = 0;
  for (; text && text[i] && i + 1 < count; ++i)
    field[i] = static_cast<Char16>(static_cast<unsigned char>(text[i]));
  field[i] = 0;
}

void copyText(String128 field, const char* text) { copyField(field, 128, text); }

void asciiText(const Char16* text, char* out, size_t size) {
  size_t i = 0;
  for (; text && text[i] && i + 1 < size; ++i) out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  out[i] = 0;
}

}  // namespace vorlak::vst3
