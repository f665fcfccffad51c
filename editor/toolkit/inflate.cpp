#include "editor/toolkit/inflate.h"

#include <cstring>

namespace vorlak {

namespace {

// Bits are taken from the least significant end of each byte, as the format packs them. Bytes
// are loaded only as needed, so fewer than eight bits wait after every take.
struct BitReader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint32_t bits = 0;
  int count = 0;

  bool read(int n, uint32_t& value) {
    while (count < n) {
      if (at == size) return false;
      bits |= uint32_t{data[at++]} << count;
      count += 8;
    }
    value = bits & ((uint32_t{1} << n) - 1);
    bits >>= n;
    count -= n;
    return true;
  }
};

constexpr int kMaxBits = 15;
constexpr int kLiteralSymbols = 288;
constexpr int kEndOfBlock = 256;
constexpr int kLengthCodes = 29;
constexpr int kDistanceCodes = 30;

// A canonical Huffman code as the counts of codes of each length and the symbols in code
// order, which is all a bit-at-a-time decoder needs.
struct Huffman {
  uint16_t count[kMaxBits + 1];
  uint16_t symbol[kLiteralSymbols];
};

// False when the lengths ask for more codes than there are. A code with unused codes is
// taken: decoding one of those fails instead.
bool build(Huffman& code, const uint8_t* lengths, int symbols) {
  std::memset(code.count, 0, sizeof code.count);
  for (int s = 0; s < symbols; ++s) ++code.count[lengths[s]];
  int left = 1;
  for (int length = 1; length <= kMaxBits; ++length) {
    left = 2 * left - code.count[length];
    if (left < 0) return false;
  }
  uint16_t next[kMaxBits + 1] = {};
  for (int length = 1; length < kMaxBits; ++length)
    next[length + 1] = static_cast<uint16_t>(next[length] + code.count[length]);
  for (int s = 0; s < symbols; ++s)
    if (lengths[s] != 0) code.symbol[next[lengths[s]]++] = static_cast<uint16_t>(s);
  return true;
}

// The next symbol, or -1 when the input ends or its bits name no symbol. Canonical codes of
// one length are consecutive numbers, the first of each length following the last of the one
// before, doubled.
int decode(BitReader& in, const Huffman& code) {
  int value = 0, first = 0, index = 0;
  for (int length = 1; length <= kMaxBits; ++length) {
    uint32_t bit;
    if (!in.read(1, bit)) return -1;
    value |= static_cast<int>(bit);
    const int count = code.count[length];
    if (value - first < count) return code.symbol[index + value - first];
    index += count;
    first = (first + count) << 1;
    value <<= 1;
  }
  return -1;
}

// Lengths 3 to 258 and distances 1 to 32768: each code stands for a base and a number of extra
// bits, the extra bits growing by one every four length codes and every two distance codes.
struct Ranges {
  uint16_t lengthBase[kLengthCodes];
  uint8_t lengthExtra[kLengthCodes];
  uint16_t distanceBase[kDistanceCodes];
  uint8_t distanceExtra[kDistanceCodes];
};

constexpr Ranges makeRanges() {
  Ranges r{};
  int base = 3;
  for (int c = 0; c < kLengthCodes - 1; ++c) {
    r.lengthExtra[c] = static_cast<uint8_t>(c < 8 ? 0 : (c - 4) / 4);
    r.lengthBase[c] = static_cast<uint16_t>(base);
    base += 1 << r.lengthExtra[c];
  }
  // The last code is 258 exactly, one short of where the series would go.
  r.lengthBase[kLengthCodes - 1] = 258;
  base = 1;
  for (int c = 0; c < kDistanceCodes; ++c) {
    r.distanceExtra[c] = static_cast<uint8_t>(c < 4 ? 0 : (c - 2) / 2);
    r.distanceBase[c] = static_cast<uint16_t>(base);
    base += 1 << r.distanceExtra[c];
  }
  return r;
}

constexpr Ranges kRanges = makeRanges();

struct Output {
  uint8_t* data;
  size_t size;
  size_t at = 0;
};

bool storedBlock(BitReader& in, Output& out) {
  in.bits = 0;  // the rest of the byte the block header was in
  in.count = 0;
  if (in.size - in.at < 4) return false;
  const uint8_t* p = in.data + in.at;
  const size_t length = p[0] | (p[1] << 8);
  if ((length ^ (p[2] | (p[3] << 8))) != 0xffff) return false;
  in.at += 4;
  if (in.size - in.at < length || out.size - out.at < length) return false;
  if (length != 0) std::memcpy(out.data + out.at, in.data + in.at, length);
  in.at += length;
  out.at += length;
  return true;
}

bool codedBlock(BitReader& in, Output& out, const Huffman& literals, const Huffman& distances) {
  for (;;) {
    int symbol = decode(in, literals);
    if (symbol < 0) return false;
    if (symbol < kEndOfBlock) {
      if (out.at == out.size) return false;
      out.data[out.at++] = static_cast<uint8_t>(symbol);
      continue;
    }
    if (symbol == kEndOfBlock) return true;
    symbol -= kEndOfBlock + 1;
    if (symbol >= kLengthCodes) return false;
    uint32_t extra;
    if (!in.read(kRanges.lengthExtra[symbol], extra)) return false;
    const size_t length = kRanges.lengthBase[symbol] + extra;
    symbol = decode(in, distances);
    if (symbol < 0 || symbol >= kDistanceCodes) return false;
    if (!in.read(kRanges.distanceExtra[symbol], extra)) return false;
    const size_t distance = kRanges.distanceBase[symbol] + extra;
    if (distance > out.at || length > out.size - out.at) return false;
    // Byte by byte: a copy may overlap what it writes, repeating a short run.
    for (size_t i = 0; i < length; ++i, ++out.at) out.data[out.at] = out.data[out.at - distance];
  }
}

bool fixedBlock(BitReader& in, Output& out) {
  uint8_t lengths[kLiteralSymbols];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 256 - 144);
  std::memset(lengths + 256, 7, 280 - 256);
  std::memset(lengths + 280, 8, kLiteralSymbols - 280);
  Huffman literals, distances;
  build(literals, lengths, kLiteralSymbols);
  std::memset(lengths, 5, kDistanceCodes);
  build(distances, lengths, kDistanceCodes);
  return codedBlock(in, out, literals, distances);
}

bool dynamicBlock(BitReader& in, Output& out) {
  uint32_t literalCount, distanceCount, lengthCodeCount;
  if (!in.read(5, literalCount) || !in.read(5, distanceCount) || !in.read(4, lengthCodeCount))
    return false;
  literalCount += 257;
  distanceCount += 1;
  lengthCodeCount += 4;
  if (literalCount > 286 || distanceCount > kDistanceCodes) return false;

  // The code lengths are themselves Huffman coded; the lengths of that code come in this order,
  // the commonest first, so that trailing zeros can be left out.
  constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  uint8_t lengths[286 + kDistanceCodes] = {};
  for (uint32_t i = 0; i < lengthCodeCount; ++i) {
    uint32_t length;
    if (!in.read(3, length)) return false;
    lengths[kOrder[i]] = static_cast<uint8_t>(length);
  }
  Huffman lengthCode;
  if (!build(lengthCode, lengths, 19)) return false;

  // 16 repeats the previous length 3 to 6 times, 17 and 18 give 3 to 10 and 11 to 138 zeros.
  const uint32_t total = literalCount + distanceCount;
  uint32_t index = 0;
  while (index < total) {
    const int symbol = decode(in, lengthCode);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[index++] = static_cast<uint8_t>(symbol);
      continue;
    }
    uint8_t repeated = 0;
    uint32_t times;
    if (symbol == 16) {
      if (index == 0 || !in.read(2, times)) return false;
      repeated = lengths[index - 1];
      times += 3;
    } else if (symbol == 17) {
      if (!in.read(3, times)) return false;
      times += 3;
    } else {
      if (!in.read(7, times)) return false;
      times += 11;
    }
    if (times > total - index) return false;
    while (times-- > 0) lengths[index++] = repeated;
  }
  if (lengths[kEndOfBlock] == 0) return false;  // a block that could never end
  Huffman literals, distances;
  if (!build(literals, lengths, static_cast<int>(literalCount)) ||
      !build(distances, lengths + literalCount, static_cast<int>(distanceCount)))
    return false;
  return codedBlock(in, out, literals, distances);
}

}  // namespace

bool inflate(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t outSize) {
  if (!packed || (!out && outSize != 0)) return false;
  BitReader in{packed, packedSize};
  Output to{out, outSize};
  uint32_t last = 0;
  while (last == 0) {
    uint32_t type;
    if (!in.read(1, last) || !in.read(2, type)) return false;
    const bool whole = type == 0   ? storedBlock(in, to)
                       : type == 1 ? fixedBlock(in, to)
                       : type == 2 ? dynamicBlock(in, to)
                                   : false;
    if (!whole) return false;
  }
  return to.at == outSize && in.at == packedSize;
}

}  // namespace vorlak
