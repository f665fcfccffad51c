#include "chain/amp_effects.h"

#include <cmath>
#include <cstdint>

#include "chain/table_sin.h"
#include "engine/engine.h"
#include "engine/tiny_offset.h"
#include "engine/maths.h"

namespace vorlak {
namespace {

template <bool Stereo>
void phaser(EffectState& state, const Engine& engine, const Patch& patch, float* left, float* right,
            int count) {
  const float increment = patch.fxPar1 * 8.82f * engine.inverseRate;
  const float feedbackGain = 0.8f * patch.fxPar2;
  const float* sineTable = engine.sineTable;
  HilbertShifter shifter = state.shifter;
  float phase = state.phaserPhase;
  float feedback = state.phaserFeedback;
  for (int i = 0; i < count; ++i) {
    const float x = left[i] + kTiny;
    trianglePhaseAdvance(phase, increment);
    const float s = shifter.step(x + feedbackGain * feedback, phase, sineTable);
    feedback = s;
    if constexpr (Stereo) {
      left[i] = x - s;
      right[i] = x + s;
    } else {
      left[i] = x + s;
      right[i] = x + s;
    }
  }
  state.shifter = shifter;
  state.phaserPhase = phase;
  state.phaserFeedback = feedback;
}

void wahWah(EffectState& state, const Engine& engine, const Patch& patch, float* left, float* right,
            int count) {
  const float t = engine.inverseRate;
  const float sweep = patch.fxPar2;
  float alpha = (patch.fxPar1 * 0.0049f + 0.995f) * t * 44100.0f;
  // Below 44.1 kHz the rescaled coefficient reaches 1, where the follower would freeze or
  // grow without bound; keep it a decay.
  if (!(alpha < 1.0f)) alpha = 0.9999f;
  const float keep = 1.0f - alpha;
  LadderFilter ladder = state.wahLadder;
  float envelope = state.wahEnvelope;
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    envelope = alpha * envelope + keep * std::fabs(x);
    const float w = ladder.step(x, (envelope * sweep * 3.0f + 0.015f) * t * 44100.0f, 0.75f);
    const float out = (x + 1.5f * w) * 0.5f;
    left[i] = out;
    right[i] = out;
  }
  state.wahLadder = ladder;
  state.wahEnvelope = envelope;
}

void wahLfo(EffectState& state, Engine& engine, const Patch& patch, float* left, float* right,
            int count) {
  const float t = engine.inverseRate;
  const float sweep = patch.fxPar2;
  const float increment = (patch.fxPar1 + 0.1f) * t * 8.82f;
  LadderFilter ladder = state.wahLadder;
  float envelope = state.wahEnvelope;
  float phase = engine.modulationPhase[1];
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    envelope = 0.997f * envelope + 0.003000021f * std::fabs(x);
    const float lfo = 2.0f * triangleShape(trianglePhaseAdvance(phase, increment));
    const float cutoff = (lfo * (envelope * envelope) * sweep * 4.0f + 0.015f) * t * 44100.0f;
    const float w = ladder.step(x, cutoff, 0.75f);
    const float out = (x + 1.5f * w) * 0.5f;
    left[i] = out;
    right[i] = out;
  }
  state.wahLadder = ladder;
  state.wahEnvelope = envelope;
  engine.modulationPhase[1] = phase;
}

void ringmod(EffectState& state, const Engine& engine, const Patch& patch, float* left,
             float* right, int count) {
  const float steps = patch.fxPar1 * 15.0f + 1.0f;
  const int sixteenths = steps >= 16.0f ? 16 : (steps >= 1.0f ? static_cast<int>(steps) : 1);
  const float ratio = static_cast<float>(sixteenths) / 16.0f;
  const float frequency = noteFrequency(engine.glideNote) * ratio;
  const float increment = frequency / engine.sampleRate;
  float phase = state.ringPhase;
  for (int i = 0; i < count; ++i) {
    const float angle = trianglePhaseAdvance(phase, increment) * 6.28318f;
    left[i] = 2.0f * sine(angle) * left[i];
    right[i] = 2.0f * sine(angle + 1.57f) * right[i];
  }
  state.ringPhase = phase;
}

void fuzzBox(const Patch& patch, float* left, float* right, int count) {
  const float k = (patch.fxPar1 + 0.5f) * 4.0f;
  const float step = patch.fxPar2 * 0.1f + 0.0001f;
  // With the clip at 0.5 and the step at least 0.0001, y / step stays within +-5000.
  const float q = step > 0.0001f ? step : 0.0001f;
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    const float expanded = (exponential(k * std::fabs(x)) - 1.0f) / k;
    const float clipped = expanded < 0.5f ? expanded : 0.5f;
    const float y = x < 0.0f ? -clipped : clipped;
    const float out = q * static_cast<float>(static_cast<int32_t>(y / q));
    left[i] = out;
    right[i] = out;
  }
}

void harmonizer(EffectState& state, const Patch& patch, float* left, float* right, int count) {
  const float weight = patch.fxPar1;
  const float level = patch.fxPar2;
  LadderFilter ladder = state.subLadder;
  float fast = state.fastLevel;
  float slow = state.slowLevel;
  float dc = state.dcLevel;
  float last = state.lastLowpassed;
  float flipFlop = state.flipFlop;
  float sub = state.subOctave;
  for (int i = 0; i < count; ++i) {
    const float x = left[i];
    const float magnitude = std::fabs(x);
    fast = 0.997f * fast + 0.03f * magnitude;
    slow = 0.99f * slow + 0.01f * magnitude;
    dc = 0.995f * dc + 0.005f * x;
    const float difference = (magnitude - slow) * fast;
    const float z = ladder.step(x - dc, 0.005f, 0.0f);
    // Toggling at every other downward crossing of the low-passed input halves its pitch.
    if (last > 0.0f && z < 0.0f) flipFlop = flipFlop < 0.0f ? 1.0f : -1.0f;
    last = z;
    sub = 0.992f * sub + 0.008f * flipFlop;
    const float out = sub * fast * level + x - difference * weight;
    left[i] = out;
    right[i] = out;
  }
  state.subLadder = ladder;
  state.fastLevel = fast;
  state.slowLevel = slow;
  state.dcLevel = dc;
  state.lastLowpassed = last;
  state.flipFlop = flipFlop;
  state.subOctave = sub;
}

void talkbox(EffectState& state, const Engine& engine, const Patch& patch, float* left,
             float* right, int count) {
  const float t = engine.inverseRate;
  const float scale = 1.5f * patch.fxPar2 + 0.5f;
  const float increment = patch.fxPar1 * t * 2.205f;
  constexpr float kDamping = 0.050000012f;
  StateVariable a = state.formantA;
  StateVariable b = state.formantB;
  StateVariable c = state.formantC;
  float phase = state.modPhase;
  for (int i = 0; i < count; ++i) {
    const float w = triangleShape(phase);
    const float x = (left[i] + 0.001f) * 0.050000012f;
    const float u = 0.97f * w - 0.5f;
    const float angleA = (2250.0f - 1400.0f * w) * scale * t * 3.1399198f;
    const float angleB = (2900.0f - 700.0f * w) * scale * t * 3.1399198f;
    const float angleC = (270.0f - (u * u - 0.25f) * 1560.0f) * scale * t * 3.1399198f;
    a.step(x, 2.0f * sine(angleA), kDamping);
    b.step(x, 2.0f * sine(angleB), kDamping);
    c.step(x, 2.0f * sine(angleC), kDamping);
    const float centre = w - 0.5f;
    const float out = 8.0f * (0.9f * b.band + (1.0f - 0.3f * (w * w)) * a.band +
                              (0.4f - (centre * centre - 0.25f) * 1.6f) * c.band);
    trianglePhaseAdvance(phase, increment);
    left[i] = out;
    right[i] = out;
  }
  state.formantA = a;
  state.formantB = b;
  state.formantC = c;
  state.modPhase = phase;
}

}  // namespace

float noteLengthFor(const Engine& engine, float par1) {
  const float index = par1 * 3.99f;
  const int i = index >= 3.0f ? 3 : (index >= 0.0f ? static_cast<int>(index) : 0);
  return engine.tables.noteLengths[i];
}

void runPhaser(EffectState& state, const Engine& engine, const Patch& patch, float* left,
               float* right, int count, bool stereo) {
  if (stereo)
    phaser<true>(state, engine, patch, left, right, count);
  else
    phaser<false>(state, engine, patch, left, right, count);
}

void runTremolo(Engine& engine, const Patch& patch, float* left, float* right, int count) {
  // Whole cycles per frame change nothing; dropping them keeps the phase step convertible
  // at absurd host tempos. fmod is exact, the same bits from any C runtime.
  const float increment = std::fmod(
      engine.tempo / (30.0f * engine.sampleRate) / noteLengthFor(engine, patch.fxPar1), 1.0f);
  const float depth = patch.fxPar2;
  float phase = engine.modulationPhase[0];
  for (int i = 0; i < count; ++i) {
    const float shape = triangleShape(trianglePhaseAdvance(phase, increment));
    const float gain = 1.0f + depth * (2.0f * shape - 1.0f);
    left[i] *= gain;
    right[i] *= gain;
  }
  engine.modulationPhase[0] = phase;
}

void runAmpEffect(int fx, EffectState& state, Engine& engine, const Patch& patch, float* left,
                  float* right, int count) {
  switch (fx) {
    case kFxAmpPhaser:
      phaser<false>(state, engine, patch, left, right, count);
      break;
    case kFxAmpTremolo:
      runTremolo(engine, patch, left, right, count);
      break;
    case kFxAmpWahWah:
      wahWah(state, engine, patch, left, right, count);
      break;
    case kFxAmpWahLfo:
      wahLfo(state, engine, patch, left, right, count);
      break;
    case kFxAmpRingmod:
      ringmod(state, engine, patch, left, right, count);
      break;
    case kFxAmpFuzzBox:
      fuzzBox(patch, left, right, count);
      break;
    case kFxAmpHarmonizer:
      harmonizer(state, patch, left, right, count);
      break;
    case kFxAmpTalkbox:
      talkbox(state, engine, patch, left, right, count);
      break;
    default:
      break;
  }
}

}  // namespace vorlak
