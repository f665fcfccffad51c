// What the fuzz targets share: a host callback, one long-lived instance per process (a new
// one per input would cost more than the input itself), and pickers that favour the values
// hosts get wrong (negative, one past the end, huge, not a number) over uniform ones.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/common_interface_defs.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "formats/vst2/effect.h"
#include "instrument/program.h"
#include "tools/host_records.h"

namespace vorlak::fuzz {

// A finding that is not a crash: stop the way a sanitizer does, so libFuzzer saves the input.
#define VORLAK_FUZZ_CHECK(condition)               \
  do {                                             \
    if (!(condition)) vorlak::fuzz::checkFailed(); \
  } while (0)

inline VstTimeInfo& timeInfo() {
  static VstTimeInfo info{};
  return info;
}
inline bool& timeAnswered() {
  static bool answered = true;
  return answered;
}

inline VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetTime && timeAnswered())
    return reinterpret_cast<VstIntPtr>(&timeInfo());
  return 0;
}

inline std::vector<std::vector<uint8_t>>& history() {
  static std::vector<std::vector<uint8_t>> inputs;
  return inputs;
}

// Writes the inputs the current instance has seen into the history folder, if there is one.
inline void writeHistory() {
  const char* folder = std::getenv("VORLAK_FUZZ_HISTORY");
  if (!folder) return;
  int n = 0;
  for (const std::vector<uint8_t>& input : history()) {
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%06d", folder, n++);
    if (FILE* file = std::fopen(path, "wb")) {
      std::fwrite(input.data(), 1, input.size(), file);
      std::fclose(file);
    }
  }
}

inline const char* historyFolder() {
  static const char* folder = [] {
    const char* name = std::getenv("VORLAK_FUZZ_HISTORY");
    if (name) __sanitizer_set_death_callback(writeHistory);
    return name;
  }();
  return folder;
}

[[noreturn]] inline void checkFailed() {
  writeHistory();
  __builtin_trap();
}

inline VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// The instance inputs share. It is replaced every `lifetime` inputs, so that state piled up
// by earlier inputs cannot hide for long what a fresh instance would do.
class SharedInstance {
 public:
  // VORLAK_FUZZ_LIFETIME overrides the lifetime: 1 gives every input a fresh instance, the
  // way to reproduce a finding on its own.
  explicit SharedInstance(int inputs) : lifetime(inputs) {
    if (const char* text = std::getenv("VORLAK_FUZZ_LIFETIME"))
      lifetime = std::max(std::atoi(text), 1);
  }

  // Called once per input. With VORLAK_FUZZ_HISTORY set to a folder, the inputs the current
  // instance has seen are written there when a sanitizer stops the run; running the target
  // on those files in order replays the finding.
  void beginInput(const uint8_t* data, size_t size) {
    ++inputs;
    if (effect && ++uses >= lifetime) discard();
    if (!historyFolder()) return;
    if (!effect) history().clear();
    history().emplace_back(data, data + size);
  }

  // The instance, made anew when there is none.
  AEffect* get() {
    if (!effect) {
      uses = 0;
      timeInfo() = VstTimeInfo{};
      timeInfo().tempo = 120.0;
      timeInfo().sampleRate = 44100.0;
      timeInfo().flags = kVstTempoValid | kVstTransportPlaying;
      timeAnswered() = true;
      effect = createEffect(hostCallback);
      if (!effect) std::abort();
      dispatch(effect, effOpen);
      dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
      dispatch(effect, effSetBlockSize, 0, 512);
      dispatch(effect, effMainsChanged, 0, 1);
      opened();
    }
    return effect;
  }

  // After the instance closed itself through its dispatcher.
  void forget() { effect = nullptr; }

  // Whether an expensive change (closing the instance, opening or closing the panel, which
  // decodes every bitmap) may go through now; at most one in `kExpensiveEvery` inputs does.
  // A choice in the input cannot keep them rare: coverage guidance soon fills the corpus
  // with inputs that take them, and they then cost more than everything else together.
  bool expensiveAllowed() {
    if (inputs - lastExpensive < kExpensiveEvery) return false;
    lastExpensive = inputs;
    return true;
  }

  void discard() {
    if (!effect) return;
    dispatch(effect, effEditClose);
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effClose);
    effect = nullptr;
  }

  virtual ~SharedInstance() = default;

 protected:
  virtual void opened() {}

  AEffect* effect = nullptr;

 private:
  static constexpr long kExpensiveEvery = 64;
  int lifetime;
  int uses = 0;
  long inputs = 0;
  long lastExpensive = -kExpensiveEvery;
};

// True about once in n calls. Data that has run out reads as zero, so the rare answer is the
// largest value: an input cut short does not take every rare path at once.
inline bool rarely(FuzzedDataProvider& in, int n) {
  return in.ConsumeIntegralInRange(0, n - 1) == n - 1;
}

inline VstInt32 pickIndex(FuzzedDataProvider& in, int count) {
  static constexpr VstInt32 kSpecial[] = {-1, 0, 1, 27, 28, 63, 64, 255, INT_MAX, INT_MIN};
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return in.PickValueInArray(kSpecial);
    case 1:
      return in.ConsumeIntegral<VstInt32>();
    default:
      return in.ConsumeIntegralInRange<VstInt32>(0, count - 1);
  }
}

inline float pickFloat(FuzzedDataProvider& in) {
  static constexpr float kSpecial[] = {0.0f,
                                       1.0f,
                                       -1.0f,
                                       2.0f,
                                       0.5f,
                                       1e-40f,
                                       -0.0f,
                                       1e30f,
                                       44100.0f,
                                       std::numeric_limits<float>::quiet_NaN(),
                                       std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity(),
                                       std::numeric_limits<float>::max(),
                                       std::numeric_limits<float>::denorm_min()};
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return in.PickValueInArray(kSpecial);
    case 1: {
      const auto bits = in.ConsumeIntegral<uint32_t>();
      float value;
      static_assert(sizeof value == sizeof bits);
      __builtin_memcpy(&value, &bits, sizeof value);
      return value;
    }
    default:
      return in.ConsumeFloatingPointInRange(0.0f, 1.0f);
  }
}

inline VstIntPtr pickValue(FuzzedDataProvider& in) {
  static constexpr VstIntPtr kSpecial[] = {
      0, 1, -1, 2, 63, 64, 4096, INT_MAX, INT_MIN, std::numeric_limits<VstIntPtr>::max()};
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return in.PickValueInArray(kSpecial);
    case 1:
      return in.ConsumeIntegral<VstIntPtr>();
    default:
      return in.ConsumeIntegralInRange<VstIntPtr>(0, 127);
  }
}

// Renders through either entry point; every sample of the channels that exist must be a number.
inline void renderChecked(AEffect* e, float** outputs, int frames, bool replacing) {
  if (replacing)
    e->processReplacing(e, nullptr, outputs, frames);
  else
    e->process(e, nullptr, outputs, frames);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; outputs[c] && i < frames; ++i) VORLAK_FUZZ_CHECK(std::isfinite(outputs[c][i]));
}

// Every parameter the host reads back stays inside 0 to 1.
inline void checkParameters(AEffect* e) {
  for (VstInt32 i = 0; i < kNumParameters; ++i) {
    const float value = e->getParameter(e, i);
    VORLAK_FUZZ_CHECK(value >= 0.0f && value <= 1.0f);
  }
}

}  // namespace vorlak::fuzz
