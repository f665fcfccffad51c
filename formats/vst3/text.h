// Texts between the core's 8-bit strings and the interface's UTF-16 ones. The core's texts
// are ASCII; a host's character outside it becomes '?', which matches nothing the core parses.
#pragma once

#include <cstddef>

#include "formats/vst3/vst3.h"

namespace vorlak::vst3 {

// Copies text into a 128-character field, cut to fit and always terminated.
void copyText(String128 field, const char* text);
// Copies a terminated UTF-16 text into out (size bytes, terminated); null reads as empty.
void asciiText(const Char16* text, char* out, size_t size);
// Copies text into a fixed 8-bit or UTF-16 field of count characters, cut and terminated.
void copyField(char* field, size_t count, const char* text);
void copyField(Char16* field, size_t count, const char* text);

}  // namespace vorlak::vst3
