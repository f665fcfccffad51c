// Shared pieces of the validator battery: a renderer that plays scheduled MIDI through blocks of
// any size and either entry point, a census of every output sample, and the phrases the
// programs play. Failures are counted per run and asserted once, so a broken block among a
// hundred thousand reports a count rather than a flood.
#pragma once

#include <gtest/gtest.h>
#include <time.h>
#include <xmmintrin.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/integration/plugin_fixture.h"

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
  explicit BlockRenderer(host::Plugin& plugin, bool keep = false) : plugin_(plugin), keep_(keep) {}

  void schedule(const std::vector<ScheduledMidi>& events) { schedule_.add(events); }

  // Called just before each entry-point call, e.g. to set the floating-point mode a host uses.
  void beforeEachCall(std::function<void()> hook) { beforeCall_ = std::move(hook); }
  // Measures the processor time of every entry-point call from now on. Off by default: reading
  // it is a system call, too dear beside the millions of one-frame blocks the other checks
  // render.
  void timeCalls() { timed_ = true; }
  // Processor time of the last entry-point call alone, in nanoseconds, once timeCalls() was
  // called.
  std::int64_t lastCallNanos() const { return lastCallNanos_; }

  long position() const { return position_; }
  const SampleCensus& census() const { return census_; }
  long guardBreaches() const { return guardBreaches_; }
  long unwrittenFrames() const { return unwritten_; }
  const std::vector<float>& left() const { return kept_.left; }
  const std::vector<float>& right() const { return kept_.right; }

  // Peak of both channels over frames [from, end) of what was kept.
  float peakFrom(long from) const {
    float value = 0.0f;
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0L)); i < kept_.left.size(); ++i) {
      value = std::max({value, std::fabs(kept_.left[i]), std::fabs(kept_.right[i])});
    }
    return value;
  }

  // Renders one block of `frames` frames, after delivering the events that fall into it.
  void block(int frames, Entry entry = Entry::Replacing) {
    // The events go out on their own call, so that neither the hook nor the time taken
    // covers their delivery.
    schedule_.queue(plugin_, position_, frames);
    plugin_.flushMidi();

    out_.reset(frames);
    if (entry == Entry::Accumulating) out_.fill(0.0f);
    if (entry == Entry::ReplacingNaNInputs && nanInput_.size() < static_cast<std::size_t>(frames)) {
      nanInput_.assign(static_cast<std::size_t>(frames), std::numeric_limits<float>::quiet_NaN());
    }
    float* noInputs[2] = {nullptr, nullptr};
    float* nanInputs[2] = {nanInput_.data(), nanInput_.data()};
    float** inputs = entry == Entry::ReplacingNoInputs    ? nullptr
                     : entry == Entry::ReplacingNaNInputs ? nanInputs
                                                          : noInputs;
    if (beforeCall_) beforeCall_();
    const std::int64_t started = timed_ ? threadNanos() : 0;
    plugin_.render(inputs, out_.outputs(), frames, entry != Entry::Accumulating);
    if (timed_) lastCallNanos_ = threadNanos() - started;

    if (!out_.guardsIntact()) ++guardBreaches_;
    for (int c = 0; c < 2; ++c) {
      if (entry != Entry::Accumulating) unwritten_ += out_.unwrittenFrames(c);
      census_.add(out_.channel(c), frames);
    }
    if (keep_) kept_.append(out_);
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
#if defined(_WIN32)
  // Windows counts a thread's processor time in scheduler ticks of 10 to 16 ms, hundreds of
  // blocks each, and Wine asks its server for it. The elapsed time stands in there: the checks
  // compare medians of many blocks, which leave out those that a preemption hit.
  static std::int64_t threadNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
#else
  static std::int64_t threadNanos() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
  }
#endif

  host::Plugin& plugin_;
  bool keep_;
  host::MidiSchedule schedule_;
  long position_ = 0;
  GuardedOutput out_;
  std::vector<float> nanInput_;
  Rendered kept_;
  SampleCensus census_;
  std::function<void()> beforeCall_;
  bool timed_ = false;
  std::int64_t lastCallNanos_ = 0;
  long guardBreaches_ = 0;
  long unwritten_ = 0;
};

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
inline std::vector<ScheduledMidi> phraseFor(host::Plugin& plugin, float rate, long start,
                                            double seconds = 0.5) {
  std::vector<ScheduledMidi> events;
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
inline std::vector<ScheduledMidi> releaseLatch(host::Plugin& plugin, long frame) {
  if (!latchedProgram(plugin)) return {};
  return {{frame, 0xB0, 123, 0}};
}

// Flush-to-zero and denormals-are-zero of this thread's SSE unit.
constexpr unsigned kFlushToZero = 0x8000u;
constexpr unsigned kDenormalsAreZero = 0x0040u;

inline void allowDenormals() { _mm_setcsr(_mm_getcsr() & ~(kFlushToZero | kDenormalsAreZero)); }

}  // namespace vorlak::test
