#include "editor/toolkit/surface.h"

#include <algorithm>
#include <cstring>

namespace vorlak {

void Surface::resize(int width, int height, uint32_t fill) {
  w = std::max(width, 0);
  h = std::max(height, 0);
  if (w == 0 || h == 0) w = h = 0;
  pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), fill);
}

uint32_t Surface::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= w || y >= h) return 0;
  return row(y)[x];
}

void Surface::set(int x, int y, uint32_t pixel) {
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  row(y)[x] = pixel;
}

namespace {

// The destination block left after clipping to both surfaces and clip, in 64 bits so that
// wild coordinates cannot overflow; empty when nothing remains.
struct Span {
  int64_t x0, y0, x1, y1;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};

Span clipBlock(const Surface& source, const Surface& dest, int sx, int sy, int dx, int dy,
               int width, int height, const Rect& clip) {
  const int64_t shiftX = int64_t{sx} - dx;
  const int64_t shiftY = int64_t{sy} - dy;
  Span s{dx, dy, int64_t{dx} + width, int64_t{dy} + height};
  s.x0 = std::max({s.x0, int64_t{clip.left}, int64_t{0}, -shiftX});
  s.y0 = std::max({s.y0, int64_t{clip.top}, int64_t{0}, -shiftY});
  s.x1 = std::min({s.x1, int64_t{clip.right}, int64_t{dest.width()},
                   int64_t{source.width()} - shiftX});
  s.y1 = std::min({s.y1, int64_t{clip.bottom}, int64_t{dest.height()},
                   int64_t{source.height()} - shiftY});
  return s;
}

}  // namespace

void Surface::blit(const Surface& source, int sx, int sy, int dx, int dy, int width, int height,
                   const Rect& clip) {
  if (&source == this) {
    const Surface copy = source;
    blit(copy, sx, sy, dx, dy, width, height, clip);
    return;
  }
  const Span s = clipBlock(source, *this, sx, sy, dx, dy, width, height, clip);
  if (s.empty()) return;
  const int64_t shiftX = int64_t{sx} - dx;
  const int64_t shiftY = int64_t{sy} - dy;
  const size_t count = static_cast<size_t>(s.x1 - s.x0);
  for (int64_t y = s.y0; y < s.y1; ++y) {
    std::memcpy(row(static_cast<int>(y)) + s.x0,
                source.row(static_cast<int>(y + shiftY)) + (s.x0 + shiftX),
                count * sizeof(uint32_t));
  }
}

void Surface::blitTransparent(const Surface& source, int sx, int sy, int dx, int dy, int width,
                              int height, const Rect& clip, uint32_t key) {
  if (&source == this) {
    const Surface copy = source;
    blitTransparent(copy, sx, sy, dx, dy, width, height, clip, key);
    return;
  }
  const Span s = clipBlock(source, *this, sx, sy, dx, dy, width, height, clip);
  if (s.empty()) return;
  const int64_t shiftX = int64_t{sx} - dx;
  const int64_t shiftY = int64_t{sy} - dy;
  key &= 0xffffff;
  for (int64_t y = s.y0; y < s.y1; ++y) {
    uint32_t* to = row(static_cast<int>(y));
    const uint32_t* from = source.row(static_cast<int>(y + shiftY));
    for (int64_t x = s.x0; x < s.x1; ++x) {
      const uint32_t pixel = from[x + shiftX];
      if ((pixel & 0xffffff) != key) to[x] = pixel;
    }
  }
}

}  // namespace vorlak
