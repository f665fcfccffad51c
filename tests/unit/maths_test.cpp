// The project's own maths functions against the C runtime's long double ones, whose 64-bit
// significands make their own error about a two-thousandth of a double's ulp: over the
// ranges the audio path and its set-up meet, and over each function's whole domain.
#include "engine/maths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "engine/tables.h"

namespace vorlak {
namespace {

// |got - want| in units in the last place of T at want (subnormal spacing below the normals).
template <class T>
double ulpError(T got, long double want) {
  int exponent = 0;
  std::frexp(static_cast<double>(want), &exponent);
  const int digits = std::numeric_limits<T>::digits;
  const int lowest = std::numeric_limits<T>::min_exponent - digits;
  const long double ulp = std::ldexp(1.0L, std::max(exponent - digits, lowest));
  return static_cast<double>(std::fabs(static_cast<long double>(got) - want) / ulp);
}

// Half the arguments uniform over [low, high], half spread evenly over the binades of their
// magnitude from 2^-30 up, so that small arguments are tried as often as large ones.
template <class T>
T drawArgument(double low, double high, std::mt19937_64& random, int i) {
  if (i % 2 == 0) return static_cast<T>(std::uniform_real_distribution<double>(low, high)(random));
  const double top = std::max(std::fabs(low), std::fabs(high));
  const double magnitude =
      std::exp2(std::uniform_real_distribution<double>(-30.0, std::log2(top))(random));
  const double x = low < 0.0 && random() % 2 == 0 ? -magnitude : magnitude;
  return static_cast<T>(std::clamp(x, low, high));
}

// Sine and cosine of x from the C runtime's long double ones at x less the nearest multiple of
// pi/2. Windows' C runtime leaves the reduction to the x87's own, whose 66-bit pi puts it
// thousands of double ulps off near multiples of pi; here pi/2 comes in pieces of 40, 38 and
// 64 bits, so that the multiples of the first two are exact for the counts below 2^20 met here.
long double quadrants(long double x, long double* rest) {
  constexpr long double kHalfPi[] = {0xc90fdaa221p-39L, 0x34611a6263p-78L,
                                     0xc51701b839a25205p-144L};
  const long double count = std::nearbyint(x / (kHalfPi[0] + kHalfPi[1]));
  *rest = x;
  for (long double piece : kHalfPi) *rest -= count * piece;
  return count;
}

long double referenceSine(long double x) {
  long double r = 0.0L;
  switch (static_cast<long long>(quadrants(x, &r)) & 3) {
    case 0:
      return std::sin(r);
    case 1:
      return std::cos(r);
    case 2:
      return -std::sin(r);
    default:
      return -std::cos(r);
  }
}

long double referenceCosine(long double x) {
  long double r = 0.0L;
  switch (static_cast<long long>(quadrants(x, &r)) & 3) {
    case 0:
      return std::cos(r);
    case 1:
      return -std::sin(r);
    case 2:
      return -std::cos(r);
    default:
      return std::sin(r);
  }
}

struct Case {
  const char* name;
  double low, high;
  double (*error)(double x);  // of the function at argument x, in ulps
  bool isFloat;
};

template <class T>
double worstError(const Case& c, int count, std::mt19937_64& random) {
  double worst = 0.0;
  for (int i = 0; i < count; ++i)
    worst =
        std::max(worst, c.error(static_cast<double>(drawArgument<T>(c.low, c.high, random, i))));
  return worst;
}

TEST(Maths, WithinTwoUlpsOverTheRangesMet) {
  // The set-up and audio path meet: float sine 0 .. 7.9 and exponential 0 .. 7.4 and any
  // value >= 0 (the fuzz box); double sine and cosine 0 .. 2 pi, power of ten -0.25 .. 0.25,
  // hyperbolic sine 0.5 .. 0.6 and the exponential inside both.
  const Case cases[] = {
      {"sine(float)", -8.0, 8.0,
       [](double x) { return ulpError(sine(static_cast<float>(x)), referenceSine(x)); }, true},
      {"sine(float) whole domain", -1048575.0, 1048575.0,
       [](double x) { return ulpError(sine(static_cast<float>(x)), referenceSine(x)); }, true},
      {"cosine(float)", -8.0, 8.0,
       [](double x) { return ulpError(cosine(static_cast<float>(x)), referenceCosine(x)); }, true},
      {"exponential(float)", -103.9, 88.72,
       [](double x) {
         return ulpError(exponential(static_cast<float>(x)), std::exp(static_cast<long double>(x)));
       },
       true},
      {"sine(double)", -8.0, 8.0, [](double x) { return ulpError(sine(x), referenceSine(x)); },
       false},
      {"sine(double) whole domain", -1048575.0, 1048575.0,
       [](double x) { return ulpError(sine(x), referenceSine(x)); }, false},
      {"cosine(double)", -8.0, 8.0,
       [](double x) { return ulpError(cosine(x), referenceCosine(x)); }, false},
      {"cosine(double) whole domain", -1048575.0, 1048575.0,
       [](double x) { return ulpError(cosine(x), referenceCosine(x)); }, false},
      {"exponential(double)", -745.0, 709.78,
       [](double x) { return ulpError(exponential(x), std::exp(static_cast<long double>(x))); },
       false},
      {"powerOfTen", -1.0, 1.0,
       [](double x) {
         return ulpError(powerOfTen(x), std::pow(10.0L, static_cast<long double>(x)));
       },
       false},
      {"powerOfTen whole domain", -323.0, 308.25,
       [](double x) {
         return ulpError(powerOfTen(x), std::pow(10.0L, static_cast<long double>(x)));
       },
       false},
      {"hyperbolicSine", -3.0, 3.0,
       [](double x) { return ulpError(hyperbolicSine(x), std::sinh(static_cast<long double>(x))); },
       false},
      {"hyperbolicSine whole domain", -709.0, 709.0,
       [](double x) { return ulpError(hyperbolicSine(x), std::sinh(static_cast<long double>(x))); },
       false},
  };
  std::mt19937_64 random(16);
  for (const Case& c : cases) {
    const double worst =
        c.isFloat ? worstError<float>(c, 1 << 18, random) : worstError<double>(c, 1 << 18, random);
    std::printf("%-30s max error %.3f ulp\n", c.name, worst);
    EXPECT_LE(worst, 2.0) << c.name;
  }
}

TEST(Maths, EdgesBehaveAsTheCRuntimes) {
  const float inf = std::numeric_limits<float>::infinity();
  // The fuzz box divides e^(k|x|) - 1 by k and clips it: overflow must stay infinite.
  EXPECT_EQ(exponential(89.0f), inf);
  EXPECT_EQ(exponential(1.0e30f), inf);
  EXPECT_EQ(exponential(-120.0f), 0.0f);
  EXPECT_GT(exponential(-100.0f), 0.0f);  // a subnormal
  EXPECT_EQ(exponential(0.0f), 1.0f);
  EXPECT_EQ(exponential(800.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(powerOfTen(0.0), 1.0);
  EXPECT_EQ(hyperbolicSine(-1000.0), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(sine(inf)));
  EXPECT_TRUE(std::isnan(cosine(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_TRUE(std::isnan(exponential(std::numeric_limits<float>::quiet_NaN())));
}

TEST(Maths, SineTableEqualsTheLongDoubleOne) {
  // What the table was before it came from sine(double).
  const long double step = static_cast<long double>(6.28318f) / kSineTableSize;
  const float* table = sharedSineTable();
  int differing = 0;
  for (int i = 0; i < kSineTableSize; ++i)
    differing += table[i] != static_cast<float>(std::sin(static_cast<long double>(i) * step));
  EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace vorlak
