#include "instrument/session_state.h"

#include <cmath>
#include <cstring>

#include "instrument/core.h"

namespace vorlak {
namespace {

constexpr uint8_t kMagic[4] = {'V', 'R', 'L', 'K'};
constexpr size_t kProgramsOffset = 12;
constexpr size_t kChecksumOffset = kProgramsOffset + sizeof(Program) * kNumPrograms;
static_assert(kChecksumOffset + 4 == kSessionStateSize);

void putWord(uint8_t* at, uint32_t word) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(word >> (8 * i));
}

uint32_t getWord(const uint8_t* at) {
  uint32_t word = 0;
  for (int i = 0; i < 4; ++i) word |= static_cast<uint32_t>(at[i]) << (8 * i);
  return word;
}

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float floatOf(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

// Bit by bit: the state is a few kilobytes, read and written off the audio thread.
uint32_t sessionStateChecksum(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void saveSessionState(const InstrumentCore& core, uint8_t* out) {
  std::memset(out, 0, kSessionStateSize);
  std::memcpy(out, kMagic, sizeof kMagic);
  putWord(out + 4, kSessionStateVersion);
  putWord(out + 8, static_cast<uint32_t>(core.hasBank() ? core.program() : 0));
  uint8_t* at = out + kProgramsOffset;
  for (int n = 0; n < kNumPrograms; ++n, at += sizeof(Program)) {
    const Program& factory = kFactoryPrograms[n];
    if (!core.programNameAt(n, reinterpret_cast<char*>(at)))
      std::memcpy(at, factory.name, kProgramNameSize);
    for (int i = 0; i < kNumParameters; ++i) {
      const float value = core.hasBank() ? core.programValue(n, i) : factory.values[i];
      putWord(at + kProgramNameSize + 4 * i, bitsOf(value));
    }
  }
  putWord(out + kChecksumOffset, sessionStateChecksum(out, kChecksumOffset));
}

bool loadSessionState(InstrumentCore& core, const uint8_t* data, size_t size) {
  if (!data || size != kSessionStateSize || std::memcmp(data, kMagic, sizeof kMagic) != 0 ||
      getWord(data + 4) != kSessionStateVersion ||
      getWord(data + kChecksumOffset) != sessionStateChecksum(data, kChecksumOffset))
    return false;
  const uint32_t current = getWord(data + 8);
  if (current >= kNumPrograms) return false;

  Program programs[kNumPrograms];
  const uint8_t* at = data + kProgramsOffset;
  for (int n = 0; n < kNumPrograms; ++n, at += sizeof(Program)) {
    if (!std::memchr(at, 0, kProgramNameSize)) return false;
    std::memcpy(programs[n].name, at, kProgramNameSize);
    for (int i = 0; i < kNumParameters; ++i) {
      programs[n].values[i] = floatOf(getWord(at + kProgramNameSize + 4 * i));
      if (!std::isfinite(programs[n].values[i])) return false;
    }
  }
  return core.replaceBank(programs, static_cast<int>(current));
}

}  // namespace vorlak
