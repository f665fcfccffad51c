// What every plug-in format does beyond converting its host's calls: selecting a program with
// its values, handing MIDI to the core without allocating, and telling a real index from a
// host's garbage. Each adapter uses these instead of writing its own.
#pragma once

#include "instrument/core.h"
#include "instrument/program.h"

namespace vorlak {

inline bool isParameterIndex(int index) { return index >= 0 && index < kNumParameters; }
inline bool isProgramIndex(int n) { return n >= 0 && n < kNumPrograms; }

// Makes n the current program and hands each of its 28 values to apply(index, value), which
// sets it through whatever path tells the format's listeners (a panel, a host's view). False,
// and nothing changed, for a program outside the bank.
template <class Apply>
bool switchProgram(InstrumentCore& core, int n, Apply&& apply) {
  if (!core.selectProgram(n)) return false;
  for (int i = 0; i < kNumParameters; ++i) apply(i, core.programValue(n, i));
  return true;
}

// Collects a host's MIDI on the stack and queues it into the core 64 messages at a time, so
// the audio thread allocates nothing however long the host's list. What is left goes to the
// core when the batch is flushed or ends.
class MidiBatch {
 public:
  explicit MidiBatch(InstrumentCore& target) : core(target) {}
  ~MidiBatch() { flush(); }
  MidiBatch(const MidiBatch&) = delete;
  MidiBatch& operator=(const MidiBatch&) = delete;

  void add(const MidiMessage& message) {
    messages[count++] = message;
    if (count == kCapacity) flush();
  }
  void flush() {
    core.queueMidi(messages, count);
    count = 0;
  }

 private:
  static constexpr int kCapacity = 64;
  InstrumentCore& core;
  MidiMessage messages[kCapacity];
  int count = 0;
};

}  // namespace vorlak
