// The dispatcher with any opcode, index, value, pointer and float, and setParameter and
// getParameter with any index and value, in sequences on one instance. Text getters write
// into 256-byte host buffers: each must end its text inside the longest field a host knows
// (64 bytes) and leave the rest untouched.
#include <cstring>
#include <vector>

#include "editor/platform/headless/headless_platform.h"
#include "fuzz/fuzz_host.h"

namespace vorlak::fuzz {
namespace {

constexpr int kHostText = 256;
constexpr int kLongestField = 64;
constexpr char kCanary = '\x5a';

HeadlessPlatform platform;
SharedInstance shared(4096);
int parentWindow;

bool writesText(VstInt32 opcode) {
  switch (opcode) {
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetProgramNameIndexed:
    case effGetEffectName:
    case effGetVendorString:
    case effGetProductString:
      return true;
    default:
      return false;
  }
}

bool readsText(VstInt32 opcode) {
  return opcode == effSetProgramName || opcode == effCanDo || opcode == effString2Parameter;
}

void callDispatcher(FuzzedDataProvider& in) {
  AEffect* e = shared.get();
  const auto opcode = static_cast<VstInt32>(in.ConsumeIntegralInRange(-2, 80));
  const VstInt32 index = pickIndex(in, kNumParameters);
  const VstIntPtr value = pickValue(in);
  const float opt = pickFloat(in);
  const bool nullPointer = rarely(in, 16);

  // Closing destroys the instance, and making a new one costs more than many inputs: only a
  // few closes go through.
  if (opcode == effClose) {
    if (!rarely(in, 4) || !shared.expensiveAllowed()) return;
    dispatch(e, effClose, index, value, nullptr, opt);
    shared.forget();
    return;
  }
  // Opening or closing the panel decodes or frees its bitmaps, the slowest thing an input
  // can do: at most one such change in 64 inputs goes through.
  if ((opcode == effEditOpen || opcode == effEditClose) && !shared.expensiveAllowed()) return;
  if (nullPointer) {
    dispatch(e, opcode, index, value, nullptr, opt);
    return;
  }
  switch (opcode) {
    case effEditOpen:
      dispatch(e, opcode, index, value, &parentWindow, opt);
      if (HeadlessWindow* window = platform.window()) window->queuePaint({0, 0, 400, 600});
      return;
    case effEditGetRect: {
      ERect* rect = nullptr;
      if (dispatch(e, opcode, index, value, &rect, opt) == 1) {
        VORLAK_FUZZ_CHECK(rect != nullptr);
        VORLAK_FUZZ_CHECK(rect->right > rect->left && rect->bottom > rect->top);
      }
      return;
    }
    case effGetChunk: {
      void* chunk = nullptr;
      const VstIntPtr size = dispatch(e, opcode, index, value, &chunk, opt);
      VORLAK_FUZZ_CHECK(size == 0 || chunk != nullptr);
      return;
    }
    case effGetOutputProperties:
    case effGetInputProperties: {
      auto* properties = new VstPinProperties;
      std::memset(properties, kCanary, sizeof *properties);
      if (dispatch(e, opcode, index, value, properties, opt) == 1)
        VORLAK_FUZZ_CHECK(std::memchr(properties->label, 0, sizeof properties->label));
      delete properties;
      return;
    }
    case effProcessEvents: {
      // A short list; the event fuzzer covers lists in depth.
      const int count = in.ConsumeIntegralInRange(0, 4);
      std::vector<VstMidiEvent> storage(static_cast<size_t>(count));
      std::vector<VstEvent*> pointers;
      for (VstMidiEvent& event : storage) {
        event.type = in.ConsumeBool() ? kVstMidiType : in.ConsumeIntegral<VstInt32>();
        event.byteSize = sizeof event;
        event.deltaFrames = static_cast<VstInt32>(pickValue(in));
        for (char& byte : event.midiData) byte = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        event.detune = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        pointers.push_back(reinterpret_cast<VstEvent*>(&event));
      }
      records::EventList list;
      dispatch(e, opcode, index, value, list.build(pointers), opt);
      return;
    }
    default:
      break;
  }
  if (readsText(opcode)) {
    const std::string text = in.ConsumeRandomLengthString(300);
    std::vector<char> exact(text.begin(), text.end());
    exact.push_back('\0');
    dispatch(e, opcode, index, value, exact.data(), opt);
    return;
  }
  // Opcodes that write text, and any other opcode, get a host text buffer.
  std::vector<char> text(kHostText, kCanary);
  const VstIntPtr answer = dispatch(e, opcode, index, value, text.data(), opt);
  const bool wrote = opcode != effGetProgramNameIndexed || answer == 1;
  if (writesText(opcode) && wrote) {
    VORLAK_FUZZ_CHECK(std::memchr(text.data(), 0, kLongestField) != nullptr);
    for (int i = kLongestField; i < kHostText; ++i) VORLAK_FUZZ_CHECK(text[i] == kCanary);
  }
}

void render(FuzzedDataProvider& in) {
  const int frames = in.ConsumeIntegralInRange(0, 64);
  std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
  float* outputs[2] = {left.data(), right.data()};
  renderChecked(shared.get(), outputs, frames, true);
}

}  // namespace
}  // namespace vorlak::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vorlak::setPlatform(&vorlak::fuzz::platform);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vorlak;
  using namespace vorlak::fuzz;
  FuzzedDataProvider in(data, size);
  shared.beginInput(data, size);
  for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
    AEffect* e = shared.get();
    switch (in.ConsumeIntegralInRange(0, 7)) {
      case 0:
        e->setParameter(e, pickIndex(in, kNumParameters), pickFloat(in));
        break;
      case 1: {
        const float value = e->getParameter(e, pickIndex(in, kNumParameters));
        VORLAK_FUZZ_CHECK(value >= 0.0f && value <= 1.0f);
        break;
      }
      case 2:
        render(in);
        break;
      case 3:
        dispatch(e, effEditIdle);
        break;
      default:
        callDispatcher(in);
        break;
    }
  }
  checkParameters(shared.get());
  return 0;
}
