// The standard controls in a headless frame: knob geometry and drags, slider travel, popup
// list entries and menus, toggle clicks and pictures, the logo area's modal display.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "editor/platform/headless/headless_platform.h"
#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/popup_list.h"
#include "editor/toolkit/root_frame.h"
#include "editor/toolkit/rotary_knob.h"
#include "editor/toolkit/slider.h"
#include "editor/toolkit/splash_area.h"
#include "editor/toolkit/toggle_button.h"

namespace vorlak {
namespace {

constexpr uint32_t kRedPixel = 0xff0000, kBluePixel = 0x0000ff, kGreenPixel = 0x00ff00;
constexpr uint32_t kGreyPixel = 0x7f7f7f, kYellowPixel = 0xffff00;
constexpr double kDegree = std::numbers::pi / 180.0;

class Recorder : public ControlListener {
 public:
  void valueChanged(Painter*, ValueWidget* control) override {
    controls.push_back(control);
    values.push_back(control->getValue());
  }
  std::vector<ValueWidget*> controls;
  std::vector<float> values;
};

// A picture whose upper half is `top` and lower half `bottom`.
Pixmap* picture(int width, int height, uint32_t top, uint32_t bottom) {
  Surface s(width, height, top);
  for (int y = height / 2; y < height; ++y)
    for (int x = 0; x < width; ++x) s.set(x, y, bottom);
  return Pixmap::fromSurface(s);
}

struct Step {
  Point at;
  int buttons;
};

// A 200 x 200 frame in a headless window. Widgets added to it belong to it.
class Panel {
 public:
  Panel() {
    setPlatform(&platform);
    frame = std::make_unique<RootFrame>(Rect{0, 0, 200, 200}, &parentWindow, nullptr);
  }
  ~Panel() {
    frame.reset();
    setPlatform(nullptr);
  }
  template <typename W>
  W* add(W* widget) {
    frame->addWidget(widget);
    return widget;
  }
  // Presses at steps[0] and walks the steps: each point reaches the widget's loop with the
  // buttons of its own step; then every button goes up.
  void drag(Widget& widget, std::vector<Step> steps) {
    const int n = static_cast<int>(steps.size());
    platform.buttonQueries = 0;
    platform.script = [this, steps, n](int query) {
      platform.pointer = steps[static_cast<size_t>(std::min(query, n - 1))].at;
      platform.buttons = query == 0   ? steps[0].buttons
                         : query <= n ? steps[static_cast<size_t>(query - 1)].buttons
                                      : 0;
    };
    platform.pointer = steps[0].at;
    std::unique_ptr<Painter> painter = frame->makePainter();
    widget.mouse(*painter, steps[0].at);
    platform.script = nullptr;
    platform.buttons = 0;
  }
  // One click routed by the frame.
  void click(Point at, int buttons = kLeftButton) {
    platform.pointer = at;
    platform.buttons = buttons;
    std::unique_ptr<Painter> painter = frame->makePainter();
    frame->mouse(*painter, at);
    platform.buttons = 0;
  }
  uint32_t pixel(int x, int y) { return frame->backBuffer().at(x, y); }

  HeadlessPlatform platform;
  int parentWindow = 0;
  std::unique_ptr<RootFrame> frame;
  Recorder recorder;
};

// The point at `degrees` on a circle of radius r around (c, c), y downwards.
Point onCircle(double degrees, int c, double r) {
  return {static_cast<int>(std::lround(c + r * std::cos(degrees * kDegree))),
          static_cast<int>(std::lround(c - r * std::sin(degrees * kDegree)))};
}

TEST(RotaryKnob, HandleSitsAtLowerLeftTopAndLowerRight) {
  RotaryKnob knob({0, 0, 40, 40}, nullptr, 0, nullptr, nullptr, {0, 0});
  // Radius 20, inset 3: the handle runs on a circle of 17 pixels.
  const std::pair<float, Point> expected[] = {{0.0f, {8, 32}}, {0.5f, {20, 3}}, {1.0f, {32, 32}}};
  for (const auto& [value, at] : expected) {
    knob.setValue(value);
    Point p;
    knob.valueToPoint(p);
    EXPECT_EQ(p, at) << value;
  }
  Pixmap* handle = picture(5, 10, kRedPixel, kBluePixel);
  knob.setHandleBitmap(handle);
  handle->forget();
  EXPECT_EQ(knob.getInset(), 5);
}

TEST(RotaryKnob, PointsGiveTheirValueAndTheBottomGapSplitsBetweenTheEnds) {
  RotaryKnob knob({0, 0, 400, 400}, nullptr, 0, nullptr, nullptr, {0, 0});
  for (int i = 0; i <= 10; ++i) {
    const double v = i / 10.0;
    EXPECT_NEAR(knob.valueFromPoint(onCircle(225.0 - 270.0 * v, 200, 150)), v, 0.005) << v;
  }
  for (double degrees : {226.0, 250.0, 268.0})
    EXPECT_EQ(knob.valueFromPoint(onCircle(degrees, 200, 150)), 0.0f);
  for (double degrees : {272.0, 290.0, 314.0})
    EXPECT_EQ(knob.valueFromPoint(onCircle(degrees, 200, 150)), 1.0f);

  // Counter-clockwise travel mirrors it: 0 at -45 degrees, 1 at 225 degrees.
  knob.setStartAngle(static_cast<float>(-45.0 * kDegree));
  knob.setRangeAngle(static_cast<float>(270.0 * kDegree));
  EXPECT_NEAR(knob.valueFromPoint(onCircle(90.0, 200, 150)), 0.5, 0.005);
  EXPECT_EQ(knob.valueFromPoint(onCircle(290.0, 200, 150)), 0.0f);
  EXPECT_EQ(knob.valueFromPoint(onCircle(250.0, 200, 150)), 1.0f);
}

TEST(RotaryKnob, LinearDragStepsPerPixelAndShiftRebasesWithoutAJump) {
  Panel panel;
  auto* knob =
      panel.add(new RotaryKnob({0, 0, 40, 40}, &panel.recorder, 7, nullptr, nullptr, {0, 0}));
  const int linear = kLeftButton | kAlt;  // Alt flips the default angle mode to straight drags
  knob->setValue(0.25f);
  panel.drag(*knob, {{{20, 20}, linear}, {{70, 20}, linear}, {{120, 20}, linear}});
  EXPECT_NEAR(knob->getValue(), 0.75f, 1e-5);
  EXPECT_EQ(panel.frame->getFocusWidget(), knob);

  knob->setValue(0.25f);
  panel.drag(*knob, {{{20, 20}, linear}, {{20, -30}, linear}});  // up counts like right
  EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5);

  knob->setValue(0.25f);
  panel.drag(*knob, {{{20, 20}, linear | kShift}, {{80, 20}, linear | kShift}});
  EXPECT_NEAR(knob->getValue(), 0.45f, 1e-5);  // 60 pixels of range / 300

  knob->setValue(0.25f);
  knob->setDirty(false);  // as drawn: only changes are reported
  panel.recorder.values.clear();
  panel.drag(*knob, {{{20, 20}, linear},
                     {{60, 20}, linear},
                     {{90, 20}, linear | kShift},
                     {{120, 20}, linear | kShift}});
  ASSERT_EQ(panel.recorder.values.size(), 3u);
  EXPECT_NEAR(panel.recorder.values[0], 0.45f, 1e-5);
  EXPECT_NEAR(panel.recorder.values[1], 0.60f, 1e-5);  // the step changes from here on
  EXPECT_NEAR(panel.recorder.values[2], 0.70f, 1e-5);  // 30 pixels at range / 300

  knob->setValue(0.9f);
  panel.drag(*knob, {{{20, 20}, linear}, {{200, 20}, linear}});
  EXPECT_EQ(knob->getValue(), 1.0f);
}

TEST(RotaryKnob, CircularDragThroughTheGapStaysAtTheEndItCameFrom) {
  Panel panel;
  auto* knob =
      panel.add(new RotaryKnob({0, 0, 100, 100}, &panel.recorder, 7, nullptr, nullptr, {0, 0}));
  // From near the maximum clockwise into the gap, across its middle and on to its far half.
  panel.drag(*knob, {{onCircle(-20, 50, 40), kLeftButton},
                     {onCircle(-40, 50, 40), kLeftButton},
                     {onCircle(-80, 50, 40), kLeftButton},
                     {onCircle(-110, 50, 40), kLeftButton},
                     {onCircle(-130, 50, 40), kLeftButton}});
  ASSERT_FALSE(panel.recorder.values.empty());
  for (float v : panel.recorder.values) EXPECT_GT(v, 0.9f);
  EXPECT_EQ(knob->getValue(), 1.0f);

  // And back from the minimum counter-clockwise: pinned at 0.
  panel.recorder.values.clear();
  panel.drag(*knob, {{onCircle(200, 50, 40), kLeftButton},
                     {onCircle(240, 50, 40), kLeftButton},
                     {onCircle(290, 50, 40), kLeftButton},
                     {onCircle(310, 50, 40), kLeftButton}});
  EXPECT_EQ(knob->getValue(), 0.0f);
  for (float v : panel.recorder.values) EXPECT_LT(v, 0.1f);
}

TEST(RotaryKnob, CtrlClickWheelAndArrowKeys) {
  Panel panel;
  auto* knob =
      panel.add(new RotaryKnob({0, 0, 40, 40}, &panel.recorder, 7, nullptr, nullptr, {0, 0}));
  knob->setValue(0.2f);
  panel.drag(*knob, {{{5, 5}, kLeftButton | kControl}});
  EXPECT_EQ(knob->getValue(), 0.5f);
  EXPECT_EQ(panel.recorder.values, std::vector<float>{0.5f});

  std::unique_ptr<Painter> painter = panel.frame->makePainter();
  EXPECT_TRUE(knob->wheel(painter.get(), {0, 0}, 2.0f));
  EXPECT_NEAR(knob->getValue(), 0.7f, 1e-6);
  panel.platform.buttons = kShift;
  knob->wheel(painter.get(), {0, 0}, -1.0f);
  EXPECT_NEAR(knob->getValue(), 0.69f, 1e-6);
  panel.platform.buttons = 0;
  knob->wheel(painter.get(), {0, 0}, 9.0f);
  EXPECT_EQ(knob->getValue(), 1.0f);

  KeyStroke down{0, kKeyDown, 0}, upFine{0, kKeyUp, kModifierShift}, other{'a', 0, 0};
  EXPECT_EQ(knob->keyDown(down), 1);
  EXPECT_NEAR(knob->getValue(), 0.9f, 1e-6);
  EXPECT_EQ(knob->keyDown(upFine), 1);
  EXPECT_NEAR(knob->getValue(), 0.91f, 1e-6);
  EXPECT_EQ(knob->keyDown(other), -1);

  knob->setInputEnabled(false);
  EXPECT_FALSE(knob->wheel(painter.get(), {0, 0}, 1.0f));
}

class SliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Pixmap* handle = picture(20, 20, kRedPixel, kRedPixel);
    Pixmap* back = picture(200, 200, kGreenPixel, kGreenPixel);
    // 100 pixels wide, the handle travelling 80 of them: as the pickup slider is built.
    slider = panel.add(new Slider({20, 10, 120, 30}, &panel.recorder, 2, 20, 100, handle, back,
                                  {0, 0}, Slider::kHorizontal | Slider::kLeftIsZero));
    handle->forget();
    back->forget();
  }
  // The columns of the slider's row that show the handle, as a string of 'H' and '.'.
  std::string row() {
    std::unique_ptr<Painter> painter = panel.frame->makePainter();
    slider->draw(*painter);
    std::string s;
    for (int x = 10; x < 130; ++x) s += panel.pixel(x, 20) == kRedPixel ? 'H' : '.';
    return s;
  }
  Panel panel;
  Slider* slider;
};

TEST_F(SliderTest, HandleRunsFromTheLeftEndToTheRightEndAndNoFurther) {
  slider->setValue(0.0f);
  EXPECT_EQ(row(), std::string(10, '.') + std::string(20, 'H') + std::string(90, '.'));
  slider->setValue(1.0f);
  EXPECT_EQ(row(), std::string(90, '.') + std::string(20, 'H') + std::string(10, '.'));
  EXPECT_EQ(panel.pixel(50, 20), kGreenPixel);  // background composed under the handle
  EXPECT_EQ(panel.pixel(125, 20), 0u);          // nothing drawn beside the control
  // Out-of-range values stay within the travel's limits, 0 to 100 inside the control.
  slider->setValue(1.1f);
  EXPECT_EQ(slider->handleRect(), (Rect{88, 0, 100, 20}));
  slider->setValue(-0.1f);
  EXPECT_EQ(slider->handleRect(), (Rect{0, 0, 20, 20}));
}

TEST_F(SliderTest, DragCentresTheHandleOnThePointerClampsAndShiftGoesTenTimesSlower) {
  // The handle's centre (20 + 10 - 1) sits at 29 for 0, 109 for 1.
  panel.drag(*slider, {{{69, 20}, kLeftButton}});
  EXPECT_FLOAT_EQ(slider->getValue(), 0.5f);
  panel.drag(*slider, {{{69, 20}, kLeftButton}, {{300, 20}, kLeftButton}});
  EXPECT_EQ(slider->getValue(), 1.0f);
  EXPECT_EQ(row(), std::string(90, '.') + std::string(20, 'H') + std::string(10, '.'));
  panel.drag(*slider, {{{69, 20}, kLeftButton}, {{-40, 20}, kLeftButton}});
  EXPECT_EQ(slider->getValue(), 0.0f);

  // Shift taken halfway: the reference is the value of that moment, 0.5.
  panel.drag(*slider, {{{69, 20}, kLeftButton}, {{109, 20}, kLeftButton | kShift}});
  EXPECT_FLOAT_EQ(slider->getValue(), 0.55f);

  slider->setValue(0.1f);
  panel.drag(*slider, {{{69, 20}, kLeftButton | kControl}});
  EXPECT_EQ(slider->getValue(), 0.5f);
}

TEST(PopupList, EntriesMarkersInsertionAndCurrentIndex) {
  PopupList list({0, 0, 50, 10}, nullptr, 0, nullptr, nullptr, 0);
  EXPECT_EQ(list.getCurrent(), -1);
  for (const char* text : {"A", "-", "-TGroup", "B", "C"}) EXPECT_TRUE(list.addEntry(text));
  EXPECT_EQ(list.count(), 5);
  EXPECT_EQ(list.getCurrent(), 0);

  EXPECT_TRUE(list.setCurrent(4));
  char text[256];
  EXPECT_EQ(list.getCurrent(text, true), 4);
  EXPECT_STREQ(text, "C");
  EXPECT_EQ(list.getCurrent(nullptr, false), 2);  // separator and title not counted
  EXPECT_FALSE(list.setCurrent(1, true));         // a separator cannot be current
  EXPECT_EQ(list.getCurrent(), 4);
  EXPECT_TRUE(list.setCurrent(1, false));  // the second choice, "B"
  EXPECT_EQ(list.getCurrent(), 3);

  EXPECT_TRUE(list.addEntry("Z", 0));
  EXPECT_TRUE(list.addEntry("Y", 2));
  EXPECT_TRUE(list.addEntry("Last", 99));
  EXPECT_EQ(list.getCurrent(text), 5);
  EXPECT_STREQ(text, "B");
  EXPECT_EQ(list.indexOf("Last"), 7);
  EXPECT_EQ(list.indexOf("Y"), 2);

  list.setValue(6.0f);
  EXPECT_EQ(list.getCurrent(), 6);
  EXPECT_EQ(list.getValue(), 6.0f);
  list.setValue(8.0f);  // past the end: ignored
  EXPECT_EQ(list.getCurrent(), 6);

  EXPECT_TRUE(list.addEntry(std::string(300, 'x').c_str()));
  EXPECT_EQ(list.entry(8).size(), 255u);
  while (list.count() < PopupList::kMaxEntries) ASSERT_TRUE(list.addEntry("more"));
  EXPECT_FALSE(list.addEntry("one too many"));
}

TEST(PopupList, ChoosingFromTheMenuSetsTheEntryNumberAndReportsIt) {
  Panel panel;
  auto* list = panel.add(new PopupList({20, 30, 120, 40}, &panel.recorder, 24, nullptr, nullptr,
                                       PopupList::kCheckCurrent));
  for (const char* text :
       {"None", "AutoChords", "PwrChords", "Strumming", "Solo fixed", "Solo dynamic"})
    list->addEntry(text);
  list->setCurrent(1);

  panel.platform.menuChoice = 3;
  panel.click({50, 35});
  const std::vector<MenuEntry>& shown = panel.platform.window()->lastMenu;
  ASSERT_EQ(shown.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(shown[static_cast<size_t>(i)].id, i);
    EXPECT_EQ(shown[static_cast<size_t>(i)].checked, i == 1) << i;
  }
  EXPECT_EQ(panel.platform.window()->lastMenuAt, (Point{20, 40}));
  EXPECT_EQ(list->getValue(), 3.0f);
  EXPECT_EQ(list->getCurrent(), 3);
  EXPECT_EQ(panel.recorder.controls, std::vector<ValueWidget*>{list});
  EXPECT_EQ(panel.frame->getFocusWidget(), nullptr);

  panel.platform.menuChoice = -1;  // dismissed
  panel.click({50, 35});
  EXPECT_EQ(panel.recorder.controls.size(), 1u);
  EXPECT_EQ(list->getCurrent(), 3);
  EXPECT_TRUE(panel.platform.window()->lastMenu[3].checked);

  list->setStyle(PopupList::kCheckCurrent | PopupList::kMenuAtTop);
  panel.click({50, 35}, kRightButton);
  EXPECT_EQ(panel.platform.window()->lastMenuAt, (Point{20, 30}));
}

TEST(PopupList, SubListIdsFollowThisListThenTheSubListsDepthFirst) {
  Panel panel;
  auto* list = panel.add(new PopupList({0, 0, 50, 10}, &panel.recorder, 1, nullptr, nullptr, 0));
  auto* sub = new PopupList({0, 0, 50, 10}, nullptr, 2, nullptr, nullptr, 0);
  list->addEntry("A");
  list->addSubList(sub, "More");
  list->addEntry("-GOff");
  sub->addEntry("x");
  sub->addEntry("y");
  sub->forget();

  panel.platform.menuChoice = 4;
  panel.click({5, 5});
  const std::vector<MenuEntry>& shown = panel.platform.window()->lastMenu;
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_EQ(shown[0].id, 0);
  EXPECT_EQ(shown[1].kind, MenuEntry::kSubmenuBegin);
  EXPECT_EQ(shown[1].text, "More");
  EXPECT_EQ(shown[2].id, 3);
  EXPECT_EQ(shown[3].id, 4);
  EXPECT_EQ(shown[4].kind, MenuEntry::kSubmenuEnd);
  EXPECT_EQ(shown[5].kind, MenuEntry::kGreyed);
  EXPECT_EQ(shown[5].text, "Off");
  EXPECT_EQ(sub->getCurrent(), 1);
  EXPECT_EQ(sub->getValue(), 1.0f);
  EXPECT_EQ(panel.recorder.controls, std::vector<ValueWidget*>{sub});
}

TEST(ToggleButton, ClickFlipsByIntegerPartAndDrawsTheLowerHalfWhenOn) {
  Panel panel;
  Pixmap* lamp = picture(10, 20, kRedPixel, kBluePixel);
  auto* button = panel.add(new ToggleButton({10, 10, 20, 20}, &panel.recorder, 36, lamp));
  lamp->forget();
  const std::pair<float, float> flips[] = {{0.0f, 1.0f}, {0.4f, 1.0f}, {1.0f, 0.0f}};
  for (const auto& [before, after] : flips) {
    button->setValue(before);
    panel.click({20, 20});  // the bottom-right edge pixel still counts
    EXPECT_EQ(button->getValue(), after) << before;
  }
  EXPECT_EQ(panel.recorder.values, (std::vector<float>{1.0f, 1.0f, 0.0f}));
  button->setValue(0.0f);
  panel.click({15, 15}, kRightButton);
  EXPECT_EQ(button->getValue(), 0.0f);

  const std::pair<float, uint32_t> shows[] = {
      {0.0f, kRedPixel}, {0.4f, kBluePixel}, {1.0f, kBluePixel}};
  for (const auto& [value, colour] : shows) {
    button->setValue(value);
    EXPECT_TRUE(button->isDirty());
    std::unique_ptr<Painter> painter = panel.frame->makePainter();
    button->update(*painter);
    EXPECT_FALSE(button->isDirty());
    EXPECT_EQ(panel.pixel(10, 10), colour) << value;
    EXPECT_EQ(panel.pixel(19, 19), colour) << value;
    EXPECT_EQ(panel.pixel(20, 20), 0u);
  }
}

TEST(SplashArea, ClickShowsThePictureModallyAndTheNextClickOnItHidesIt) {
  Panel panel;
  Pixmap* backdrop = picture(200, 200, kGreyPixel, kGreyPixel);
  panel.frame->setBackground(backdrop);
  backdrop->forget();
  Pixmap* logo = picture(60, 40, kYellowPixel, kYellowPixel);
  auto* splash = panel.add(
      new SplashArea({0, 0, 20, 10}, &panel.recorder, 28, logo, {30, 30, 90, 70}, {0, 0}));
  logo->forget();
  auto* below = panel.add(new ToggleButton({100, 100, 110, 110}, nullptr, 40, nullptr));
  panel.frame->drawWidget(nullptr);

  panel.click({5, 5});
  EXPECT_EQ(panel.frame->getModalWidget(), splash);
  EXPECT_EQ(splash->getValue(), 1.0f);
  EXPECT_EQ(splash->getSize(), (Rect{30, 30, 90, 70}));
  EXPECT_EQ(panel.pixel(60, 50), kYellowPixel);

  panel.click({105, 105});  // outside the picture: nobody gets it
  EXPECT_EQ(below->getValue(), 0.0f);
  EXPECT_EQ(splash->getValue(), 1.0f);

  panel.click({85, 65});
  EXPECT_EQ(panel.frame->getModalWidget(), nullptr);
  EXPECT_EQ(splash->getValue(), 0.0f);
  EXPECT_EQ(splash->getSize(), (Rect{0, 0, 20, 10}));
  EXPECT_EQ(panel.pixel(60, 50), kGreyPixel);  // the whole frame was drawn again
  EXPECT_EQ(panel.recorder.values, (std::vector<float>{1.0f, 0.0f}));
}

}  // namespace
}  // namespace vorlak
