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
#include <memory>
#include <string>

#include "formats/vst2/vst2.h"
#include "tools/host_records.h"
#include "tools/vst_host.h"

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
  static VstTimeInfo time = records::playingTimeInfo(0.0, 44100.0, 120.0);
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&time);
  return 0;
}

constexpr int kWorkloadBlock = 256;

// An instance answered by the real-time callback and set up for the workload; null with the
// loader's error when the module cannot be loaded.
inline std::unique_ptr<host::Plugin> loadForAudioThread(const std::string& path,
                                                        std::string* error) {
  host::LoadOptions options;
  options.callback = &realtimeHostCallback;
  auto plugin = host::Plugin::load(path, error, options);
  if (plugin) plugin->start(44100.0f, kWorkloadBlock);
  return plugin;
}

// Parameter values a careless host sends, and the block lengths the workload renders (up to
// four times the announced size, and none at all).
inline const float kStrangeValues[] = {0.0f,
                                       1.0f,
                                       0.5f,
                                       -1.0f,
                                       2.0f,
                                       1e-40f,
                                       std::numeric_limits<float>::quiet_NaN(),
                                       std::numeric_limits<float>::infinity()};
inline constexpr int kWorkloadFrames[] = {kWorkloadBlock,     1, 100,
                                          4 * kWorkloadBlock, 0, kWorkloadBlock - 1};

// One block of the workload that every format's audio-thread check plays, six for each of the
// 64 programs: the note it plays around and the frames it renders.
struct WorkloadStep {
  int program;
  int block;
  int note;
  int frames;
};

template <class Step>
void forEachWorkloadStep(Step&& step) {
  for (int program = 0; program < 64; ++program)
    for (int block = 0; block < 6; ++block)
      step(WorkloadStep{program, block, 40 + (program * 5 + block * 7) % 30,
                        kWorkloadFrames[block]});
}

// The parameters a step sets, set(k, index, value) for k up to 3: ordinary and strange values
// for all but the style, the latch and the instrument, which are left alone so that the
// program keeps sounding.
template <class Set>
void forEachStrangeParameter(const WorkloadStep& step, Set&& set) {
  for (int k = 0; k < 3; ++k) {
    const int index = (step.block * 5 + k + step.program) % 28;
    if (index == 24 || index == 26 || index == 0) continue;
    set(k, index, kStrangeValues[(step.block + k) % 8]);
  }
}

class AudioThreadWorkload {
 public:
  static constexpr int kMaxEvents = 16;

  // The workload announces kWorkloadBlock frames; the host side sets that up before it runs.
  // Returns the number of entry-point calls made.
  long run(AEffect* effect, const AudioThreadCalls& calls) {
    long made = 0;
    forEachWorkloadStep([&](const WorkloadStep& step) {
      if (step.block == 0) {
        calls.dispatch(effect, effSetProgram, 0, step.program, nullptr, 0.0f);
        ++made;
      }
      fillEvents(step);
      calls.dispatch(effect, effProcessEvents, 0, 0, list_.events(), 0.0f);
      ++made;
      forEachStrangeParameter(step, [&](int, int index, float value) {
        calls.setParameter(effect, index, value);
        ++made;
      });
      float* outputs[2] = {left_.data(), right_.data()};
      if (step.block % 2 == 0) {
        calls.processReplacing(effect, nullptr, outputs, step.frames);
      } else {
        calls.process(effect, nullptr, outputs, step.frames);
      }
      ++made;
      if (step.block == 3) {
        float* oneChannel[2] = {left_.data(), nullptr};
        calls.processReplacing(effect, nullptr, oneChannel, kWorkloadBlock);
        calls.process(effect, nullptr, nullptr, kWorkloadBlock);
        made += 2;
      }
    });
    return made;
  }

  float peak() const {
    float value = 0.0f;
    for (float s : left_) value = std::fmax(value, std::fabs(s));
    return value;
  }

 private:
  // Notes, their releases, the wheels, the pedal, the all-off controllers, a MIDI program
  // change and a system-exclusive record.
  void fillEvents(const WorkloadStep& step) {
    const int note = step.note, block = step.block;
    list_.clear();
    list_.addMidi(0x90, note, 110, 0);
    list_.addMidi(0x90, note + 7, 90, 3);
    list_.addMidi(0x90, note + 12, 100, 40);
    list_.addMidi(0x80, note - 7, 0, 60);
    list_.addMidi(0xE0, block * 20, block * 20, 80);
    list_.addMidi(0xB0, 1, block * 25, 90);
    list_.addMidi(0xB0, 64, block % 2 ? 0 : 127, 100);
    list_.addMidi(0xB0, 7, 100 + block, 110);
    if (block == 4) list_.addMidi(0xB0, 123, 0, 120);
    if (block == 5) list_.addMidi(0xB0, 120, 0, 0);
    if (block == 2) list_.addMidi(0xB0, 121, 0, 130);
    if (block == 1) list_.addMidi(0xC0, step.program, 0, 150);
    sysex_ = VstEvent{};
    sysex_.type = kVstSysExType;
    sysex_.byteSize = sizeof(VstEvent);
    list_.add(&sysex_);
  }

  VstEvent sysex_{};
  records::FixedEventList<kMaxEvents> list_;
  std::array<float, 4 * kWorkloadBlock> left_{};
  std::array<float, 4 * kWorkloadBlock> right_{};
};

}  // namespace vorlak::test
