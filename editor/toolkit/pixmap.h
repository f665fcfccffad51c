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
  // Decodes resource id (128 to 145) for a panel at scale: the art drawn at that factor, or
  // filtered down from the next larger one drawn (transparent pixels stay transparent). A
  // missing or undecodable one gives a 0 x 0 picture that draws nothing. Starts with one
  // reference. Null only when memory runs out.
  static Pixmap* create(int resourceId, double scale = 1.0);
  // For tests and the snapshot tool: a picture made from pixels, drawn at scale.
  static Pixmap* fromSurface(const Surface& pixels, double scale = 1.0);

  void remember() { ++references; }
  // At zero the picture is destroyed; a count already at zero or below does nothing.
  void forget();
  int referenceCount() const { return references; }

  // The panel area the picture covers, logical; pixels() holds scale() times as many.
  int width() const { return logicalWidth; }
  int height() const { return logicalHeight; }
  double scale() const { return factor; }
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
  double factor = 1.0;
  int logicalWidth = 0;
  int logicalHeight = 0;
  Color transparent = kWhite;
  Surface picture;

  void measure();
};

// Area-averaged reduction of source to width x height. Pixels equal to key count as holes: a
// target pixel mostly covered by them stays key, any other averages only the rest.
void downscale(const Surface& source, int width, int height, uint32_t key, Surface& out);

// Decodes an uncompressed 8-bit palettised or 24-bit BMP; false (and an empty surface) for
// anything else or anything truncated.
bool decodeBmp(const uint8_t* data, size_t size, Surface& out);

}  // namespace vorlak
