// The plucked string: an excitation (a recorded transient or a noise burst, plus a shared
// fret-noise buzz) drives two slightly detuned feedback delay loops, each with a one-pole
// lowpass and a hard clip. Per-note values are worked out once per pass; the voices then run
// side by side in vector lanes (engine/string_lanes.h), the sample loop touching only locals
// and the voices' own lines.
#include <algorithm>
#include <cmath>

#include "engine/engine.h"
#include "engine/maths.h"
#include "engine/pickup.h"
#include "engine/string_lanes.h"
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

  // In a channel mode each string plays its own note; no solo line glides across them.
  float pitchNote = voice.note;
  if (engine.channelModes.mode == kChannelsPoly) {
    glideStepUpdate(engine, patch, voice);
    pitchNote = engine.glideNote;
  }
  // The string's own bend divides last: a factor of exactly 1 leaves every bit as it was.
  const float period = 2.0f * engine.sampleRate / noteFrequency(pitchNote) / engine.fretBend /
                       (engine.glissando * 0.1224f + 1.0f) / voice.pitchRatio *
                       engine.tables.cents()[voice.detune];
  c.lengthA = limitLength(period * 0.99920064f);
  c.lengthB = limitLength(period * 1.0008f);

  const float velV = patch.velVScale;
  const float ce = ((1.0f - velV) + velV * velV * voice.dampVelocity * voice.dampVelocity) * 0.97f *
                   engine.inverseRate * brightness * 44100.0f;
  c.ce = std::clamp(ce, 0.03f, 1.0f);
  c.feedbackGain = patch.feedback * patch.feedback * 0.001f;
  c.loopGain = (1.0f - damp) * 0.01f + 0.99f;

  const float toneFactor = toneFactorOf(patch.tone);
  c.excitationStep = toneFactor * rateScale;
  c.velocityScale = velocity * velV + 1.0f - velV;
  const float slapClip = 1.0f - patch.slapLevel * 0.95f;
  c.clip = slapClip * slapClip;

  const int wholeNote = std::clamp(static_cast<int>(note), 0, 127);
  c.pickup = designPickup(patch.coils, patch.pickupPos, engine.tables.pickupTable[wholeNote],
                          c.lengthB, patch.harmonic, patch.slapLevel, engine.inverseRate);
  c.pickup.makeUpGain *= voice.gain;
  c.excitation = chooseExcitation(type, wholeNote, voice.dampVelocity);
  const float low = (128.0f - note) * 0.0078125f;
  c.amplitude = c.velocityScale * toneFactor * (low * low * 16.0f + 1.0f);
  return c;
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
    const float window = kIdleWindow * engine.sampleRate;
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
