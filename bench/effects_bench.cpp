// Cost of the fifteen effects alone, and of a whole instance with and without its heaviest
// effect, side by side in one executable.
//
// BM_Effect/fx: runAmpEffect or runMasterEffect over one 512-frame block of a strummed-chord
// signal at 44.1 kHz, with both controls at 0.5; time_per_sample is the time per frame.
// BM_AmpCabinet/amp/cab: the chain with "FX" on "Dry" over the same signal with strings
// sounding, so each call runs the amplifier of that type, the cabinet of that model, the
// feedback resonator and the output voicing; amplifier types with the "Dry" cabinet, then
// cabinet models with the "Dry" amplifier.
// BM_WholeInstance*: the InstanceScene (six strummed voices) with the "Tube" amplifier and the
// "StaX" cabinet, with "FX" on "Dry" and on the heaviest effect; x_realtime is seconds of
// audio per second of CPU time on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/scenes.h"
#include "chain/amp_effects.h"
#include "chain/master_effects.h"
#include "chain/signal_chain.h"
#include "instrument/float_mode.h"
#include "instrument/parameters.h"
#include "instrument/program.h"

namespace vorlak::bench {
namespace {

constexpr int kWarmUpBlocks = 2 * 44100 / kBlockFrames;
constexpr int kSignalBlocks = 86;  // about a second, cycled
// The Leslie (two sines, two taps and two state-variable steps a frame) costs the most in
// BM_Effect and in instructions.
constexpr int kHeaviestEffect = kFxMstLeslie;

// An open E chord struck every half second, each string a decaying sawtooth.
std::vector<float> strummedSignal() {
  std::vector<float> s(kSignalBlocks * kBlockFrames);
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = std::fmod(i / double(kSampleRate), 0.5);
    double v = 0;
    for (int note : kOpenStrings) {
      const double cycles = t * soundingFrequency(note);
      v += (cycles - std::floor(cycles) - 0.5) * std::exp(-6.0 * t);
    }
    s[i] = static_cast<float>(0.3 * v);
  }
  return s;
}

// A fresh engine and chain at 44.1 kHz.
struct ChainRig {
  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  std::unique_ptr<Chain> chain = std::make_unique<Chain>();

  ChainRig() {
    std::memset(engine.get(), 0, sizeof(Engine));
    engineSetup(*engine, kSampleRate);
    resetChain(*chain, kSampleRate);
  }
};

// Runs process over the strummed signal one block per iteration and reports the time per
// frame.
template <class Process>
void timeBlocks(benchmark::State& state, Process&& process) {
  const std::vector<float> signal = strummedSignal();
  std::vector<float> left(kBlockFrames), right(kBlockFrames);
  ScopedFloatMode floatMode;
  int block = 0;
  for (auto _ : state) {
    const float* in = signal.data() + block * kBlockFrames;
    block = (block + 1) % kSignalBlocks;
    std::memcpy(left.data(), in, sizeof(float) * kBlockFrames);
    std::memcpy(right.data(), in, sizeof(float) * kBlockFrames);
    process(left.data(), right.data());
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
  }
  const double frames = static_cast<double>(state.iterations()) * kBlockFrames;
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  state.counters["time_per_sample"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Effect(benchmark::State& state) {
  const int fx = static_cast<int>(state.range(0));
  ChainRig rig;
  Engine& engine = *rig.engine;
  Patch patch{};
  patch.fxPar1 = 0.5f;
  patch.fxPar2 = 0.5f;
  engine.glideNote = 52.0f;
  timeBlocks(state, [&](float* left, float* right) {
    if (fx <= kFxAmpTalkbox)
      runAmpEffect(fx, rig.chain->effects, engine, patch, left, right, kBlockFrames);
    else
      runMasterEffect(fx, rig.chain->effects, engine, patch, left, right, kBlockFrames);
  });
  state.SetLabel(optionName(kFx, fx));
}

void BM_AmpCabinet(benchmark::State& state) {
  const int amp = static_cast<int>(state.range(0));
  const int cab = static_cast<int>(state.range(1));
  ChainRig rig;
  Engine& engine = *rig.engine;
  float values[kNumParameters];
  std::memcpy(values, kFactoryPrograms[0].values, sizeof values);
  values[kAmpType] = static_cast<float>(amp) / 3.0f;
  values[kCabType] = static_cast<float>(cab) / 3.0f;
  values[kFx] = 0.0f;
  engine.latchFlags = 0;
  engine.stringsActive = 1;
  engine.feedbackDrive = 0.8f;
  timeBlocks(state, [&](float* left, float* right) {
    processChain(*rig.chain, engine, decodePatch(values), left, right, 0, kBlockFrames);
  });
  state.SetLabel(std::string(optionName(kAmpType, amp)) + " / " + optionName(kCabType, cab));
}

void instance(benchmark::State& state, float fx) {
  InstanceScene scene({{kAmpType, 1.0f / 3.0f}, {kCabType, 1.0f}, {kFx, fx}});
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
  const double frames = static_cast<double>(state.iterations()) * kBlockFrames;
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  state.counters["x_realtime"] =
      benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
}

void BM_WholeInstanceTubeStaXDry(benchmark::State& state) { instance(state, 0.0f); }
void BM_WholeInstanceTubeStaXHeaviest(benchmark::State& state) {
  instance(state, kHeaviestEffect / 15.0f);
  state.SetLabel(optionName(kFx, kHeaviestEffect));
}

BENCHMARK(BM_Effect)->DenseRange(kFxAmpPhaser, kFxMstMultitap);
BENCHMARK(BM_AmpCabinet)->ArgsProduct({{0, 1, 2, 3}, {0}})->ArgsProduct({{0}, {1, 2, 3}});
BENCHMARK(BM_WholeInstanceTubeStaXDry);
BENCHMARK(BM_WholeInstanceTubeStaXHeaviest);

}  // namespace
}  // namespace vorlak::bench

BENCHMARK_MAIN();
