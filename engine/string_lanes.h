// The string pass's sample loop for up to four voices side by side, one in each lane of an
// SSE2 vector. Each lane runs exactly the operations of the one-voice loop in the same order,
// each one rounded alike, so its voice keeps every bit; a choice becomes a select on a mask,
// its both sides computed. The voices' lines are read and written lane by lane.
//
// Only the string model includes this; its names stay inside that file's unit (an unnamed
// namespace), which also leaves the compiler free to inline the kernels as it did there.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/engine.h"
#include "engine/tiny_offset.h"

namespace vorlak {
namespace {

// Four floats or four 32-bit masks, one per lane.
using Floats = float __attribute__((vector_size(16)));
using Masks = int __attribute__((vector_size(16)));

inline Floats splat(float x) { return Floats{x, x, x, x}; }

// x < -limit ? -limit : (x > limit ? limit : x) for a limit above 0, not a number passing
// through as there; written as the two selects that are one minimum and one maximum each.
inline Floats clampAbs(Floats x, Floats limit, Floats negativeLimit) {
  const Floats below = limit < x ? limit : x;
  return negativeLimit > below ? negativeLimit : below;
}

inline Floats approach(Floats value, Floats target, Floats step) {
  const Floats up = value + step;
  const Floats down = value - step;
  return value < target ? (up < target ? up : target)
                        : (value > target ? (down > target ? down : target) : value);
}

inline Floats loadLanes(const float* p) {
  Floats v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline Masks loadMasks(const int32_t* p) {
  Masks v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline void storeLanes(float* p, Floats v) { __builtin_memcpy(p, &v, sizeof v); }

// The two neighbouring taps of each lane's loop, read as one 64-bit word a lane and
// transposed: first gets each lane's pair[v][j], second its pair[v][j + 1].
inline __m128 loadPair(const float* p) {
  double word;
  std::memcpy(&word, p, sizeof word);
  return _mm_castpd_ps(_mm_set_sd(word));
}

template <int N>
inline void transposePairs(const float* const* pair, int j, Floats& first, Floats& second) {
  const __m128 zero = _mm_setzero_ps();
  const __m128 p0 = loadPair(pair[0] + j);
  const __m128 p1 = N > 1 ? loadPair(pair[N > 1 ? 1 : 0] + j) : zero;
  const __m128 p2 = N > 2 ? loadPair(pair[N > 2 ? 2 : 0] + j) : zero;
  const __m128 p3 = N > 3 ? loadPair(pair[N > 3 ? 3 : 0] + j) : zero;
  const __m128 low = _mm_unpacklo_ps(p0, p1);
  const __m128 high = _mm_unpacklo_ps(p2, p3);
  first = reinterpret_cast<Floats>(_mm_movelh_ps(low, high));
  second = reinterpret_cast<Floats>(_mm_movehl_ps(high, low));
}

// Lanes past the group's voices hold zeros and are neither read from nor written to memory.
struct LaneGroup {
  int count;
  StringVoice* voices[kLanes];
  const int16_t* tables[kLanes];  // a zero pair for noise voices
  uint32_t wholeA[kLanes], wholeB[kLanes];
  uint32_t distance1[kLanes], distance2[kLanes];
  Floats target, g, oneMinusG, oneMinusCe, ce, feedbackGain, loopGain, excitationStep;
  Floats velocityScale, clip, negativeClip, noiseScale, sampleScale, positionStep, tableEnd;
  Floats fractionA, restA, fractionB, restB;
  Floats weight1, weight2, filterCoefficient, makeUpGain;
  Masks exciting, noise, sampled, released;
  bool anyExciting, anyReleased;
};

inline constexpr int16_t kNoSample[2] = {0, 0};

template <int N, bool Exciting, bool Released, bool Fret>
void renderLanes(Engine& engine, const LaneGroup& L, const float* noiseDraws,
                 const float* fretDraws, const int32_t* fretOn, float fretLevel, float rampStep,
                 float* output, int length, uint32_t feedbackStart) {
  const float* feedback = engine.feedbackRing;
  const Floats ramp = splat(rampStep);
  const Floats zero = splat(0.0f);
  const Floats level = splat(fretLevel);

  Floats amp{}, position{}, releaseTime{}, stateA{}, stateB{}, fretState{}, low{}, band{},
      high{};
  uint32_t writeA[N], writeB[N];
  float* lineA[N];
  float* lineB[N];
  float* history[N];
  for (int v = 0; v < N; ++v) {
    StringVoice& voice = *L.voices[v];
    amp[v] = voice.excitationAmp;
    position[v] = voice.excitationPos;
    releaseTime[v] = voice.releaseTime;
    stateA[v] = voice.loopStateA;
    stateB[v] = voice.loopStateB;
    fretState[v] = voice.fretNoiseState;
    low[v] = voice.filterLow;
    band[v] = voice.filterBand;
    high[v] = voice.filterHigh;
    writeA[v] = voice.writeA;
    writeB[v] = voice.writeB;
    lineA[v] = voice.lineA;
    lineB[v] = voice.lineB;
    history[v] = voice.pickupLine;
  }
  Masks exhausted{};

  // One frame of every lane. loops(a0, a1, b0, b1) reads the two loops' taps, writeBack
  // (stateA, stateB, y, h1, h2) writes the lines and the output history and reads the
  // pickup taps, in the one-voice loop's order.
  auto frame = [&](int k, auto&& loops, auto&& writeBack) {
    Floats e = splat(kTiny);
    if constexpr (Exciting) {
      amp = L.exciting ? approach(amp, L.target, ramp) : amp;
      const Masks inside = position < L.tableEnd;
      const Masks reading = L.sampled & inside;
      exhausted |= L.sampled & ~inside;
      const Masks whole = __builtin_convertvector(position, Masks);
      const Floats f = position - __builtin_convertvector(whole, Floats);
      Floats first{}, second{};
      for (int v = 0; v < N; ++v) {
        const int16_t* at = reading[v] ? L.tables[v] + whole[v] : kNoSample;
        first[v] = static_cast<float>(at[0]);
        second[v] = static_cast<float>(at[1]);
      }
      const Floats sampled = (first * (1.0f - f) + second * f) * amp * L.sampleScale;
      const Floats noise = loadLanes(noiseDraws + kLanes * k) * amp * L.noiseScale;
      e = L.noise ? noise : (reading ? sampled : e);
      position = reading ? position + L.positionStep : position;
    }
    if constexpr (Fret) {
      const Floats buzz = (loadLanes(fretDraws + kLanes * k) * L.velocityScale + e) * L.ce +
                          L.oneMinusCe * fretState;
      const Masks on = loadMasks(fretOn + kLanes * k);
      e = on ? buzz : e;
      fretState = on ? buzz : fretState;
    }
    const Floats direct = e * level;

    Floats b0{}, b1{}, a0{}, a1{};
    loops(a0, a1, b0, b1);
    const Floats xB = b0 * L.restB + b1 * L.fractionB;
    const Floats fb =
        splat(feedback[(feedbackStart + static_cast<uint32_t>(k)) & kLineMask]) * L.feedbackGain;
    const Floats xA = a0 * L.restA + a1 * L.fractionA;

    const Floats inA = clampAbs(xA * L.loopGain + e + fb, L.clip, L.negativeClip);
    const Floats inB = clampAbs(xB * L.loopGain + e + fb, L.clip, L.negativeClip);
    stateA = inA * L.g + L.oneMinusG * stateA;
    stateB = inB * L.g + L.oneMinusG * stateB;

    Floats y = (inB * 0.4f + inA) * 0.85f + direct;
    if constexpr (Released) {
      releaseTime = L.released ? releaseTime + L.excitationStep : releaseTime;
      amp = L.released ? approach(amp, zero, ramp) : amp;
      y = L.released ? y * amp : y;
    }
    y = clampAbs(y, L.clip, L.negativeClip);

    Floats h1{}, h2{};
    writeBack(stateA, stateB, y, h1, h2);
    const Floats s = y + L.weight1 * h1 + L.weight2 * h2;
    low = low + L.filterCoefficient * band;
    high = (s + kTiny) * 0.5f - low - band * 0.5f;
    band = band + L.filterCoefficient * high;
    storeLanes(output + kLanes * k, L.makeUpGain * low);
  };

  // Every line position is reduced to the ring at each access only where a run crosses a
  // ring's end; elsewhere each lane's taps walk on as plain pointers.
  for (int k = 0; k < length;) {
    int run = length - k;
    const float* pairA[N];
    const float* pairB[N];
    float* outA[N];
    float* outB[N];
    float* outY[N];
    const float* tap1[N];
    const float* tap2[N];
    for (int v = 0; v < N; ++v) {
      const uint32_t nextA = writeA[v] + 1;
      const uint32_t nextB = writeB[v] + 1;
      const uint32_t firstA = (nextA - L.wholeA[v] - 1) & kLineMask;
      const uint32_t firstB = (nextB - L.wholeB[v] - 1) & kLineMask;
      const uint32_t at = nextA & kLineMask;
      const uint32_t atB = nextB & kLineMask;
      const uint32_t t1 = (nextA - L.distance1[v]) & kLineMask;
      const uint32_t t2 = (nextA - L.distance2[v]) & kLineMask;
      pairA[v] = lineA[v] + firstA;
      pairB[v] = lineB[v] + firstB;
      outA[v] = lineA[v] + at;
      outB[v] = lineB[v] + atB;
      outY[v] = history[v] + at;
      tap1[v] = history[v] + t1;
      tap2[v] = history[v] + t2;
      const uint32_t room = std::min({kLineMask - firstA, kLineMask - firstB, kLineSize - at,
                                      kLineSize - atB, kLineSize - t1, kLineSize - t2});
      run = static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(run), room));
    }
    if (run == 0) {
      frame(
          k,
          [&](Floats& a0, Floats& a1, Floats& b0, Floats& b1) {
            for (int v = 0; v < N; ++v) {
              const uint32_t wb = ++writeB[v] - L.wholeB[v];
              b0[v] = lineB[v][wb & kLineMask];
              b1[v] = lineB[v][(wb - 1) & kLineMask];
              const uint32_t wa = ++writeA[v] - L.wholeA[v];
              a0[v] = lineA[v][wa & kLineMask];
              a1[v] = lineA[v][(wa - 1) & kLineMask];
            }
          },
          [&](Floats stateA, Floats stateB, Floats y, Floats& h1, Floats& h2) {
            for (int v = 0; v < N; ++v) {
              const uint32_t w = writeA[v];
              lineA[v][w & kLineMask] = stateA[v];
              lineB[v][writeB[v] & kLineMask] = stateB[v];
              history[v][w & kLineMask] = y[v];
              h1[v] = history[v][(w - L.distance1[v]) & kLineMask];
              h2[v] = history[v][(w - L.distance2[v]) & kLineMask];
            }
          });
      ++k;
      continue;
    }
    for (int j = 0; j < run; ++j) {
      frame(
          k + j,
          [&](Floats& a0, Floats& a1, Floats& b0, Floats& b1) {
            transposePairs<N>(pairA, j, a1, a0);
            transposePairs<N>(pairB, j, b1, b0);
          },
          [&](Floats stateA, Floats stateB, Floats y, Floats& h1, Floats& h2) {
            for (int v = 0; v < N; ++v) {
              outA[v][j] = stateA[v];
              outB[v][j] = stateB[v];
              outY[v][j] = y[v];
              h1[v] = tap1[v][j];
              h2[v] = tap2[v][j];
            }
          });
    }
    for (int v = 0; v < N; ++v) {
      writeA[v] += static_cast<uint32_t>(run);
      writeB[v] += static_cast<uint32_t>(run);
    }
    k += run;
  }

  for (int v = 0; v < N; ++v) {
    StringVoice& voice = *L.voices[v];
    voice.excitationAmp = amp[v];
    voice.excitationPos = position[v];
    voice.releaseTime = releaseTime[v];
    voice.loopStateA = stateA[v];
    voice.loopStateB = stateB[v];
    voice.fretNoiseState = fretState[v];
    voice.filterLow = low[v];
    voice.filterBand = band[v];
    voice.filterHigh = high[v];
    voice.writeA = writeA[v];
    voice.writeB = writeB[v];
    if (exhausted[v]) voice.envState = kEnvOff;
  }
}

template <int N>
void renderLanes(Engine& engine, const LaneGroup& L, const float* noiseDraws,
                 const float* fretDraws, const int32_t* fretOn, bool fret, float fretLevel,
                 float rampStep, float* output, int length, uint32_t feedbackStart) {
  using Kernel = void (*)(Engine&, const LaneGroup&, const float*, const float*, const int32_t*,
                          float, float, float*, int, uint32_t);
  // Indexed by exciting, released and fret noise, so no lane pays for a stage none of them has.
  static constexpr Kernel kKernels[8] = {
      renderLanes<N, false, false, false>, renderLanes<N, false, false, true>,
      renderLanes<N, false, true, false>,  renderLanes<N, false, true, true>,
      renderLanes<N, true, false, false>,  renderLanes<N, true, false, true>,
      renderLanes<N, true, true, false>,   renderLanes<N, true, true, true>,
  };
  const int which = (L.anyExciting ? 4 : 0) + (L.anyReleased ? 2 : 0) + (fret ? 1 : 0);
  kKernels[which](engine, L, noiseDraws, fretDraws, fretOn, fretLevel, rampStep, output, length,
                  feedbackStart);
}

// Adds the first N lanes' outputs to out, lane after lane.
template <int N>
void addLanes(float* out, const float* output, int length) {
  for (int k = 0; k < length; ++k) {
    float sum = out[k];
    for (int v = 0; v < N; ++v) sum += output[kLanes * k + v];
    out[k] = sum;
  }
}

}  // namespace
}  // namespace vorlak
