// Measurements on rendered audio for tests: pitch, level and sanity of a buffer.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace vorlak::test {

inline double rms(const float* x, int n) {
  if (n <= 0) return 0.0;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += double(x[i]) * x[i];
  return std::sqrt(sum / n);
}

inline double peak(const float* x, int n) {
  double p = 0.0;
  for (int i = 0; i < n; ++i) p = std::max(p, double(std::fabs(x[i])));
  return p;
}

inline bool allFinite(const float* x, int n) {
  return std::all_of(x, x + n, [](float v) { return std::isfinite(v); });
}

// Largest absolute difference between neighbouring samples: a click shows up here.
inline double largestStep(const float* x, int n) {
  double step = 0.0;
  for (int i = 1; i < n; ++i) step = std::max(step, double(std::fabs(x[i] - x[i - 1])));
  return step;
}

// Fundamental frequency in Hz by normalised autocorrelation, or 0 when nothing periodic lies
// between minHz and maxHz. The mean is removed first, since an offset correlates at every lag.
// The first lag whose peak comes near the best one is taken, so a period's multiples do not
// win; parabolic interpolation refines the lag below a sample.
inline double estimatePitch(const float* signal, int n, float rate, float minHz, float maxHz) {
  const int minLag = std::max(2, static_cast<int>(rate / maxHz));
  const int maxLag = std::min(n / 2, static_cast<int>(rate / minHz) + 1);
  if (maxLag <= minLag + 1) return 0.0;
  double mean = 0.0;
  for (int i = 0; i < n; ++i) mean += signal[i];
  mean /= n;
  std::vector<double> x(signal, signal + n);
  for (double& v : x) v -= mean;
  std::vector<double> r(maxLag + 2, 0.0);
  for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
    double cross = 0.0, energy = 0.0;
    for (int i = 0; i + lag < n; ++i) {
      cross += x[i] * x[i + lag];
      energy += x[i] * x[i] + x[i + lag] * x[i + lag];
    }
    r[lag] = energy > 0.0 ? 2.0 * cross / energy : 0.0;
  }
  double best = 0.0;
  for (int lag = minLag; lag <= maxLag; ++lag) best = std::max(best, r[lag]);
  if (best < 0.3) return 0.0;
  for (int lag = minLag; lag <= maxLag; ++lag) {
    if (r[lag] < 0.9 * best || r[lag] < r[lag - 1] || r[lag] < r[lag + 1]) continue;
    const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
    const double curvature = a - 2.0 * b + c;
    const double shift = curvature < 0.0 ? 0.5 * (a - c) / curvature : 0.0;
    return rate / (lag + shift);
  }
  return 0.0;
}

}  // namespace vorlak::test
