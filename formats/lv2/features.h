// Looking up a feature the host passed, for the plug-in and its UI alike.
#pragma once

#include <lv2/core/lv2.h>

#include <cstring>

namespace vorlak::lv2 {

// The data of the feature with this URI, or null; entries without a URI are passed over.
inline const void* featureData(const LV2_Feature* const* features, const char* uri) {
  if (!features) return nullptr;
  for (const LV2_Feature* const* f = features; *f; ++f)
    if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
  return nullptr;
}

}  // namespace vorlak::lv2
