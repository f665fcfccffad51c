// Voice allocation and the note, latch and controller state that the string pass reads.
#include <algorithm>
#include <cstring>

#include "engine/engine.h"

namespace vorlak {
namespace {

bool validNote(int note) { return note >= 0 && note <= 127; }

struct FretStep {
  int bound;
  float ratio;
};

// Equal-tempered ratios from -12 to +12 semitones over the wheel's 128 positions.
constexpr FretStep kFretLadder[] = {
    {5, 0.5297f},   {12, 0.561f},   {16, 0.5943f},  {21, 0.6297f},  {27, 0.6671f}, {32, 0.7068f},
    {37, 0.7488f},  {43, 0.7934f},  {47, 0.8406f},  {53, 0.8905f},  {57, 0.9435f}, {66, 1.0f},
    {69, 1.0595f},  {75, 1.1225f},  {80, 1.1892f},  {85, 1.2599f},  {91, 1.3348f}, {96, 1.4142f},
    {101, 1.4983f}, {106, 1.5874f}, {112, 1.6818f}, {117, 1.7818f}, {122, 1.8877f}};

float fretRatio(float position) {
  const int k = static_cast<int>(position) - 2;
  if (k < 1) return 0.5f;
  for (const FretStep& step : kFretLadder)
    if (k < step.bound) return step.ratio;
  return 2.0f;
}

}  // namespace

void clearVoices(Engine& engine) {
  for (StringVoice& voice : engine.voices) {
    std::memset(&voice, 0, sizeof voice);
    voice.channel = -1;
    voice.noteId = -1;
    voice.gain = 1.0f;
    voice.pitchRatio = 1.0f;
  }
}

int pickString(const Engine& engine, int note) {
  const StringVoice* voices = engine.voices;
  for (int i = 0; i < kVoiceCount; ++i)
    if (voices[i].note == static_cast<float>(note)) return i;
  for (int i = 0; i < kVoiceCount; ++i)
    if (voices[i].releaseTime >= 0.3f * engine.sampleRate) return i;
  for (int i = 0; i < kVoiceCount; ++i)
    if (voices[i].gate < 0.5f) return i;
  int oldest = 0;
  for (int i = 1; i < kVoiceCount; ++i)
    if (voices[i].age > voices[oldest].age) oldest = i;
  return oldest;
}

void startString(Engine& engine, int note, float velocity, int detune, int startDelay) {
  if (!validNote(note)) return;
  startVoice(engine, pickString(engine, note), note, velocity, detune, startDelay);
}

void startVoice(Engine& engine, int index, int note, float velocity, int detune, int startDelay) {
  if (!validNote(note) || index < 0 || index >= kVoiceCount) return;
  StringVoice& voice = engine.voices[index];
  voice.gate = 1.0f;
  voice.keyHeld = true;
  voice.note = static_cast<float>(note);
  voice.envState = kEnvAttack;
  voice.envLevel = 0.0f;
  voice.envPhase = 0.0f;
  voice.excitationPos = 0.0f;
  voice.fretNoiseState = 0.0f;
  voice.loopStateA = 0.0f;
  voice.velocity = velocity;
  // Chord offsets can push a played detune past the cents table.
  voice.detune = static_cast<int8_t>(std::clamp(detune, -kCentsRange, kCentsRange));
  voice.releaseTime = -1.0f;
  voice.age = 0;
  voice.excitationAmp = 0.0f;
  voice.startDelay = std::max(startDelay, 0);
  voice.channel = static_cast<int8_t>(engine.channelModes.startChannel);
  voice.noteId = engine.channelModes.startNoteId;
  voice.tuning = 0.0f;
  voice.gain = 1.0f;
  voice.pitchRatio = voicePitchRatio(engine, voice);
  engine.silenceCount = 0;
  engine.modulationPhase[0] = 0.0f;
  engine.modulationPhase[1] = 0.5f;
}

void releaseString(Engine& engine, StringVoice& voice, bool latchAware) {
  voice.keyHeld = false;
  if (latchAware && latchState(engine) != 0) return;
  voice.gate = 0.0f;
  voice.envState = kEnvRelease;
  voice.releaseLevel = voice.envLevel;
  voice.envPhase = 0.0f;
}

void releaseNote(Engine& engine, int note, bool latchAware) {
  if (!validNote(note)) return;
  for (StringVoice& voice : engine.voices) {
    if (voice.gate == 0.0f || voice.note != static_cast<float>(note)) continue;
    releaseString(engine, voice, latchAware);
    return;
  }
}

namespace {

// Without a channel mode no two sounding strings share a note, so the note names the voice;
// in a mode two strings may sound one note and the voice itself is released.
void releaseVoice(Engine& engine, StringVoice& voice) {
  if (engine.channelModes.mode == kChannelsPoly)
    releaseNote(engine, static_cast<int>(voice.note), false);
  else if (voice.gate != 0.0f)
    releaseString(engine, voice, false);
}

}  // namespace

void releaseAll(Engine& engine) {
  for (StringVoice& voice : engine.voices)
    if (voice.gate != 0.0f) releaseVoice(engine, voice);
  engine.activityHold = 0;
  engine.activityShown = 0;
  engine.strumCount = 0;
  engine.heldNotes.count = 0;
}

void resetControllers(Engine& engine) {
  engine.fretBend = 1.0f;
  engine.volume = 1.0f;
  engine.expression = 1.0f;
  centreChannelBends(engine);
}

void passHousekeeping(Engine& engine, const Patch& patch) {
  const int style = patch.aid;
  if (style != engine.lastStyle) {
    // Right after construction there is nothing to release, and releasing would swallow the
    // notes dispatched before the first pass.
    const bool first = engine.lastStyle < 0;
    engine.lastStyle = style;
    if (!first) {
      for (StringVoice& voice : engine.voices) releaseVoice(engine, voice);
      engine.strumCount = 0;
      engine.heldNotes.count = 0;
    }
  }

  const int32_t latch = latchState(engine);
  if (latch != engine.latchFlagsSeen) {
    engine.latchFlagsSeen = latch;
    if (latch == 0)
      for (StringVoice& voice : engine.voices)
        if (!voice.keyHeld) releaseVoice(engine, voice);
  }

  const float idleWindow = kIdleWindow * engine.sampleRate;
  for (StringVoice& voice : engine.voices) {
    if (voice.gate == 0.0f) continue;
    if (voice.releaseTime >= idleWindow || engine.silenceCount > 3) {
      releaseVoice(engine, voice);
      if (latchState(engine) != 0) voice.releaseTime = 1.0e9f;
    }
  }
}

void queueEvents(Engine& engine, const MidiMessage* messages, int count, int32_t maxFrame) {
  for (int i = 0; i < count; ++i) {
    const MidiMessage& midi = messages[i];
    const int status = midi.status;
    const int data1 = midi.data1;
    const int data2 = midi.data2;
    // Queued frames are never rebased, so a frame beyond the block would stall every later
    // event; such an event plays at the block's end instead.
    const int32_t frame = std::clamp(midi.frame, 0, std::max(maxFrame, 0));
    // A data byte with its top bit set is not MIDI; the whole message is dropped.
    const bool dataValid = data1 < 0x80 && data2 < 0x80;
    switch (status & 0xF0) {
      case 0x80:
      case 0x90: {
        if (!dataValid) break;
        QueuedEvent& event = pushEvent(engine.queue, frame);
        const bool on = (status & 0xF0) == 0x90 && data2 != 0;
        event.channel = status & 0x0F;
        event.noteId = on ? midi.noteId : -1;
        event.kind = on ? kEventNoteOn : kEventNoteOff;
        event.note = data1;
        event.value = data2;
        event.valueFloat = static_cast<float>(data2) * (1.0f / 127.0f);
        event.detune = on ? static_cast<int32_t>(midi.detune) : 0;
        break;
      }
      case 0xB0: {
        if (!dataValid) break;
        QueuedEvent& event = pushEvent(engine.queue, frame);
        event.channel = status & 0x0F;
        event.controller = data1;
        event.value = data2;
        event.valueFloat = static_cast<float>(data2) / 127.0f;
        if (data1 == 120 || data1 >= 123) {
          releaseAll(engine);
          resetControllers(engine);
        } else if (data1 == 121) {
          resetControllers(engine);
        }
        break;
      }
      case 0xC0:
        if (data1 < 64) {
          QueuedEvent& event = pushEvent(engine.queue, frame);
          event.kind = kEventProgramChange;
          event.channel = status & 0x0F;
          event.value = data1;
        }
        break;
      case 0xE0: {
        if (!dataValid) break;
        QueuedEvent& event = pushEvent(engine.queue, frame);
        const int value = data1 + 128 * data2;
        event.channel = status & 0x0F;
        event.controller = kPitchBendController;
        event.value = value;
        event.valueFloat = value <= 8192 ? static_cast<float>(value) / 16384.0f
                                         : static_cast<float>(value) * (1.0f / 16383.0f);
        break;
      }
      default:
        break;
    }
  }
}

void dispatchController(Engine& engine, const Patch& patch, const QueuedEvent& event) {
  if (channelController(engine, event)) return;
  const bool modwheelFrets = patch.glissandoSrc != 0;
  switch (event.controller) {
    case 1:
      if (modwheelFrets)
        engine.fretBend = fretRatio((event.valueFloat + 1.0f) * 0.5f * 128.0f);
      else
        engine.glissando = event.valueFloat;
      break;
    case kPitchBendController:
      if (modwheelFrets)
        engine.glissando = 2.0f * event.valueFloat - 1.0f;
      else
        engine.fretBend = fretRatio(event.valueFloat * 128.0f);
      break;
    case 7:
      engine.volume = event.valueFloat;
      break;
    case 11:
      engine.expression = event.valueFloat;
      break;
    case 64:
      setLatch(engine, kLatchPedal, event.value != 0);
      break;
    default:
      break;
  }
}

}  // namespace vorlak
