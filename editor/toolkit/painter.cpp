#include "editor/toolkit/painter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "editor/platform/platform.h"
#include "editor/toolkit/root_frame.h"
#include "editor/toolkit/ui_scale.h"

namespace vorlak {

namespace {

bool isEmpty(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

Rect unite(const Rect& a, const Rect& b) {
  if (isEmpty(a)) return b;
  if (isEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

Rect intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

}  // namespace

Painter::Painter(RootFrame* frame, Surface* target, NativeWindow* window)
    : owner(frame), target(target), window(window) {
  clip = frame ? frame->getSize() : Rect{0, 0, 1000, 1000};
  factor = frame ? frame->scale() : 1.0;
}

int Painter::device(int64_t logical) const {
  if (factor == 1.0) return static_cast<int>(std::clamp<int64_t>(logical, INT32_MIN, INT32_MAX));
  const double at = std::floor(static_cast<double>(logical) * factor + 0.5);
  return static_cast<int>(std::clamp<double>(at, INT32_MIN, INT32_MAX));
}

Rect Painter::device(const Rect& r) const {
  return {device(r.left), device(r.top), device(r.right), device(r.bottom)};
}

Rect Painter::deviceClip() const {
  const Rect bounds = target ? Rect{0, 0, target->width(), target->height()} : Rect{0, 0, 0, 0};
  return intersect(device(clip), bounds);
}

Painter::~Painter() {
  if (window && target && !isEmpty(touched) && window->alive()) window->present(*target, touched);
}

void Painter::touch(const Rect& r) { touchDevice(device(r)); }

void Painter::touchDevice(const Rect& r) {
  if (!target) return;
  const Rect inside = intersect(r, {0, 0, target->width(), target->height()});
  if (!isEmpty(inside)) touched = unite(touched, inside);
}

// One logical pixel: a block of device pixels at scales above 1.
void Painter::plot(int x, int y, uint32_t pixel) {
  if (!target) return;
  if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
  if (factor == 1.0) {
    target->set(x, y, pixel);
    return;
  }
  const Rect block = intersect(device(Rect{x, y, x + 1, y + 1}), deviceClip());
  for (int py = block.top; py < block.bottom; ++py)
    for (int px = block.left; px < block.right; ++px) target->set(px, py, pixel);
}

void Painter::moveTo(Point p) { pen = p; }

// As the window system draws them, a line stops one pixel short of its end point, which is
// where the next segment of an outline begins. Step i along the longer axis puts the other
// coordinate at i * minor / major rounded half up; only the steps that can land inside the
// clip are visited, so wild coordinates cost nothing.
void Painter::lineTo(Point p) {
  const Point from = pen;
  pen = p;
  if (!target) return;
  const Rect area = intersect(clip, {0, 0, static_cast<int>(std::ceil(target->width() / factor)),
                                     static_cast<int>(std::ceil(target->height() / factor))});
  if (isEmpty(area)) return;
  const int64_t x0 = int64_t{from.x} + offset.x, y0 = int64_t{from.y} + offset.y;
  const int64_t x1 = int64_t{p.x} + offset.x, y1 = int64_t{p.y} + offset.y;
  const bool alongX = std::llabs(x1 - x0) >= std::llabs(y1 - y0);
  const int64_t major0 = alongX ? x0 : y0, minor0 = alongX ? y0 : x0;
  const int64_t majorDelta = alongX ? x1 - x0 : y1 - y0;
  const int64_t minorDelta = alongX ? y1 - y0 : x1 - x0;
  const int64_t steps = std::llabs(majorDelta);
  if (steps == 0) return;
  const int64_t majorStep = majorDelta > 0 ? 1 : -1, minorStep = minorDelta > 0 ? 1 : -1;
  const int64_t minorSpan = std::llabs(minorDelta);
  const int64_t low = alongX ? area.left : area.top, high = alongX ? area.right : area.bottom;
  int64_t first = majorStep > 0 ? low - major0 : major0 - high + 1;
  int64_t last = majorStep > 0 ? high - major0 : major0 - low + 1;  // exclusive
  first = std::max<int64_t>(first, 0);
  last = std::min(last, steps);
  const uint32_t pixel = frameColor.pixel();
  Rect drawn{0, 0, 0, 0};
  for (int64_t i = first; i < last; ++i) {
    if (lineStyle == 1 && (i & 1) != 0) continue;
    const __int128 numerator = static_cast<__int128>(2 * i) * minorSpan + steps;
    const int64_t minor =
        minor0 + minorStep * static_cast<int64_t>(numerator / (static_cast<__int128>(2) * steps));
    const int64_t major = major0 + majorStep * i;
    const int64_t x = alongX ? major : minor, y = alongX ? minor : major;
    if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) continue;
    const int32_t px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
    plot(px, py, pixel);
    drawn = unite(drawn, {px, py, px + 1, py + 1});
  }
  touch(drawn);
}

void Painter::drawRect(const Rect& r) {
  moveTo({r.left, r.top});
  lineTo({r.right, r.top});
  lineTo({r.right, r.bottom});
  lineTo({r.left, r.bottom});
  lineTo({r.left, r.top});
}

void Painter::fillRect(const Rect& r) {
  if (!target) return;
  const Rect placed{device(int64_t{r.left} + 1 + offset.x), device(int64_t{r.top} + 1 + offset.y),
                    device(int64_t{r.right} + offset.x), device(int64_t{r.bottom} + offset.y)};
  const Rect area = intersect(placed, deviceClip());
  if (isEmpty(area)) return;
  const uint32_t pixel = fillColor.pixel();
  for (int y = area.top; y < area.bottom; ++y) std::fill(target->row(y) + area.left,
                                                         target->row(y) + area.right, pixel);
  touchDevice(area);
}

int Painter::getMouseButtons() { return window ? window->buttons() : 0; }

void Painter::getMouseLocation(Point& where) {
  where = window ? logicalPoint(window->pointer(), factor) : Point{0, 0};
}

OffscreenPainter::OffscreenPainter(RootFrame* frame, int width, int height, Color background)
    : Painter(frame, nullptr, nullptr) {
  picture.resize(device(width), device(height), background.pixel());
  target = &picture;
  clip = {0, 0, width, height};
  setFillColor(background);
  setFrameColor(background);
  fillRect({0, 0, width, height});
  drawRect({0, 0, width, height});
}

void OffscreenPainter::copyTo(Painter& destination, const Rect& area, Point sourceOffset) {
  Surface* to = destination.surface();
  if (!to) return;
  const Rect placed = destination.device(area.offset(destination.offset.x, destination.offset.y));
  to->blit(picture, device(sourceOffset.x), device(sourceOffset.y), placed.left, placed.top,
           placed.width(), placed.height(), destination.deviceClip());
  destination.touchDevice(intersect(placed, destination.deviceClip()));
}

}  // namespace vorlak
