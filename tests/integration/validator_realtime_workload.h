// What a host's audio thread does with an instance, as one function over the five entry points
// a host calls there: process, processReplacing, effProcessEvents, setParameter and
// effSetProgram. Each call goes through a caller-supplied wrapper, so that a checker can watch
// exactly those calls and nothing the workload does between them. Everything the workload
// needs is prepared before the first call.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "formats/vst2/vst2.h"

namespace vorlak::test {

struct AudioThreadCalls {
  void (*process)(AEffect*, float**, float**, VstInt32);
  void (*processReplacing)(AEffect*, float**, float**, VstInt32);
  VstIntPtr (*dispatch)(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float);
  void (*setParameter)(AEffect*, VstInt32, float);
};

// A host callback that a real-time thread may call: it answers the version and the time from
// a record prepared in advance, and nothing else.
inline VstIntPtr realtimeHostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                      float) {
  static VstTimeInfo time = [] {
    VstTimeInfo info{};
    info.sampleRate = 44100.0;
    info.tempo = 120.0;
    info.timeSigNumerator = 4;
    info.timeSigDenominator = 4;
    info.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
    return info;
  }();
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&time);
  return 0;
}

constexpr int kWorkloadBlock = 256;

class AudioThreadWorkload {
 public:
  static constexpr int kMaxEvents = 16;

  // The workload announces kWorkloadBlock frames; the host side sets that up before it runs.
  // Returns the number of entry-point calls made.
  long run(AEffect* effect, const AudioThreadCalls& calls) {
    long made = 0;
    const float strangeValues[] = {0.0f,
                                   1.0f,
                                   0.5f,
                                   -1.0f,
                                   2.0f,
                                   1e-40f,
                                   std::numeric_limits<float>::quiet_NaN(),
                                   std::numeric_limits<float>::infinity()};
    const int frames[] = {kWorkloadBlock, 1, 100, 4 * kWorkloadBlock, 0, kWorkloadBlock - 1};
    for (VstIntPtr program = 0; program < 64; ++program) {
      calls.dispatch(effect, effSetProgram, 0, program, nullptr, 0.0f);
      ++made;
      for (int block = 0; block < 6; ++block) {
        fillEvents(static_cast<int>(program), block);
        calls.dispatch(effect, effProcessEvents, 0, 0, &list_, 0.0f);
        ++made;
        for (int k = 0; k < 3; ++k) {
          const auto index = static_cast<VstInt32>((block * 5 + k + program) % 28);
          // The style, latch and program-defining options are left alone so that the program
          // keeps sounding; every other parameter gets ordinary and strange values.
          if (index == 24 || index == 26 || index == 0) continue;
          calls.setParameter(effect, index, strangeValues[(block + k) % 8]);
          ++made;
        }
        const int n = frames[block];
        float* outputs[2] = {left_.data(), right_.data()};
        if (block % 2 == 0) {
          calls.processReplacing(effect, nullptr, outputs, n);
        } else {
          calls.process(effect, nullptr, outputs, n);
        }
        ++made;
        if (block == 3) {
          float* oneChannel[2] = {left_.data(), nullptr};
          calls.processReplacing(effect, nullptr, oneChannel, kWorkloadBlock);
          calls.process(effect, nullptr, nullptr, kWorkloadBlock);
          made += 2;
        }
      }
    }
    return made;
  }

  float peak() const {
    float value = 0.0f;
    for (float s : left_) value = std::fmax(value, std::fabs(s));
    return value;
  }

 private:
  void add(int status, int data1, int data2, int frame) {
    VstMidiEvent& event = events_[static_cast<std::size_t>(list_.numEvents)];
    event = VstMidiEvent{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = frame;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(data1);
    event.midiData[2] = static_cast<char>(data2);
    list_.events[list_.numEvents] = reinterpret_cast<VstEvent*>(&event);
    ++list_.numEvents;
  }

  // Notes, their releases, the wheels, the pedal, the all-off controllers, a MIDI program
  // change and a system-exclusive record.
  void fillEvents(int program, int block) {
    list_.numEvents = 0;
    const int note = 40 + (program * 5 + block * 7) % 30;
    add(0x90, note, 110, 0);
    add(0x90, note + 7, 90, 3);
    add(0x90, note + 12, 100, 40);
    add(0x80, note - 7, 0, 60);
    add(0xE0, block * 20, block * 20, 80);
    add(0xB0, 1, block * 25, 90);
    add(0xB0, 64, block % 2 ? 0 : 127, 100);
    add(0xB0, 7, 100 + block, 110);
    if (block == 4) add(0xB0, 123, 0, 120);
    if (block == 5) add(0xB0, 120, 0, 0);
    if (block == 2) add(0xB0, 121, 0, 130);
    if (block == 1) add(0xC0, program, 0, 150);
    sysex_ = VstEvent{};
    sysex_.type = kVstSysExType;
    sysex_.byteSize = sizeof(VstEvent);
    list_.events[list_.numEvents++] = &sysex_;
  }

  struct EventList {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[kMaxEvents] = {};
  };
  static_assert(offsetof(EventList, events) == offsetof(VstEvents, events));

  std::array<VstMidiEvent, kMaxEvents> events_{};
  VstEvent sysex_{};
  EventList list_;
  std::array<float, 4 * kWorkloadBlock> left_{};
  std::array<float, 4 * kWorkloadBlock> right_{};
};

}  // namespace vorlak::test
