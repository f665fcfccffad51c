#include "chain/master_effects.h"

#include <algorithm>

#include "chain/amp_effects.h"
#include "chain/table_sin.h"
#include "engine/engine.h"
#include "engine/maths.h"

namespace vorlak {
namespace {

// Reading ahead of the write position by d (interpolated) hears the frame written 512 - d
// frames ago, so a larger d is a shorter delay.
inline float modulatedTap(const float* ring, uint32_t pos, float d) {
  const int32_t whole = static_cast<int32_t>(d);
  const float fraction = d - static_cast<float>(whole);
  const uint32_t at = pos + static_cast<uint32_t>(whole);
  return ring[at & kModulatedRingMask] * (1.0f - fraction) +
         ring[(at + 1) & kModulatedRingMask] * fraction;
}

inline float framesAt(float sampleRate, float seconds) {
  return static_cast<float>(static_cast<int32_t>(sampleRate * seconds));
}

// Integer length limited to 1 .. kEffectRingSize, defined for every float.
uint32_t limitedLength(float frames) {
  // Past the integer range the truncating conversion overflows; that case takes the lower
  // limit, as it does where the conversion returns its overflow value.
  if (!(frames < 2147483648.0f)) return 1;
  if (frames >= static_cast<float>(kEffectRingSize)) return kEffectRingSize;
  if (!(frames >= 1.0f)) return 1;
  return static_cast<uint32_t>(static_cast<int32_t>(frames));
}

void chorus(EffectState& state, const Engine& engine, const Patch& patch, float* left, float* right,
            int count) {
  const float fs = engine.sampleRate;
  const float base = framesAt(fs, 0.0022675737f);
  const float depth = patch.fxPar2 * fs * 0.0029024943f;
  const float increment = patch.fxPar1 * engine.inverseRate * 4.41f;
  float* ring = state.delayLineA;
  float phase = state.modPhase;
  uint32_t writePos = state.delayWritePos;
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    const uint32_t pos = writePos & kModulatedRingMask;
    ring[pos] = x;
    const float t = triangleShape(phase);
    const float dRight = 2.0f * t * depth + base;
    const float dLeft = (2.0f - 2.0f * t) * depth + base;
    left[i] = (modulatedTap(ring, pos, dLeft) + x) * 0.8f;
    right[i] = (modulatedTap(ring, pos, dRight) + x) * 0.8f;
    trianglePhaseAdvance(phase, increment);
    ++writePos;
  }
  state.modPhase = phase;
  state.delayWritePos = writePos;
}

void flanger(EffectState& state, const Engine& engine, const Patch& patch, float* left,
             float* right, int count) {
  const float fs = engine.sampleRate;
  const float base = framesAt(fs, 0.0006802721f);
  const float depth = patch.fxPar2 * fs * 0.0029024943f;
  const float increment = patch.fxPar1 * engine.inverseRate * 1.764f;
  float* ringA = state.delayLineA;
  float* ringB = state.delayLineB;
  float phase = state.modPhase;
  uint32_t writePos = state.delayWritePos;
  float feedbackL = state.flangeFeedbackL;
  float feedbackR = state.flangeFeedbackR;
  float smoothL = state.flangeSmoothL;
  float smoothR = state.flangeSmoothR;
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    const uint32_t pos = writePos & kModulatedRingMask;
    ringA[pos] = 0.8f * feedbackL + x;
    ringB[pos] = 0.8f * feedbackR + x;
    const float t = triangleShape(phase);
    const float tapA = modulatedTap(ringA, pos, 2.0f * t * depth + base);
    const float tapB = modulatedTap(ringB, pos, (2.0f - 2.0f * t) * depth + base);
    smoothL = 0.7f * smoothL + 0.3f * tapA;
    smoothR = 0.7f * smoothR + 0.3f * tapB;
    feedbackL = smoothL;
    feedbackR = smoothR;
    trianglePhaseAdvance(phase, increment);
    ++writePos;
    left[i] = (x + tapA) * 0.8f;
    right[i] = (x + tapB) * 0.8f;
  }
  state.modPhase = phase;
  state.delayWritePos = writePos;
  state.flangeFeedbackL = feedbackL;
  state.flangeFeedbackR = feedbackR;
  state.flangeSmoothL = smoothL;
  state.flangeSmoothR = smoothR;
}

void leslie(EffectState& state, const Engine& engine, const Patch& patch, float* left, float* right,
            int count) {
  const float fs = engine.sampleRate;
  const float t = engine.inverseRate;
  const float speed = patch.fxPar1;
  const float depth = patch.fxPar2;
  const float swing = (1.0f - speed) * fs * 0.0009070295f;
  const float increment = (speed + 0.2f) * t * 8.82f;
  // Below 44.1 kHz the rescaled rotor angles would reach coefficients at which the filters
  // grow without bound (2·sin(angle) above 1.42 at damping 0.7); hold them just inside.
  const float angleLimit = fs < 44100.0f ? 0.78f : 4.0f;
  float* ring = state.delayLineA;
  StateVariable rotorA = state.formantA;
  StateVariable rotorB = state.formantB;
  float phase = state.modPhase;
  uint32_t writePos = state.delayWritePos;
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    const uint32_t pos = writePos & kModulatedRingMask;
    ring[pos] = x;
    const float quarter = phase + 0.25f;
    const float shape = triangleShape(quarter - static_cast<float>(static_cast<int32_t>(quarter)));
    const float tapA = modulatedTap(ring, pos + 3, 2.0f * shape * swing) + 0.001f;
    const float tapB = modulatedTap(ring, pos + 3, (2.0f - 2.0f * shape) * swing) + 0.001f;
    const float u = 2.0f * triangleShape(trianglePhaseAdvance(phase, increment)) - 1.0f;
    ++writePos;
    const float a = (u + 1.0f) * 0.5f;
    const float b = (1.0f - u) * 0.5f;
    const float angleA = std::min((a * a * 0.9f + 0.1f) * t * 44100.0f * 0.8f, angleLimit);
    const float angleB = std::min((b * b * 0.9f + 0.1f) * t * 44100.0f * 0.8f, angleLimit);
    rotorA.step(0.7f * tapB, 2.0f * sine(angleA), 0.7f);
    rotorB.step(0.7f * tapA, 2.0f * sine(angleB), 0.7f);
    left[i] = (1.0f + u * depth) * rotorA.low * 1.8f;
    right[i] = (1.0f - u * depth) * rotorB.low * 1.8f;
  }
  state.formantA = rotorA;
  state.formantB = rotorB;
  state.modPhase = phase;
  state.delayWritePos = writePos;
}

void dubDelay(EffectState& state, const Engine& engine, const Patch& patch, float* left,
              float* right, int count) {
  const float frames = patch.fxPar1 * engine.sampleRate * 0.09287982f;
  const uint32_t distance =
      (frames < 32767.0f ? static_cast<uint32_t>(frames > 0.0f ? frames : 0.0f) : 32767u) + 1;
  float* ring = state.delayLineA;
  uint32_t pos = state.delayWritePos;
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    pos = (pos + 1) & kDubRingMask;
    left[i] = ring[(pos - distance) & kDubRingMask];
    ring[pos] = x;
    right[i] = x;
  }
  state.delayWritePos = pos;
}

void multitap(EffectState& state, const Engine& engine, const Patch& patch, float* left,
              float* right, int count) {
  const float fs = engine.sampleRate;
  const uint32_t loop = multitapLength(fs, engine.tempo, noteLengthFor(engine, patch.fxPar1));
  const uint32_t preLength = limitedLength(fs * 0.0014512471f);
  const uint32_t halfLength = loop / 2 + 1;
  const float feedback = patch.fxPar2;
  float* loopL = state.delayLineA;
  float* loopR = state.delayLineB;
  float* halfRing = state.delayLineC;
  float* preRing = state.delayLineD;
  float tapSmooth = state.flangeFeedbackL;
  float smoothL = state.flangeSmoothL;
  float smoothR = state.flangeSmoothR;
  // One remainder each for the first frame; after that the positions are in range and
  // wrap by comparison.
  uint32_t pre = state.preDelayPos, half = state.halfTapPos, k = state.delayWritePos;
  uint32_t preNext = (pre + 1) % preLength;
  uint32_t halfNext = (half + 1) % halfLength;
  uint32_t kNext = (k + 1) % loop;
  for (int i = 0; i < count; ++i) {
    pre = preNext;
    half = halfNext;
    k = kNext;
    preNext = pre + 1 == preLength ? 0 : pre + 1;
    halfNext = half + 1 == halfLength ? 0 : half + 1;
    kNext = k + 1 == loop ? 0 : k + 1;
    const float x = left[i];
    const float delayed = preRing[pre];
    preRing[pre] = x;
    tapSmooth = 0.2f * halfRing[half] + 0.8f * tapSmooth;
    halfRing[half] = x;
    const float vl = x + feedback * (0.2f * loopL[k] + 0.8f * smoothL);
    loopL[k] = vl;
    smoothL = vl;
    const float vr = tapSmooth + feedback * (0.8f * smoothR + 0.2f * loopR[k]);
    loopR[k] = vr;
    smoothR = vr;
    left[i] = 0.7f * vl;
    right[i] = 0.7f * (delayed + vr);
  }
  state.flangeFeedbackL = tapSmooth;
  state.flangeSmoothL = smoothL;
  state.flangeSmoothR = smoothR;
  state.preDelayPos = pre;
  state.halfTapPos = half;
  state.delayWritePos = k;
}

}  // namespace

uint32_t multitapLength(float sampleRate, float tempo, float noteLength) {
  return limitedLength(sampleRate * 60.0f / tempo * noteLength);
}

void runMasterEffect(int fx, EffectState& state, Engine& engine, const Patch& patch, float* left,
                     float* right, int count) {
  switch (fx) {
    case kFxMstChorus:
      chorus(state, engine, patch, left, right, count);
      break;
    case kFxMstFlanger:
      flanger(state, engine, patch, left, right, count);
      break;
    case kFxMstPhaser:
      runPhaser(state, engine, patch, left, right, count, true);
      break;
    case kFxMstLeslie:
      leslie(state, engine, patch, left, right, count);
      break;
    case kFxMstTremolo:
      runTremolo(engine, patch, left, right, count);
      break;
    case kFxMstDubDelay:
      dubDelay(state, engine, patch, left, right, count);
      break;
    case kFxMstMultitap:
      multitap(state, engine, patch, left, right, count);
      break;
    default:
      break;
  }
}

}  // namespace vorlak
