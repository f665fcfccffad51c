// The module's embedded panel bitmaps, looked up by resource id (128 to 145) and by the
// factor (1, 2 or 3) they were drawn at. They are stored packed and unpacked on demand, when a
// panel opens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlak {

// The BMP file of bitmap id drawn at factor, unpacked into file; false (and file empty) when
// it is not embedded, its stored bytes are damaged or memory runs out.
bool panelBitmap(int id, int factor, std::vector<uint8_t>& file);

namespace embedded {

// data holds the file's length (four bytes, little-endian), then its deflate stream.
struct PanelBitmapEntry {
  int id;
  int factor;
  const uint8_t* data;
  const size_t* size;
};

// Generated from the files present at configure time; ends with an entry of id 0.
extern const PanelBitmapEntry kPanelBitmaps[];

}  // namespace embedded
}  // namespace vorlak
