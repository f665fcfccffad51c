#include "bench/scenes.h"

#include <stk/Guitar.h>
#include <stk/Stk.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "formats/vst2/effect.h"
#include "instrument/float_mode.h"
#include "instrument/parameters.h"
#include "instrument/program.h"

namespace vorlak::bench {
namespace {

constexpr int kFunkyProgram = 34;            // "SINGLE Funky": 6String1, Aid "Strumming"
constexpr float kSixString1 = 0.1667f;       // "Strings" value that selects "6String1"
constexpr int64_t kChordFrames = 44100;      // one chord a second (a half note at 120 BPM)
constexpr int64_t kChordHoldFrames = 43000;  // released just before the next chord
constexpr int kChordCount = 4;
// E, A, G and D, six strings each, as strummed on a guitar.
constexpr int kPhrase[kChordCount][kStringCount] = {
    {40, 47, 52, 56, 59, 64},
    {45, 52, 57, 61, 64, 69},
    {43, 47, 50, 55, 59, 67},
    {50, 57, 62, 66, 69, 74},
};

VstTimeInfo hostTime = [] {
  VstTimeInfo time{};
  time.sampleRate = kSampleRate;
  time.tempo = 120.0;
  time.flags = kVstTempoValid | kVstTransportPlaying;
  return time;
}();

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(&hostTime);
    default:
      return 0;
  }
}

// VstEvents with room for a chord's worth of events.
struct EventList {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2 * kStringCount];
};

VstMidiEvent noteEvent(int frame, int status, int note, int velocity) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof event;
  event.deltaFrames = frame;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(note);
  event.midiData[2] = static_cast<char>(velocity);
  return event;
}

// Frame offset in [start, start + frames) of the first multiple of period at or after start
// plus phase, or -1 when there is none.
int eventFrame(int64_t start, int frames, int64_t period, int64_t phase) {
  const int64_t shifted = start - phase;
  int64_t next = ((shifted + period - 1) / period) * period;
  if (shifted < 0) next = 0;
  const int64_t at = next + phase - start;
  return at < frames ? static_cast<int>(at) : -1;
}

}  // namespace

double soundingFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0) / 2.0; }

bool pluckDue(int64_t blockStart, int frames) {
  return eventFrame(blockStart, frames, kRepluckFrames, 0) >= 0;
}

// ---------------------------------------------------------------------------------------------

StringScene::StringScene(Bends kind) : engine(std::make_unique<Engine>()), bends(kind) {
  Engine& e = *engine;
  std::memset(&e, 0, sizeof e);
  engineSetup(e, kSampleRate);
  e.latchFlagsSeen = e.latchFlags;
  std::memcpy(values, kFactoryPrograms[kFunkyProgram].values, sizeof values);
  values[kStrings] = kSixString1;
  values[kAid] = 0.0f;  // "None": each startString is one string
  values[kLatch] = 0.0f;
  if (bends == Bends::kEachString) {
    constexpr int kMonoOn = 126;
    dispatchController(e, decodePatch(values),
                       QueuedEvent{0, kEventController, 0, -1, 0, kMonoOn, kStringCount, 1.0f, -1});
  }
}

void StringScene::pluckAll() {
  if (bends != Bends::kEachString) {
    for (int note : kOpenStrings)
      startString(*engine, note, static_cast<float>(kPluckVelocity) / 127.0f, 0, 0);
    return;
  }
  for (int i = 0; i < kStringCount; ++i) {
    const int velocity = kPluckVelocity;
    const QueuedEvent note{0, kEventNoteOn, i,        kOpenStrings[i],
                           0, -1,           velocity, static_cast<float>(velocity) / 127.0f,
                           -1};
    dispatchNote(*engine, decodePatch(values), note);
  }
}

// A bend that sweeps up and down by up to six semitones over two seconds; each string's
// channel a little behind the one before.
void StringScene::bend(int tick) {
  const auto sweep = [](int t) { return 8192 + (std::abs(t % 400 - 200) - 100) * 40; };
  const Patch patch = decodePatch(values);
  if (bends == Bends::kFretLadder) {
    const int value = sweep(tick);
    dispatchController(*engine, patch,
                       QueuedEvent{0, kEventController, 0, -1, 0, kPitchBendController, value,
                                   static_cast<float>(value) / 16384.0f, -1});
    return;
  }
  for (int i = 0; i < kStringCount; ++i)
    dispatchController(*engine, patch,
                       QueuedEvent{0, kEventController, i, -1, 0, kPitchBendController,
                                   sweep(tick + 7 * i), 0.0f, -1});
}

void StringScene::render(float* left, float* right, int frames) {
  if (pluckDue(position, frames)) pluckAll();
  ScopedFloatMode floatMode;
  std::memset(left, 0, sizeof(float) * static_cast<size_t>(frames));
  std::memset(right, 0, sizeof(float) * static_cast<size_t>(frames));
  Engine& e = *engine;
  runTickGrid(
      grid, kSampleRate, frames, 0,
      [&](int offset, int length) {
        renderStrings(e, decodePatch(values), left, right, offset, length);
      },
      [&](int) {
        if (bends != Bends::kNone) bend(tickCount++);
        tickUpdate(e, decodePatch(values));
      });
  position += frames;
}

int StringScene::renderedVoices() const {
  const Engine& e = *engine;
  if (e.silenceCount > 3) return 0;
  int count = 0;
  for (const StringVoice& voice : e.voices)
    if (voice.startDelay == 0 && voice.releaseTime < 0.2f * e.sampleRate) ++count;
  return count;
}

// ---------------------------------------------------------------------------------------------

// With no body file the Guitar makes its pluck excitation from enveloped noise at
// construction, so it reads no rawwave file and the rawwave path does not matter.
StkGuitarScene::StkGuitarScene() {
  stk::Stk::setSampleRate(kSampleRate);
  guitar = std::make_unique<stk::Guitar>(kStringCount);
}

StkGuitarScene::~StkGuitarScene() = default;

void StkGuitarScene::pluckAll() {
  for (int i = 0; i < kStringCount; ++i)
    guitar->noteOn(soundingFrequency(kOpenStrings[i]), kPluckVelocity / 127.0,
                   static_cast<unsigned>(i));
}

void StkGuitarScene::render(float* out, int frames) {
  if (pluckDue(position, frames)) pluckAll();
  stk::Guitar& g = *guitar;
  for (int k = 0; k < frames; ++k) out[k] = static_cast<float>(g.tick());
  position += frames;
}

// ---------------------------------------------------------------------------------------------

InstanceScene::InstanceScene(std::initializer_list<ParameterSetting> settings) {
  effect = createEffect(hostCallback);
  if (!effect) return;
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, kSampleRate);
  effect->dispatcher(effect, effSetBlockSize, 0, kBlockFrames, nullptr, 0.0f);
  effect->dispatcher(effect, effSetProgram, 0, kFunkyProgram, nullptr, 0.0f);
  for (const ParameterSetting& setting : settings)
    effect->setParameter(effect, setting.index, setting.value);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
}

InstanceScene::~InstanceScene() {
  if (!effect) return;
  effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void InstanceScene::render(float* left, float* right, int frames) {
  VstMidiEvent midi[2 * kStringCount];
  EventList list{};
  // The chord that starts in this block, and the one whose hold ends in it.
  const int on = eventFrame(position, frames, kChordFrames, 0);
  const int off = eventFrame(position, frames, kChordFrames, kChordHoldFrames);
  if (off >= 0) {
    const int64_t chord = (position + off - kChordHoldFrames) / kChordFrames % kChordCount;
    for (int note : kPhrase[chord]) midi[list.numEvents++] = noteEvent(off, 0x80, note, 64);
  }
  if (on >= 0) {
    const int64_t chord = (position + on) / kChordFrames % kChordCount;
    for (int note : kPhrase[chord])
      midi[list.numEvents++] = noteEvent(on, 0x90, note, kPluckVelocity);
  }
  if (list.numEvents > 0) {
    for (int i = 0; i < list.numEvents; ++i) list.events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
    effect->dispatcher(effect, effProcessEvents, 0, 0, &list, 0.0f);
  }
  float* outputs[2] = {left, right};
  float silence[kBlockFrames] = {};
  float* inputs[2] = {silence, silence};
  effect->processReplacing(effect, inputs, outputs, frames);
  position += frames;
}

}  // namespace vorlak::bench
