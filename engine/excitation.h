#pragma once
#include <cstdint>

namespace vorlak {

constexpr int kExcitationSlots = 29;

// A recorded pluck or slap transient, mono, 44.1 kHz, full scale +/-32767.
struct ExcitationSample {
  const int16_t* values;  // `count` entries
  int32_t count;
};

// The sample embedded for a slot; {nullptr, 0} for empty or out-of-range slots.
ExcitationSample embeddedExcitation(int slot);

}  // namespace vorlak
