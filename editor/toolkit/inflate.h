// Unpacks a raw deflate stream (the LZ77 and Huffman format of RFC 1951, as Python's zlib
// writes it), in which the build stores the panel's art. Written for data that may be
// damaged: nothing outside the two buffers is read or written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlak {

// Unpacks packed into out; true only when the stream is whole, ends with its last byte and
// fills out exactly. On false, out holds an unspecified prefix.
bool inflate(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t outSize);

}  // namespace vorlak
