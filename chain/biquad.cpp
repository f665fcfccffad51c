#include "chain/biquad.h"

#include <cmath>

#include "engine/maths.h"

namespace vorlak {

void designBiquad(Biquad& biquad, BiquadType type, float gainDb, float freqHz, float rateHz,
                  float bandwidthOct) {
  const double A = powerOfTen(static_cast<double>(gainDb) * 0.025);
  const double w0 = static_cast<double>(freqHz) * 6.2831855 / static_cast<double>(rateHz);
  const double sinW = sine(w0);
  const double cosW = cosine(w0);
  const double alpha =
      sinW * hyperbolicSine(0.3465736 * static_cast<double>(bandwidthOct) * w0 / sinW);
  // 2·sqrt(A)·alpha of the cookbook's shelves with the slope at 1. sqrt is exactly rounded, the
  // same bits from any C runtime.
  const double shelf = std::sqrt(2.0 * A) * sinW;

  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a0 = 1.0, a1 = 0.0, a2 = 0.0;
  switch (type) {
    case BiquadType::LowPass:
      b0 = (1.0 - cosW) * 0.5;
      b1 = 1.0 - cosW;
      b2 = b0;
      a0 = 1.0 + alpha;
      a1 = -2.0 * cosW;
      a2 = 1.0 - alpha;
      break;
    case BiquadType::HighPass:
      b0 = (1.0 + cosW) * 0.5;
      b1 = -(1.0 + cosW);
      b2 = b0;
      a0 = 1.0 + alpha;
      a1 = -2.0 * cosW;
      a2 = 1.0 - alpha;
      break;
    case BiquadType::BandPass:
      b0 = alpha;
      b1 = 0.0;
      b2 = -alpha;
      a0 = 1.0 + alpha;
      a1 = -2.0 * cosW;
      a2 = 1.0 - alpha;
      break;
    case BiquadType::Notch:
      b0 = 1.0;
      b1 = -2.0 * cosW;
      b2 = 1.0;
      a0 = 1.0 + alpha;
      a1 = -2.0 * cosW;
      a2 = 1.0 - alpha;
      break;
    case BiquadType::Peaking:
      b0 = 1.0 + alpha * A;
      b1 = -2.0 * cosW;
      b2 = 1.0 - alpha * A;
      a0 = 1.0 + alpha / A;
      a1 = -2.0 * cosW;
      a2 = 1.0 - alpha / A;
      break;
    case BiquadType::LowShelf:
      b0 = A * ((A + 1.0) - (A - 1.0) * cosW + shelf);
      b1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * cosW);
      b2 = A * ((A + 1.0) - (A - 1.0) * cosW - shelf);
      a0 = (A + 1.0) + (A - 1.0) * cosW + shelf;
      a1 = -2.0 * ((A - 1.0) + (A + 1.0) * cosW);
      a2 = (A + 1.0) + (A - 1.0) * cosW - shelf;
      break;
    case BiquadType::HighShelf:
      b0 = A * ((A + 1.0) + (A - 1.0) * cosW + shelf);
      b1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * cosW);
      b2 = A * ((A + 1.0) + (A - 1.0) * cosW - shelf);
      a0 = (A + 1.0) - (A - 1.0) * cosW + shelf;
      a1 = 2.0 * ((A - 1.0) - (A + 1.0) * cosW);
      a2 = (A + 1.0) - (A - 1.0) * cosW - shelf;
      break;
  }
  biquad.b0 = static_cast<float>(b0 / a0);
  biquad.b1 = static_cast<float>(b1 / a0);
  biquad.b2 = static_cast<float>(b2 / a0);
  biquad.a1 = static_cast<float>(a1 / a0);
  biquad.a2 = static_cast<float>(a2 / a0);
}

}  // namespace vorlak
