// Speed of the string pass, of a whole instance and of STK's Guitar as a peer, in one
// executable so that all three run side by side on the same machine in the same run.
//
// Every iteration renders one host block of 512 frames at 44.1 kHz. items_per_second counts
// output frames; x_realtime is seconds of audio rendered per second of CPU time on one core.
// Run with --benchmark_enable_random_interleaving=true --benchmark_repetitions=N to spread
// the machine's noise evenly over the three.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/scenes.h"

namespace vorlak::bench {
namespace {

constexpr int kWarmUpBlocks = 2 * 44100 / kBlockFrames;  // two seconds, past the first pluck

void report(benchmark::State& state) {
  const double frames = static_cast<double>(state.iterations()) * kBlockFrames;
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  state.counters["x_realtime"] =
      benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
}

void BM_StringPassSixVoices(benchmark::State& state) {
  StringScene scene;
  std::vector<float> left(kBlockFrames), right(kBlockFrames);
  for (int i = 0; i < kWarmUpBlocks; ++i) scene.render(left.data(), right.data(), kBlockFrames);
  for (auto _ : state) {
    scene.render(left.data(), right.data(), kBlockFrames);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
  }
  report(state);
  state.counters["voices"] = scene.renderedVoices();
}

void BM_WholeInstanceStrum(benchmark::State& state) {
  InstanceScene scene;
  if (!scene.valid()) {
    state.SkipWithError("createEffect returned no instance");
    return;
  }
  std::vector<float> left(kBlockFrames), right(kBlockFrames);
  for (int i = 0; i < kWarmUpBlocks; ++i) scene.render(left.data(), right.data(), kBlockFrames);
  for (auto _ : state) {
    scene.render(left.data(), right.data(), kBlockFrames);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
  }
  report(state);
}

void BM_StkGuitarSixStrings(benchmark::State& state) {
  StkGuitarScene scene;
  std::vector<float> out(kBlockFrames);
  for (int i = 0; i < kWarmUpBlocks; ++i) scene.render(out.data(), kBlockFrames);
  for (auto _ : state) {
    scene.render(out.data(), kBlockFrames);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  report(state);
}

BENCHMARK(BM_StringPassSixVoices);
BENCHMARK(BM_WholeInstanceStrum);
BENCHMARK(BM_StkGuitarSixStrings);

}  // namespace
}  // namespace vorlak::bench

BENCHMARK_MAIN();
