#include "editor/toolkit/resources.h"

namespace vorlak {

bool panelBitmap(int id, int factor, const uint8_t** data, size_t* size) {
  if (id == 0) return false;
  for (const embedded::PanelBitmapEntry* entry = embedded::kPanelBitmaps; entry->id != 0;
       ++entry) {
    if (entry->id != id || entry->factor != factor) continue;
    if (data) *data = entry->data;
    if (size) *size = *entry->size;
    return true;
  }
  return false;
}

}  // namespace vorlak
