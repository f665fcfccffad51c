#include "editor/toolkit/resources.h"

#include <new>

#include "editor/toolkit/inflate.h"

namespace vorlak {

namespace {

// Far above the largest picture (the 3x panel, under 2 MB): a damaged length must not ask for
// gigabytes.
constexpr size_t kLargestFile = 64u << 20;

const embedded::PanelBitmapEntry* find(int id, int factor) {
  if (id == 0) return nullptr;
  for (const embedded::PanelBitmapEntry* entry = embedded::kPanelBitmaps; entry->id != 0; ++entry)
    if (entry->id == id && entry->factor == factor) return entry;
  return nullptr;
}

}  // namespace

bool panelBitmap(int id, int factor, std::vector<uint8_t>& file) {
  file.clear();
  const embedded::PanelBitmapEntry* entry = find(id, factor);
  if (!entry || *entry->size < 4) return false;
  const uint8_t* p = entry->data;
  const size_t length = p[0] | (p[1] << 8) | (size_t{p[2]} << 16) | (size_t{p[3]} << 24);
  if (length > kLargestFile) return false;
  try {
    file.resize(length);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (inflate(p + 4, *entry->size - 4, file.data(), file.size())) return true;
  file.clear();
  return false;
}

}  // namespace vorlak
