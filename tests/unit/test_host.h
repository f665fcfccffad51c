// A recording host for unit tests that drive an Effect through its AEffect record. The log
// is a fixed array, so the host itself never allocates while an allocation count is running.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "formats/vst2/effect.h"
#include "formats/vst2/instrument.h"

namespace vorlak::testhost {

struct HostCall {
  AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
  float parameterSeen;  // for audioMasterAutomate: getParameter(index) during the call
};

struct RecordingHost {
  static constexpr int kCapacity = 4096;
  HostCall calls[kCapacity];
  int count = 0;
  VstIntPtr versionAnswer = 2400;
  VstTimeInfo* timeInfo = nullptr;

  void reset() {
    count = 0;
    versionAnswer = 2400;
    timeInfo = nullptr;
  }
  int countOf(VstInt32 opcode) const {
    int n = 0;
    for (int i = 0; i < count; ++i) n += calls[i].opcode == opcode;
    return n;
  }
};

inline RecordingHost& host() {
  static RecordingHost instance;
  return instance;
}

inline VstIntPtr recordingCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                   VstIntPtr value, void*, float opt) {
  RecordingHost& h = host();
  float seen = 0.0f;
  if (opcode == audioMasterAutomate && effect) seen = effect->getParameter(effect, index);
  if (h.count < RecordingHost::kCapacity) h.calls[h.count++] = {effect, opcode, index, value, opt, seen};
  if (opcode == audioMasterVersion) return h.versionAnswer;
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(h.timeInfo);
  return 0;
}

inline AEffect* makeEffect() {
  host().reset();
  return createEffect(recordingCallback);
}

inline void closeEffect(AEffect* e) { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); }

inline Instrument& instrumentOf(AEffect* e) { return *static_cast<Instrument*>(e->object); }
inline const Engine& engineOf(AEffect* e) { return instrumentOf(e).engineState(); }
// The value the engine plays with, which may differ from what getParameter answers.
inline float liveValueOf(AEffect* e, int index) { return instrumentOf(e).liveValue(index); }

// A VstEvents list with room for its events inline; built on the stack, so it allocates nothing.
struct MidiBatch {
  static constexpr int kCapacity = 32;
  VstInt32 numEvents = 0;
  VstIntPtr reserved = 0;
  VstEvent* events[kCapacity];
  VstMidiEvent storage[kCapacity];

  explicit MidiBatch(std::initializer_list<MidiMessage> messages) {
    for (const MidiMessage& m : messages) {
      VstMidiEvent& event = storage[numEvents];
      event = VstMidiEvent{};
      event.type = kVstMidiType;
      event.byteSize = sizeof(VstMidiEvent);
      event.deltaFrames = m.frame;
      event.midiData[0] = static_cast<char>(m.status);
      event.midiData[1] = static_cast<char>(m.data1);
      event.midiData[2] = static_cast<char>(m.data2);
      events[numEvents++] = reinterpret_cast<VstEvent*>(&event);
    }
  }
};

inline void sendMidi(AEffect* e, std::initializer_list<MidiMessage> messages) {
  MidiBatch batch(messages);
  e->dispatcher(e, effProcessEvents, 0, 0, reinterpret_cast<VstEvents*>(&batch), 0.0f);
}

// Two host output channels of a fixed size.
struct Stereo {
  std::vector<float> left, right;
  float* channels[2];
  explicit Stereo(int frames, float fill = 0.0f) : left(frames, fill), right(frames, fill) {
    channels[0] = left.data();
    channels[1] = right.data();
  }
};

// The usual host start-up: rate, block size, switch-on.
inline void startUp(AEffect* e, float rate, int blockSize) {
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, rate);
  e->dispatcher(e, effSetBlockSize, 0, blockSize, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
}

}  // namespace vorlak::testhost
