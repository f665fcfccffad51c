// effProcessEvents with any event list (MIDI of every status and data byte, SysEx, unknown
// types, any frame offset, up to 600 events), between blocks of any size up to twice the
// announced one, replacing or accumulating, with the time info missing or absurd, and the
// odd program change, parameter change, rate change or switch-off in between. Every output
// sample must be a number.
#include <algorithm>
#include <vector>

#include "fuzz/fuzz_host.h"

namespace vorlak::fuzz {
namespace {

SharedInstance shared(256);

struct FuzzedEvents {
  std::vector<VstMidiEvent> midi;
  std::vector<records::VstSysexEvent> sysexEvents;
  std::vector<std::vector<char>> dumps;
  std::vector<VstEvent*> pointers;
  records::EventList eventList;

  VstEvents* build(FuzzedDataProvider& in) {
    const int count =
        in.ConsumeIntegralInRange(0, in.ConsumeIntegralInRange(0, 15) == 0 ? 600 : 12);
    midi.assign(static_cast<size_t>(count), VstMidiEvent{});
    sysexEvents.clear();
    sysexEvents.reserve(static_cast<size_t>(count));  // events point into it
    dumps.clear();
    dumps.reserve(static_cast<size_t>(count));
    pointers.assign(static_cast<size_t>(count), nullptr);
    static constexpr VstInt32 kFrames[] = {0, -1, 31, 32, 511, 512, INT_MAX, INT_MIN};
    for (int i = 0; i < count; ++i) {
      VstMidiEvent& event = midi[static_cast<size_t>(i)];
      const int kind = in.ConsumeIntegralInRange(0, 9);
      event.type = kind == 0   ? kVstSysExType
                   : kind == 1 ? in.ConsumeIntegral<VstInt32>()
                               : kVstMidiType;
      event.byteSize =
          in.ConsumeBool() ? static_cast<VstInt32>(sizeof event) : in.ConsumeIntegral<VstInt32>();
      event.deltaFrames = in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(0, 600)
                                           : in.PickValueInArray(kFrames);
      event.flags = in.ConsumeIntegral<uint8_t>() & 1;
      if (event.type == kVstSysExType) {
        dumps.emplace_back(in.ConsumeIntegralInRange<size_t>(0, 64), '\xf0');
        records::VstSysexEvent& sysex = sysexEvents.emplace_back();
        sysex.type = kVstSysExType;
        sysex.byteSize = static_cast<VstInt32>(sizeof sysex);
        sysex.deltaFrames = event.deltaFrames;
        sysex.dumpBytes = static_cast<VstInt32>(dumps.back().size());
        sysex.sysexDump = dumps.back().data();
        pointers[static_cast<size_t>(i)] = reinterpret_cast<VstEvent*>(&sysex);
        continue;
      } else {
        // Mostly channel messages with valid data bytes, sometimes anything at all.
        const bool anything = in.ConsumeIntegralInRange(0, 7) == 0;
        event.midiData[0] = static_cast<char>(anything ? in.ConsumeIntegral<uint8_t>()
                                                       : in.ConsumeIntegralInRange(0x80, 0xff));
        event.midiData[1] = static_cast<char>(anything ? in.ConsumeIntegral<uint8_t>()
                                                       : in.ConsumeIntegralInRange(0, 127));
        event.midiData[2] = static_cast<char>(anything ? in.ConsumeIntegral<uint8_t>()
                                                       : in.ConsumeIntegralInRange(0, 127));
        event.midiData[3] = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        event.detune = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        event.noteOffVelocity = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        event.noteLength = in.ConsumeIntegral<VstInt32>();
        event.noteOffset = in.ConsumeIntegral<VstInt32>();
      }
      pointers[static_cast<size_t>(i)] = reinterpret_cast<VstEvent*>(&event);
    }
    // A host may leave a hole in its list.
    if (count > 0 && in.ConsumeIntegralInRange(0, 31) == 0)
      pointers[static_cast<size_t>(in.ConsumeIntegralInRange(0, count - 1))] = nullptr;
    return eventList.build(pointers);
  }
};

void render(AEffect* e, FuzzedDataProvider& in, int& budget) {
  static constexpr int kSizes[] = {0, 1, 2, 31, 32, 33, 64, 511, 512, 513, 1024};
  int frames = in.ConsumeBool() ? in.PickValueInArray(kSizes) : in.ConsumeIntegralInRange(0, 1024);
  frames = std::min(frames, budget);
  budget -= frames;
  const bool replacing = in.ConsumeIntegralInRange(0, 3) != 0;
  const float fill = replacing && in.ConsumeBool() ? std::numeric_limits<float>::quiet_NaN() : 0.0f;
  std::vector<float> left(static_cast<size_t>(frames), fill),
      right(static_cast<size_t>(frames), fill);
  float* outputs[2] = {left.data(), right.data()};
  if (in.ConsumeIntegralInRange(0, 15) == 0) outputs[in.ConsumeBool() ? 0 : 1] = nullptr;
  renderChecked(e, outputs, frames, replacing);
}

}  // namespace
}  // namespace vorlak::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vorlak::fuzz;
  FuzzedDataProvider in(data, size);
  shared.beginInput(data, size);
  // Frames rendered per input: enough for notes to sound, few enough for many inputs.
  int budget = 4096;
  FuzzedEvents list;
  for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) {
    AEffect* e = shared.get();
    switch (in.ConsumeIntegralInRange(0, 15)) {
      case 0:
        dispatch(e, effSetProgram, 0, in.ConsumeIntegralInRange(-1, 64));
        break;
      case 1:
        e->setParameter(e, pickIndex(in, vorlak::kNumParameters), pickFloat(in));
        break;
      case 2: {
        static constexpr float kRates[] = {22050.0f,  44100.0f, 48000.0f, 96000.0f,
                                           192000.0f, 8000.0f,  0.0f,     -1.0f};
        dispatch(e, effSetSampleRate, 0, 0, nullptr,
                 in.ConsumeBool() ? in.PickValueInArray(kRates) : pickFloat(in));
        break;
      }
      case 3:
        dispatch(e, effMainsChanged, 0, in.ConsumeBool() ? 1 : 0);
        break;
      case 4: {
        static constexpr int kBlocks[] = {0, 1, 32, 256, 512, -1};
        dispatch(e, effSetBlockSize, 0, in.PickValueInArray(kBlocks));
        break;
      }
      case 5:
        timeAnswered() = in.ConsumeBool();
        timeInfo().tempo = in.ConsumeBool() ? 120.0 : static_cast<double>(pickFloat(in));
        break;
      case 6:
      case 7:
      case 8:
      case 9:
        render(e, in, budget);
        break;
      default:
        dispatch(e, effProcessEvents, 0, 0, list.build(in));
        break;
    }
  }
  AEffect* e = shared.get();
  render(e, in, budget);
  checkParameters(e);
  return 0;
}
