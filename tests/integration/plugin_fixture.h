// Shared set-up of the integration tests: loading the built module, and output buffers
// surrounded by guard zones so every render can be checked for overruns, unwritten frames
// and non-finite samples.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/vst_host.h"

namespace vorlak::test {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;

inline std::unique_ptr<host::Plugin> loadVorlak(host::LoadOptions options = {}) {
  std::string error;
  auto plugin = host::Plugin::load(VORLAK_MODULE_PATH, &error, options);
  EXPECT_NE(plugin, nullptr) << error;
  return plugin;
}

// A loaded instance, switched on the way a host does it before the first block.
inline std::unique_ptr<host::Plugin> startVorlak(float rate = kRate, int block = kBlock) {
  auto plugin = loadVorlak();
  if (plugin) plugin->start(rate, block);
  return plugin;
}

// A float whose bit pattern no render produces: a NaN with a recognisable payload.
inline float canaryFloat() {
  const std::uint32_t bits = 0x7FC0DEADu;
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

inline bool isCanary(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits == 0x7FC0DEADu;
}

// Two output channels of `frames` floats, each with guard zones of canaries before and after.
class GuardedOutput {
 public:
  static constexpr int kGuard = 64;

  explicit GuardedOutput(int frames = 0) { reset(frames); }

  // Channels of `frames` floats again, every sample of them and of the guards a canary; the
  // storage is kept, so a renderer may reuse one for every block.
  void reset(int frames) {
    frames_ = frames;
    for (auto& channel : storage_) {
      channel.assign(static_cast<std::size_t>(frames + 2 * kGuard), canaryFloat());
    }
    pointers_[0] = channel(0);
    pointers_[1] = channel(1);
  }

  int frames() const { return frames_; }
  float* channel(int c) { return storage_[c].data() + kGuard; }
  const float* channel(int c) const { return storage_[c].data() + kGuard; }
  float** outputs() { return pointers_; }

  // Every frame of both channels set to value (the guards stay canaries).
  void fill(float value) {
    for (int c = 0; c < 2; ++c) std::fill(channel(c), channel(c) + frames_, value);
  }

  bool guardsIntact() const {
    for (const auto& channel : storage_) {
      for (int i = 0; i < kGuard; ++i) {
        if (!isCanary(channel[i]) || !isCanary(channel[channel.size() - 1 - i])) return false;
      }
    }
    return true;
  }

  // Frames of channel c that still hold the canary, i.e. were never written.
  int unwrittenFrames(int c) const {
    int count = 0;
    for (int i = 0; i < frames_; ++i) count += isCanary(channel(c)[i]) ? 1 : 0;
    return count;
  }

  int nonFiniteFrames(int c) const {
    int count = 0;
    for (int i = 0; i < frames_; ++i) count += std::isfinite(channel(c)[i]) ? 0 : 1;
    return count;
  }

  std::vector<float> copy(int c) const { return {channel(c), channel(c) + frames_}; }

 private:
  int frames_ = 0;
  std::vector<float> storage_[2];
  float* pointers_[2];
};

// The checks every replacing render must pass: nothing written outside the buffers, every
// frame written, every sample finite.
inline void expectCleanReplacingRender(const GuardedOutput& out) {
  EXPECT_TRUE(out.guardsIntact()) << "the plug-in wrote outside the output buffers";
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(out.unwrittenFrames(c), 0) << "channel " << c << " has frames left unwritten";
    EXPECT_EQ(out.nonFiniteFrames(c), 0) << "channel " << c << " has non-finite samples";
  }
}

// Both channels of a run, block after block.
struct Rendered {
  std::vector<float> left;
  std::vector<float> right;

  void append(const GuardedOutput& out) {
    left.insert(left.end(), out.channel(0), out.channel(0) + out.frames());
    right.insert(right.end(), out.channel(1), out.channel(1) + out.frames());
  }
};

// Renders `frames` frames in blocks of `block` with processReplacing into guarded buffers,
// checks each block, and returns both channels.
inline Rendered renderChecked(host::Plugin& plugin, int frames, int block = kBlock) {
  Rendered result;
  for (int done = 0; done < frames; done += block) {
    const int n = std::min(block, frames - done);
    GuardedOutput out(n);
    plugin.render(out.outputs(), n, true);
    expectCleanReplacingRender(out);
    result.append(out);
  }
  return result;
}

using host::ScheduledMidi;

// A chord and a single note with their releases: enough to sound strings, chain and tail.
inline std::vector<ScheduledMidi> shortPhrase() {
  return {
      {10, 0x90, 40, 100}, {10, 0x90, 47, 90},  {12, 0x90, 52, 110},   {6000, 0x80, 40, 0},
      {6000, 0x80, 47, 0}, {6000, 0x80, 52, 0}, {7000, 0x90, 64, 120}, {12000, 0x80, 64, 64},
  };
}

// Delivers each event in the block that contains its frame and renders `frames` frames into
// caller-owned guarded buffers, one GuardedOutput per block, handing each to `check`.
template <typename Check>
void renderEvents(host::Plugin& plugin, const std::vector<ScheduledMidi>& events, int frames,
                  int block, Check check) {
  host::MidiSchedule schedule;
  schedule.add(events);
  for (int done = 0; done < frames; done += block) {
    const int n = std::min(block, frames - done);
    schedule.queue(plugin, done, n);
    GuardedOutput out(n);
    check(out, done);
  }
}

// The phrase rendered with processReplacing; every block is checked for cleanliness.
inline Rendered playPhrase(host::Plugin& plugin, int frames = 16384, int block = kBlock) {
  Rendered result;
  renderEvents(plugin, shortPhrase(), frames, block, [&](GuardedOutput& out, int) {
    plugin.render(out.outputs(), out.frames(), true);
    expectCleanReplacingRender(out);
    result.append(out);
  });
  return result;
}

inline float peak(const std::vector<float>& samples) {
  float value = 0.0f;
  for (float s : samples) value = std::max(value, std::fabs(s));
  return value;
}

// Sample-exact equality, reported by the first differing frame rather than by dumping both.
inline ::testing::AssertionResult sameSamples(const std::vector<float>& got,
                                              const std::vector<float>& expected) {
  if (got.size() != expected.size()) {
    return ::testing::AssertionFailure()
           << got.size() << " frames where " << expected.size() << " were expected";
  }
  std::size_t differing = 0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::memcmp(&got[i], &expected[i], sizeof(float)) != 0) {
      if (differing++ == 0) first = i;
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << differing << " of " << got.size() << " frames differ, the first at frame " << first
         << ": " << got[first] << " where " << expected[first] << " was expected";
}

inline bool silent(const Rendered& rendered) {
  return peak(rendered.left) == 0.0f && peak(rendered.right) == 0.0f;
}

}  // namespace vorlak::test
