// The state of a session as the formats that save bytes keep it: the current program and the
// names and 28 values of all 64 programs as edited, every bit kept. Little-endian throughout:
//
//   offset  size  field
//        0     4  "VRLK"
//        4     4  format version, 1
//        8     4  current program, 0 to 63
//       12  8704  64 programs, each a 24-byte name (NUL-terminated, NUL-padded) and 28
//                 single-precision values, 0 to 1
//     8716     4  CRC-32 (the zlib polynomial) of the 8716 bytes before it
//
// A later version keeps the magic and raises the version; this one refuses any other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlak {

class InstrumentCore;

constexpr uint32_t kSessionStateVersion = 1;
constexpr size_t kSessionStateSize = 8720;

// Writes the state into out, which holds kSessionStateSize bytes. Without a bank the factory
// programs stand in for it.
void saveSessionState(const InstrumentCore& core, uint8_t* out);

// The checksum the state ends with, over its first size bytes.
uint32_t sessionStateChecksum(const uint8_t* data, size_t size);

// Takes a saved state: on success every program and the current one as saved, the current
// program's values applied. A blob of another size, magic or version, one whose checksum
// fails, whose program is out of range, a name without its terminator or a value that is not
// a number is refused: false, and nothing changed.
bool loadSessionState(InstrumentCore& core, const uint8_t* data, size_t size);

}  // namespace vorlak
