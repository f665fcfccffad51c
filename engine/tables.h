// Lookup tables of the engine. The sine table is shared by every instance in the process;
// the rest belong to an instance.
#pragma once

#include <cstdint>

#include "engine/excitation.h"
#include "engine/maths.h"

namespace vorlak {

constexpr int kSineTableSize = 65536;
constexpr int kCentsRange = 127;  // the cents table covers -127 .. +127

// The frequency in Hz of a MIDI note number, fractional notes included (A4 = 69 = 440 Hz).
inline float noteFrequency(float note) { return 8.17575f * exponential(note * 0.057762265f); }

// Builds the process-wide sine table on first use; safe to call from several threads.
const float* sharedSineTable();

struct EngineTables {
  float noteLengths[4];
  float pickupTable[128];
  float centsStorage[2 * kCentsRange + 1];
  ExcitationSample excitation[kExcitationSlots];

  // centsTable[k] for k in -127 .. 127 (callers clamp).
  const float* cents() const { return centsStorage + kCentsRange; }
};

void buildTables(EngineTables& tables, float sampleRate);
// Rebuilds what depends on the sample rate.
void rebuildPickupTable(EngineTables& tables, float sampleRate);

}  // namespace vorlak
