// The plucked string: an excitation (a recorded transient or a noise burst, plus a shared
// fret-noise buzz) drives two slightly detuned feedback delay loops, each with a one-pole
// lowpass and a hard clip. Per-note values are worked out once per pass; the sample loop
// touches only locals and the voice's own lines.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/engine.h"
#include "engine/maths.h"
#include "engine/pickup.h"
#include "engine/tiny_offset.h"

namespace vorlak {
namespace {

struct Excitation {
  int slot;  // -1 for noise
  float gain;
  float rate;
};

float slapRate(int note) {
  if (note < 48) return 0.9f;
  if (note < 58) return 1.125f;
  if (note < 68) return 1.5f;
  return 1.95f;
}

Excitation chooseExcitation(int type, int note, float dampVelocity) {
  switch (type) {
    case 1: {
      const int slot = note < 50 ? 14 : note < 60 ? 15 : note < 70 ? 16 : note < 80 ? 17 : 18;
      return {slot, 0.125f, 1.0f};
    }
    case 2: {
      const int slot = note < 50 ? 19 : note < 60 ? 20 : note < 70 ? 21 : 22;
      return {slot, slot < 21 ? 0.0833f : 0.125f, 1.0f};
    }
    case 3: {
      const float rate = note < 48   ? 0.78f
                         : note < 56 ? 0.975f
                         : note < 62 ? 1.3f
                         : note < 70 ? 1.69f
                         : note < 78 ? 2.21f
                                     : 2.86f;
      return {1, 0.0416f, rate};
    }
    case 4: {
      const int layer = std::clamp(static_cast<int>(dampVelocity * 2.99f), 0, 2);
      if (layer == 0) return {27, 0.0526f, slapRate(note)};
      if (layer == 1) return {26, 0.0625f, slapRate(note)};
      return {28, 0.03125f, 2.0f * slapRate(note)};
    }
    case 5:
      return {7, 0.125f, slapRate(note)};
    case 6:
      return {24, 0.0416f, slapRate(note)};
    default:
      return {-1, 0.0f, 0.0f};
  }
}

// Loop lengths beyond the line would alias; the longest a real note needs fits at any rate
// up to 44.1 kHz and is held at the line length above that.
inline float limitLength(float length) {
  return length < 2.0f ? 2.0f : (length > kLineSize - 2.0f ? kLineSize - 2.0f : length);
}

uint32_t nextNoise(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return (state >> 16) & 0x7FFF;
}

struct PassConstants {
  float target;
  float g;
  float ce;
  float lengthA;
  float lengthB;
  float feedbackGain;
  float loopGain;
  float excitationStep;
  float velocityScale;
  float clip;
  float amplitude;
  Excitation excitation;
  PickupStage pickup;
};

PassConstants passConstants(Engine& engine, const Patch& patch, StringVoice& voice) {
  const int type = patch.strings;
  const float rateScale = engine.inverseRate * 44100.0f;
  const float note = voice.note;
  const float velocity = voice.velocity;
  PassConstants c{};

  c.target = type == 0 ? voice.envTarget : 1.0f;
  const float brightness = (note - 64.0f) * 0.03125f + 1.0f;
  const float damp = patch.damp;
  const float velD = patch.velDScale;
  const float g = (((velocity - 1.0f) * 3.0f / ((1.0f - velocity) * 2.0f + 1.0f) + 1.0f) * velD +
                   (1.0f - damp) * (1.0f - velD)) *
                  engine.inverseRate * brightness * 44100.0f;
  c.g = std::clamp(g, 0.03f, 0.999f);

  if (engine.fretBend != engine.fretBendSeen) {
    engine.fretBendSeen = engine.fretBend;
    const float fret = patch.fretLevel;
    engine.fretNoiseAmp = (1.0f - fret) * 0.05f + velocity * fret * 0.08f;
  }

  glideStepUpdate(engine, patch, voice);
  const float period = 2.0f * engine.sampleRate / noteFrequency(engine.glideNote) /
                       engine.fretBend / (engine.glissando * 0.1224f + 1.0f) *
                       engine.tables.cents()[voice.detune];
  c.lengthA = limitLength(period * 0.99920064f);
  c.lengthB = limitLength(period * 1.0008f);

  const float velV = patch.velVScale;
  const float ce = ((1.0f - velV) + velV * velV * voice.dampVelocity * voice.dampVelocity) * 0.97f *
                   engine.inverseRate * brightness * 44100.0f;
  c.ce = std::clamp(ce, 0.03f, 1.0f);
  c.feedbackGain = patch.feedback * patch.feedback * 0.001f;
  c.loopGain = (1.0f - damp) * 0.01f + 0.99f;

  const float t = patch.tone * 0.5f + 0.25f;
  const float toneFactor = t < 0.5f ? t * 1.5f + 0.25f : (t - 0.5f) * 6.0f + 1.0f;
  c.excitationStep = toneFactor * rateScale;
  c.velocityScale = velocity * velV + 1.0f - velV;
  const float slapClip = 1.0f - patch.slapLevel * 0.95f;
  c.clip = slapClip * slapClip;

  const int wholeNote = std::clamp(static_cast<int>(note), 0, 127);
  c.pickup = designPickup(patch.coils, patch.pickupPos, engine.tables.pickupTable[wholeNote],
                          c.lengthB, patch.harmonic, patch.slapLevel, engine.inverseRate);
  c.excitation = chooseExcitation(type, wholeNote, voice.dampVelocity);
  const float low = (128.0f - note) * 0.0078125f;
  c.amplitude = c.velocityScale * toneFactor * (low * low * 16.0f + 1.0f);
  return c;
}

// Four floats or four 32-bit masks, one per lane. Each lane runs exactly the operations of the
// one-voice loop in the same order, each one rounded alike, so its voice keeps every bit;
// a choice becomes a select on a mask, its both sides computed.
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

constexpr int16_t kNoSample[2] = {0, 0};

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

// The voices that sound in this pass, in order, four to a group: the shared generators drawn
// voice after voice, the groups rendered, and their outputs added voice after voice.
void renderSounding(Engine& engine, StringVoice* const* sounding, const PassConstants* constants,
                    int count, float fretLevel, float rampStep, float* out, int length,
                    uint32_t feedbackStart) {
  LaneScratch& scratch = engine.lanes;
  LaneGroup groups[kLaneGroups];
  const int groupCount = (count + kLanes - 1) / kLanes;
  uint32_t noise = engine.noiseState;
  float fretAmp = engine.fretNoiseAmp;
  float fretPhase = engine.fretNoisePhase;
  const bool fret = fretAmp > 0.005f;
  const float fretPhaseStep = 441.0f * engine.inverseRate;

  for (int g = 0; g < groupCount; ++g) {
    LaneGroup& L = groups[g];
    L = LaneGroup{};
    L.count = std::min(kLanes, count - g * kLanes);
    for (int v = 0; v < L.count; ++v) {
      const int n = g * kLanes + v;
      StringVoice& voice = *sounding[n];
      const PassConstants& c = constants[n];
      const bool exciting = voice.envState != kEnvOff;
      const bool released = voice.gate < 0.5f;
      L.voices[v] = &voice;
      L.tables[v] = kNoSample;
      if (c.excitation.slot >= 0) {
        const ExcitationSample& sample = engine.tables.excitation[c.excitation.slot];
        L.tables[v] = sample.values;
        L.tableEnd[v] = static_cast<float>(sample.count - 1);
        L.sampleScale[v] = c.excitation.gain * c.amplitude / 32768.0f;
      }
      L.noiseScale[v] = c.amplitude * 0.125f;
      L.positionStep[v] = c.excitationStep * c.excitation.rate;
      L.wholeA[v] = static_cast<uint32_t>(c.lengthA);
      L.fractionA[v] = c.lengthA - static_cast<float>(L.wholeA[v]);
      L.restA[v] = 1.0f - L.fractionA[v];
      L.wholeB[v] = static_cast<uint32_t>(c.lengthB);
      L.fractionB[v] = c.lengthB - static_cast<float>(L.wholeB[v]);
      L.restB[v] = 1.0f - L.fractionB[v];
      L.target[v] = c.target;
      L.g[v] = c.g;
      L.oneMinusG[v] = 1.0f - c.g;
      L.ce[v] = c.ce;
      L.oneMinusCe[v] = 1.0f - c.ce;
      L.feedbackGain[v] = c.feedbackGain;
      L.loopGain[v] = c.loopGain;
      L.excitationStep[v] = c.excitationStep;
      L.velocityScale[v] = c.velocityScale;
      L.clip[v] = c.clip;
      L.negativeClip[v] = -c.clip;
      L.distance1[v] = c.pickup.distance1;
      L.distance2[v] = c.pickup.distance2;
      L.weight1[v] = c.pickup.weight1;
      L.weight2[v] = c.pickup.weight2;
      L.filterCoefficient[v] = c.pickup.filterCoefficient;
      L.makeUpGain[v] = c.pickup.makeUpGain;
      L.exciting[v] = exciting ? -1 : 0;
      L.noise[v] = exciting && c.excitation.slot < 0 ? -1 : 0;
      L.sampled[v] = exciting && c.excitation.slot >= 0 ? -1 : 0;
      L.released[v] = released ? -1 : 0;
      L.anyExciting = L.anyExciting || exciting;
      L.anyReleased = L.anyReleased || released;

      // The shared generators, advanced as the one-voice loop advanced them: this voice's
      // whole pass, then the next voice's.
      if (exciting && c.excitation.slot < 0) {
        float* draws = scratch.noise[g] + v;
        for (int k = 0; k < length; ++k)
          draws[kLanes * k] = static_cast<float>(nextNoise(noise)) * 3.051e-5f - 0.5f;
      }
      if (fret) {
        float* buzz = scratch.fretNoise[g] + v;
        int32_t* on = scratch.fretOn[g] + v;
        for (int k = 0; k < length; ++k) {
          const bool sounds = fretAmp > 0.005f;
          buzz[kLanes * k] = sounds ? (fretPhase - 0.5f) * fretAmp : 0.0f;
          on[kLanes * k] = sounds ? -1 : 0;
          if (sounds) {
            fretPhase += fretPhaseStep;
            fretPhase -= static_cast<float>(static_cast<int>(fretPhase));
            fretAmp *= 0.9997f;
          }
        }
      }
    }
  }
  engine.noiseState = noise;
  engine.fretNoiseAmp = fretAmp;
  engine.fretNoisePhase = fretPhase;

  for (int g = 0; g < groupCount; ++g) {
    const LaneGroup& L = groups[g];
    const float* noiseDraws = scratch.noise[g];
    const float* fretDraws = scratch.fretNoise[g];
    const int32_t* fretOn = scratch.fretOn[g];
    float* output = scratch.output[g];
    switch (L.count) {
      case 1:
        renderLanes<1>(engine, L, noiseDraws, fretDraws, fretOn, fret, fretLevel, rampStep,
                       output, length, feedbackStart);
        break;
      case 2:
        renderLanes<2>(engine, L, noiseDraws, fretDraws, fretOn, fret, fretLevel, rampStep,
                       output, length, feedbackStart);
        break;
      case 3:
        renderLanes<3>(engine, L, noiseDraws, fretDraws, fretOn, fret, fretLevel, rampStep,
                       output, length, feedbackStart);
        break;
      default:
        renderLanes<4>(engine, L, noiseDraws, fretDraws, fretOn, fret, fretLevel, rampStep,
                       output, length, feedbackStart);
        break;
    }
  }

  for (int g = 0; g < groupCount; ++g) {
    const float* output = scratch.output[g];
    switch (groups[g].count) {
      case 1:
        addLanes<1>(out, output, length);
        break;
      case 2:
        addLanes<2>(out, output, length);
        break;
      case 3:
        addLanes<3>(out, output, length);
        break;
      default:
        addLanes<4>(out, output, length);
        break;
    }
  }
}

}  // namespace

void renderStrings(Engine& engine, const Patch& patch, float* left, float* right, int offset,
                   int length) {
  engine.stringsActive = 0;
  passHousekeeping(engine, patch);
  const float rampStep = 1.0f / (engine.sampleRate * 0.005f);
  engine.feedbackDrive = 0.0f;
  engine.strumTicks = saturatingIncrement(engine.strumTicks);
  const uint32_t readStart = engine.feedbackReadPos;

  if (engine.silenceCount <= 3) {
    const float window = 0.2f * engine.sampleRate;
    StringVoice* sounding[kVoiceCount];
    PassConstants constants[kVoiceCount];
    int count = 0;
    for (StringVoice& voice : engine.voices) {
      voice.age = saturatingIncrement(voice.age);
      if (voice.startDelay != 0 || !(voice.releaseTime < window)) continue;
      engine.stringsActive = 1;
      if (voice.gate > 0.5f) {
        engine.feedbackDrive = std::fmin(voice.velocity * 1.5f, 1.0f);
        voice.dampVelocity = voice.velocity;
      }
      constants[count] = passConstants(engine, patch, voice);
      sounding[count++] = &voice;
    }
    // The render loop's passes are at most one tick long; a longer call is rendered in
    // pieces, each voice's draws of the shared generators then coming piece by piece.
    for (int done = 0; count > 0 && done < length;) {
      const int piece = std::min(kPassCapacity, length - done);
      renderSounding(engine, sounding, constants, count, patch.fretLevel, rampStep,
                     left + offset + done, piece, readStart + static_cast<uint32_t>(done));
      done += piece;
    }
    if (engine.stringsActive && right)
      std::copy(left + offset, left + offset + length, right + offset);
  }
  engine.feedbackReadPos = readStart + static_cast<uint32_t>(length);
}

void tickUpdate(Engine& engine, const Patch& patch) {
  const float t = patch.tone * 0.5f + 0.25f;
  const float beta = (1.0f - t) * 0.89226997f + 0.10773f;
  const float decayRate = 20.0f / (beta * beta * beta * 800.0f);
  const float releaseRate = 20.0f / (decayRate * decayRate * decayRate * 800.0f);
  for (StringVoice& voice : engine.voices) {
    if (voice.envState == kEnvOff) continue;
    if (voice.startDelay >= 1) {
      --voice.startDelay;
      continue;
    }
    switch (voice.envState) {
      case kEnvAttack:
        voice.envPhase += 19.995396f;
        if (voice.envPhase >= 1.0f) {
          voice.envPhase = 0.0f;
          voice.envState = kEnvDecay;
          voice.envLevel = 1.0f;
        } else {
          voice.envLevel = voice.envPhase;
        }
        break;
      case kEnvDecay:
        voice.envPhase += decayRate;
        if (voice.envPhase >= 1.0f) {
          voice.envPhase = 0.0f;
          voice.envState = kEnvSilent;
          voice.envLevel = 0.0f;
        } else {
          voice.envLevel = 1.0f - voice.envPhase;
        }
        break;
      case kEnvSilent:
        voice.envLevel = 0.0f;
        break;
      default:
        voice.envPhase += releaseRate;
        if (voice.envPhase >= 1.0f) {
          voice.envState = kEnvOff;
          voice.envLevel = 0.0f;
        } else {
          voice.envLevel = (1.0f - voice.envPhase) * voice.releaseLevel;
        }
        break;
    }
    voice.envTarget = voice.envLevel;
  }
}

}  // namespace vorlak
