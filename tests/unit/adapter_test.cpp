// What every format adapter relies on the core for: the session state's bytes, parameter
// changes at their place in a block, and the values a host types.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "instrument/parameters.h"
#include "instrument/session_state.h"
#include "tests/unit/core_host.h"

namespace vorlak {
namespace {

using testhost::CoreHost;

std::vector<uint8_t> saved(const InstrumentCore& core) {
  std::vector<uint8_t> bytes(kSessionStateSize);
  saveSessionState(core, bytes.data());
  return bytes;
}

// Edits that touch low bits, names of every length and a program other than 0.
void editBank(InstrumentCore& core) {
  for (int n : {0, 17, 63}) {
    core.selectProgram(n);
    core.setProgramName(n == 17 ? "exactly twenty-three ch" : "x");
    core.setParameter(kDrive, std::nextafter(0.5f, 1.0f));
    core.setParameter(kPickupPos, 1.0e-30f);
  }
  core.switchProgram(17);
}

TEST(SessionState, EditedBankComesBackBitForBitIntoAFreshCore) {
  CoreHost edited(44100.0f, 64), fresh(44100.0f, 64);
  editBank(edited.instrument());
  const std::vector<uint8_t> bytes = saved(edited.instrument());

  ASSERT_TRUE(loadSessionState(fresh.instrument(), bytes.data(), bytes.size()));
  EXPECT_EQ(saved(fresh.instrument()), bytes);
  EXPECT_EQ(fresh.instrument().program(), 17);
  for (int i = 0; i < kNumParameters; ++i)
    EXPECT_EQ(fresh.instrument().liveValue(i), edited.instrument().liveValue(i)) << i;
  // The restored sound is the edited one.
  edited.send({{0, 0x90, 52, 100}});
  fresh.send({{0, 0x90, 52, 100}});
  EXPECT_EQ(fresh.renderLeft(4096), edited.renderLeft(4096));
}

TEST(SessionState, DamagedStateIsRefusedAndChangesNothing) {
  CoreHost source(44100.0f, 64), target(44100.0f, 64);
  editBank(source.instrument());
  const std::vector<uint8_t> good = saved(source.instrument());
  const std::vector<uint8_t> before = saved(target.instrument());

  auto refused = [&](std::vector<uint8_t> bytes, const char* why) {
    EXPECT_FALSE(loadSessionState(target.instrument(), bytes.data(), bytes.size())) << why;
    EXPECT_EQ(saved(target.instrument()), before) << why;
  };
  // Rewrites the checksum, so that only the field itself is wrong.
  auto resealed = [](std::vector<uint8_t> bytes) {
    const uint32_t crc = sessionStateChecksum(bytes.data(), bytes.size() - 4);
    for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    return bytes;
  };

  refused({}, "empty");
  refused(std::vector<uint8_t>(good.begin(), good.end() - 1), "short");
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  refused(longer, "long");
  std::vector<uint8_t> flipped = good;
  flipped[5000] ^= 0x10;
  refused(flipped, "a flipped bit");
  std::vector<uint8_t> version = good;
  version[4] = 2;
  refused(resealed(version), "a later version");
  std::vector<uint8_t> program = good;
  program[8] = 64;
  refused(resealed(program), "a program outside the bank");
  std::vector<uint8_t> name = good;
  std::memset(name.data() + 12, 'a', kProgramNameSize);
  refused(resealed(name), "a name without its terminator");
  std::vector<uint8_t> notANumber = good;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(notANumber.data() + 12 + 3 * sizeof(Program) + kProgramNameSize + 8, &nan, 4);
  refused(resealed(notANumber), "a value that is not a number");
  EXPECT_FALSE(loadSessionState(target.instrument(), nullptr, kSessionStateSize));
  EXPECT_TRUE(loadSessionState(target.instrument(), resealed(good).data(), good.size()));
}

// A change at frame 0 plays as setParameter before the block; a later one from the first tick
// boundary at or after its frame (220 frames into a block at 44.1 kHz when the grid starts
// with the block), never earlier; one past the last boundary as the next block starts.
TEST(ParameterChangesInABlock, TakeEffectAtTheFirstTickAtOrAfterTheirFrame) {
  auto render = [](auto&& schedule) {
    CoreHost host(44100.0f, 512);
    host.instrument().switchProgram(0);
    host.send({{0, 0x90, 45, 110}});
    std::vector<float> out = host.renderLeft(2048);
    schedule(host);
    std::vector<float> block = host.renderLeft(512), next = host.renderLeft(512);
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), next.begin(), next.end());
    return out;
  };
  const std::vector<float> before = render([](CoreHost& h) { h.set(kDrive, 0.05f); });
  const std::vector<float> atZero =
      render([](CoreHost& h) { h.instrument().queueParameter(0, kDrive, 0.05f); });
  EXPECT_EQ(atZero, before);

  const std::vector<float> none = render([](CoreHost&) {});
  const std::vector<float> later =
      render([](CoreHost& h) { h.instrument().queueParameter(100, kDrive, 0.05f); });
  const std::vector<float> pastLastTick =
      render([](CoreHost& h) { h.instrument().queueParameter(500, kDrive, 0.05f); });
  auto firstDifference = [&](const std::vector<float>& a) {
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i] != none[i]) return static_cast<long>(i) - 2048;
    return -1L;
  };
  const long tick = firstDifference(later);
  EXPECT_GE(tick, 100);
  EXPECT_LT(tick, 100 + 221);
  EXPECT_GE(firstDifference(pastLastTick), 512);

  // Garbage is ignored, not played.
  const std::vector<float> garbage = render([](CoreHost& h) {
    h.instrument().queueParameter(0, -1, 0.5f);
    h.instrument().queueParameter(0, kNumParameters, 0.5f);
    h.instrument().queueParameter(0, kDrive, std::numeric_limits<float>::quiet_NaN());
  });
  EXPECT_EQ(garbage, none);
}

TEST(TypedValues, EveryDisplayReadsBackToAValueThatShowsTheSame) {
  char shown[kParameterTextSize], again[kParameterTextSize];
  for (int index = 0; index < kNumParameters; ++index) {
    for (int step = 0; step <= 1000; ++step) {
      const float value = static_cast<float>(step) / 1000.0f;
      formatParameterDisplay(index, value, shown);
      float typed = -1.0f;
      if (shown[0] == 0) {
        EXPECT_FALSE(parseParameterDisplay(index, "50%", typed)) << index;
        continue;
      }
      ASSERT_TRUE(parseParameterDisplay(index, shown, typed)) << index << " " << shown;
      formatParameterDisplay(index, typed, again);
      EXPECT_STREQ(again, shown) << index;
    }
  }
  float value = -1.0f;
  EXPECT_TRUE(parseParameterDisplay(kFx, "  mst:leslie ", value));
  EXPECT_EQ(optionIndex(kFx, value), 12);
  EXPECT_TRUE(parseParameterDisplay(kDrive, "250", value));
  EXPECT_EQ(value, 1.0f);
  value = -1.0f;
  for (const char* nonsense : {"", "%", "abc", "12abc", "nan", "Tube"})
    EXPECT_FALSE(parseParameterDisplay(kDrive, nonsense, value)) << nonsense;
  EXPECT_FALSE(parseParameterDisplay(kFx, "50%", value));
  EXPECT_FALSE(parseParameterDisplay(kDrive, nullptr, value));
  EXPECT_EQ(value, -1.0f);
}

}  // namespace
}  // namespace vorlak
