// The drawing context and bitmaps, checked pixel by pixel on the software surface.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "editor/platform/platform.h"
#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/resources.h"

namespace vorlak {
namespace {

constexpr uint32_t kB = 0x000000, kW = 0xffffff, kR = 0xff0000, kBl = 0x0000ff;

// Which pixels of s are not `background`, as rows of '#' and '.'.
std::vector<std::string> marks(const Surface& s, uint32_t background) {
  std::vector<std::string> rows;
  for (int y = 0; y < s.height(); ++y) {
    std::string row;
    for (int x = 0; x < s.width(); ++x) row += s.at(x, y) == background ? '.' : '#';
    rows.push_back(row);
  }
  return rows;
}

class RecordingWindow : public NativeWindow {
 public:
  void present(const Surface&, const Rect& area) override { presented.push_back(area); }
  Point pointer() override { return {30, 20}; }
  int buttons() override { return kLeftButton | kShift; }
  void setCursor(int) override {}
  int popupMenu(const std::vector<MenuEntry>&, Point, bool) override { return -1; }
  void dispatchEvents(WindowEvents&, bool) override {}
  bool alive() const override { return true; }
  std::vector<Rect> presented;
};

TEST(Painter, FillLeavesTopLeftToOutlineAndBothTogetherCoverTheRectangleOnce) {
  OffscreenPainter fillOnly(nullptr, 10, 9, kBlack);
  fillOnly.setFillColor(kRed);
  fillOnly.fillRect({2, 2, 7, 6});
  OffscreenPainter both(nullptr, 10, 9, kBlack);
  both.setFillColor(kRed);
  both.setFrameColor(kWhite);
  both.fillRect({2, 2, 7, 6});
  both.drawRect({2, 2, 7, 6});
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x <= 7 && y >= 2 && y <= 6;
      const bool edge = inside && (x == 2 || x == 7 || y == 2 || y == 6);
      const uint32_t fill = x >= 3 && x < 7 && y >= 3 && y < 6 ? kR : kB;
      EXPECT_EQ(fillOnly.surface()->at(x, y), fill) << x << "," << y;
      EXPECT_EQ(both.surface()->at(x, y), edge ? kW : inside ? kR : kB) << x << "," << y;
    }
  }
}

TEST(Painter, LinesStopShortOfTheirEndAndFollowTheOffsetAndStyle) {
  OffscreenPainter p(nullptr, 8, 8, kBlack);
  p.setFrameColor(kWhite);
  p.offset = {1, 2};
  p.moveTo({0, 0});
  p.lineTo({5, 0});  // (1,2) to (5,2); (6,2) is the end
  p.moveTo({6, 5});
  p.lineTo({6, 1});  // (7,7) up to (7,4)
  p.offset = {0, 0};
  p.setLineStyle(1);
  p.moveTo({0, 0});
  p.lineTo({7, 0});
  p.setLineStyle(0);
  p.moveTo({0, 7});
  p.lineTo({3, 4});  // diagonal, (3,4) not drawn
  const std::vector<std::string> expected{
      "#.#.#.#.", "........", ".#####..", "........",
      ".......#", "..#....#", ".#.....#", "#......#"};
  EXPECT_EQ(marks(*p.surface(), kB), expected);
}

TEST(Painter, SteepAndFarReachingLinesStayConnectedAndClipped) {
  OffscreenPainter p(nullptr, 20, 20, kBlack);
  p.setFrameColor(kWhite);
  p.moveTo({1, 0});
  p.lineTo({4, 19});
  int previous = -1;
  for (int y = 0; y < 19; ++y) {
    int count = 0, where = -1;
    for (int x = 0; x < 20; ++x) {
      if (p.surface()->at(x, y) == kW) ++count, where = x;
    }
    ASSERT_EQ(count, 1) << "row " << y;
    if (previous >= 0) {
      EXPECT_LE(where - previous, 1);
    }
    EXPECT_GE(where, previous);
    previous = where;
  }
  EXPECT_EQ(p.surface()->at(1, 0), kW);
  // Far beyond the surface in both directions: only the visible row is written, quickly.
  p.clip = {0, 0, 15, 20};
  p.moveTo({-2000000000, 19});
  p.lineTo({2000000000, 19});
  for (int x = 0; x < 20; ++x) EXPECT_EQ(p.surface()->at(x, 19), x < 15 ? kW : kB) << x;

  OffscreenPainter band(nullptr, 6, 6, kBlack);
  band.setFrameColor(kWhite);
  band.clip = {0, 2, 6, 4};
  band.moveTo({0, 0});
  band.lineTo({6, 6});
  const std::vector<std::string> expected{"......", "......", "..#...", "...#..",
                                          "......", "......"};
  EXPECT_EQ(marks(*band.surface(), kB), expected);
}

TEST(Painter, ClipRectAndSurfaceEdgesBoundEveryWrite) {
  OffscreenPainter p(nullptr, 6, 6, kBlack);
  p.setFillColor(kRed);
  p.setFrameColor(kWhite);
  p.clip = {1, 1, 5, 4};
  p.fillRect({-10, -10, 100, 100});
  p.drawRect({-3, -3, 4, 2});
  const std::vector<std::string> painted{"......", ".####.", ".####.", ".####.",
                                         "......", "......"};
  EXPECT_EQ(marks(*p.surface(), kB), painted);
  EXPECT_EQ(p.surface()->at(4, 2), kW);  // the outline's bottom-right corner
  EXPECT_EQ(p.surface()->at(1, 2), kW);
  EXPECT_EQ(p.surface()->at(4, 1), kW);
  EXPECT_EQ(p.surface()->at(4, 3), kR);
  EXPECT_EQ(p.surface()->at(1, 3), kR);
  // Without a clip limit, a rectangle hanging off every edge writes only the surface.
  p.clip = {-100, -100, 100, 100};
  p.setFillColor(kBlue);
  p.fillRect({-5, -5, 20, 20});
  for (uint32_t pixel : p.surface()->data()) EXPECT_EQ(pixel, kBl);
}

TEST(Painter, PresentsWhatItTouchedAndAnswersInputFromItsWindow) {
  Surface buffer(50, 40);
  RecordingWindow window;
  {
    Painter p(nullptr, &buffer, &window);
    EXPECT_EQ(p.clip, (Rect{0, 0, 1000, 1000}));
    p.offset = {5, 5};
    p.fillRect({0, 0, 4, 4});  // (6,6)-(9,9)
    p.setFrameColor(kRed);
    p.moveTo({20, 10});
    p.lineTo({20, 100});  // runs off the bottom
    EXPECT_EQ(p.getMouseButtons(), kLeftButton | kShift);
    Point where{};
    p.getMouseLocation(where);
    EXPECT_EQ(where, (Point{30, 20}));
    EXPECT_TRUE(window.presented.empty());
  }
  ASSERT_EQ(window.presented.size(), 1u);
  EXPECT_EQ(window.presented[0], (Rect{6, 6, 26, 40}));
  {
    Painter untouched(nullptr, &buffer, &window);
  }
  EXPECT_EQ(window.presented.size(), 1u);

  Painter inputOnly(nullptr, nullptr, nullptr);
  Point where{7, 7};
  inputOnly.getMouseLocation(where);
  EXPECT_EQ(where, (Point{0, 0}));
  EXPECT_EQ(inputOnly.getMouseButtons(), 0);
  inputOnly.fillRect({0, 0, 10, 10});
  inputOnly.drawRect({0, 0, 10, 10});
}

TEST(Painter, OffscreenPictureCopiesToTheDestinationOffsetWithinItsClip) {
  OffscreenPainter picture(nullptr, 6, 4, kRed);
  for (uint32_t pixel : picture.surface()->data()) ASSERT_EQ(pixel, kR);
  picture.surface()->set(2, 1, kW);
  Surface buffer(10, 8, kBl);
  RecordingWindow window;
  {
    Painter p(nullptr, &buffer, &window);
    p.offset = {3, 2};
    p.clip = {0, 0, 8, 8};
    p.setFillColor(kBlack);
    picture.copyTo(p, {1, 1, 6, 4}, {2, 1});  // 5 x 3 to (4,3); cut at x = 8
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool copied = x >= 4 && x < 8 && y >= 3 && y < 6;
      const uint32_t expected = x == 4 && y == 3 ? kW : copied ? kR : kBl;
      EXPECT_EQ(buffer.at(x, y), expected) << x << "," << y;
    }
  }
  ASSERT_EQ(window.presented.size(), 1u);
  EXPECT_EQ(window.presented[0], (Rect{4, 3, 8, 6}));
}

// A 4 x 3 picture whose pixel (x, y) is 0x10 * (y * 4 + x + 1).
Pixmap* numbered() {
  Surface s(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) s.set(x, y, 0x10u * static_cast<uint32_t>(y * 4 + x + 1));
  return Pixmap::fromSurface(s);
}

TEST(Pixmap, OpaqueDrawCopiesTheDestinationSizedBlockFromTheSourceOffset) {
  Pixmap* picture = numbered();
  Surface buffer(8, 6, kW);
  Painter p(nullptr, &buffer, nullptr);
  p.offset = {1, 2};
  picture->draw(p, {2, 1, 5, 3}, {1, 1});  // 3 x 2 from (1,1) to (3,3)
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 3 && x < 6 && y >= 3 && y < 5;
      const uint32_t expected =
          inside ? 0x10u * static_cast<uint32_t>((y - 3 + 1) * 4 + (x - 3 + 1) + 1) : kW;
      EXPECT_EQ(buffer.at(x, y), expected) << x << "," << y;
    }
  }
  // Half off the top-left of the surface and a clip on the right: only the overlap lands.
  Surface edge(3, 3, kW);
  Painter q(nullptr, &edge, nullptr);
  q.clip = {0, 0, 2, 3};
  picture->draw(q, {-1, -1, 3, 2}, {0, 0});
  const std::vector<uint32_t> expected{0x60, 0x70, kW, 0xa0, 0xb0, kW, kW, kW, kW};
  EXPECT_EQ(edge.data(), expected);
  picture->forget();
}

TEST(Pixmap, TransparentDrawShowsTheBackgroundOnlyUnderTheExactKeyColour) {
  Surface s(5, 1);
  const std::vector<uint32_t> row{0xffffff, 0xfffffe, 0xfeffff, 0xffffff, 0x123456};
  for (int x = 0; x < 5; ++x) s.set(x, 0, row[static_cast<size_t>(x)]);
  Pixmap* picture = Pixmap::fromSurface(s);
  EXPECT_EQ(picture->transparentColor(), kWhite);
  Surface buffer(7, 2, kBl);
  Painter p(nullptr, &buffer, nullptr);
  p.offset = {1, 0};
  picture->drawTransparent(p, {0, 1, 5, 2}, {0, 0});
  const std::vector<uint32_t> expected{kBl, kBl, kBl, kBl, kBl, kBl, kBl,
                                       kBl, kBl, 0xfffffe, 0xfeffff, kBl, 0x123456, kBl};
  EXPECT_EQ(buffer.data(), expected);
  // Another key: white is now an ordinary colour.
  picture->setTransparentColor({0x12, 0x34, 0x56, 0});
  Surface other(5, 1, kB);
  Painter q(nullptr, &other, nullptr);
  picture->drawTransparent(q, {0, 0, 5, 1}, {0, 0});
  EXPECT_EQ(other.data(), (std::vector<uint32_t>{kW, 0xfffffe, 0xfeffff, kW, kB}));
  EXPECT_EQ(picture->pixels().data(), row);  // the picture itself is untouched
  picture->forget();
}

TEST(Pixmap, ReferencesAndAMissingResource) {
  Pixmap* missing = Pixmap::create(127);
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->width(), 0);
  EXPECT_EQ(missing->height(), 0);
  EXPECT_EQ(missing->resourceId(), 127);
  EXPECT_EQ(missing->referenceCount(), 1);
  missing->remember();
  missing->remember();
  EXPECT_EQ(missing->referenceCount(), 3);
  missing->forget();
  EXPECT_EQ(missing->referenceCount(), 2);
  Surface buffer(4, 4, kBl);
  Painter p(nullptr, &buffer, nullptr);
  missing->draw(p, {0, 0, 4, 4}, {0, 0});
  missing->drawTransparent(p, {0, 0, 4, 4}, {0, 0});
  for (uint32_t pixel : buffer.data()) EXPECT_EQ(pixel, kBl);
  missing->forget();
  missing->forget();  // destroyed here (the sanitizer build sees a leak otherwise)
}

TEST(Pixmap, EveryPanelBitmapInTheSourceTreeIsEmbeddedAndUnpacksToItsFile) {
  struct Size {
    int id, width, height;
  };
  const Size sizes[] = {{128, 396, 530}, {129, 128, 48}, {130, 364, 226}, {131, 72, 10},
                        {132, 10, 20},   {133, 10, 20},  {134, 10, 20},   {135, 10, 20},
                        {136, 5, 10},    {137, 5, 10},   {138, 23, 112},  {139, 213, 74},
                        {140, 15, 28},   {141, 15, 28},  {142, 15, 28},   {143, 15, 28},
                        {144, 72, 38},   {145, 72, 38}};
  int present = 0;
  for (const Size& size : sizes) {
    for (int factor : {1, 2, 3}) {
      SCOPED_TRACE(::testing::Message() << size.id << " at " << factor << "x");
      const std::string suffix = factor == 1 ? "" : "@" + std::to_string(factor) + "x";
      const std::filesystem::path path = std::filesystem::path(VORLAK_SOURCE_DIR) / "resources" /
                                         ("bitmap-" + std::to_string(size.id) + suffix + ".bmp");
      std::vector<uint8_t> unpacked;
      const bool embedded = panelBitmap(size.id, factor, unpacked);
      EXPECT_EQ(embedded, std::filesystem::exists(path));
      if (!embedded) continue;
      ++present;
      std::ifstream in(path, std::ios::binary);
      const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
      EXPECT_TRUE(unpacked == file);  // not EXPECT_EQ: a mismatch would print megabytes
      Pixmap* picture = Pixmap::create(size.id, factor);
      ASSERT_NE(picture, nullptr);
      EXPECT_EQ(picture->width(), size.width);
      EXPECT_EQ(picture->height(), size.height);
      picture->forget();
    }
  }
  if (present == 0) GTEST_SKIP() << "no panel bitmaps in resources/ yet";
}

// A BMP file: bits 8 (with the palette given) or 24; rows given top first.
std::vector<uint8_t> makeBmp(int bits, int width, int height, bool topDown,
                             const std::vector<uint32_t>& palette,
                             const std::vector<uint32_t>& values) {
  const int stride = ((width * bits + 31) / 32) * 4;
  const uint32_t pixelsAt = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  const uint32_t total = pixelsAt + static_cast<uint32_t>(stride * height);
  std::vector<uint8_t> b;
  auto put = [&b](uint32_t v, int count) {
    for (int i = 0; i < count; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  b.push_back('B');
  b.push_back('M');
  put(total, 4);
  put(0, 4);
  put(pixelsAt, 4);
  put(40, 4);
  put(static_cast<uint32_t>(width), 4);
  put(static_cast<uint32_t>(topDown ? -height : height), 4);
  put(1, 2);
  put(static_cast<uint32_t>(bits), 2);
  put(0, 4);
  put(static_cast<uint32_t>(stride * height), 4);
  put(2835, 4);
  put(2835, 4);
  put(static_cast<uint32_t>(palette.size()), 4);
  put(0, 4);
  for (uint32_t c : palette) put(c, 4);  // 0x00RRGGBB is stored blue, green, red, 0
  for (int line = 0; line < height; ++line) {
    const int y = topDown ? line : height - 1 - line;
    const size_t start = b.size();
    for (int x = 0; x < width; ++x) put(values[static_cast<size_t>(y * width + x)], bits / 8);
    while (b.size() < start + static_cast<size_t>(stride)) b.push_back(0xee);
  }
  return b;
}

TEST(Bmp, DecodesPalettedAndTrueColourRowsInBothOrdersWithPadding) {
  const std::vector<uint32_t> palette{0x102030, 0xff00ff, 0x00ff80};
  const std::vector<uint32_t> indices{0, 1, 2, 2, 1, 0, 1, 1, 1};  // 3 x 3, one pad byte a row
  const std::vector<uint32_t> colours{0x102030, 0xff00ff, 0x00ff80, 0x00ff80, 0xff00ff,
                                      0x102030, 0xff00ff, 0xff00ff, 0xff00ff};
  const std::vector<uint32_t> trueColour{0x010203, 0xa0b0c0, 0xffffff, 0x000000, 0x7f8081,
                                         0xfe0001, 0x112233, 0x445566};
  for (bool topDown : {false, true}) {
    Surface out;
    const std::vector<uint8_t> paletted = makeBmp(8, 3, 3, topDown, palette, indices);
    ASSERT_TRUE(decodeBmp(paletted.data(), paletted.size(), out));
    EXPECT_EQ(out.width(), 3);
    EXPECT_EQ(out.height(), 3);
    EXPECT_EQ(out.data(), colours) << topDown;
    const std::vector<uint8_t> odd = makeBmp(24, 1, 8, topDown, {}, trueColour);
    ASSERT_EQ(odd.size(), 54u + 8 * 4);  // 3 bytes padded to 4 a row
    ASSERT_TRUE(decodeBmp(odd.data(), odd.size(), out));
    EXPECT_EQ(out.width(), 1);
    EXPECT_EQ(out.data(), trueColour) << topDown;
    const std::vector<uint8_t> wide = makeBmp(24, 5, 1, topDown, {}, trueColour);
    ASSERT_TRUE(decodeBmp(wide.data(), wide.size(), out));
    EXPECT_EQ(out.data(), std::vector<uint32_t>(trueColour.begin(), trueColour.begin() + 5));
  }
}

TEST(Bmp, RejectsTruncatedLyingAndForeignFilesWithoutReadingPastThem) {
  const std::vector<uint8_t> good =
      makeBmp(8, 3, 2, false, {0x000000, 0xffffff}, {0, 1, 0, 1, 0, 1});
  Surface out;
  ASSERT_TRUE(decodeBmp(good.data(), good.size(), out));
  for (size_t length = 0; length < good.size(); ++length) {
    // A heap copy of exactly `length` bytes, so the sanitizer build catches any overread.
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(length));
    Surface s(2, 2, 7);
    EXPECT_FALSE(decodeBmp(cut.data(), cut.size(), s)) << length;
    EXPECT_EQ(s.width(), 0);
  }
  auto patched = [&good](size_t at, uint32_t value, int bytes) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < bytes; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  const std::vector<std::vector<uint8_t>> bad{
      patched(0, 'X', 1),           // not a BMP
      patched(10, 0xfffffff0u, 4),  // pixels past the end
      patched(10, 20, 4),           // pixels inside the header
      patched(14, 0xffffff00u, 4),  // header larger than the file
      patched(14, 12, 4),           // the old core header
      patched(18, 0, 4),            // no width
      patched(18, 0x7fffffff, 4),   // width far beyond the data
      patched(22, 1000, 4),         // height beyond the data
      patched(22, 0x80000000u, 4),  // a height with no positive twin
      patched(26, 2, 2),            // planes
      patched(28, 16, 2),           // 16 bits a pixel
      patched(28, 32, 2),           // 32 bits a pixel
      patched(30, 1, 4),            // run-length compressed
      patched(46, 300, 4),          // more colours than 8 bits can index
      patched(46, 0x40000000u, 4),  // a palette far beyond the data
      patched(46, 1, 4),            // index 1 beyond a one-colour palette
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    Surface s;
    EXPECT_FALSE(decodeBmp(bad[i].data(), bad[i].size(), s)) << i;
    EXPECT_EQ(s.width(), 0) << i;
    EXPECT_EQ(s.height(), 0) << i;
  }
  EXPECT_FALSE(decodeBmp(nullptr, 100, out));
}

}  // namespace
}  // namespace vorlak
