// Copying a text into a fixed field of a host's or a record's: never more than the field holds.
#pragma once

#include <cstring>

namespace vorlak {

// Writes at most capacity bytes including the terminator; nothing without a destination.
inline void copyText(char* destination, const char* text, int capacity) {
  if (!destination || capacity <= 0) return;
  int length = 0;
  while (length < capacity - 1 && text[length]) ++length;
  std::memcpy(destination, text, static_cast<size_t>(length));
  destination[length] = 0;
}

}  // namespace vorlak
