#include "editor/toolkit/pixmap.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "editor/toolkit/painter.h"
#include "editor/toolkit/resources.h"
#include "editor/toolkit/ui_scale.h"

namespace vorlak {

Pixmap* Pixmap::create(int resourceId, double scale) {
  Pixmap* pixmap = new (std::nothrow) Pixmap;
  if (!pixmap) return nullptr;
  pixmap->id = resourceId;
  if (!(scale > 0.0)) scale = 1.0;
  pixmap->factor = scale;
  // The art drawn natively at 1x, 2x and 3x; the steps between come from the next one up.
  const int native = scale <= 1.0 ? 1 : scale <= 2.0 ? 2 : 3;
  std::vector<uint8_t> file;
  if (!panelBitmap(resourceId, native, file)) return pixmap;
  if (native == scale) {
    decodeBmp(file.data(), file.size(), pixmap->picture);
  } else {
    Surface drawn;
    if (decodeBmp(file.data(), file.size(), drawn))
      downscale(drawn, scaledLength(drawn.width() / native, scale),
                scaledLength(drawn.height() / native, scale), kMagenta.pixel(), pixmap->picture);
  }
  pixmap->measure();
  return pixmap;
}

void Pixmap::measure() {
  logicalWidth = static_cast<int>(std::lround(picture.width() / factor));
  logicalHeight = static_cast<int>(std::lround(picture.height() / factor));
}

Pixmap* Pixmap::fromSurface(const Surface& pixels, double scale) {
  Pixmap* pixmap = new (std::nothrow) Pixmap;
  if (pixmap) {
    pixmap->picture = pixels;
    pixmap->factor = scale > 0.0 ? scale : 1.0;
    pixmap->measure();
  }
  return pixmap;
}

namespace {

// How much of each source pixel falls into each target pixel along one axis, as runs of
// (first source pixel, weights) per target pixel; the weights of one target sum to 1.
struct Coverage {
  int first;
  std::vector<double> weights;
};

std::vector<Coverage> coverageOf(int from, int to) {
  std::vector<Coverage> out(static_cast<size_t>(to));
  const double step = static_cast<double>(from) / to;
  for (int t = 0; t < to; ++t) {
    const double begin = t * step, end = (t + 1) * step;
    Coverage& c = out[static_cast<size_t>(t)];
    c.first = static_cast<int>(begin);
    for (int s = c.first; s < from && s < end; ++s) {
      const double overlap = std::min<double>(s + 1, end) - std::max<double>(s, begin);
      c.weights.push_back(overlap / step);
    }
  }
  return out;
}

}  // namespace

void downscale(const Surface& source, int width, int height, uint32_t key, Surface& out) {
  out.resize(width, height);
  if (out.width() == 0 || source.width() == 0) return;
  key &= 0xffffff;
  const std::vector<Coverage> across = coverageOf(source.width(), out.width());
  const std::vector<Coverage> down = coverageOf(source.height(), out.height());
  for (int y = 0; y < out.height(); ++y) {
    const Coverage& rows = down[static_cast<size_t>(y)];
    for (int x = 0; x < out.width(); ++x) {
      const Coverage& columns = across[static_cast<size_t>(x)];
      double r = 0, g = 0, b = 0, solid = 0;
      for (size_t j = 0; j < rows.weights.size(); ++j) {
        const uint32_t* line = source.row(rows.first + static_cast<int>(j));
        for (size_t i = 0; i < columns.weights.size(); ++i) {
          const uint32_t pixel = line[columns.first + static_cast<int>(i)] & 0xffffff;
          if (pixel == key) continue;
          const double w = rows.weights[j] * columns.weights[i];
          r += w * (pixel >> 16);
          g += w * ((pixel >> 8) & 0xff);
          b += w * (pixel & 0xff);
          solid += w;
        }
      }
      if (solid < 0.5) {
        out.set(x, y, key);
        continue;
      }
      auto channel = [solid](double sum) {
        return static_cast<uint32_t>(std::clamp(sum / solid + 0.5, 0.0, 255.0));
      };
      uint32_t pixel = channel(r) << 16 | channel(g) << 8 | channel(b);
      // Averaging must not land on the key by chance and punch a hole.
      if (pixel == key) pixel ^= 1;
      out.set(x, y, pixel);
    }
  }
}

void Pixmap::forget() {
  if (references <= 0) return;
  if (--references == 0) delete this;
}

namespace {

int32_t clamped(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The destination rectangle plus the painter's offset, and the part of it inside the clip,
// logical; where it lands on the surface, and the clip there, in device pixels.
struct Placement {
  Rect placed;
  Rect visible;
  Rect device;
  Rect deviceClip;
};

Placement place(const Painter& painter, const Rect& destination) {
  const Rect placed{clamped(int64_t{destination.left} + painter.offset.x),
                    clamped(int64_t{destination.top} + painter.offset.y),
                    clamped(int64_t{destination.right} + painter.offset.x),
                    clamped(int64_t{destination.bottom} + painter.offset.y)};
  const Rect& clip = painter.clip;
  return {placed,
          {std::max(placed.left, clip.left), std::max(placed.top, clip.top),
           std::min(placed.right, clip.right), std::min(placed.bottom, clip.bottom)},
          painter.device(placed),
          painter.deviceClip()};
}

}  // namespace

void Pixmap::draw(Painter& painter, const Rect& destination, Point sourceOffset) {
  Surface* target = painter.surface();
  if (!target || picture.width() == 0 || destination.right <= destination.left ||
      destination.bottom <= destination.top)
    return;
  const Placement at = place(painter, destination);
  target->blit(picture, scaledLength(sourceOffset.x, factor), scaledLength(sourceOffset.y, factor),
               at.device.left, at.device.top, clamped(int64_t{at.device.right} - at.device.left),
               clamped(int64_t{at.device.bottom} - at.device.top), at.deviceClip);
  painter.touch(at.visible);
}

void Pixmap::drawTransparent(Painter& painter, const Rect& destination, Point sourceOffset) {
  Surface* target = painter.surface();
  if (!target || picture.width() == 0 || destination.right <= destination.left ||
      destination.bottom <= destination.top)
    return;
  const Placement at = place(painter, destination);
  target->blitTransparent(
      picture, scaledLength(sourceOffset.x, factor), scaledLength(sourceOffset.y, factor),
      at.device.left, at.device.top, clamped(int64_t{at.device.right} - at.device.left),
      clamped(int64_t{at.device.bottom} - at.device.top), at.deviceClip, transparent.pixel());
  painter.touch(at.visible);
}

}  // namespace vorlak
