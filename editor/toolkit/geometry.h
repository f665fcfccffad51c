// Colours, points and rectangles of the panel, in pixels, y downwards. A rectangle's right
// and bottom are exclusive for sizes but a point on them still counts as inside (the frame's
// hit test includes the edges).
#pragma once

#include <cstdint>

namespace vorlak {

struct Color {
  uint8_t red, green, blue, unused;

  // The surface's pixel format: 0x00RRGGBB.
  constexpr uint32_t pixel() const {
    return (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) | blue;
  }
  constexpr bool operator==(const Color&) const = default;
};

constexpr Color kWhite{255, 255, 255, 0};
constexpr Color kBlack{0, 0, 0, 0};
constexpr Color kGrey{127, 127, 127, 0};
constexpr Color kRed{255, 0, 0, 0};
constexpr Color kGreen{0, 255, 0, 0};
constexpr Color kBlue{0, 0, 255, 0};
constexpr Color kYellow{255, 255, 0, 0};
constexpr Color kMagenta{255, 0, 255, 0};
constexpr Color kCyan{0, 255, 255, 0};

struct Point {
  int32_t x, y;
  constexpr bool operator==(const Point&) const = default;
};

struct Rect {
  int32_t left, top, right, bottom;

  constexpr int32_t width() const { return right - left; }
  constexpr int32_t height() const { return bottom - top; }
  // Edges included.
  constexpr bool contains(Point p) const {
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
  }
  constexpr bool overlaps(const Rect& r) const {
    return left < r.right && r.left < right && top < r.bottom && r.top < bottom;
  }
  constexpr bool covers(const Rect& r) const {
    return left <= r.left && top <= r.top && r.right <= right && r.bottom <= bottom;
  }
  constexpr Rect offset(int32_t dx, int32_t dy) const {
    return {left + dx, top + dy, right + dx, bottom + dy};
  }
  constexpr bool operator==(const Rect&) const = default;
};

// Mouse button and modifier bits as widgets read them.
enum MouseButtons : int {
  kLeftButton = 1,
  kMiddleButton = 2,
  kRightButton = 4,
  kShift = 8,
  kControl = 16,
  kAlt = 32,
};

}  // namespace vorlak
