// An instrument core driven as a host drives a plug-in (rate, block size, switch-on, MIDI,
// blocks), with no plug-in format in between.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "instrument/core.h"
#include "instrument/program.h"

namespace vorlak::testhost {

class CoreHost final : private RenderListener {
 public:
  CoreHost(float rate, int blockSize) {
    core->setSampleRate(rate);
    core->setBlockSize(blockSize);
    core->resume();
  }

  void set(int index, float value) { core->setParameter(index, value); }
  void send(std::initializer_list<MidiMessage> messages) {
    core->queueMidi(messages.begin(), static_cast<int>(messages.size()));
  }
  // Writes frames into left and right, as a replacing render call does.
  void render(float* left, float* right, int frames) {
    core->render(left, right, frames, true, transport, *this);
  }
  std::vector<float> renderLeft(int frames) {
    std::vector<float> left(static_cast<size_t>(frames)), right(left.size());
    render(left.data(), right.data(), frames);
    return left;
  }
  const Engine& engine() const { return core->engineState(); }
  const Chain& chain() const { return core->chainState(); }
  InstrumentCore& instrument() { return *core; }

  Transport transport{120.0, false};

 private:
  void programChange(int program) override { core->switchProgram(program); }
  void activityChanged(bool) override {}

  std::unique_ptr<InstrumentCore> core = std::make_unique<InstrumentCore>();
};

}  // namespace vorlak::testhost
