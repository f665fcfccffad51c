// The module's embedded panel bitmaps, looked up by resource id (128 to 145) and by the
// factor (1, 2 or 3) they were drawn at.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlak {

// The BMP file bytes of bitmap id drawn at factor; false (and nothing written) when it is
// not embedded.
bool panelBitmap(int id, int factor, const uint8_t** data, size_t* size);
inline bool panelBitmap(int id, const uint8_t** data, size_t* size) {
  return panelBitmap(id, 1, data, size);
}

namespace embedded {

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
