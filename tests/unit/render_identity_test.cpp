// Every factory program renders a short phrase with the same bits as when the hashes in
// render_hashes.txt were taken, at 44.1, 48 and 96 kHz with blocks of 64 and 512. The sound is
// the product: work on speed or structure must not move one bit of it, and this catches the
// rounding a reordered sum or a fused multiply-add would bring.
//
// To take new hashes after a change that is meant to alter the sound (the file must not exist):
//   VORLAK_RENDER_HASHES_OUT=/tmp/h.txt build/tests/unit/vorlak_dsp_tests
//     --gtest_filter='*RenderIdentity*'
//   sort -n -k1 -k2 -k3 /tmp/h.txt >tests/unit/render_hashes.txt
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/unit/core_host.h"

namespace vorlak {
namespace {

using testhost::CoreHost;

struct TimedMessage {
  double seconds;
  uint8_t status, data1, data2;
};

// A chord with mixed velocities, pitch bends (which also wake the fret noise), the modulation
// wheel, the sustain pedal over the release, then two overlapping single notes for the solo
// and gliding styles, and their tails, 0.8 s in all.
constexpr TimedMessage kPhrase[] = {
    {0.000, 0x90, 40, 100}, {0.000, 0x90, 47, 90}, {0.000, 0x90, 52, 110},
    {0.000, 0x90, 56, 80},  {0.000, 0x90, 59, 127}, {0.000, 0x90, 64, 70},
    {0.050, 0xE0, 0, 76},   {0.120, 0xE0, 0, 58},  {0.150, 0xB0, 1, 90},
    {0.200, 0xB0, 64, 127}, {0.250, 0x80, 40, 64}, {0.250, 0x80, 47, 64},
    {0.250, 0x80, 52, 64},  {0.250, 0x80, 56, 64}, {0.250, 0x80, 59, 64},
    {0.250, 0x80, 64, 64},  {0.300, 0xB0, 64, 0},  {0.320, 0x90, 45, 120},
    {0.360, 0x90, 52, 60},  {0.420, 0x80, 45, 0},  {0.450, 0x80, 52, 0},
    {0.460, 0xB0, 1, 0},    {0.460, 0xE0, 0, 64},
};
constexpr double kPhraseSeconds = 0.8;

// FNV-1a over the bits of both channels.
struct Hash {
  uint64_t value = 1469598103934665603u;
  void add(const float* samples, int count) {
    for (int i = 0; i < count; ++i) {
      uint32_t bits;
      std::memcpy(&bits, &samples[i], sizeof bits);
      for (int b = 0; b < 4; ++b) {
        value ^= (bits >> (8 * b)) & 0xFFu;
        value *= 1099511628211u;
      }
    }
  }
};

uint64_t renderProgram(int program, float rate, int block) {
  CoreHost host(rate, block);
  InstrumentCore& core = host.instrument();
  core.selectProgram(program);
  for (int i = 0; i < kNumParameters; ++i) core.setParameter(i, core.programValue(program, i));

  const auto total = static_cast<int64_t>(kPhraseSeconds * rate);
  std::vector<float> left(static_cast<size_t>(block)), right(left.size());
  Hash hash;
  size_t next = 0;
  for (int64_t start = 0; start < total; start += block) {
    const int frames = static_cast<int>(std::min<int64_t>(block, total - start));
    std::vector<MidiMessage> due;
    for (; next < std::size(kPhrase); ++next) {
      const auto at = static_cast<int64_t>(kPhrase[next].seconds * rate);
      if (at >= start + frames) break;
      // Spread over every channel: until a mode message arrives the channel means nothing.
      const auto status = static_cast<uint8_t>(kPhrase[next].status | (next * 7 % 16));
      due.push_back(
          {static_cast<int32_t>(at - start), status, kPhrase[next].data1, kPhrase[next].data2});
    }
    core.queueMidi(due.data(), static_cast<int>(due.size()));
    host.render(left.data(), right.data(), frames);
    hash.add(left.data(), frames);
    hash.add(right.data(), frames);
  }
  return hash.value;
}

using Key = std::tuple<int, int, int>;  // program, rate, block

std::map<Key, uint64_t> keptHashes() {
  std::map<Key, uint64_t> kept;
  std::ifstream file(std::string(VORLAK_SOURCE_DIR) + "/tests/unit/render_hashes.txt");
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int program = 0, rate = 0, block = 0;
    std::string hex;
    if (fields >> program >> rate >> block >> hex)
      kept[{program, rate, block}] = std::strtoull(hex.c_str(), nullptr, 16);
  }
  return kept;
}

class RenderIdentity : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(RenderIdentity, EveryFactoryProgramKeepsItsBits) {
  const auto [rate, block] = GetParam();
  const std::map<Key, uint64_t> kept = keptHashes();
  const char* out = std::getenv("VORLAK_RENDER_HASHES_OUT");
  FILE* record = out ? std::fopen(out, "a") : nullptr;
  for (int program = 0; program < kNumPrograms; ++program) {
    const uint64_t got = renderProgram(program, static_cast<float>(rate), block);
    if (record) {
      std::fprintf(record, "%d %d %d %016" PRIx64 "\n", program, rate, block, got);
      continue;
    }
    const auto found = kept.find({program, rate, block});
    ASSERT_NE(found, kept.end()) << "no kept hash for program " << program;
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, got);
    EXPECT_EQ(got, found->second) << "program " << program << " ("
                                  << kFactoryPrograms[program].name << ") now hashes to " << text;
  }
  if (record) std::fclose(record);
}

INSTANTIATE_TEST_SUITE_P(RatesAndBlocks, RenderIdentity,
                         testing::Combine(testing::Values(44100, 48000, 96000),
                                          testing::Values(64, 512)),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param)) + "Hz" +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace vorlak
