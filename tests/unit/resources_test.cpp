#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

constexpr Rgb kTransparent{255, 0, 255};

// A BMP file read field by field, so that the test does not trust the decoder it checks.
struct Bitmap {
  std::string problem;  // empty when the file was read
  std::size_t fileSize = 0;
  std::uint32_t dataOffset = 0;
  std::uint32_t infoSize = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::vector<Rgb> palette;
  std::vector<Rgb> pixels;  // top row first

  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }

  bool uniform(int x0, int y0, int w, int h) const {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x)
        if (!(at(x, y) == at(x0, y0))) return false;
    return true;
  }

  bool sameArea(int ax, int ay, int bx, int by, int w, int h) const {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (!(at(ax + x, ay + y) == at(bx + x, by + y))) return false;
    return true;
  }

  int transparentCount(int x0, int y0, int w, int h) const {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) n += at(x, y) == kTransparent;
    return n;
  }
};

std::uint32_t read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t read16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

struct Resource {
  int id;
  int width;
  int height;
  int bits;
};

// The editor's bitmap resources: sizes and depths.
constexpr Resource kResources[] = {
    {128, 396, 530, 8}, {129, 128, 48, 8}, {130, 364, 226, 8}, {131, 72, 10, 24},
    {132, 10, 20, 8},   {133, 10, 20, 8},  {134, 10, 20, 8},   {135, 10, 20, 8},
    {136, 5, 10, 8},    {137, 5, 10, 8},   {138, 23, 112, 8},  {139, 213, 74, 8},
    {140, 15, 28, 8},   {141, 15, 28, 8},  {142, 15, 28, 8},   {143, 15, 28, 8},
    {144, 72, 38, 8},   {145, 72, 38, 8},
};

// Reads a resource; a picture whose size differs from the table is reported as a problem, so
// that no test indexes outside it.
Bitmap readFile(int id);

Bitmap load(int id) {
  Bitmap bmp = readFile(id);
  if (!bmp.problem.empty()) return bmp;
  for (const Resource& r : kResources)
    if (r.id == id && (bmp.width != r.width || std::abs(bmp.height) != r.height))
      bmp.problem = "bitmap " + std::to_string(id) + " is " + std::to_string(bmp.width) + " x " +
                    std::to_string(bmp.height);
  return bmp;
}

Bitmap readFile(int id) {
  Bitmap bmp;
  const std::string path =
      std::string(VORLAK_SOURCE_DIR) + "/resources/bitmap-" + std::to_string(id) + ".bmp";
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  bmp.fileSize = bytes.size();
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
    bmp.problem = path + " is missing or not a BMP file";
    return bmp;
  }
  bmp.dataOffset = read32(bytes, 10);
  bmp.infoSize = read32(bytes, 14);
  bmp.width = static_cast<std::int32_t>(read32(bytes, 18));
  bmp.height = static_cast<std::int32_t>(read32(bytes, 22));
  bmp.planes = read16(bytes, 26);
  bmp.bitsPerPixel = read16(bytes, 28);
  bmp.compression = read32(bytes, 30);
  if (bmp.bitsPerPixel == 8) {
    const std::uint32_t used = read32(bytes, 46);
    const std::size_t count = used ? used : 256;
    const std::size_t table = 14 + bmp.infoSize;
    if (table + 4 * count > bytes.size()) {
      bmp.problem = path + ": colour table runs past the end";
      return bmp;
    }
    for (std::size_t i = 0; i < count; ++i)
      bmp.palette.push_back({bytes[table + 4 * i + 2], bytes[table + 4 * i + 1],
                             bytes[table + 4 * i]});
  }
  const int w = bmp.width;
  const int h = std::abs(bmp.height);
  const std::size_t stride = (static_cast<std::size_t>(w) * bmp.bitsPerPixel / 8 + 3) & ~3u;
  if ((bmp.bitsPerPixel != 8 && bmp.bitsPerPixel != 24) || bmp.compression != 0 || w <= 0 ||
      bmp.dataOffset + stride * h > bytes.size()) {
    bmp.problem = path + ": not an uncompressed 8 or 24 bit picture of its stated size";
    return bmp;
  }
  bmp.pixels.resize(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const std::size_t row = bmp.dataOffset + stride * (bmp.height > 0 ? h - 1 - y : y);
    for (int x = 0; x < w; ++x) {
      Rgb& p = bmp.pixels[static_cast<std::size_t>(y) * w + x];
      if (bmp.bitsPerPixel == 24) {
        p = {bytes[row + 3 * x + 2], bytes[row + 3 * x + 1], bytes[row + 3 * x]};
      } else {
        const std::uint8_t index = bytes[row + x];
        if (index >= bmp.palette.size()) {
          bmp.problem = path + ": pixel index outside the colour table";
          return bmp;
        }
        p = bmp.palette[index];
      }
    }
  }
  return bmp;
}

bool drawnTransparent(int id) { return id >= 136 && id <= 139; }

TEST(PanelBitmaps, EveryResourceHasItsSizeDepthAndPlainLayout) {
  for (const Resource& r : kResources) {
    SCOPED_TRACE(r.id);
    const Bitmap bmp = readFile(r.id);
    ASSERT_EQ(bmp.problem, "");
    EXPECT_EQ(bmp.infoSize, 40u);
    EXPECT_EQ(bmp.width, r.width);
    EXPECT_EQ(bmp.height, r.height);  // positive: rows stored bottom-up
    EXPECT_EQ(bmp.planes, 1);
    EXPECT_EQ(bmp.bitsPerPixel, r.bits);
    EXPECT_EQ(bmp.compression, 0u);
    const std::size_t stride = (static_cast<std::size_t>(r.width) * r.bits / 8 + 3) & ~3u;
    if (r.bits == 8) {
      EXPECT_EQ(bmp.palette.size(), 256u);
      EXPECT_EQ(bmp.dataOffset, 14u + 40u + 256u * 4u);
    } else {
      EXPECT_TRUE(bmp.palette.empty());
      EXPECT_EQ(bmp.dataOffset, 14u + 40u);
    }
    EXPECT_EQ(bmp.fileSize, bmp.dataOffset + stride * r.height);
  }
}

TEST(PanelBitmaps, OnlyTransparentlyDrawnPicturesHoldTheTransparentColour) {
  for (const Resource& r : kResources) {
    SCOPED_TRACE(r.id);
    const Bitmap bmp = load(r.id);
    ASSERT_EQ(bmp.problem, "");
    const int n = bmp.transparentCount(0, 0, bmp.width, bmp.height);
    if (drawnTransparent(r.id))
      EXPECT_GT(n, 0);
    else
      EXPECT_EQ(n, 0);  // the panel, font, lamps, buttons and switches are drawn opaque
  }
}

TEST(PanelBitmaps, KnobHandlesAreDotsWithTransparentCorners) {
  for (int id : {136, 137}) {
    const Bitmap bmp = load(id);
    ASSERT_EQ(bmp.problem, "") << id;
    for (int top : {0, 5}) {  // normal half, pressed half
      SCOPED_TRACE(::testing::Message() << id << " half at " << top);
      EXPECT_EQ(bmp.at(0, top), kTransparent);
      EXPECT_EQ(bmp.at(4, top), kTransparent);
      EXPECT_EQ(bmp.at(0, top + 4), kTransparent);
      EXPECT_EQ(bmp.at(4, top + 4), kTransparent);
      EXPECT_NE(bmp.at(2, top + 2), kTransparent);
    }
    EXPECT_FALSE(bmp.sameArea(0, 0, 0, 5, 5, 5)) << id;
  }
}

TEST(PanelBitmaps, SliderHandleShowsAPickupInsideTransparency) {
  const Bitmap bmp = load(138);
  ASSERT_EQ(bmp.problem, "");
  EXPECT_EQ(bmp.at(0, 0), kTransparent);
  EXPECT_EQ(bmp.at(22, 0), kTransparent);
  EXPECT_EQ(bmp.at(0, 111), kTransparent);
  EXPECT_EQ(bmp.at(22, 111), kTransparent);
  EXPECT_NE(bmp.at(11, 56), kTransparent);
  // The slider spans panel rows 77..188 and the "Vel VScale" knob starts at row 182 under it;
  // the handle must leave those rows alone or it would paint over the knob.
  constexpr int kSliderTop = 77;
  constexpr int kKnobTop = 182;
  EXPECT_EQ(bmp.transparentCount(0, kKnobTop - kSliderTop, 23, 112 - (kKnobTop - kSliderTop)),
            23 * (112 - (kKnobTop - kSliderTop)));
}

TEST(PanelBitmaps, StringOverlayIsMostlyTransparent) {
  const Bitmap bmp = load(139);
  ASSERT_EQ(bmp.problem, "");
  const int n = bmp.transparentCount(0, 0, bmp.width, bmp.height);
  EXPECT_GT(n, bmp.width * bmp.height / 2);
  EXPECT_LT(n, bmp.width * bmp.height);
}

TEST(PanelBitmaps, StackedStatesDiffer) {
  struct Stack {
    int id, width, half;
  };
  for (const Stack& s : {Stack{132, 10, 10}, Stack{133, 10, 10}, Stack{134, 10, 10},
                         Stack{135, 10, 10}, Stack{140, 15, 14}, Stack{141, 15, 14},
                         Stack{142, 15, 14}, Stack{143, 15, 14}}) {
    const Bitmap bmp = load(s.id);
    ASSERT_EQ(bmp.problem, "") << s.id;
    EXPECT_FALSE(bmp.sameArea(0, 0, 0, s.half, s.width, s.half)) << s.id;
  }
}

TEST(PanelBitmaps, SwitchStatesSideBySideDiffer) {
  for (int id : {144, 145}) {
    const Bitmap bmp = load(id);
    ASSERT_EQ(bmp.problem, "") << id;
    EXPECT_FALSE(bmp.sameArea(0, 0, 36, 0, 36, 38)) << id;
  }
}

// Glyph cell of a character code: column code & 15, row (code - 32) / 16, 8 x 8 pixels.
int cellX(int code) { return (code & 15) * 8; }
int cellY(int code) { return (code - 32) / 16 * 8; }

TEST(PanelBitmaps, FontSpaceIsBlankAndLettersAndDigitsAreDrawn) {
  const Bitmap font = load(129);
  ASSERT_EQ(font.problem, "");
  EXPECT_TRUE(font.uniform(cellX(' '), cellY(' '), 8, 8));
  for (int c = 'A'; c <= 'Z'; ++c) EXPECT_FALSE(font.uniform(cellX(c), cellY(c), 8, 8)) << char(c);
  for (int c = 'a'; c <= 'z'; ++c) EXPECT_FALSE(font.uniform(cellX(c), cellY(c), 8, 8)) << char(c);
  for (int c = '0'; c <= '9'; ++c) EXPECT_FALSE(font.uniform(cellX(c), cellY(c), 8, 8)) << char(c);
}

TEST(PanelBitmaps, GlyphsLeaveTheColumnTheNextGlyphCoversBlank) {
  // Glyphs advance 7 pixels (8 wide, spacing -1), so each cell's last column is overdrawn.
  const Bitmap font = load(129);
  ASSERT_EQ(font.problem, "");
  const Rgb blank = font.at(cellX(' '), cellY(' '));
  for (int c = 32; c < 128; ++c)
    for (int y = 0; y < 8; ++y) EXPECT_EQ(font.at(cellX(c) + 7, cellY(c) + y), blank) << c;
}

TEST(PanelBitmaps, TextWindowsOnThePanelMatchTheFontBackground) {
  const Bitmap font = load(129);
  const Bitmap panel = load(128);
  ASSERT_EQ(font.problem, "");
  ASSERT_EQ(panel.problem, "");
  const Rgb blank = font.at(cellX(' '), cellY(' '));
  struct View {
    int left, top, right, bottom, chars;
  };
  // Play-mode name and effect name; the text covers 7 x (chars - 1) + 8 pixels of the view.
  for (const View& v : {View{160, 17, 260, 25, 12}, View{113, 499, 256, 507, 20}}) {
    SCOPED_TRACE(v.left);
    const int textRight = v.left + 7 * (v.chars - 1) + 8;
    for (int x = v.left - 1; x <= v.right; ++x) {
      EXPECT_EQ(panel.at(x, v.top - 1), blank) << x;
      EXPECT_EQ(panel.at(x, v.bottom), blank) << x;
    }
    for (int y = v.top; y < v.bottom; ++y) {
      EXPECT_EQ(panel.at(v.left - 1, y), blank) << y;
      for (int x = textRight; x < v.right; ++x) EXPECT_EQ(panel.at(x, y), blank) << x << "," << y;
    }
  }
}

}  // namespace
