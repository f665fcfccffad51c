// The instrument's own widgets in a headless editor: the hold button's single report and held
// picture, the fine knob's straight, fine and angle drags, its Ctrl reset, edit brackets and
// handle halves, the bitmap text's field and glyph cells, the step switch's stepping and
// frames, and the pickup slider's travel and overlay.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "editor/bitmap_text.h"
#include "editor/fine_knob.h"
#include "editor/hold_button.h"
#include "editor/pickup_slider.h"
#include "editor/platform/headless/headless_platform.h"
#include "editor/step_switch.h"
#include "editor/toolkit/pixmap.h"
#include "editor_fixture.h"

namespace vorlak::editortest {
namespace {

constexpr uint32_t kRedPixel = 0xff0000, kBluePixel = 0x0000ff, kGreenPixel = 0x00ff00;
constexpr uint32_t kWhitePixel = 0xffffff, kGreyPixel = 0x7f7f7f;

// What each report saw: the value, and how many begin and end edits the link had by then.
struct Report {
  float value;
  int begins, ends;
};

class Recorder : public ControlListener {
 public:
  explicit Recorder(const RecordingLink& edits) : link(edits) {}
  void valueChanged(Painter*, ValueWidget* control) override {
    reports.push_back({control->getValue(), link.countOf(RecordingLink::kBeginEdit),
                       link.countOf(RecordingLink::kEndEdit)});
  }
  std::vector<float> values() const {
    std::vector<float> out;
    for (const Report& r : reports) out.push_back(r.value);
    return out;
  }
  std::vector<Report> reports;
  const RecordingLink& link;
};

// A 400 x 200 panel in a headless window; the test adds what it needs.
class PanelEditor : public GuiEditor {
 public:
  explicit PanelEditor(EditorLink& link) : GuiEditor(link) { rectangle = {0, 0, 400, 200}; }
  bool open(void* parent) override {
    GuiEditor::open(parent);
    frame = std::make_unique<RootFrame>(Rect{0, 0, 400, 200}, parent, this);
    return true;
  }
};

// A picture whose upper half is `top` and lower half `bottom`.
Pixmap* halves(int width, int height, uint32_t top, uint32_t bottom) {
  Surface s(width, height, top);
  for (int y = height / 2; y < height; ++y)
    for (int x = 0; x < width; ++x) s.set(x, y, bottom);
  return Pixmap::fromSurface(s);
}

struct Step {
  Point at;
  int buttons;
};

class CustomWidgets : public ::testing::Test {
 protected:
  CustomWidgets() {
    platform.clock = 1000;
    setPlatform(&platform);
    editor = std::make_unique<PanelEditor>(link);
    editor->open(&parent);
  }
  ~CustomWidgets() override {
    editor->close();
    for (Pixmap* p : pictures) p->forget();
    editor.reset();
    setPlatform(nullptr);
  }

  Pixmap* keep(Pixmap* p) {
    pictures.push_back(p);
    return p;
  }
  template <typename W>
  W* add(W* widget) {
    editor->getFrame()->addWidget(widget);
    return widget;
  }
  // Presses at steps[0] and walks the steps: each point reaches the widget's loop with the
  // buttons of its own step; then every button goes up. `during` runs on each query.
  void drag(Widget& widget, std::vector<Step> steps, std::function<void(int)> during = {}) {
    const int n = static_cast<int>(steps.size());
    platform.buttonQueries = 0;
    platform.script = [this, steps, n, during](int query) {
      platform.pointer = steps[static_cast<size_t>(std::min(query, n - 1))].at;
      platform.buttons = query == 0   ? steps[0].buttons
                         : query <= n ? steps[static_cast<size_t>(query - 1)].buttons
                                      : 0;
      if (during) during(query);
    };
    platform.pointer = steps[0].at;
    std::unique_ptr<Painter> painter = editor->getFrame()->makePainter();
    widget.mouse(*painter, steps[0].at);
    platform.script = nullptr;
    platform.buttons = 0;
  }
  void click(Widget& widget, Point at, int buttons = kLeftButton) { drag(widget, {{at, buttons}}); }
  void draw(Widget& widget) { widget.draw(*editor->getFrame()->makePainter()); }
  uint32_t pixel(int x, int y) { return editor->getFrame()->backBuffer().at(x, y); }
  // The bounding box of the pixels of one colour inside area, and how many there are.
  std::pair<Rect, int> find(uint32_t colour, const Rect& area) {
    Rect box{area.right, area.bottom, area.left, area.top};
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (pixel(x, y) == colour) {
          ++count;
          box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                 std::max(box.bottom, y + 1)};
        }
    return {box, count};
  }
  int begins() const { return link.countOf(RecordingLink::kBeginEdit); }
  int ends() const { return link.countOf(RecordingLink::kEndEdit); }

  HeadlessPlatform platform;
  RecordingLink link;
  std::unique_ptr<PanelEditor> editor;
  int parent = 0;
  Recorder recorder{link};
  std::vector<Pixmap*> pictures;
};

// --- HoldButton ---

TEST_F(CustomWidgets, HoldButtonReportsOnceBeforeItsValueRisesEvenWhenReleasedAtOnce) {
  auto* button = add(new HoldButton({280, 7, 295, 21}, &recorder, 35, nullptr));
  click(*button, {285, 10});
  ASSERT_EQ(recorder.reports.size(), 1u);
  EXPECT_EQ(recorder.reports[0].value, 0.0f);
  EXPECT_EQ(button->getValue(), 0.0f);

  // Without the left button nothing happens; a disabled button takes nothing.
  click(*button, {285, 10}, kRightButton);
  button->setInputEnabled(false);
  click(*button, {285, 10});
  EXPECT_EQ(recorder.reports.size(), 1u);
}

TEST_F(CustomWidgets, HoldButtonShowsItsPressedPictureWhileHeldAndFallsBackSilently) {
  auto* button = add(new HoldButton({280, 7, 295, 21}, &recorder, 35,
                                    keep(halves(15, 28, kRedPixel, kBluePixel))));
  editor->getFrame()->drawWidget(nullptr);  // the first full draw lets idle redraws happen
  EXPECT_EQ(pixel(287, 14), kRedPixel);

  std::vector<float> held;
  uint32_t shownWhileHeld = 0;
  drag(*button, std::vector<Step>(6, {{285, 10}, kLeftButton}), [&](int query) {
    platform.clock += 100;  // every idle step is due and redraws
    if (query >= 1) held.push_back(button->getValue());
    if (query == 5) shownWhileHeld = pixel(287, 14);
  });
  EXPECT_EQ(held, std::vector<float>(7, 1.0f));  // six held passes and the release query
  EXPECT_EQ(shownWhileHeld, kBluePixel);
  ASSERT_EQ(recorder.reports.size(), 1u);
  EXPECT_EQ(recorder.reports[0].value, 0.0f);
  EXPECT_EQ(button->getValue(), 0.0f);

  platform.clock += 100;
  editor->idle();
  EXPECT_EQ(pixel(287, 14), kRedPixel);
  EXPECT_EQ(recorder.reports.size(), 1u);
}

// --- FineKnob ---

class FineKnobTest : public CustomWidgets {
 protected:
  // A 40 x 40 knob at (100, 50): its centre is (120, 70).
  FineKnob* makeKnob(float value, Pixmap* handle = nullptr, Pixmap* background = nullptr) {
    auto* knob = add(new FineKnob({100, 50, 140, 90}, &recorder, 7, background, handle, {0, 0}));
    knob->setValue(value);
    knob->setDirty(false);
    return knob;
  }
};

TEST_F(FineKnobTest, StraightDragMovesHalfTheRangePer100PixelsRightAndUpBothCount) {
  FineKnob* knob = makeKnob(0.25f);
  drag(*knob, {{{120, 70}, kLeftButton}, {{145, 70}, kLeftButton}, {{220, 70}, kLeftButton}});
  EXPECT_NEAR(knob->getValue(), 0.75f, 1e-6);
  EXPECT_NEAR(recorder.reports.at(0).value, 0.375f, 1e-6);  // 25 pixels: 0.125

  knob->setValue(0.25f);
  recorder.reports.clear();
  drag(*knob, {{{120, 70}, kLeftButton}, {{170, 20}, kLeftButton}, {{220, -30}, kLeftButton}});
  EXPECT_NEAR(recorder.reports.at(0).value, 0.75f, 1e-6);  // 50 right, 50 up: 0.5
  EXPECT_EQ(knob->getValue(), 1.0f);                       // 0.25 + 1.0, clamped

  drag(*knob, {{{120, 70}, kLeftButton}, {{20, 70}, kLeftButton}, {{20, 370}, kLeftButton}});
  EXPECT_EQ(knob->getValue(), 0.0f);
}

TEST_F(FineKnobTest, ShiftMakesTheStepFinerAndPressingItHalfwayKeepsTheValue) {
  FineKnob* knob = makeKnob(0.25f);
  drag(*knob, {{{120, 70}, kLeftButton | kShift}, {{220, 70}, kLeftButton | kShift}});
  EXPECT_NEAR(knob->getValue(), 0.45f, 1e-6);

  knob->setValue(0.25f);
  recorder.reports.clear();
  drag(*knob, {{{120, 70}, kLeftButton},
               {{170, 70}, kLeftButton},
               {{171, 70}, kLeftButton | kShift},
               {{221, 70}, kLeftButton | kShift}});
  // At the change the value is still the coarse 51 / 200 above the start; from then on each
  // pixel adds 1 / 500.
  const std::vector<float> values = recorder.values();
  ASSERT_EQ(values.size(), 3u);
  EXPECT_NEAR(values[0], 0.5f, 1e-6);
  EXPECT_NEAR(values[1], 0.505f, 1e-5);
  EXPECT_NEAR(values[2], 0.605f, 1e-5);
}

TEST_F(FineKnobTest, CtrlClickGoesToTheDefaultWhateverElseIsHeldAndOpensNoEdit) {
  FineKnob* knob = makeKnob(0.9f);
  click(*knob, {120, 70}, kLeftButton | kControl | kShift | kAlt | kRightButton | kMiddleButton);
  EXPECT_EQ(knob->getValue(), 0.5f);
  ASSERT_EQ(recorder.reports.size(), 1u);
  EXPECT_EQ(recorder.reports[0].value, 0.5f);
  knob->setValue(0.2f);
  click(*knob, {120, 70}, kLeftButton | kControl);
  EXPECT_EQ(knob->getValue(), 0.5f);
  EXPECT_EQ(begins(), 0);
  EXPECT_EQ(ends(), 0);

  knob->setValue(0.9f);
  click(*knob, {120, 70}, kControl | kRightButton);  // no left button: nothing
  EXPECT_EQ(knob->getValue(), 0.9f);
}

TEST_F(FineKnobTest, EveryDragReachesTheHostWithOneBeginBeforeAndOneEndAfterItsReports) {
  FineKnob* knob = makeKnob(0.25f);
  drag(*knob, {{{120, 70}, kLeftButton}, {{130, 70}, kLeftButton}, {{140, 70}, kLeftButton}});
  ASSERT_EQ(recorder.reports.size(), 2u);
  for (const Report& r : recorder.reports) {
    EXPECT_EQ(r.begins, 1);
    EXPECT_EQ(r.ends, 0);
  }
  EXPECT_EQ(begins(), 1);
  EXPECT_EQ(ends(), 1);
  EXPECT_EQ(link.calls.back(), (RecordingLink::Call{RecordingLink::kEndEdit, 7, 0.0f}));

  drag(*knob, {{{120, 70}, kLeftButton | kAlt}, {{120, 55}, kLeftButton | kAlt}});
  EXPECT_EQ(begins(), 2);
  EXPECT_EQ(ends(), 2);
}

TEST_F(FineKnobTest, AltDragFollowsTheAngleAndAJumpAcrossTheGapPinsTheEnd) {
  FineKnob* knob = makeKnob(0.0f);
  // Radius 20 around (120, 70): straight up is 0.5; an angle a below the right-hand side is
  // (225 + a) / 270 of the way.
  drag(*knob, {{{120, 55}, kLeftButton | kAlt}});
  EXPECT_NEAR(knob->getValue(), 0.5f, 0.02f);
  recorder.reports.clear();
  drag(*knob, {{{120, 55}, kLeftButton | kAlt},
               {{133, 78}, kLeftButton | kAlt},    // about 32 degrees below the right: 0.95
               {{112, 83}, kLeftButton | kAlt},    // the gap beside the start
               {{106, 65}, kLeftButton | kAlt}});  // back on the scale near 0.24
  const std::vector<float> values = recorder.values();
  ASSERT_GE(values.size(), 2u);
  EXPECT_NEAR(values[0], 0.95f, 0.01f);
  for (size_t i = 1; i < values.size(); ++i) EXPECT_EQ(values[i], 1.0f) << i;
  EXPECT_EQ(knob->getValue(), 1.0f);
}

TEST_F(FineKnobTest, HandleHalfSitsOnTheCircleAndShowsItsPressedHalfWhileDragged) {
  // Handle 5 x 10: red on top with one transparent (white) corner pixel, blue below.
  Surface handlePixels(5, 10, kRedPixel);
  for (int y = 5; y < 10; ++y)
    for (int x = 0; x < 5; ++x) handlePixels.set(x, y, kBluePixel);
  handlePixels.set(0, 0, kWhitePixel);
  Pixmap* handle = keep(Pixmap::fromSurface(handlePixels));
  Pixmap* background = keep(Pixmap::fromSurface(Surface(40, 40, kGreenPixel)));
  FineKnob* knob = makeKnob(0.0f, handle, background);
  const Rect area{100, 50, 140, 90};

  // Radius 20, inset (int)(5 x 0.5 + 2.5) = 5: the handle's point lies 15 pixels from the
  // centre, at (9, 31), (20, 5) and (31, 31) for 0, 0.5 and 1; the 5 x 5 half is placed 2
  // left and 2 up of it (w / 2, h / 4).
  const std::pair<float, Point> expected[] = {
      {0.0f, {107, 79}}, {0.5f, {118, 53}}, {1.0f, {129, 79}}};
  for (const auto& [value, at] : expected) {
    knob->setValue(value);
    draw(*knob);
    const auto [box, count] = find(kRedPixel, area);
    EXPECT_EQ(box, (Rect{at.x, at.y, at.x + 5, at.y + 5})) << value;
    EXPECT_EQ(count, 24) << value;
    EXPECT_EQ(pixel(at.x, at.y), kGreenPixel) << value;  // the transparent corner
    EXPECT_EQ(find(kBluePixel, area).second, 0) << value;
  }

  knob->setValue(0.5f);
  draw(*knob);
  std::pair<Rect, int> pressed{}, redWhilePressed{};
  bool draggingSeen = false;
  drag(*knob, {{{120, 55}, kLeftButton}, {{120, 55}, kLeftButton}}, [&](int query) {
    if (query != 1) return;
    pressed = find(kBluePixel, area);
    redWhilePressed = find(kRedPixel, area);
    draggingSeen = knob->isDragging();
  });
  EXPECT_TRUE(draggingSeen);
  EXPECT_EQ(pressed.first, (Rect{118, 53, 123, 58}));
  EXPECT_EQ(pressed.second, 25);
  EXPECT_EQ(redWhilePressed.second, 0);
  EXPECT_FALSE(knob->isDragging());
  EXPECT_EQ(find(kRedPixel, area).second, 24);  // drawn again after the drag
  EXPECT_EQ(find(kBluePixel, area).second, 0);
}

// --- BitmapText ---

// A font of 16 x 6 cells of 8 x 8 whose every pixel names its code and place in the cell.
uint32_t fontPixel(int code, int x, int y) {
  return (static_cast<uint32_t>(code) << 8) | static_cast<uint32_t>(x << 4 | y);
}

Pixmap* syntheticFont() {
  Surface s(128, 48);
  for (int code = 32; code < 128; ++code)
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        s.set((code & 15) * 8 + x, (code - 32) / 16 * 8 + y, fontPixel(code, x, y));
  return Pixmap::fromSurface(s);
}

TEST_F(CustomWidgets, BitmapTextKeepsItsFieldWidthPaddingWithBlanksAndCuttingTheRest) {
  Pixmap* font = keep(syntheticFont());
  auto* view = add(new BitmapText({160, 17, 260, 25}, font, 12, false, -1, 1));
  EXPECT_EQ(view->glyphWidth(), 8);
  EXPECT_EQ(view->glyphHeight(), 8);
  view->setText("Solo dynamic%s", " and more");
  EXPECT_STREQ(view->text(), "Solo dynamic");
  EXPECT_TRUE(view->isDirty());
  view->setText("%s", "Dry");
  EXPECT_STREQ(view->text(), "Dry         ");
  view->setDirty(false);
  const char* empty = "";
  const char* none = nullptr;
  view->setText(empty);
  view->setText(none);
  EXPECT_STREQ(view->text(), "Dry         ");
  EXPECT_FALSE(view->isDirty());
  EXPECT_EQ(font->referenceCount(), 1);
}

TEST_F(CustomWidgets, BitmapTextDrawsEachCharactersCellSevenPixelsApartOverWhatWasThere) {
  Pixmap* font = keep(syntheticFont());
  auto* view = add(new BitmapText({160, 17, 260, 25}, font, 12, false, -1, 1));
  Surface& buffer = editor->getFrame()->backBuffer();
  view->setText("Solo dynamic");
  draw(*view);
  for (int y = 17; y < 25; ++y) buffer.set(245, y, kGreyPixel);  // just past the last glyph
  view->setText("Dry");
  draw(*view);
  EXPECT_FALSE(view->isDirty());
  const char* shown = "Dry         ";
  for (int k = 0; k < 12; ++k) {
    const int code = static_cast<unsigned char>(shown[k]);
    // The next glyph covers the last column of this one; the last glyph keeps all eight.
    const int columns = k == 11 ? 8 : 7;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < columns; ++x)
        ASSERT_EQ(pixel(160 + 7 * k + x, 17 + y), fontPixel(code, x, y))
            << k << " " << x << "," << y;
  }
  EXPECT_EQ(pixel(245, 20), kGreyPixel);  // 11 advances of 7 and a last glyph of 8

  // A line feed starts again at the left one glyph and the line spacing lower; other control
  // characters take no room.
  view->setText("A\nB\tC");
  draw(*view);
  EXPECT_EQ(pixel(160, 17), fontPixel('A', 0, 0));
  EXPECT_EQ(pixel(160, 26), fontPixel('B', 0, 0));
  EXPECT_EQ(pixel(167, 26), fontPixel('C', 0, 0));
}

// --- StepSwitch ---

TEST_F(CustomWidgets, StepSwitchStepsToTheNextStateAndWrapsWithOneEditEach) {
  auto* sw = add(new StepSwitch({349, 3, 385, 41}, &recorder, 26, nullptr, 2));
  const std::pair<float, float> steps[] = {{0.0f, 1.0f}, {1.0f, 0.0f}, {0.4f, 1.0f}};
  int expectedReports = 0;
  for (const auto& [before, after] : steps) {
    sw->setValue(before);
    sw->setDirty(false);
    click(*sw, {360, 20});
    EXPECT_EQ(sw->getValue(), after) << before;
    EXPECT_EQ(static_cast<int>(recorder.reports.size()), ++expectedReports) << before;
    EXPECT_EQ(recorder.reports.back().begins, expectedReports);
    EXPECT_EQ(recorder.reports.back().ends, expectedReports - 1);
  }
  EXPECT_EQ(ends(), 3);
  click(*sw, {360, 20}, kRightButton);
  EXPECT_EQ(begins(), 3);
  EXPECT_EQ(sw->getValue(), 1.0f);
}

TEST_F(CustomWidgets, StepSwitchShowsTheFrameOfItsValueSideBySideOrStacked) {
  Surface acrossPixels(72, 38, kRedPixel);
  for (int y = 0; y < 38; ++y)
    for (int x = 36; x < 72; ++x) acrossPixels.set(x, y, kBluePixel);
  Pixmap* across = keep(Pixmap::fromSurface(acrossPixels));
  auto* sw = add(new StepSwitch({349, 3, 385, 41}, &recorder, 26, across, 2));
  EXPECT_TRUE(sw->sideBySide());
  EXPECT_EQ(sw->frameSize(), 36);
  const Rect area{349, 3, 385, 41};
  sw->setValue(1.0f);
  draw(*sw);
  EXPECT_EQ(find(kBluePixel, area).second, 36 * 38);
  EXPECT_FALSE(sw->isDirty());
  sw->setValue(0.4f);
  draw(*sw);
  EXPECT_EQ(find(kRedPixel, area).second, 36 * 38);
  EXPECT_EQ(across->referenceCount(), 1);

  // Wider than tall: the states are stacked.
  auto* stacked = add(new StepSwitch({10, 10, 48, 46}, &recorder, 27, nullptr, 2));
  EXPECT_FALSE(stacked->sideBySide());
  stacked->setBackground(keep(halves(38, 72, kRedPixel, kBluePixel)));
  EXPECT_EQ(stacked->frameSize(), 36);
  EXPECT_TRUE(stacked->isDirty());
  stacked->setValue(1.0f);
  draw(*stacked);
  EXPECT_EQ(find(kBluePixel, {10, 10, 48, 46}).second, 38 * 36);
  EXPECT_TRUE((StepSwitch({0, 0, 700, 650}, nullptr, 0, nullptr, 2).sideBySide()));
}

// --- PickupSlider ---

TEST_F(CustomWidgets, PickupSliderTravels180PixelsAndItsOverlayReachesPastIt) {
  Pixmap* background = keep(Pixmap::fromSurface(Surface(203, 112, kGreenPixel)));
  Pixmap* handle = keep(Pixmap::fromSurface(Surface(23, 112, kRedPixel)));
  // The overlay is see-through except for its top row and its right-hand column.
  Surface overlayPixels(213, 74, kWhitePixel);
  for (int x = 0; x < 213; ++x) overlayPixels.set(x, 0, kBluePixel);
  for (int y = 0; y < 74; ++y) overlayPixels.set(212, y, kBluePixel);
  Pixmap* overlay = keep(Pixmap::fromSurface(overlayPixels));
  auto* slider =
      add(new PickupSlider({167, 77, 370, 189}, &recorder, 2, background, handle, overlay, {0, 0}));
  EXPECT_EQ(slider->travelRange(), 180);
  EXPECT_EQ(overlay->referenceCount(), 1);

  const Rect row{160, 80, 390, 81};
  slider->setValue(0.0f);
  draw(*slider);
  EXPECT_EQ(find(kRedPixel, row).first, (Rect{167, 80, 190, 81}));
  slider->setValue(1.0f);
  draw(*slider);
  EXPECT_EQ(find(kRedPixel, row).first, (Rect{347, 80, 370, 81}));
  EXPECT_FALSE(slider->isDirty());

  EXPECT_EQ(pixel(200, 93), kGreenPixel);  // above the overlay: the slider itself
  EXPECT_EQ(pixel(200, 94), kBluePixel);   // the overlay's top row, 17 below the slider's top
  EXPECT_EQ(pixel(200, 95), kGreenPixel);  // seen through the overlay
  EXPECT_EQ(find(kBluePixel, {370, 0, 400, 200}).first, (Rect{370, 94, 380, 168}));

  // A click takes the handle's centre to the pointer: 90 pixels along is half the travel;
  // with Shift the next 90 pixels count a tenth.
  drag(*slider, {{{267, 100}, kLeftButton}, {{357, 100}, kLeftButton | kShift}});
  ASSERT_GE(recorder.reports.size(), 2u);
  EXPECT_NEAR(recorder.reports[0].value, 0.5f, 1e-6);
  EXPECT_NEAR(slider->getValue(), 0.55f, 1e-6);
}

}  // namespace
}  // namespace vorlak::editortest
