// Playing styles: how a key becomes one string, a chord, a strum or a gliding solo line.
#include <cmath>

#include "engine/data/style_tables.h"
#include "engine/engine.h"

namespace vorlak {
namespace {

int strumStep(const Patch& patch) {
  return static_cast<int>(std::fmax(patch.timing, 0.0f) * 10.99f);
}

int glideIndex(const Patch& patch) {
  const int index = static_cast<int>(std::fmax(patch.timing, 0.0f) * 6.99f);
  return index > 6 ? 6 : index;
}

const uint8_t* chordRow(int note) { return kChordTable[((note % 12) + 12) % 12]; }

void releaseEveryVoice(Engine& engine) {
  for (StringVoice& voice : engine.voices) releaseNote(engine, static_cast<int>(voice.note), false);
}

// Steps per glide so that a fixed glide lasts fixedGlide / tempo seconds at one pass a tick.
float glideSteps(const Engine& engine, const Patch& patch, const float (&table)[7]) {
  return table[glideIndex(patch)] * 200.0f / engine.tempo;
}

void setGlideStep(Engine& engine, const Patch& patch, bool dynamic) {
  const float distance = std::fabs(static_cast<float>(engine.glideTarget) - engine.glideNote);
  // A zero distance gives an infinite dynamic step; the glide clamps at its target anyway.
  engine.glideStep = dynamic ? glideSteps(engine, patch, kDynamicGlide) / distance
                             : distance / glideSteps(engine, patch, kFixedGlide);
}

void soloNoteOn(Engine& engine, const Patch& patch, int note, float velocity, int detune,
                bool dynamic) {
  engine.glideTarget = note;
  if (pushHeldNote(engine.heldNotes, note) > 0) {
    if (!dynamic) engine.fretNoiseAmp = velocity * 0.3f;
    setGlideStep(engine, patch, dynamic);
    return;
  }
  startString(engine, note, velocity, detune, 0);
  engine.glideNote = static_cast<float>(note);
}

void soloNoteOff(Engine& engine, const Patch& patch, int note, float releaseVelocity,
                 bool dynamic) {
  if (removeHeldNote(engine.heldNotes, note) > 0) {
    if (!dynamic) engine.fretNoiseAmp = releaseVelocity * 0.3f;
    engine.glideTarget = engine.heldNotes.notes[0];
    setGlideStep(engine, patch, dynamic);
    return;
  }
  releaseEveryVoice(engine);
}

}  // namespace

int32_t pushHeldNote(HeldNoteStack& stack, int note) {
  const int32_t before = stack.count;
  // A full stack forgets its oldest key; only repeated note-ons without note-offs get here.
  const int32_t kept = before < kHeldNoteCapacity ? before : kHeldNoteCapacity - 1;
  for (int32_t i = kept; i > 0; --i) stack.notes[i] = stack.notes[i - 1];
  stack.notes[0] = static_cast<uint8_t>(note);
  stack.count = kept + 1;
  return before;
}

int32_t removeHeldNote(HeldNoteStack& stack, int note) {
  for (int32_t i = 0; i < stack.count; ++i) {
    if (stack.notes[i] != note) continue;
    for (int32_t j = i; j + 1 < stack.count; ++j) stack.notes[j] = stack.notes[j + 1];
    --stack.count;
    break;
  }
  return stack.count;
}

void styleNoteOn(Engine& engine, const Patch& patch, int note, float velocity, int detune) {
  if (note < 0 || note > 127) return;
  const int step = strumStep(patch);
  switch (patch.aid) {
    case kStyleNone:
      startString(engine, note, velocity, detune, 0);
      break;
    case kStyleAutoChords: {
      releaseEveryVoice(engine);
      const uint8_t* row = chordRow(note);
      for (int j = 0; j < 6 && row[j] != kChordEnd; ++j)
        startString(engine, row[j] + kChordNoteBase, velocity, 0, j * step);
      break;
    }
    case kStylePowerChords:
      releaseEveryVoice(engine);
      if (note >= 60) {
        startString(engine, note - 12, velocity, detune, 0);
        startString(engine, note - 5, velocity, detune - 4, step);
        startString(engine, note, velocity, detune - 2, 2 * step);
      } else {
        startString(engine, note + 12, velocity, detune, 0);
        startString(engine, note + 17, velocity, detune + 5, step);
        startString(engine, note + 24, velocity, detune + 2, 2 * step);
      }
      break;
    case kStyleStrumming: {
      if (engine.strumCount == 0) engine.strumTicks = 0;
      const int64_t delay = static_cast<int64_t>(step) * engine.strumCount - engine.strumTicks;
      startString(engine, note, velocity, detune,
                  delay > INT32_MAX ? INT32_MAX : static_cast<int>(delay < 0 ? 0 : delay));
      engine.strumCount = saturatingIncrement(engine.strumCount);
      break;
    }
    case kStyleSoloFixed:
      soloNoteOn(engine, patch, note, velocity, detune, false);
      break;
    default:
      soloNoteOn(engine, patch, note, velocity, detune, true);
      break;
  }
}

void styleNoteOff(Engine& engine, const Patch& patch, int note, float releaseVelocity) {
  if (note < 0 || note > 127) return;
  switch (patch.aid) {
    case kStyleNone:
      releaseNote(engine, note, true);
      break;
    case kStyleAutoChords: {
      const uint8_t* row = chordRow(note);
      for (int j = 0; j < 6 && row[j] != kChordEnd; ++j)
        releaseNote(engine, row[j] + kChordNoteBase, true);
      break;
    }
    case kStylePowerChords: {
      static constexpr int kHigh[5] = {-12, -5, 0, 7, 12};
      static constexpr int kLow[5] = {12, 17, 24, 29, 36};
      for (int offset : note > 59 ? kHigh : kLow) releaseNote(engine, note + offset, true);
      break;
    }
    case kStyleStrumming:
      releaseNote(engine, note, true);
      if (engine.strumCount > INT32_MIN) --engine.strumCount;
      break;
    case kStyleSoloFixed:
      soloNoteOff(engine, patch, note, releaseVelocity, false);
      break;
    default:
      soloNoteOff(engine, patch, note, releaseVelocity, true);
      break;
  }
}

void glideStepUpdate(Engine& engine, const Patch& patch, const StringVoice& voice) {
  if (patch.aid < kStyleSoloFixed) {
    engine.glideNote = voice.note;
    return;
  }
  const float target = static_cast<float>(engine.glideTarget);
  if (engine.glideNote > target)
    engine.glideNote = std::fmax(engine.glideNote - engine.glideStep, target);
  else if (engine.glideNote < target)
    engine.glideNote = std::fmin(engine.glideNote + engine.glideStep, target);
}

}  // namespace vorlak
