// The sound engine's state: tables, the event queue, the six string voices, the note and
// controller state and the playing-style state. Everything lives inline so that an instance
// is one allocation. The parameters come in with each call, as a Patch.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/relaxed.h"
#include "engine/event_queue.h"
#include "engine/midi_message.h"
#include "engine/patch.h"
#include "engine/string_channels.h"
#include "engine/string_voice.h"
#include "engine/tables.h"

namespace vorlak {

constexpr int32_t kLatchPedal = 1;
constexpr int32_t kLatchParameter = 2;
constexpr int kHeldNoteCapacity = 128;

enum Style : int32_t {
  kStyleNone = 0,
  kStyleAutoChords = 1,
  kStylePowerChords = 2,
  kStyleStrumming = 3,
  kStyleSoloFixed = 4,
  kStyleSoloDynamic = 5,
};

struct HeldNoteStack {
  uint8_t notes[kHeldNoteCapacity];
  int32_t count;
};

struct Engine {
  float sampleRate;
  float inverseRate;
  float tempo;

  EngineTables tables;
  const float* sineTable;
  EventQueue queue;
  StringVoice voices[kVoiceCount];

  // Note and controller state.
  int32_t latchFlags;
  int32_t latchFlagsSeen;
  int32_t lastStyle;
  int32_t silenceCount;  // saturates
  float fretBend;
  float fretBendSeen;
  float glissando;
  float volume;
  float expression;
  StringChannels channelModes;

  // Shared fret-noise oscillator and what the string pass reports to the chain.
  float fretNoiseAmp;
  float fretNoisePhase;
  int16_t stringsActive;
  float feedbackDrive;
  float feedbackRing[kLineSize];
  uint32_t feedbackReadPos;
  // The two modulation oscillators of the effects restart with every plucked string.
  float modulationPhase[2];

  // Playing styles.
  int32_t strumCount;
  int32_t strumTicks;  // saturates
  HeldNoteStack heldNotes;
  int32_t glideTarget;
  float glideNote;
  float glideStep;

  // The render loop's lamp bookkeeping.
  int32_t activityHold;
  int32_t activityShown;

  uint32_t noiseState;

  LaneScratch lanes;
};

// The latch flags are set from the audio thread (the pedal) and any host thread (the
// parameter): each change is one atomic step, so neither undoes the other.
inline int32_t latchState(const Engine& engine) { return relaxedLoad(engine.latchFlags); }

inline void setLatch(Engine& engine, int32_t flag, bool on) {
  std::atomic_ref<int32_t> flags(engine.latchFlags);
  if (on)
    flags.fetch_or(flag, std::memory_order_relaxed);
  else
    flags.fetch_and(~flag, std::memory_order_relaxed);
}

// Voice operations.
void clearVoices(Engine& engine);
int pickString(const Engine& engine, int note);
void startString(Engine& engine, int note, float velocity, int detune, int startDelay);
// startString on the given voice rather than the one pickString chooses.
void startVoice(Engine& engine, int voice, int note, float velocity, int detune, int startDelay);
void releaseNote(Engine& engine, int note, bool latchAware);
// releaseNote for the given voice, sounding or not.
void releaseString(Engine& engine, StringVoice& voice, bool latchAware);
void releaseAll(Engine& engine);
void resetControllers(Engine& engine);
void passHousekeeping(Engine& engine, const Patch& patch);

// MIDI intake (frames beyond maxFrame play at maxFrame) and the controllers that act when
// their tick comes.
void queueEvents(Engine& engine, const MidiMessage* messages, int count, int32_t maxFrame);
void dispatchController(Engine& engine, const Patch& patch, const QueuedEvent& event);

// Per-string expression (engine/string_channels.h). A due note goes to the playing style, or
// in a channel mode to its channel's string; channelController takes the mode messages and
// the bend ranges and answers true for a bend it consumed; the pitch a voice's channel, zone
// and note expression give it is worked out when any of them changes, never per pass.
void clearChannels(StringChannels& modes);
void dispatchNote(Engine& engine, const Patch& patch, const QueuedEvent& event);
bool channelController(Engine& engine, const QueuedEvent& event);
void centreChannelBends(Engine& engine);
void queueNoteExpressions(Engine& engine, const NoteExpression* expressions, int count,
                          int32_t maxFrame);
void applyNoteExpression(Engine& engine, const QueuedEvent& event);
float voicePitchRatio(const Engine& engine, const StringVoice& voice);

// Playing styles.
void styleNoteOn(Engine& engine, const Patch& patch, int note, float velocity, int detune);
void styleNoteOff(Engine& engine, const Patch& patch, int note, float releaseVelocity);
void glideStepUpdate(Engine& engine, const Patch& patch, const StringVoice& voice);
int32_t pushHeldNote(HeldNoteStack& stack, int note);
int32_t removeHeldNote(HeldNoteStack& stack, int note);

// The string model.
void renderStrings(Engine& engine, const Patch& patch, float* left, float* right, int offset,
                   int length);
void tickUpdate(Engine& engine, const Patch& patch);

// Set-up: tables, idle state, voices, queue. Runs once at construction.
void engineSetup(Engine& engine, float sampleRate);
void rateChanged(Engine& engine, float sampleRate);

inline int32_t saturatingIncrement(int32_t value) { return value < INT32_MAX ? value + 1 : value; }

}  // namespace vorlak
