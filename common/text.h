// Copying a text into a fixed field of a host's or a record's: never more than the field holds;
// reading the number a text starts with.
#pragma once

#include <charconv>
#include <cstring>
#include <system_error>

namespace vorlak {

// Writes at most capacity bytes including the terminator; nothing without a destination.
inline void copyText(char* destination, const char* text, int capacity) {
  if (!destination || capacity <= 0) return;
  int length = 0;
  while (length < capacity - 1 && text[length]) ++length;
  std::memcpy(destination, text, static_cast<size_t>(length));
  destination[length] = 0;
}

// The decimal number a text starts with, after spaces, tabs and a plus sign; 0 when it starts
// with none. Read the same whatever locale the host has set, where strtod would stop at the
// point of "1.5" under a locale that writes "1,5".
inline double leadingNumber(const char* text) {
  if (!text) return 0.0;
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == '+') ++text;
  double value = 0.0;
  const auto read = std::from_chars(text, text + std::strlen(text), value);
  return read.ec == std::errc() ? value : 0.0;
}

}  // namespace vorlak
