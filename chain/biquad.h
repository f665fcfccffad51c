// Second-order sections of the Audio EQ Cookbook and the chain's bank of ten of them.
// Coefficients are normalised by a0; the step is direct form I. Zero state: Biquad{}.
#pragma once

namespace vorlak {

enum class BiquadType { LowPass, HighPass, BandPass, Notch, Peaking, LowShelf, HighShelf };

struct Biquad {
  float b0, b1, b2, a1, a2;
  float x1, x2, y1, y2;

  float step(float x) {
    const float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// Sets the coefficients (computed in double precision) and keeps the history, so a
// redesign between blocks does not click. gainDb is used by Peaking and the shelves,
// bandwidthOct (octaves) by all but the shelves, whose slope is fixed at 1.
// freqHz must lie in (0, rateHz/2).
void designBiquad(Biquad& biquad, BiquadType type, float gainDb, float freqHz, float rateHz,
                  float bandwidthOct);

constexpr int kBiquadSlots = 10;

// Slots 0..2 the amplifier's EQ bands, 3 and 4 the output voicing, 5..9 spare.
struct BiquadBank {
  Biquad slots[kBiquadSlots];

  void designBiquad(BiquadType type, float gainDb, float freqHz, float rateHz, float bandwidthOct,
                    int slot) {
    vorlak::designBiquad(slots[slot], type, gainDb, freqHz, rateHz, bandwidthOct);
  }
  float runBiquad(float x, int slot) { return slots[slot].step(x); }
};

}  // namespace vorlak
