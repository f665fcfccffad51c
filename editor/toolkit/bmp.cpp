#include <cstring>
#include <limits>

#include "editor/toolkit/pixmap.h"

namespace vorlak {

namespace {

uint32_t read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

constexpr size_t kFileHeader = 14;
constexpr size_t kInfoHeader = 40;
constexpr int64_t kLargestSide = 16384;

bool decode(const uint8_t* data, size_t size, Surface& out) {
  if (!data || size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') return false;
  const uint64_t pixelsAt = read32(data + 10);
  const uint8_t* info = data + kFileHeader;
  const uint64_t infoSize = read32(info);
  // Later header versions only append fields; the core header of OS/2 is not taken.
  if (infoSize < kInfoHeader || kFileHeader + infoSize > size) return false;
  const int64_t width = static_cast<int32_t>(read32(info + 4));
  const int64_t signedHeight = static_cast<int32_t>(read32(info + 8));
  const unsigned planes = read16(info + 12);
  const unsigned bits = read16(info + 14);
  const uint32_t compression = read32(info + 16);
  const uint64_t colorsUsed = read32(info + 32);
  const bool topDown = signedHeight < 0;
  const int64_t height = topDown ? -signedHeight : signedHeight;
  if (planes != 1 || compression != 0 || (bits != 8 && bits != 24)) return false;
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) return false;

  uint32_t palette[256] = {};
  uint64_t paletteSize = 0;
  if (bits == 8) {
    paletteSize = colorsUsed == 0 ? 256 : colorsUsed;
    if (paletteSize > 256) return false;
    const uint64_t paletteAt = kFileHeader + infoSize;
    if (paletteAt + 4 * paletteSize > size) return false;
    for (uint64_t i = 0; i < paletteSize; ++i) {
      const uint8_t* entry = data + paletteAt + 4 * i;
      palette[i] = (uint32_t{entry[2]} << 16) | (uint32_t{entry[1]} << 8) | entry[0];
    }
  }

  const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  if (pixelsAt < kFileHeader + infoSize || pixelsAt > size ||
      stride * static_cast<uint64_t>(height) > size - pixelsAt)
    return false;

  out.resize(static_cast<int>(width), static_cast<int>(height));
  for (int64_t line = 0; line < height; ++line) {
    const uint8_t* from = data + pixelsAt + stride * static_cast<uint64_t>(line);
    uint32_t* to = out.row(static_cast<int>(topDown ? line : height - 1 - line));
    for (int64_t x = 0; x < width; ++x) {
      if (bits == 8) {
        const uint8_t index = from[x];
        if (index >= paletteSize) return false;
        to[x] = palette[index];
      } else {
        const uint8_t* p = from + 3 * x;
        to[x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      }
    }
  }
  return true;
}

}  // namespace

bool decodeBmp(const uint8_t* data, size_t size, Surface& out) {
  if (decode(data, size, out)) return true;
  out.resize(0, 0);
  return false;
}

}  // namespace vorlak
