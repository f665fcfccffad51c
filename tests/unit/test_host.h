// A recording host for unit tests that drive an Effect through its AEffect record. The log
// is a fixed array, so the host itself never allocates while an allocation count is running.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "formats/vst2/effect.h"
#include "formats/vst2/instrument.h"
#include "tools/host_records.h"

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
  if (h.count < RecordingHost::kCapacity)
    h.calls[h.count++] = {effect, opcode, index, value, opt, seen};
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

// One event list, built on the stack, so it allocates nothing.
inline void sendMidi(AEffect* e, std::initializer_list<MidiMessage> messages) {
  records::FixedEventList<32> list;
  for (const MidiMessage& m : messages) list.addMidi(m.status, m.data1, m.data2, m.frame);
  e->dispatcher(e, effProcessEvents, 0, 0, list.events(), 0.0f);
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
