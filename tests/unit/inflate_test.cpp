// The unpacking of the panel's stored art. That every embedded picture unpacks to its file in
// resources/ is checked with the pictures (drawing_test.cpp); here, the kinds of block the
// build's packer does not write for them, and damaged streams.
#include "editor/toolkit/inflate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/toolkit/resources.h"

namespace vorlak {
namespace {

std::string unpacked(const std::vector<uint8_t>& stream, size_t size) {
  std::string out(size, '\0');
  if (!inflate(stream.data(), stream.size(), reinterpret_cast<uint8_t*>(out.data()), size))
    return "(refused)";
  return out;
}

TEST(Inflate, UnpacksStoredAndFixedCodeBlocksAndRefusesAWrongSize) {
  // Python's zlib at level 0 and 9: a stored block, and a fixed-code one whose copy overlaps
  // what it writes.
  const std::vector<uint8_t> stored{0x01, 0x03, 0x00, 0xfc, 0xff, 'a', 'b', 'c'};
  const std::vector<uint8_t> fixed{0x4b, 0x4c, 0x4a, 0x4e, 0x84, 0x21, 0x00};
  EXPECT_EQ(unpacked(stored, 3), "abc");
  EXPECT_EQ(unpacked(fixed, 12), "abcabcabcabc");
  EXPECT_EQ(unpacked(fixed, 11), "(refused)");
  EXPECT_EQ(unpacked(fixed, 13), "(refused)");
  std::vector<uint8_t> badComplement = stored;
  badComplement[3] = 0xfd;
  EXPECT_EQ(unpacked(badComplement, 3), "(refused)");
  std::vector<uint8_t> trailing = fixed;
  trailing.push_back(0);
  EXPECT_EQ(unpacked(trailing, 12), "(refused)");
}

TEST(Inflate, RefusesCutAndDamagedArtWithoutReadingOrWritingPastEitherBuffer) {
  std::vector<uint8_t> font;
  ASSERT_TRUE(panelBitmap(129, 1, font));
  const embedded::PanelBitmapEntry* entry = embedded::kPanelBitmaps;
  while (entry->id != 129 || entry->factor != 1) ++entry;
  const std::vector<uint8_t> stream(entry->data + 4, entry->data + *entry->size);
  ASSERT_EQ(unpacked(stream, font.size()), std::string(font.begin(), font.end()));
  // Heap copies of exactly the given length, so that the sanitizer build sees any overread;
  // and the output exactly as large as the file, so that it sees any overwrite.
  for (size_t length = 0; length < stream.size(); ++length)
    EXPECT_EQ(
        unpacked({stream.begin(), stream.begin() + static_cast<ptrdiff_t>(length)}, font.size()),
        "(refused)")
        << length;
  int refused = 0;
  for (size_t at = 0; at < stream.size(); ++at) {
    std::vector<uint8_t> damaged = stream;
    damaged[at] ^= 0x24;
    refused += unpacked(damaged, font.size()) == "(refused)";
  }
  // Most damage breaks the codes or the length; a flip inside a literal's bits may not.
  EXPECT_GT(refused, static_cast<int>(stream.size()) / 2);
}

}  // namespace
}  // namespace vorlak
