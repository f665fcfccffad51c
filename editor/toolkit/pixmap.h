// A reference-counted picture decoded from one of the module's embedded bitmaps. Opaque
// copies, and transparent ones in which pixels of exactly the transparent colour leave the
// destination alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "editor/toolkit/geometry.h"
#include "editor/toolkit/surface.h"

namespace vorlak {

class Painter;

class Pixmap {
 public:
  // Decodes resource id (128 to 145); a missing or undecodable one gives a 0 x 0 picture that
  // draws nothing. Starts with one reference. Null only when memory runs out.
  static Pixmap* create(int resourceId);
  // For tests and the snapshot tool: a picture made from pixels.
  static Pixmap* fromSurface(const Surface& pixels);

  void remember() { ++references; }
  // At zero the picture is destroyed; a count already at zero or below does nothing.
  void forget();
  int referenceCount() const { return references; }

  int width() const { return picture.width(); }
  int height() const { return picture.height(); }
  int resourceId() const { return id; }
  void setTransparentColor(Color c) { transparent = c; }
  Color transparentColor() const { return transparent; }

  void draw(Painter& painter, const Rect& destination, Point sourceOffset);
  void drawTransparent(Painter& painter, const Rect& destination, Point sourceOffset);

  const Surface& pixels() const { return picture; }

 private:
  Pixmap() = default;
  ~Pixmap() = default;

  int id = 0;
  int references = 1;
  Color transparent = kWhite;
  Surface picture;
};

// Decodes an uncompressed 8-bit palettised or 24-bit BMP; false (and an empty surface) for
// anything else or anything truncated.
bool decodeBmp(const uint8_t* data, size_t size, Surface& out);

}  // namespace vorlak
