// The panel at its scales on the headless window system: the size it opens at and where that
// scale comes from, the native artwork shown pixel for pixel, and clicks, drags, menus and the
// logo's picture at device coordinates doing what they do at 1x.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "editor/editor.h"
#include "editor/platform/headless/headless_platform.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/resources.h"
#include "editor/toolkit/ui_scale.h"
#include "editor_fixture.h"

namespace vorlak::editortest {
namespace {

using Call = RecordingLink::Call;

// VORLAK_UI_SCALE for this process; null removes it.
void setUiScale(const char* value) {
#ifdef _WIN32
  _putenv_s("VORLAK_UI_SCALE", value ? value : "");
#else
  if (value)
    setenv("VORLAK_UI_SCALE", value, 1);
  else
    unsetenv("VORLAK_UI_SCALE");
#endif
}

class PanelScaleTest : public ::testing::Test {
 protected:
  PanelScaleTest() {
    setUiScale(nullptr);
    setPlatform(&platform);
    editor = std::make_unique<Editor>(link);
    link.editor = editor.get();
  }
  ~PanelScaleTest() override {
    editor.reset();
    setPlatform(nullptr);
    setUiScale(nullptr);
  }

  void open(double hostScale) {
    editor->setHostScale(hostScale);
    ASSERT_TRUE(editor->open(&parent));
    HeadlessWindow* window = platform.window();
    window->queuePaint({0, 0, window->width, window->height});
    editor->idle();
  }
  // A left press at device pixel p held for `moves` button queries, the pointer taking each
  // of path's device pixels in turn, then an idle to handle it.
  void press(Point p, std::vector<Point> path = {}) {
    platform.pointer = p;
    platform.buttons = kLeftButton;
    const int from = platform.buttonQueries;
    platform.script = [this, from, path](int query) {
      const size_t k = static_cast<size_t>(query - from);
      if (k >= 1 && k <= path.size()) platform.pointer = path[k - 1];
      if (k >= path.size() + 2) platform.buttons = 0;
    };
    platform.window()->queueButtonDown(p, kLeftButton);
    editor->idle();
    platform.script = nullptr;
    platform.buttons = 0;
  }
  ValueWidget* tone() {
    for (int i = 0; i < editor->getFrame()->widgetCount(); ++i)
      if (auto* w = dynamic_cast<ValueWidget*>(editor->getFrame()->widgetAt(i));
          w && w->getTag() == 3)
        return w;
    return nullptr;
  }
  std::vector<Call> edits() const {
    std::vector<Call> out;
    for (const Call& c : link.calls)
      if (c.kind != RecordingLink::kHostIdle) out.push_back(c);
    return out;
  }

  HeadlessPlatform platform;
  RecordingLink link;
  std::unique_ptr<Editor> editor;
  int parent = 0;
};

// The device pixel whose logical pixel is p at scale s.
Point device(Point p, double s) {
  return {static_cast<int32_t>(std::ceil(p.x * s)), static_cast<int32_t>(std::ceil(p.y * s))};
}

TEST_F(PanelScaleTest, EveryScaleOpensAtItsSizeFromTheRightSourceAndLeavesNothing) {
  const std::pair<double, Rect> sizes[] = {{1.0, {0, 0, 396, 530}},  {1.25, {0, 0, 495, 663}},
                                           {1.5, {0, 0, 594, 795}},  {1.75, {0, 0, 693, 928}},
                                           {2.0, {0, 0, 792, 1060}}, {2.5, {0, 0, 990, 1325}},
                                           {3.0, {0, 0, 1188, 1590}}};
  for (const auto& [scale, expected] : sizes) {
    editor->setHostScale(scale);
    Rect before, after;
    ASSERT_TRUE(editor->getRect(before));
    EXPECT_EQ(before, expected) << scale;  // hosts size their window before opening
    open(scale);
    ASSERT_TRUE(editor->getRect(after));
    EXPECT_EQ(after, expected) << scale;
    EXPECT_EQ(platform.window()->width, expected.right) << scale;
    EXPECT_EQ(platform.window()->height, expected.bottom) << scale;
    EXPECT_EQ(editor->getFrame()->backBuffer().width(), expected.right) << scale;
    EXPECT_EQ(editor->getFrame()->getSize(), (Rect{0, 0, 396, 530})) << scale;
    // Filtered down, the handles' transparent magenta must not leave pink fringes.
    const Surface& screen = editor->getFrame()->backBuffer();
    int pink = 0;
    for (uint32_t pixel : screen.data())
      pink += (pixel >> 16 & 0xff) >= 200 && (pixel >> 8 & 0xff) <= 80 && (pixel & 0xff) >= 200;
    EXPECT_EQ(pink, 0) << scale;
    editor->close();
    EXPECT_EQ(platform.windowCount(), 0) << scale;
  }

  // The system speaks when the host does not; the host beats the system; the environment,
  // snapped to the nearest step, beats both. Nonsense from any of them counts as silence.
  Rect size;
  platform.screenScale = 1.5;
  editor->setHostScale(0.0);
  editor->getRect(size);
  EXPECT_EQ(size.right, 594);
  editor->setHostScale(NAN);
  editor->getRect(size);
  EXPECT_EQ(size.right, 594);
  editor->setHostScale(2.0);
  editor->getRect(size);
  EXPECT_EQ(size.right, 792);
  setUiScale("1.3");
  editor->setHostScale(2.0);  // the closed panel answers from what it last worked out
  editor->getRect(size);
  EXPECT_EQ(size.right, 495);
  setUiScale("big");
  editor->setHostScale(2.0);
  editor->getRect(size);
  EXPECT_EQ(size.right, 792);
  setUiScale(nullptr);

  // The screen saying otherwise when the panel opens than when the host sized its window:
  // the host is asked to follow.
  editor->setHostScale(0.0);
  platform.screenScale = 1.0;
  editor->getRect(size);
  EXPECT_EQ(size.right, 396);
  platform.screenScale = 1.5;
  ASSERT_TRUE(editor->open(&parent));
  EXPECT_EQ(link.resizes, (std::vector<std::pair<int, int>>{{594, 795}}));
  editor->close();
  link.resizes.clear();

  // A host changing its scale while the panel is open: the panel rebuilds at the new size
  // in the same parent, asks the host once, and a repeat of the same scale changes nothing.
  open(2.0);
  link.setParameterAutomated(3, 0.75f);
  link.calls.clear();
  editor->setHostScale(3.0);
  EXPECT_EQ(link.resizes, (std::vector<std::pair<int, int>>{{1188, 1590}}));
  EXPECT_EQ(platform.windowCount(), 1);
  EXPECT_EQ(platform.window()->width, 1188);
  EXPECT_EQ(editor->getFrame()->widgetCount(), 65);
  EXPECT_EQ(tone()->getValue(), 0.75f);
  editor->setHostScale(3.0);
  EXPECT_EQ(link.resizes.size(), 1u);
  EXPECT_TRUE(edits().empty());  // rescaling edits nothing
  editor->close();
  EXPECT_EQ(platform.windowCount(), 0);
}

// At 1x, 2x and 3x the background is the generator's art for that density, pixel for pixel,
// and so is what the widgets leave of it.
TEST_F(PanelScaleTest, AtEachNativeScaleThePanelIsThatArtWhereNoWidgetLies) {
  for (int factor : {1, 2, 3}) {
    open(factor);
    std::vector<uint8_t> file;
    ASSERT_TRUE(panelBitmap(128, factor, file));
    Surface art;
    ASSERT_TRUE(decodeBmp(file.data(), file.size(), art));
    const Surface& screen = editor->getFrame()->backBuffer();
    ASSERT_EQ(art.width(), screen.width());
    ASSERT_EQ(art.height(), screen.height());
    // Widgets may draw a pixel outside their rectangles (outlines, handles): a margin of one.
    // The pickup slider lays its strings picture beyond its own rectangle, up to the bridge.
    std::vector<Rect> drawn{{167, 94, 380, 168}};
    for (int i = 0; i < editor->getFrame()->widgetCount(); ++i)
      drawn.push_back(editor->getFrame()->widgetAt(i)->getSize());
    std::vector<bool> covered(static_cast<size_t>(396 * 530), false);
    for (const Rect& r : drawn) {
      for (int y = std::max(r.top - 1, 0); y < std::min(r.bottom + 1, 530); ++y)
        for (int x = std::max(r.left - 1, 0); x < std::min(r.right + 1, 396); ++x)
          covered[static_cast<size_t>(y * 396 + x)] = true;
    }
    int compared = 0, differing = 0;
    for (int y = 0; y < screen.height(); ++y)
      for (int x = 0; x < screen.width(); ++x) {
        if (covered[static_cast<size_t>((y / factor) * 396 + x / factor)]) continue;
        ++compared;
        differing += screen.at(x, y) != art.at(x, y);
      }
    EXPECT_GT(compared, screen.width() * screen.height() / 2) << factor;
    EXPECT_EQ(differing, 0) << factor;
    editor->close();
  }
}

TEST_F(PanelScaleTest, ClicksDragsAndMenusAtDeviceCoordinatesDoWhatTheyDoAt1x) {
  struct Run {
    std::vector<Call> stepAndDrag;
    Point menuAt;
  };
  auto play = [this](double s) {
    link.setParameterAutomated(3, 0.25f);
    link.setParameterAutomated(20, 0.0f);
    open(s);
    link.calls.clear();
    press(device({286, 511}, s));                // the effect's step-up button
    const Point centre = device({145, 263}, s);  // Tone, dragged 40 logical pixels right
    std::vector<Point> path;
    for (int k = 1; k <= 4; ++k) path.push_back(device({145 + 10 * k, 263}, s));
    press(centre, path);
    Run run{edits(), {0, 0}};
    platform.menuChoice = -1;
    press(device({200, 20}, s));  // the play-mode list opens its menu under the text
    run.menuAt = platform.window()->lastMenuAt;
    EXPECT_EQ(platform.window()->shownScale(), s);
    // The logo's picture, drawn at the panel's scale where it belongs.
    press(device({70, 20}, s));
    const Surface& screen = editor->getFrame()->backBuffer();
    const Surface& picture =
        dynamic_cast<ValueWidget*>(editor->getFrame()->widgetAt(1))->getBackground()->pixels();
    EXPECT_EQ(picture.width(), scaledLength(364, s));
    int wrong = 0;
    for (int y = 0; y < picture.height() - 1; y += 3)
      for (int x = 0; x < picture.width() - 1; x += 3)
        wrong += screen.at(scaledLength(16, s) + x, scaledLength(52, s) + y) != picture.at(x, y);
    EXPECT_EQ(wrong, 0) << s;
    editor->close();
    return run;
  };
  const Run reference = play(1.0);
  ASSERT_GE(reference.stepAndDrag.size(), 6u);
  EXPECT_EQ(reference.stepAndDrag.back(), (Call{RecordingLink::kEndEdit, 3, 0.0f}));
  EXPECT_NEAR(link.getParameter(3), 0.25f + 40.0f / 200.0f, 1e-6f);
  for (double s : {1.5, 2.0, 3.0}) {
    const Run run = play(s);
    EXPECT_EQ(run.stepAndDrag, reference.stepAndDrag) << s;
    EXPECT_EQ(run.menuAt, (Point{scaledLength(160, s), scaledLength(25, s)})) << s;
  }
}

}  // namespace
}  // namespace vorlak::editortest
