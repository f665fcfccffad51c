// A 32-bit pixel surface (0x00RRGGBB): the frame's back buffer or an off-screen picture.
// The panel is drawn identically everywhere and can be checked pixel by pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/toolkit/geometry.h"

namespace vorlak {

class Surface {
 public:
  Surface() = default;
  Surface(int width, int height, uint32_t fill = 0) { resize(width, height, fill); }

  void resize(int width, int height, uint32_t fill = 0);
  int width() const { return w; }
  int height() const { return h; }
  uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w); }
  const uint32_t* row(int y) const {
    return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
  }
  // Reads outside the surface answer 0; writes outside it are dropped.
  uint32_t at(int x, int y) const;
  void set(int x, int y, uint32_t pixel);
  // Copies a width x height block from source at (sx, sy) to (dx, dy), clipped to both
  // surfaces and to clip (destination coordinates).
  void blit(const Surface& source, int sx, int sy, int dx, int dy, int width, int height,
            const Rect& clip);
  // As blit, but source pixels equal to key (0x00RRGGBB) leave the destination unchanged.
  void blitTransparent(const Surface& source, int sx, int sy, int dx, int dy, int width,
                       int height, const Rect& clip, uint32_t key);
  const std::vector<uint32_t>& data() const { return pixels; }

 private:
  int w = 0;
  int h = 0;
  std::vector<uint32_t> pixels;
};

}  // namespace vorlak
