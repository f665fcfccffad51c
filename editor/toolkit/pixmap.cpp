#include "editor/toolkit/pixmap.h"

#include <algorithm>
#include <new>

#include "editor/toolkit/painter.h"
#include "editor/toolkit/resources.h"

namespace vorlak {

Pixmap* Pixmap::create(int resourceId) {
  Pixmap* pixmap = new (std::nothrow) Pixmap;
  if (!pixmap) return nullptr;
  pixmap->id = resourceId;
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (panelBitmap(resourceId, &data, &size)) decodeBmp(data, size, pixmap->picture);
  return pixmap;
}

Pixmap* Pixmap::fromSurface(const Surface& pixels) {
  Pixmap* pixmap = new (std::nothrow) Pixmap;
  if (pixmap) pixmap->picture = pixels;
  return pixmap;
}

void Pixmap::forget() {
  if (references <= 0) return;
  if (--references == 0) delete this;
}

namespace {

int32_t clamped(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The destination rectangle plus the painter's offset, and the part of it inside the clip.
struct Placement {
  Rect placed;
  Rect visible;
};

Placement place(const Painter& painter, const Rect& destination) {
  const Rect placed{clamped(int64_t{destination.left} + painter.offset.x),
                    clamped(int64_t{destination.top} + painter.offset.y),
                    clamped(int64_t{destination.right} + painter.offset.x),
                    clamped(int64_t{destination.bottom} + painter.offset.y)};
  const Rect& clip = painter.clip;
  return {placed,
          {std::max(placed.left, clip.left), std::max(placed.top, clip.top),
           std::min(placed.right, clip.right), std::min(placed.bottom, clip.bottom)}};
}

}  // namespace

void Pixmap::draw(Painter& painter, const Rect& destination, Point sourceOffset) {
  Surface* target = painter.surface();
  if (!target || picture.width() == 0 || destination.right <= destination.left ||
      destination.bottom <= destination.top)
    return;
  const Placement at = place(painter, destination);
  target->blit(picture, sourceOffset.x, sourceOffset.y, at.placed.left, at.placed.top,
               clamped(int64_t{at.placed.right} - at.placed.left),
               clamped(int64_t{at.placed.bottom} - at.placed.top), painter.clip);
  painter.touch(at.visible);
}

void Pixmap::drawTransparent(Painter& painter, const Rect& destination, Point sourceOffset) {
  Surface* target = painter.surface();
  if (!target || picture.width() == 0 || destination.right <= destination.left ||
      destination.bottom <= destination.top)
    return;
  const Placement at = place(painter, destination);
  target->blitTransparent(picture, sourceOffset.x, sourceOffset.y, at.placed.left, at.placed.top,
                          clamped(int64_t{at.placed.right} - at.placed.left),
                          clamped(int64_t{at.placed.bottom} - at.placed.top), painter.clip,
                          transparent.pixel());
  painter.touch(at.visible);
}

}  // namespace vorlak
