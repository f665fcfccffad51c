#include "engine/tables.h"

#include <mutex>

#include "engine/maths.h"

namespace vorlak {
namespace {

float sineStorage[kSineTableSize];

void buildSineTable() {
  // 6.28318 as a float (slightly below 2 pi), so entry 32768 is a small positive value.
  // i * step is exact in double, and sine(double) rounded to float gives the same entries as
  // the long double sine did.
  const double step = static_cast<double>(6.28318f) / kSineTableSize;
  for (int i = 0; i < kSineTableSize; ++i)
    sineStorage[i] = static_cast<float>(sine(static_cast<double>(i) * step));
}

}  // namespace

const float* sharedSineTable() {
  static std::once_flag built;
  std::call_once(built, buildSineTable);
  return sineStorage;
}

void rebuildPickupTable(EngineTables& tables, float sampleRate) {
  static constexpr float kRatios[6] = {1.0f, 1.166f, 1.333f, 1.5f, 1.666f, 1.83319f};
  const float scale = sampleRate * (1.0f / 44100.0f);
  for (int n = 0; n < 128; ++n) tables.pickupTable[n] = kRatios[n % 6] * scale;
}

void buildTables(EngineTables& tables, float sampleRate) {
  sharedSineTable();
  static constexpr float kNoteLengths[4] = {0.25f, 0.5f, 1.0f, 2.0f};
  for (int i = 0; i < 4; ++i) tables.noteLengths[i] = kNoteLengths[i];
  rebuildPickupTable(tables, sampleRate);

  double up = 1.0;
  tables.centsStorage[kCentsRange] = 1.0f;
  for (int k = 1; k <= kCentsRange; ++k) {
    up *= 1.00057779;
    tables.centsStorage[kCentsRange + k] = static_cast<float>(up);
    tables.centsStorage[kCentsRange - k] = static_cast<float>(1.0 / up);
  }

  for (int slot = 0; slot < kExcitationSlots; ++slot)
    tables.excitation[slot] = embeddedExcitation(slot);
}

}  // namespace vorlak
