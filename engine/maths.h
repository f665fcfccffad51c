// The project's own sine, cosine, exponential, power of ten and hyperbolic sine, used by the
// audio path and its set-up instead of the C runtime's. Runtimes round differently (glibc,
// MinGW's and the Windows one disagree on a fraction of arguments) and some are many times
// slower; these use only + - * /, comparisons, conversions and bit copies, every one exactly
// rounded by IEEE 754, so any x86-64 compiler doing its arithmetic in SSE2 without
// contraction (-ffp-contract=off, no fast-math) gives the same bits from the same argument.
// Float results are computed in double and rounded once, so they are almost always the
// correctly rounded value. Each function names its domain; the unit test measures the error
// there. Outside it the result is still the same bits everywhere, only less accurate.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

namespace vorlak {
namespace maths_internal {

// Made by tools/gen_maths_coefficients.py: weighted minimax fits of the correction terms
// only, so rounding them to double costs nothing measurable.
// sin r = r + r^3 P(r^2), |r| <= pi/4
inline constexpr double kSineDouble[6] = {-0x1.5555555555548p-3,  0x1.111111110f7d0p-7,
                                          -0x1.a01a019bfdee1p-13, 0x1.71de3567d2a22p-19,
                                          -0x1.ae5e5a910676cp-26, 0x1.5d8fd186c66e8p-33};
// cos r = 1 - r^2/2 + r^4 P(r^2)
inline constexpr double kCosineDouble[6] = {0x1.555555555554bp-5,  -0x1.6c16c16c14f91p-10,
                                            0x1.a01a019c844d7p-16, -0x1.27e4f7eac3510p-22,
                                            0x1.1ee9d7b3e6f22p-29, -0x1.8fa499825d864p-37};
// the same for float results
inline constexpr double kSineFloat[5] = {-0x1.5555555552239p-3, 0x1.1111110c8730dp-7,
                                         -0x1.a019f93965692p-13, 0x1.71d76d14a7943p-19,
                                         -0x1.a961a0d4f8a60p-26};
// the same for float results
inline constexpr double kCosineFloat[5] = {0x1.5555555552ddbp-5, -0x1.6c16c167210f5p-10,
                                           0x1.a019fa5ff9007p-16, -0x1.27e00b8f8498cp-22,
                                           0x1.1bbe8daad8421p-29};
// e^r = 1 + r + r^2 P(r), |r| <= ln2/2
inline constexpr double kExponentialDouble[10] = {
    0x1.000000000000ap-1,  0x1.55555555554fap-3,  0x1.555555555088cp-5,  0x1.1111111127b9ep-7,
    0x1.6c16c18426776p-10, 0x1.a01a012a68e3fp-13, 0x1.a0199a16c3f8dp-16, 0x1.71df253c05f67p-19,
    0x1.28ad68bf968a6p-22, 0x1.ad7f780b91430p-26};
// the same for float results
inline constexpr double kExponentialFloat[8] = {
    0x1.fffffffff13f5p-2,  0x1.5555555589f04p-3,  0x1.5555557def032p-5,  0x1.1111108e2c4f1p-7,
    0x1.6c163be8f98d2p-10, 0x1.a01b7384e9298p-13, 0x1.a16e32ec93868p-16, 0x1.710181eeb8e09p-19};
// sinh x = x + x^3 P(x^2), |x| <= 1
inline constexpr double kHyperbolicSine[7] = {
    0x1.5555555555556p-3,  0x1.11111111110a6p-7,  0x1.a01a01a02899dp-13, 0x1.71de3a465b1e4p-19,
    0x1.ae64671b18f57p-26, 0x1.611a561d87101p-33, 0x1.b4c75ab2eb4abp-41};
// pi/2 in three parts; the first two have 33 bits, so k times them is exact.
inline constexpr double kHalfPi1 = 0x1.921fb54400000p+0;
inline constexpr double kHalfPi2 = 0x1.0b4611a600000p-34;
inline constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
inline constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// ln 2 in two parts; the first has 40 bits, so k times it is exact.
inline constexpr double kLn2Head = 0x1.62e42fefa2000p-1;
inline constexpr double kLn2Tail = 0x1.9ef35793c7673p-41;
inline constexpr double kInverseLn2 = 0x1.71547652b82fep+0;
// ln 10 as a double split into 26 + 27 bits for an exact product, and its tail.
inline constexpr double kLn10High = 0x1.26bb1b8000000p+1;
inline constexpr double kLn10Low = 0x1.daaa8b0000000p-26;
inline constexpr double kLn10 = kLn10High + kLn10Low;  // exact
inline constexpr double kLn10Tail = -0x1.f48ad494ea3e9p-53;

// Beyond this the quarter-turn count k no longer times kHalfPi1 exactly.
inline constexpr double kTrigReach = 1048576.0;  // 2^20

// The nearest integer to |t| < 2^51, ties to even: adding 1.5 * 2^52 leaves no fraction bits.
inline double nearestInteger(double t) {
  constexpr double kShift = 0x1.8p52;
  return (t + kShift) - kShift;
}

// 2^n for -1022 <= n <= 1023, from its exponent bits.
inline double twoToThe(int64_t n) {
  return std::bit_cast<double>(static_cast<uint64_t>(n + 1023) << 52);
}

// Horner's scheme written out at compile time; c[0] is the constant term.
template <size_t N, size_t... I>
inline double hornerSteps(const double (&c)[N], double z, std::index_sequence<I...>) {
  double p = c[N - 1];
  ((p = p * z + c[N - 2 - I]), ...);
  return p;
}

template <size_t N>
inline double horner(const double (&c)[N], double z) {
  return hornerSteps(c, z, std::make_index_sequence<N - 1>());
}

// x - k pi/2 as hi + lo, with k the nearest integer to x 2/pi and quadrant = k mod 4.
struct QuarterTurns {
  double hi;
  double lo;
  int quadrant;
};

inline QuarterTurns reduceQuarterTurns(double x) {
  const double k = nearestInteger(x * kTwoOverPi);
  // Exact: k kHalfPi1 has at most 53 bits and lies within a factor 2 of x.
  const double head = x - k * kHalfPi1;
  const double step = k * kHalfPi2;  // exact too
  // head - step and its rounding error (Knuth's two-sum: head may be smaller than step).
  const double r = head - step;
  const double stepPart = r - head;
  const double error = (head - (r - stepPart)) - (step + stepPart);
  const double lo = error - k * kHalfPi3;
  const double hi = r + lo;
  return {hi, (r - hi) + lo, static_cast<int>(static_cast<int64_t>(k) & 3)};
}

// sin(hi + lo) for |hi| <= pi/4, lo below an ulp of hi.
inline double sineKernel(double hi, double lo) {
  const double z = hi * hi;
  return hi + (hi * z * horner(kSineDouble, z) + lo * (1.0 - 0.5 * z));
}

// cos(hi + lo) likewise; (1 - w) - half is what rounding w = 1 - half lost.
inline double cosineKernel(double hi, double lo) {
  const double z = hi * hi;
  const double half = 0.5 * z;
  const double w = 1.0 - half;
  return w + (((1.0 - w) - half) + (z * z * horner(kCosineDouble, z) - hi * lo));
}

// sin(x + turn pi/2) for the float functions, |x| < kTrigReach.
inline double floatSineTurned(double x, int turn) {
  const double k = nearestInteger(x * kTwoOverPi);
  const int quadrant = static_cast<int>(static_cast<int64_t>(k) + turn) & 3;
  const double r = ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
  const double z = r * r;
  const double s = (quadrant & 1) ? (1.0 - 0.5 * z) + z * z * horner(kCosineFloat, z)
                                  : r + r * z * horner(kSineFloat, z);
  return (quadrant & 2) ? -s : s;
}

// sin(x + turn pi/2) in double, |x| < kTrigReach.
inline double sineTurned(double x, int turn) {
  const QuarterTurns q = reduceQuarterTurns(x);
  const int quadrant = (q.quadrant + turn) & 3;
  const double s = (quadrant & 1) ? cosineKernel(q.hi, q.lo) : sineKernel(q.hi, q.lo);
  return (quadrant & 2) ? -s : s;
}

inline float floatExponential(double x) {
  const double k = nearestInteger(x * kInverseLn2);
  const double r = (x - k * kLn2Head) - k * kLn2Tail;
  const double e = 1.0 + (r + r * r * horner(kExponentialFloat, r));
  // |k| <= 150, so 2^k is a normal double and the only rounding is the one to float.
  return static_cast<float>(e * twoToThe(static_cast<int64_t>(k)));
}

// e^(hi + lo) = (head + tail) 2^n, for -745.2 < hi < 709.8 and |lo| far below an ulp of 1;
// tail is what rounding head lost.
struct ExponentialParts {
  double head;
  double tail;
  int64_t n;
};

inline ExponentialParts exponentialParts(double hi, double lo) {
  const double k = nearestInteger(hi * kInverseLn2);
  const double head = hi - k * kLn2Head;  // exact, as in reduceQuarterTurns
  const double tail = lo - k * kLn2Tail;
  // head + tail and its rounding error: near multiples of ln 2, head is as small as tail.
  const double r = head + tail;
  const double tailPart = r - head;
  const double error = (head - (r - tailPart)) + (tail - tailPart);
  // e^(r + error) = e^r (1 + error) to far below an ulp.
  const double s = r + (r * r * horner(kExponentialDouble, r) + error * (1.0 + r));
  const double e = 1.0 + s;
  return {e, (1.0 - e) + s, static_cast<int64_t>(k)};
}

// x 2^n for |n| <= 2046 in two factors, so that overflow and subnormal results are rounded
// once, like the rest.
inline double scaleByTwoToThe(double x, int64_t n) {
  const int64_t half = n / 2;
  return x * twoToThe(half) * twoToThe(n - half);
}

inline double exponentialOf(double hi, double lo) {
  const ExponentialParts e = exponentialParts(hi, lo);
  return scaleByTwoToThe(e.head, e.n);
}

// y ln 10 in two parts (Dekker's exact product), since its rounding error would otherwise
// grow with y; then e^ of it.
inline double powerOfTen(double y) {
  const double product = y * kLn10;
  const double split = 134217729.0 * y;  // 2^27 + 1 cuts y into two 26-bit halves
  const double yHigh = split - (split - y);
  const double yLow = y - yHigh;
  const double error =
      ((yHigh * kLn10High - product) + yHigh * kLn10Low + yLow * kLn10High) + yLow * kLn10Low;
  return exponentialOf(product, error + y * kLn10Tail);
}

inline double hyperbolicSine(double x) {
  const double a = x < 0.0 ? -x : x;
  if (a < 1.0) {
    const double z = x * x;
    return x + x * z * horner(kHyperbolicSine, z);
  }
  // (e^a - e^-a) / 2 with the rounding error of e^a put back: it would be magnified by
  // e^a / (e^a - e^-a), 1.16 at a = 1.
  const ExponentialParts parts = exponentialParts(a, 0.0);
  const double e = scaleByTwoToThe(parts.head, parts.n);
  const double s = 0.5 * (e + (scaleByTwoToThe(parts.tail, parts.n) - 1.0 / e));
  return x < 0.0 ? -s : s;
}

template <class T>
constexpr T kInfinity = std::numeric_limits<T>::infinity();

}  // namespace maths_internal

// sin x, x in radians. Domain |x| < 2^20, within 1 ulp; the audio path meets 0 .. 7.9.
// Beyond the domain the result is 0, and NaN for infinities and NaN.
inline float sine(float x) {
  if (!(x > -maths_internal::kTrigReach && x < maths_internal::kTrigReach)) return x * 0.0f;
  return static_cast<float>(maths_internal::floatSineTurned(x, 0));
}

// cos x, as sine(float).
inline float cosine(float x) {
  if (!(x > -maths_internal::kTrigReach && x < maths_internal::kTrigReach)) return x * 0.0f;
  return static_cast<float>(maths_internal::floatSineTurned(x, 1));
}

// sin x in double, as sine(float); the set-up meets 0 .. 2 pi.
inline double sine(double x) {
  if (!(x > -maths_internal::kTrigReach && x < maths_internal::kTrigReach)) return x * 0.0;
  return maths_internal::sineTurned(x, 0);
}

// cos x in double, as sine(float); the set-up meets 0 .. pi.
inline double cosine(double x) {
  if (!(x > -maths_internal::kTrigReach && x < maths_internal::kTrigReach)) return x * 0.0;
  return maths_internal::sineTurned(x, 1);
}

// e^x, within 1 ulp. Infinity above 88.72 and through the subnormals to 0 below -103.9, as
// the C runtime's. The audio path meets 0 .. 7.4 and, in the fuzz box, any value >= 0.
inline float exponential(float x) {
  if (!(x > -104.0f && x < 89.0f))
    return x > 0.0f ? maths_internal::kInfinity<float> : (x < 0.0f ? 0.0f : x);
  return maths_internal::floatExponential(x);
}

// e^x in double, within 1 ulp; infinity above 709.78, 0 below -745.13.
inline double exponential(double x) {
  if (!(x > -745.2 && x < 709.8))
    return x > 0.0 ? maths_internal::kInfinity<double> : (x < 0.0 ? 0.0 : x);
  return maths_internal::exponentialOf(x, 0.0);
}

// 10^y, within 1 ulp; infinity above 308.25, 0 below -323.3. The set-up meets -0.25 .. 0.25.
inline double powerOfTen(double y) {
  if (!(y > -324.0 && y < 308.3))
    return y > 0.0 ? maths_internal::kInfinity<double> : (y < 0.0 ? 0.0 : y);
  return maths_internal::powerOfTen(y);
}

// sinh x in double, within 1 ulp. Domain |x| <= 709, beyond which it is infinite; the set-up
// meets 0.5 .. 0.6.
inline double hyperbolicSine(double x) {
  if (!(x > -709.8 && x < 709.8)) return x * maths_internal::kInfinity<double>;
  return maths_internal::hyperbolicSine(x);
}

}  // namespace vorlak
