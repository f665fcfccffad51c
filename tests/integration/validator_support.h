// Shared pieces of the validator battery: a renderer that plays scheduled MIDI through blocks of
// any size and either entry point, a census of every output sample, and the phrases the
// programs play. Failures are counted per run and asserted once, so a broken block among a
// hundred thousand reports a count rather than a flood.
#pragma once

#include <gtest/gtest.h>
#include <time.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/vst_host.h"

namespace vorlak::test {

constexpr float kPeakLimit = 4.0f;
constexpr float kTailLimit = 1e-6f;  // -120 dBFS
constexpr double kTailDelaySeconds = 5.0;

inline const std::vector<float>& validatorRates() {
  static const std::vector<float> rates = {22050.0f, 44100.0f,  48000.0f, 88200.0f,
                                           96000.0f, 176400.0f, 192000.0f};
  return rates;
}

inline const std::vector<int>& validatorBlockSizes() {
  static const std::vector<int> sizes = {1, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096};
  return sizes;
}

inline std::unique_ptr<host::Plugin> loadModule() {
  std::string error;
  auto plugin = host::Plugin::load(VORLAK_MODULE_PATH, &error);
  EXPECT_NE(plugin, nullptr) << error;
  return plugin;
}

inline std::unique_ptr<host::Plugin> startModule(float rate, int block) {
  auto plugin = loadModule();
  if (plugin) plugin->start(rate, block);
  return plugin;
}

// Every sample a run produced, classified.
struct SampleCensus {
  long samples = 0;
  long nan = 0;
  long infinite = 0;
  long subnormal = 0;
  float peak = 0.0f;

  void add(const float* data, int frames) {
    for (int i = 0; i < frames; ++i) {
      const float s = data[i];
      ++samples;
      switch (std::fpclassify(s)) {
        case FP_NAN:
          ++nan;
          break;
        case FP_INFINITE:
          ++infinite;
          break;
        case FP_SUBNORMAL:
          ++subnormal;
          break;
        default:
          peak = std::max(peak, std::fabs(s));
      }
    }
  }
};

inline ::testing::AssertionResult cleanSamples(const SampleCensus& census) {
  if (census.nan == 0 && census.infinite == 0 && census.subnormal == 0 &&
      census.peak <= kPeakLimit) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << census.nan << " NaN, " << census.infinite << " infinite and " << census.subnormal
         << " subnormal samples among " << census.samples << ", peak " << census.peak;
}

// A MIDI message at an absolute frame of a run.
struct TimedEvent {
  long frame;
  unsigned char status;
  unsigned char data1;
  unsigned char data2;
};

// The system-exclusive event record (type 6) as hosts send it.
struct VstMidiSysexEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 dumpBytes;
  VstIntPtr resvd1;
  char* sysexDump;
  VstIntPtr resvd2;
};

inline VstMidiEvent midiEvent(int status, int data1, int data2, VstInt32 deltaFrames) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = deltaFrames;
  event.flags = kVstMidiEventIsRealtime;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(data1);
  event.midiData[2] = static_cast<char>(data2);
  return event;
}

enum class Entry {
  Replacing,           // processReplacing into outputs pre-filled with NaN
  ReplacingNoInputs,   // the same with a null input array
  ReplacingNaNInputs,  // the same with input buffers full of NaN, which an instrument ignores
  Accumulating,        // process onto outputs pre-filled with zeros
};

// Plays scheduled events through blocks whose sizes the caller picks. Each block is rendered
// into buffers with guard zones; the renderer counts overruns, frames processReplacing left
// unwritten, and classifies every sample. Optionally keeps the rendered channels.
class BlockRenderer {
 public:
  static constexpr int kGuard = 64;

  explicit BlockRenderer(host::Plugin& plugin, bool keep = false) : plugin_(plugin), keep_(keep) {}

  void schedule(std::vector<TimedEvent> events) {
    for (const TimedEvent& e : events) pending_.push_back(e);
    std::stable_sort(pending_.begin() + static_cast<long>(next_), pending_.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.frame < b.frame; });
  }

  // Called just before each entry-point call, e.g. to set the floating-point mode a host uses.
  void beforeEachCall(std::function<void()> hook) { beforeCall_ = std::move(hook); }
  // Processor time of the last entry-point call alone, in nanoseconds.
  long lastCallNanos() const { return lastCallNanos_; }

  long position() const { return position_; }
  const SampleCensus& census() const { return census_; }
  long guardBreaches() const { return guardBreaches_; }
  long unwrittenFrames() const { return unwritten_; }
  const std::vector<float>& left() const { return left_; }
  const std::vector<float>& right() const { return right_; }

  // Peak of both channels over frames [from, end) of what was kept.
  float peakFrom(long from) const {
    float value = 0.0f;
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0L)); i < left_.size(); ++i) {
      value = std::max({value, std::fabs(left_[i]), std::fabs(right_[i])});
    }
    return value;
  }

  // Renders one block of `frames` frames, after delivering the events that fall into it.
  void block(int frames, Entry entry = Entry::Replacing) {
    for (; next_ < pending_.size() && pending_[next_].frame < position_ + frames; ++next_) {
      const TimedEvent& e = pending_[next_];
      plugin_.sendMidi(e.status, e.data1, e.data2, static_cast<VstInt32>(e.frame - position_));
    }
    plugin_.flushMidi();

    const std::size_t size = static_cast<std::size_t>(frames + 2 * kGuard);
    const float fill = entry == Entry::Accumulating ? 0.0f : canary();
    for (auto& channel : storage_) {
      if (channel.size() < size) channel.resize(size);
      std::fill(channel.begin(), channel.begin() + static_cast<long>(size), canary());
      std::fill(channel.begin() + kGuard, channel.begin() + kGuard + frames, fill);
    }
    float* outputs[2] = {storage_[0].data() + kGuard, storage_[1].data() + kGuard};

    if (entry == Entry::ReplacingNaNInputs && nanInput_.size() < static_cast<std::size_t>(frames)) {
      nanInput_.assign(static_cast<std::size_t>(frames), std::numeric_limits<float>::quiet_NaN());
    }
    AEffect* effect = plugin_.effect();
    if (beforeCall_) beforeCall_();
    const long started = threadNanos();
    if (entry == Entry::Accumulating) {
      float* inputs[2] = {nullptr, nullptr};
      effect->process(effect, inputs, outputs, frames);
    } else if (entry == Entry::ReplacingNoInputs) {
      effect->processReplacing(effect, nullptr, outputs, frames);
    } else if (entry == Entry::ReplacingNaNInputs) {
      float* inputs[2] = {nanInput_.data(), nanInput_.data()};
      effect->processReplacing(effect, inputs, outputs, frames);
    } else {
      float* inputs[2] = {nullptr, nullptr};
      effect->processReplacing(effect, inputs, outputs, frames);
    }
    lastCallNanos_ = threadNanos() - started;
    plugin_.host().samplePos += frames;

    for (int c = 0; c < 2; ++c) {
      const std::vector<float>& channel = storage_[c];
      for (int i = 0; i < kGuard; ++i) {
        if (!isCanary(channel[static_cast<std::size_t>(i)]) ||
            !isCanary(channel[static_cast<std::size_t>(kGuard + frames + i)])) {
          ++guardBreaches_;
          break;
        }
      }
      const float* out = outputs[c];
      if (entry != Entry::Accumulating) {
        for (int i = 0; i < frames; ++i) unwritten_ += isCanary(out[i]) ? 1 : 0;
      }
      census_.add(out, frames);
    }
    if (keep_) {
      left_.insert(left_.end(), outputs[0], outputs[0] + frames);
      right_.insert(right_.end(), outputs[1], outputs[1] + frames);
    }
    position_ += frames;
  }

  // Renders up to frame `end` in blocks of `frames`.
  void until(long end, int frames, Entry entry = Entry::Replacing) {
    while (position_ < end) block(static_cast<int>(std::min<long>(frames, end - position_)), entry);
  }

  // Renders up to frame `end` in blocks of random sizes 1..maxFrames, through random entries.
  void untilRandomly(long end, int maxFrames, std::mt19937& random) {
    std::uniform_int_distribution<int> size(1, maxFrames);
    std::uniform_int_distribution<int> kind(0, 7);
    while (position_ < end) {
      const int n = static_cast<int>(std::min<long>(size(random), end - position_));
      const int k = kind(random);
      const Entry entry = k < 4   ? Entry::Replacing
                          : k < 5 ? Entry::ReplacingNoInputs
                          : k < 6 ? Entry::ReplacingNaNInputs
                                  : Entry::Accumulating;
      block(n, entry);
    }
  }

  // Everything a clean run must show: nothing written outside the buffers, every frame of
  // processReplacing written, every sample finite, normal and within the peak limit.
  ::testing::AssertionResult clean() const {
    if (guardBreaches_ != 0 || unwritten_ != 0) {
      return ::testing::AssertionFailure()
             << guardBreaches_ << " blocks wrote outside the buffers, " << unwritten_
             << " frames were left unwritten";
    }
    return cleanSamples(census_);
  }

 private:
  static long threadNanos() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000000000L + now.tv_nsec;
  }
  static float canary() {
    const std::uint32_t bits = 0x7FC0DEADu;
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
  }
  static bool isCanary(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits == 0x7FC0DEADu;
  }

  host::Plugin& plugin_;
  bool keep_;
  std::vector<TimedEvent> pending_;
  std::size_t next_ = 0;
  long position_ = 0;
  std::vector<float> storage_[2];
  std::vector<float> nanInput_;
  std::vector<float> left_;
  std::vector<float> right_;
  SampleCensus census_;
  std::function<void()> beforeCall_;
  long lastCallNanos_ = 0;
  long guardBreaches_ = 0;
  long unwritten_ = 0;
};

// Sample-exact equality, reported by the first differing frame.
inline ::testing::AssertionResult sameSamplesAs(const std::vector<float>& got,
                                                const std::vector<float>& expected) {
  if (got.size() != expected.size()) {
    return ::testing::AssertionFailure()
           << got.size() << " frames where " << expected.size() << " were expected";
  }
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::memcmp(&got[i], &expected[i], sizeof(float)) != 0) {
      return ::testing::AssertionFailure() << "frames differ from frame " << i << ": " << got[i]
                                           << " where " << expected[i] << " was expected";
    }
  }
  return ::testing::AssertionSuccess();
}

inline long framesOf(double seconds, float rate) {
  return static_cast<long>(seconds * static_cast<double>(rate));
}

// Programs whose strings are a bass. A bass plays lines, not chords: "BASS Ebass", whose
// values are fixed by the design, peaks at 4.75 with the guitar's three-note chord.
inline bool bassProgram(host::Plugin& plugin) {
  const std::string strings = plugin.parameterDisplay(0);
  return strings == "Slap" || strings == "Ebass" || strings == "Fretless";
}

inline bool latchedProgram(host::Plugin& plugin) { return plugin.parameter(26) * 1.99f >= 1.0f; }

// A short phrase for the current program, starting at `start` and lasting about `seconds`:
// a chord and a melody note on a guitar, a line of single notes on a bass. Every note is
// released at the end.
inline std::vector<TimedEvent> phraseFor(host::Plugin& plugin, float rate, long start,
                                         double seconds = 0.5) {
  std::vector<TimedEvent> events;
  const long end = start + framesOf(seconds, rate);
  if (bassProgram(plugin)) {
    const unsigned char notes[] = {28, 35, 40, 33};
    const unsigned char velocities[] = {127, 100, 115, 90};
    const long step = (end - start) / 4;
    for (int i = 0; i < 4; ++i) {
      const long on = start + i * step;
      events.push_back({on, 0x90, notes[i], velocities[i]});
      events.push_back({i == 3 ? end : on + step, 0x80, notes[i], 0});
    }
  } else {
    events.push_back({start, 0x90, 40, 100});
    events.push_back({start, 0x90, 47, 90});
    events.push_back({start + 2, 0x90, 52, 110});
    events.push_back({start + (end - start) / 2, 0x90, 64, 120});
    for (unsigned char note : {40, 47, 52, 64}) events.push_back({end, 0x80, note, 0});
  }
  return events;
}

// What a latched program needs besides its key releases to fall silent, at `frame`: the latch
// holds notes after their keys by design, so a host ends them with all-notes-off.
inline std::vector<TimedEvent> releaseLatch(host::Plugin& plugin, long frame) {
  if (!latchedProgram(plugin)) return {};
  return {{frame, 0xB0, 123, 0}};
}

// Flush-to-zero and denormals-are-zero of this thread's SSE unit.
constexpr unsigned kFlushToZero = 0x8000u;
constexpr unsigned kDenormalsAreZero = 0x0040u;

inline void allowDenormals() { _mm_setcsr(_mm_getcsr() & ~(kFlushToZero | kDenormalsAreZero)); }

}  // namespace vorlak::test
