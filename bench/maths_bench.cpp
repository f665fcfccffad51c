// The project's own maths functions (engine/maths.h) against the C runtime's, side by side in
// one run. Each benchmark calls the function on 4096 arguments spread over the range the
// audio path or its set-up meets; items_per_second is calls per second. Pairs are named
// <function>/ours and <function>/runtime.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/maths.h"

namespace vorlak::bench {
namespace {

constexpr int kArguments = 4096;

template <class T>
std::vector<T> arguments(double low, double high) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> uniform(low, high);
  std::vector<T> x(kArguments);
  for (T& v : x) v = static_cast<T>(uniform(random));
  return x;
}

template <class T, class F>
void timeCalls(benchmark::State& state, F function, const std::vector<T>& x) {
  for (auto _ : state) {
    T sum = 0;
    for (const T v : x) sum += function(v);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kArguments);
}

template <class T, class Ours, class Runtime>
void registerPair(const std::string& name, Ours ours, Runtime runtime, double low, double high) {
  const std::vector<T> x = arguments<T>(low, high);
  benchmark::RegisterBenchmark((name + "/ours").c_str(),
                               [=](benchmark::State& state) { timeCalls(state, ours, x); });
  benchmark::RegisterBenchmark((name + "/runtime").c_str(),
                               [=](benchmark::State& state) { timeCalls(state, runtime, x); });
}

void registerPairs() {
  // The ring modulator's and the filters' angles, the note frequencies' exponents.
  registerPair<float>(
      "sine_float", [](float x) { return sine(x); }, [](float x) { return std::sin(x); }, 0.0, 7.9);
  registerPair<float>(
      "exponential_float", [](float x) { return exponential(x); },
      [](float x) { return std::exp(x); }, 0.0, 7.4);
  // The biquad designer's.
  registerPair<double>(
      "sine_double", [](double x) { return sine(x); }, [](double x) { return std::sin(x); }, 0.0,
      3.1415);
  registerPair<double>(
      "cosine_double", [](double x) { return cosine(x); }, [](double x) { return std::cos(x); },
      0.0, 3.1415);
  registerPair<double>(
      "power_of_ten", [](double x) { return powerOfTen(x); },
      [](double x) { return std::pow(10.0, x); }, -0.25, 0.25);
  registerPair<double>(
      "hyperbolic_sine", [](double x) { return hyperbolicSine(x); },
      [](double x) { return std::sinh(x); }, 0.5, 0.6);
  registerPair<double>(
      "exponential_double", [](double x) { return exponential(x); },
      [](double x) { return std::exp(x); }, -0.6, 0.6);
}

}  // namespace
}  // namespace vorlak::bench

int main(int argc, char** argv) {
  vorlak::bench::registerPairs();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
