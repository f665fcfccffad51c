#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "engine/excitation.h"

namespace vorlak {
namespace {

struct Row {
  int slot;
  int count;
  std::array<int16_t, 4> head;
  int peakPosition;
  int16_t peakValue;
};

constexpr Row kRows[] = {
    {1, 2245, {0, -3, 1, -6}, 2138, 32767},
    {7, 1853, {451, 525, 649, 719}, 225, -32761},
    {14, 1860, {-23, -499, -997, -683}, 1005, -30978},
    {15, 1887, {390, 491, 447, 316}, 1185, 30031},
    {16, 1889, {-208, -164, 126, 495}, 909, -27761},
    {17, 1513, {-853, -242, 832, 3167}, 342, -29495},
    {18, 1122, {-487, -999, -805, -4}, 649, 29016},
    {19, 1453, {1621, 1713, 1737, 1885}, 359, -32765},
    {20, 1293, {397, 433, 526, 626}, 246, -30959},
    {21, 1542, {232, 141, 18, -169}, 412, 32767},
    {22, 903, {518, 565, 588, 490}, 174, -31028},
    {24, 1959, {31, 37, -142, -287}, 1468, 32767},
    {26, 1660, {301, 288, 293, 308}, 443, 29567},
    {27, 1617, {388, 439, 441, 416}, 318, -30707},
    {28, 4010, {-1491, -1481, -1498, -1535}, 703, -32762},
};

void PrintTo(const Row& row, std::ostream* os) { *os << "slot " << row.slot; }

struct SampleFile {
  bool readable = false;
  int header = -1;            // the count the file declares
  std::vector<int16_t> values;  // whatever follows the count
};

SampleFile readSampleFile(int slot) {
  const std::string path =
      std::string(VORLAK_SOURCE_DIR) + "/engine/data/excitation-" + std::to_string(slot) + ".bin";
  std::ifstream in(path, std::ios::binary);
  SampleFile file;
  if (!in) return file;
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return file;
  file.readable = true;
  auto word = [&](size_t i) {
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  };
  file.header = word(0);
  for (size_t i = 1; i < bytes.size() / 2; ++i) file.values.push_back(word(i));
  return file;
}

double rms(const std::vector<int16_t>& v, int from, int to) {
  from = std::max(from, 0);
  to = std::min(to, static_cast<int>(v.size()));
  double sum = 0.0;
  for (int i = from; i < to; ++i) sum += double(v[i]) * v[i];
  return to > from ? std::sqrt(sum / (to - from)) : 0.0;
}

class ExcitationFile : public ::testing::TestWithParam<Row> {};

TEST_P(ExcitationFile, HasItsLengthOpeningValuesAndPeak) {
  const Row& row = GetParam();
  const SampleFile file = readSampleFile(row.slot);
  ASSERT_TRUE(file.readable);
  EXPECT_EQ(file.header, row.count);
  ASSERT_EQ(static_cast<int>(file.values.size()), row.count) << "no bytes beyond the values";

  for (int i = 0; i < 4; ++i) EXPECT_EQ(file.values[i], row.head[i]) << "value " << i;

  EXPECT_EQ(file.values[row.peakPosition], row.peakValue);
  const int peakMagnitude = std::abs(int(row.peakValue));
  for (int i = 0; i < row.count; ++i) {
    if (i == row.peakPosition) continue;
    EXPECT_LT(std::abs(int(file.values[i])), peakMagnitude) << "sample " << i;
    EXPECT_GE(file.values[i], -32767) << "sample " << i << " beyond full scale";
  }
}

TEST_P(ExcitationFile, IsADecayingTransient) {
  const Row& row = GetParam();
  const SampleFile file = readSampleFile(row.slot);
  ASSERT_EQ(static_cast<int>(file.values.size()), row.count);
  const std::vector<int16_t>& v = file.values;

  EXPECT_GT(rms(v, 0, row.count), 0.02 * 32767) << "audible, not near silence";
  EXPECT_GT(std::set<int16_t>(v.begin(), v.end()).size(), size_t(row.count) / 8)
      << "a waveform, not a few repeated levels";

  // White noise crosses zero about every other sample; a string's body far less often.
  int crossings = 0;
  for (int i = 1; i < row.count; ++i) crossings += (v[i - 1] < 0) != (v[i] < 0);
  EXPECT_GE(crossings, 2);
  EXPECT_LT(crossings, row.count / 10);

  // The peak is the strike: what follows it has to die away.
  const double aroundPeak = rms(v, row.peakPosition - 44, row.peakPosition + 45);
  const int tailStart = row.peakPosition + 3 * (row.count - row.peakPosition) / 4;
  EXPECT_LT(rms(v, tailStart, row.count), 0.25 * aroundPeak);

  // The string pass drops to silence when a sample runs out; a loud last value would click.
  for (int i = row.count - 8; i < row.count; ++i)
    EXPECT_LT(std::abs(int(v[i])), 0.05 * 32767) << "sample " << i;
}

TEST_P(ExcitationFile, IsEmbeddedUnchanged) {
  const Row& row = GetParam();
  const SampleFile file = readSampleFile(row.slot);
  ASSERT_TRUE(file.readable);
  const ExcitationSample embedded = embeddedExcitation(row.slot);
  ASSERT_NE(embedded.values, nullptr);
  ASSERT_EQ(embedded.count, static_cast<int32_t>(file.values.size()));
  EXPECT_TRUE(std::equal(file.values.begin(), file.values.end(), embedded.values));
}

INSTANTIATE_TEST_SUITE_P(Slots, ExcitationFile, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return "Slot" + std::to_string(info.param.slot);
                         });

TEST(ExcitationSlots, OnlyTheFifteenListedSlotsAreFilled) {
  for (int slot = -1; slot <= kExcitationSlots; ++slot) {
    const bool listed = std::any_of(std::begin(kRows), std::end(kRows),
                                    [&](const Row& r) { return r.slot == slot; });
    const ExcitationSample sample = embeddedExcitation(slot);
    if (listed) {
      EXPECT_NE(sample.values, nullptr) << "slot " << slot;
      EXPECT_GT(sample.count, 0) << "slot " << slot;
    } else {
      EXPECT_EQ(sample.values, nullptr) << "slot " << slot;
      EXPECT_EQ(sample.count, 0) << "slot " << slot;
    }
  }
}

TEST(ExcitationSlots, FilesHoldAllTheValuesTogether) {
  // The fifteen rows add up to 26 806 values (each row's length matches its duration).
  int total = 0;
  for (const Row& row : kRows) total += static_cast<int>(readSampleFile(row.slot).values.size());
  EXPECT_EQ(total, 26806);
}

}  // namespace
}  // namespace vorlak
