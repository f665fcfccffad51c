// The plucked string: an excitation (a recorded transient or a noise burst, plus a shared
// fret-noise buzz) drives two slightly detuned feedback delay loops, each with a one-pole
// lowpass and a hard clip. Per-note values are worked out once per pass; the sample loop
// touches only locals and the voice's own lines.
#include <algorithm>
#include <cmath>

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

inline float clampAbs(float x, float limit) {
  return x < -limit ? -limit : (x > limit ? limit : x);
}

inline float approach(float value, float target, float step) {
  if (value < target) return value + step < target ? value + step : target;
  if (value > target) return value - step > target ? value - step : target;
  return value;
}

inline float readLine(const float* line, uint32_t write, uint32_t whole, float fraction) {
  return line[(write - whole) & kLineMask] * (1.0f - fraction) +
         line[(write - whole - 1) & kLineMask] * fraction;
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

void renderVoice(Engine& engine, StringVoice& voice, const PassConstants& c, float fretLevel,
                 float* left, int offset, int length, float rampStep) {
  const float* feedback = engine.feedbackRing;
  const uint32_t feedbackStart = engine.feedbackReadPos;

  const int16_t* table = nullptr;
  float tableEnd = 0.0f;
  float sampleScale = 0.0f;
  if (c.excitation.slot >= 0) {
    const ExcitationSample& sample = engine.tables.excitation[c.excitation.slot];
    table = sample.values;
    tableEnd = static_cast<float>(sample.count - 1);
    sampleScale = c.excitation.gain * c.amplitude / 32768.0f;
  }
  const float noiseScale = c.amplitude * 0.125f;
  const float positionStep = c.excitationStep * c.excitation.rate;

  const auto wholeA = static_cast<uint32_t>(c.lengthA);
  const float fractionA = c.lengthA - static_cast<float>(wholeA);
  const auto wholeB = static_cast<uint32_t>(c.lengthB);
  const float fractionB = c.lengthB - static_cast<float>(wholeB);
  const float oneMinusG = 1.0f - c.g;
  const float oneMinusCe = 1.0f - c.ce;
  const bool released = voice.gate < 0.5f;
  const bool exciting = voice.envState != kEnvOff;
  const PickupStage& p = c.pickup;
  const float fretPhaseStep = 441.0f * engine.inverseRate;

  float amp = voice.excitationAmp;
  float position = voice.excitationPos;
  float releaseTime = voice.releaseTime;
  float stateA = voice.loopStateA;
  float stateB = voice.loopStateB;
  float fretState = voice.fretNoiseState;
  float low = voice.filterLow;
  float band = voice.filterBand;
  float high = voice.filterHigh;
  uint32_t writeA = voice.writeA;
  uint32_t writeB = voice.writeB;
  float fretAmp = engine.fretNoiseAmp;
  float fretPhase = engine.fretNoisePhase;
  uint32_t noise = engine.noiseState;
  bool exhausted = false;
  float* lineA = voice.lineA;
  float* lineB = voice.lineB;
  float* history = voice.pickupLine;
  float* out = left + offset;

  for (int k = 0; k < length; ++k) {
    float e = kTiny;
    if (exciting) {
      amp = approach(amp, c.target, rampStep);
      if (!table) {
        e = (static_cast<float>(nextNoise(noise)) * 3.051e-5f - 0.5f) * amp * noiseScale;
      } else if (position < tableEnd) {
        const auto i = static_cast<int>(position);
        const float f = position - static_cast<float>(i);
        e = (static_cast<float>(table[i]) * (1.0f - f) + static_cast<float>(table[i + 1]) * f) *
            amp * sampleScale;
        position += positionStep;
      } else {
        exhausted = true;
      }
    }
    if (fretAmp > 0.005f) {
      const float phase = fretPhase;
      const float a = fretAmp;
      fretPhase += fretPhaseStep;
      fretPhase -= static_cast<float>(static_cast<int>(fretPhase));
      fretAmp *= 0.9997f;
      e = ((phase - 0.5f) * a * c.velocityScale + e) * c.ce + oneMinusCe * fretState;
      fretState = e;
    }
    const float direct = e * fretLevel;

    ++writeB;
    const float xB = readLine(lineB, writeB, wholeB, fractionB);
    const float fb =
        feedback[(feedbackStart + static_cast<uint32_t>(k)) & kLineMask] * c.feedbackGain;
    ++writeA;
    const float xA = readLine(lineA, writeA, wholeA, fractionA);

    const float inA = clampAbs(xA * c.loopGain + e + fb, c.clip);
    const float inB = clampAbs(xB * c.loopGain + e + fb, c.clip);
    stateA = inA * c.g + oneMinusG * stateA;
    lineA[writeA & kLineMask] = stateA;
    stateB = inB * c.g + oneMinusG * stateB;
    lineB[writeB & kLineMask] = stateB;

    float y = (inB * 0.4f + inA) * 0.85f + direct;
    if (released) {
      releaseTime += c.excitationStep;
      amp = approach(amp, 0.0f, rampStep);
      y *= amp;
    }
    y = clampAbs(y, c.clip);
    history[writeA & kLineMask] = y;

    const float s = y + p.weight1 * history[(writeA - p.distance1) & kLineMask] +
                    p.weight2 * history[(writeA - p.distance2) & kLineMask];
    low = low + p.filterCoefficient * band;
    high = (s + kTiny) * 0.5f - low - band * 0.5f;
    band = band + p.filterCoefficient * high;
    out[k] += p.makeUpGain * low;
  }

  voice.excitationAmp = amp;
  voice.excitationPos = position;
  voice.releaseTime = releaseTime;
  voice.loopStateA = stateA;
  voice.loopStateB = stateB;
  voice.fretNoiseState = fretState;
  voice.filterLow = low;
  voice.filterBand = band;
  voice.filterHigh = high;
  voice.writeA = writeA;
  voice.writeB = writeB;
  engine.fretNoiseAmp = fretAmp;
  engine.fretNoisePhase = fretPhase;
  engine.noiseState = noise;
  if (exhausted) voice.envState = kEnvOff;
}

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
    for (StringVoice& voice : engine.voices) {
      voice.age = saturatingIncrement(voice.age);
      if (voice.startDelay != 0 || !(voice.releaseTime < window)) continue;
      engine.stringsActive = 1;
      if (voice.gate > 0.5f) {
        engine.feedbackDrive = std::fmin(voice.velocity * 1.5f, 1.0f);
        voice.dampVelocity = voice.velocity;
      }
      const PassConstants constants = passConstants(engine, patch, voice);
      renderVoice(engine, voice, constants, patch.fretLevel, left, offset, length, rampStep);
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
