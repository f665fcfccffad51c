// The instrument's panel on the headless window system, driven as a user and a host would
// over a recording link: the layout against the documented table, building from the current
// values, clicks on step buttons, radio groups, switches, lists and the logo, a scripted
// knob drag, program stepping with the arrow keys, and what the host's parameter changes do
// to the widgets.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "editor/bitmap_text.h"
#include "editor/editor.h"
#include "editor/fine_knob.h"
#include "editor/hold_button.h"
#include "editor/panel_popup_list.h"
#include "editor/pickup_slider.h"
#include "editor/platform/headless/headless_platform.h"
#include "editor/step_switch.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/splash_area.h"
#include "editor/toolkit/toggle_button.h"
#include "editor_fixture.h"
#include "instrument/parameters.h"

namespace vorlak::editortest {
namespace {

using Call = RecordingLink::Call;

enum Kind { kToggle, kSplash, kText, kList, kHold, kKnob, kSwitch, kSlider };

struct Expected {
  Kind kind;
  int32_t tag;  // -1 for the text views
  Rect size;
  int bitmap;  // the control's picture; 0 for none
};

// The layout table, row by row, with its formulas for the repeated rows.
std::vector<Expected> documentedLayout() {
  std::vector<Expected> rows = {
      {kToggle, 29, {63, 42, 135, 52}, 131}, {kSplash, 28, {0, 0, 144, 38}, 130},
      {kText, -1, {160, 17, 260, 25}, 0},    {kList, 24, {160, 17, 260, 25}, 0},
      {kHold, 34, {280, 7, 295, 21}, 142},   {kHold, 35, {280, 21, 295, 35}, 143},
      {kKnob, 25, {311, 5, 342, 36}, 128},   {kSwitch, 26, {349, 3, 385, 41}, 144},
      {kSwitch, 27, {13, 204, 49, 242}, 145}};
  auto group = [&](int n, int32_t tag, int left, int top, int bitmap) {
    for (int i = 0; i < n; ++i) {
      rows.push_back(
          {kToggle, tag + i, {left, top + 12 * i, left + 10, top + 10 + 12 * i}, bitmap});
      rows.push_back({kToggle, tag + i, {left, top + 12 * i, left + 50, top + 10 + 12 * i}, 0});
    }
  };
  group(7, 36, 3, 87, 132);
  group(3, 51, 61, 87, 133);
  rows.push_back({kSlider, 2, {167, 77, 370, 189}, 128});
  const Rect strings[] = {{126, 244, 164, 282}, {164, 216, 202, 254}, {205, 195, 243, 233},
                          {250, 192, 288, 230}, {310, 205, 348, 243}, {284, 182, 309, 207},
                          {343, 195, 368, 220}};
  for (int i = 0; i < 7; ++i) rows.push_back({kKnob, 3 + i, strings[i], 128});
  group(4, 43, 20, 348, 134);
  group(4, 47, 75, 348, 135);
  for (int i = 0; i < 6; ++i)
    rows.push_back({kKnob, 13 + i, {123 + 42 * i, 338, 160 + 42 * i, 374}, 128});
  rows.push_back({kText, -1, {113, 499, 256, 507}, 0});
  rows.push_back({kList, 20, {113, 499, 256, 507}, 0});
  rows.push_back({kHold, 32, {279, 490, 294, 504}, 140});
  rows.push_back({kHold, 33, {279, 504, 294, 518}, 141});
  rows.push_back({kKnob, 21, {305, 491, 329, 515}, 128});
  rows.push_back({kKnob, 22, {342, 491, 366, 515}, 128});
  return rows;
}

bool isKind(Widget* w, Kind kind) {
  switch (kind) {
    case kToggle:
      return dynamic_cast<ToggleButton*>(w) && !dynamic_cast<HoldButton*>(w);
    case kSplash:
      return dynamic_cast<SplashArea*>(w);
    case kText:
      return dynamic_cast<BitmapText*>(w);
    case kList:
      return dynamic_cast<PanelPopupList*>(w);
    case kHold:
      return dynamic_cast<HoldButton*>(w);
    case kKnob:
      return dynamic_cast<FineKnob*>(w);
    case kSwitch:
      return dynamic_cast<StepSwitch*>(w);
    case kSlider:
      return dynamic_cast<PickupSlider*>(w);
  }
  return false;
}

// Widget numbers (from 0) of the rows the tests touch.
constexpr int kPlayModeName = 2, kPlayModeList = 3, kLatchSwitch = 7, kFirstInstrumentLamp = 9;
constexpr int kFirstAmplifierLamp = 37, kEffectName = 59, kEffectList = 60;

class PanelTest : public ::testing::Test {
 protected:
  PanelTest() {
    setPlatform(&platform);
    editor = std::make_unique<Editor>(link);
    link.editor = editor.get();
  }
  ~PanelTest() override {
    editor.reset();
    setPlatform(nullptr);
  }

  // What the panel asked of the instrument since the last clear, leaving out the idles
  // it gave the host.
  std::vector<Call> calls() const {
    std::vector<Call> out;
    for (const Call& c : link.calls)
      if (c.kind != RecordingLink::kHostIdle) out.push_back(c);
    return out;
  }
  // The automations among them, as (index, value).
  std::vector<std::pair<int, float>> automations() const {
    std::vector<std::pair<int, float>> out;
    for (const Call& c : link.calls)
      if (c.kind == RecordingLink::kAutomate) out.emplace_back(c.index, c.value);
    return out;
  }

  // Opens as a host does and lets the first expose draw everything.
  void open() {
    ASSERT_TRUE(editor->open(&parent));
    platform.window()->queuePaint({0, 0, kPanelWidth, kPanelHeight});
    editor->idle();
  }
  Widget* widget(int i) { return editor->getFrame()->widgetAt(i); }
  ValueWidget* control(int i) { return dynamic_cast<ValueWidget*>(widget(i)); }
  std::string text(int i) { return static_cast<BitmapText*>(widget(i))->text(); }
  int lit(int firstLamp, int n) {
    int found = -1;
    for (int i = 0; i < n; ++i)
      if (control(firstLamp + 2 * i)->getValue() == 1.0f) found = found == -1 ? i : -2;
    return found;
  }
  bool anyDirty() {
    for (int i = 0; i < editor->getFrame()->widgetCount(); ++i)
      if (widget(i)->isDirty()) return true;
    return false;
  }

  // Every knob, both switches and the slider against the instrument's own value.
  void expectControlsMatchTheInstrument() {
    int checked = 0;
    for (int i = 0; i < 65; ++i) {
      Widget* w = widget(i);
      if (!dynamic_cast<FineKnob*>(w) && !dynamic_cast<StepSwitch*>(w) &&
          !dynamic_cast<PickupSlider*>(w))
        continue;
      ++checked;
      EXPECT_EQ(control(i)->getValue(), value(control(i)->getTag())) << "widget " << i + 1;
    }
    EXPECT_EQ(checked, 19);
  }

  // A left press at p held for `held` button queries, then an idle to handle it.
  void click(Point p, int held = 1) {
    platform.pointer = p;
    platform.buttons = kLeftButton;
    const int from = platform.buttonQueries;
    platform.script = [this, from, held](int query) {
      if (query >= from + held) platform.buttons = 0;
    };
    platform.window()->queueButtonDown(p, kLeftButton);
    editor->idle();
    platform.script = nullptr;
    platform.buttons = 0;
  }
  void setHost(int index, float value) { link.set(index, value); }
  float value(int index) { return link.getParameter(index); }

  HeadlessPlatform platform;
  RecordingLink link;
  std::unique_ptr<Editor> editor;
  int parent = 0;
};

TEST_F(PanelTest, WidgetsFollowTheLayoutTableInOrder) {
  Rect rect{};
  ASSERT_TRUE(editor->getRect(rect));
  EXPECT_EQ(rect, (Rect{0, 0, 396, 530}));
  open();
  const std::vector<Expected> rows = documentedLayout();
  ASSERT_EQ(rows.size(), 65u);
  ASSERT_EQ(editor->getFrame()->widgetCount(), 65);
  EXPECT_EQ(editor->getFrame()->getSize(), (Rect{0, 0, 396, 530}));
  EXPECT_EQ(editor->getFrame()->getBackground()->resourceId(), 128);
  for (int i = 0; i < 65; ++i) {
    SCOPED_TRACE("widget " + std::to_string(i + 1));
    const Expected& row = rows[static_cast<size_t>(i)];
    EXPECT_TRUE(isKind(widget(i), row.kind));
    EXPECT_EQ(widget(i)->getSize(), row.size);
    if (row.kind == kText) continue;
    EXPECT_EQ(control(i)->getTag(), row.tag);
    Pixmap* picture = control(i)->getBackground();
    EXPECT_EQ(picture ? picture->resourceId() : 0, row.bitmap);
    if (picture) {
      EXPECT_EQ(picture->transparentColor(), kMagenta);
    }
    if (auto* knob = dynamic_cast<FineKnob*>(widget(i))) {
      EXPECT_EQ(knob->getHandleBitmap()->resourceId(), i < 37 ? 136 : 137);
    }
  }
  auto* slider = static_cast<PickupSlider*>(widget(29));
  EXPECT_EQ(slider->getHandleBitmap()->resourceId(), 138);
  EXPECT_EQ(slider->getOverlay()->resourceId(), 139);
  // Only the controls a user may click take input; the lamps and the badge do not.
  EXPECT_FALSE(widget(0)->isInputEnabled());
  EXPECT_FALSE(widget(kFirstInstrumentLamp)->isInputEnabled());
  EXPECT_EQ(static_cast<PanelPopupList*>(widget(kEffectList))->count(), 16);
  EXPECT_EQ(static_cast<PanelPopupList*>(widget(kPlayModeList))->count(), 6);
}

TEST_F(PanelTest, OpeningBuildsFromCurrentValuesAndReopeningRebuilds) {
  setHost(0, 1.0f);          // "Fretless", choice 6
  setHost(3, 0.7f);          // "Tone"
  setHost(12, 0.33333334f);  // amplifier 1
  setHost(20, 0.6f);         // (int)9.594: "MST:Chorus"
  setHost(24, 0.6f);         // (int)3.594: "Strumming"
  setHost(26, 0.0f);
  editor->setParameter(3, 0.9f);  // no panel yet: nothing to store it in
  EXPECT_EQ(editor->getFrame(), nullptr);
  open();
  EXPECT_TRUE(editor->isOpened());
  expectControlsMatchTheInstrument();
  EXPECT_EQ(lit(kFirstInstrumentLamp, 7), 6);
  EXPECT_FALSE(widget(kFirstInstrumentLamp + 13)->isInputEnabled());
  EXPECT_TRUE(widget(kFirstInstrumentLamp + 1)->isInputEnabled());
  EXPECT_EQ(lit(kFirstAmplifierLamp, 4), 1);
  EXPECT_EQ(text(kEffectName), "MST:Chorus          ");
  EXPECT_EQ(text(kPlayModeName), "Strumming   ");
  EXPECT_EQ(static_cast<PopupList*>(widget(kEffectList))->getCurrent(), 9);
  EXPECT_EQ(static_cast<PopupList*>(widget(kPlayModeList))->getCurrent(), 3);
  EXPECT_FALSE(anyDirty());  // the first expose drew everything

  editor->close();
  editor->close();
  EXPECT_FALSE(editor->isOpened());
  EXPECT_EQ(editor->getFrame(), nullptr);
  EXPECT_EQ(platform.windowCount(), 0);
  setHost(20, 1.0f);  // while closed: only the instrument keeps it
  editor->setParameter(24, 0.0f);
  open();
  EXPECT_EQ(text(kEffectName), "MST:Multitap        ");
  EXPECT_EQ(text(kPlayModeName), "Strumming   ");
  open();  // an open while open replaces the panel
  EXPECT_EQ(platform.windowCount(), 1);
  EXPECT_EQ(editor->getFrame()->widgetCount(), 65);
}

// A host's menu closing over the panel exposes part of it while values are changing: the
// paint may land before the change, after it, or both, before the next idle (X11 queues
// the expose for the idle, Win32 paints at once). Whatever the order, after the idle the
// panel is exactly what a fresh panel of the same values draws.
TEST_F(PanelTest, PartialPaintsAroundValueChangesLeaveTheFreshPanel) {
  struct Change {
    const char* what;
    std::function<void()> apply;
  };
  const std::vector<Change> changes = {{"program 42", [this] { link.setProgram(42); }},
                                       {"program 5", [this] { link.setProgram(5); }},
                                       {"pickup", [this] { setHost(2, 0.93f); }},
                                       {"FX", [this] { setHost(20, 9 * 0.06666667f); }},
                                       {"Drive knob", [this] { setHost(13, 0.05f); }}};
  // Through the pickup slider; the effect display and its knobs; the column a menu covered
  // (x 114 to 315); two amplifier knobs and a string knob cut in half.
  const Rect cuts[] = {{180, 70, 240, 150},
                       {150, 495, 320, 510},
                       {114, 0, 315, 530},
                       {140, 340, 190, 372},
                       {140, 230, 200, 260}};
  enum Order { kBefore, kAfter, kBoth, kQueuedForIdle };
  for (const Change& change : changes) {
    for (const Rect& cut : cuts) {
      for (Order order : {kBefore, kAfter, kBoth, kQueuedForIdle}) {
        SCOPED_TRACE(std::string(change.what) + " cut at " + std::to_string(cut.left) + "," +
                     std::to_string(cut.top) + " order " + std::to_string(order));
        link.setProgram(0);
        setHost(2, 0.1f);
        setHost(13, 0.8f);
        setHost(20, 6 * 0.06666667f);  // "AMP:Fuzz Box"
        open();
        auto paintNow = [&] {
          platform.window()->queuePaint(cut);
          editor->getFrame()->dispatchEvents(false);
        };
        if (order == kBefore || order == kBoth) paintNow();
        change.apply();
        if (order == kAfter || order == kBoth) paintNow();
        if (order == kQueuedForIdle) platform.window()->queuePaint(cut);
        editor->idle();
        const Surface shown = editor->getFrame()->backBuffer();
        open();
        const Surface fresh = editor->getFrame()->backBuffer();
        int differing = 0;
        for (size_t i = 0; i < fresh.data().size(); ++i)
          differing += shown.data()[i] != fresh.data()[i];
        EXPECT_EQ(differing, 0);
        const size_t presented = platform.window()->presents.size();
        editor->idle();  // nothing changed: nothing drawn
        EXPECT_EQ(platform.window()->presents.size(), presented);
      }
    }
  }
}

TEST_F(PanelTest, StepButtonsStopAtTheEndsOfTheirLists) {
  open();
  const Point effectDown{286, 497}, effectUp{286, 511}, playDown{287, 14}, playUp{287, 28};
  setHost(20, 15 * 0.06666667f);  // "MST:Multitap"
  link.calls.clear();
  click(effectUp, 3);
  EXPECT_TRUE(automations().empty());
  click(effectDown);
  EXPECT_EQ(automations(), (std::vector<std::pair<int, float>>{{20, 14 * 0.06666667f}}));

  setHost(20, 0.0f);  // "Dry"
  link.calls.clear();
  click(effectDown);
  click(effectUp);
  EXPECT_EQ(automations(), (std::vector<std::pair<int, float>>{{20, 0.06666667f}}));
  EXPECT_EQ(text(kEffectName), "AMP:Phaser          ");

  setHost(24, 1.0f);
  link.calls.clear();
  click(playUp);
  click(playDown);
  setHost(24, 0.0f);
  click(playDown);
  click(playUp);
  EXPECT_EQ(automations(), (std::vector<std::pair<int, float>>{{24, 4 * 0.2f}, {24, 0.2f}}));
  EXPECT_EQ(text(kPlayModeName), "AutoChords  ");
}

TEST_F(PanelTest, RadioGroupWritesItsChoiceAndLightsTheHostsValue) {
  open();
  setHost(0, 0.0f);
  link.calls.clear();
  click({30, 87 + 12 * 6 + 5});  // on the label of choice 6
  EXPECT_EQ(automations(), (std::vector<std::pair<int, float>>{{0, 1.0f}}));
  EXPECT_EQ(lit(kFirstInstrumentLamp, 7), 6);
  editor->idle();
  // The lit lamp shows the lower half of its picture, the others the upper half.
  const Surface& screen = editor->getFrame()->backBuffer();
  const Surface& lamp = control(kFirstInstrumentLamp)->getBackground()->pixels();
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      ASSERT_EQ(screen.at(3 + x, 87 + 72 + y), lamp.at(x, 10 + y));
      ASSERT_EQ(screen.at(3 + x, 87 + y), lamp.at(x, y));
    }

  click({30, 87 + 12 * 6 + 5});  // the lit choice is closed to clicks
  EXPECT_EQ(automations().size(), 1u);

  setHost(0, 1.0f);
  EXPECT_EQ(lit(kFirstInstrumentLamp, 7), 6);
  setHost(0, 0.858f);  // (int)5.997: truncated, not rounded
  EXPECT_EQ(lit(kFirstInstrumentLamp, 7), 5);
  setHost(0, 0.5f);  // (int)3.495
  EXPECT_EQ(lit(kFirstInstrumentLamp, 7), 3);
  EXPECT_FALSE(widget(kFirstInstrumentLamp + 7)->isInputEnabled());
  EXPECT_TRUE(widget(kFirstInstrumentLamp + 13)->isInputEnabled());

  link.calls.clear();
  click({40, 348 + 12 * 3 + 5});   // amplifier "Bandpass"
  click({100, 348 + 12 * 2 + 5});  // cabinet "Combo"
  click({90, 87 + 12 * 2 + 5});    // coils "Double"
  EXPECT_EQ(automations(),
            (std::vector<std::pair<int, float>>{{12, 1.0f}, {19, 2 * 0.33333334f}, {1, 1.0f}}));
}

TEST_F(PanelTest, SwitchAndListsWriteTheirChoices) {
  open();
  setHost(26, 1.0f);
  link.calls.clear();
  click({367, 20});
  EXPECT_EQ(control(kLatchSwitch)->getValue(), 0.0f);

  platform.menuChoice = 9;
  click({180, 503});
  const std::vector<MenuEntry>& menu = platform.window()->lastMenu;
  ASSERT_EQ(menu.size(), 16u);
  EXPECT_EQ(menu[15].text, "MST:Multitap");
  EXPECT_TRUE(menu[0].checked);  // "Dry" was current
  EXPECT_EQ(platform.window()->lastMenuAt, (Point{113, 507}));
  platform.menuChoice = 4;
  click({200, 20});
  EXPECT_EQ(platform.window()->lastMenu[3].text, "Strumming");
  platform.menuChoice = -1;  // dismissed: nothing written
  click({200, 20});

  EXPECT_EQ(automations(), (std::vector<std::pair<int, float>>{
                               {26, 0.0f}, {20, 9 * 0.06666667f}, {24, 4 * 0.2f}}));
  EXPECT_EQ(text(kEffectName), "MST:Chorus          ");
  EXPECT_EQ(text(kPlayModeName), "Solo fixed  ");
}

TEST_F(PanelTest, ToneDragAutomatesBetweenBeginAndEndEdit) {
  setHost(3, 0.25f);
  open();
  link.calls.clear();
  const Point centre{145, 263};
  platform.pointer = centre;
  platform.buttons = kLeftButton;
  const int from = platform.buttonQueries;
  platform.script = [&](int query) {
    const int k = query - from;
    if (k >= 1 && k <= 4) platform.pointer = {centre.x + 10 * k, centre.y};
    if (k >= 6) platform.buttons = 0;
  };
  platform.window()->queueButtonDown(centre, kLeftButton);
  editor->idle();
  platform.script = nullptr;

  const std::vector<Call> edits = calls();
  ASSERT_GE(edits.size(), 3u);
  EXPECT_EQ(edits.front(), (Call{RecordingLink::kBeginEdit, 3, 0.0f}));
  EXPECT_EQ(edits.back(), (Call{RecordingLink::kEndEdit, 3, 0.0f}));
  float previous = 0.25f;
  for (size_t i = 1; i + 1 < edits.size(); ++i) {
    EXPECT_EQ(edits[i].kind, RecordingLink::kAutomate);
    EXPECT_EQ(edits[i].index, 3);
    EXPECT_GT(edits[i].value, previous);
    previous = edits[i].value;
  }
  EXPECT_NEAR(previous, 0.25f + 40.0f / 200.0f, 1e-6f);  // half the range per 100 pixels
  EXPECT_EQ(value(3), previous);
}

TEST_F(PanelTest, ArrowKeysStepThroughProgramsAndEveryWidgetFollows) {
  open();
  ASSERT_EQ(link.getProgram(), 0);
  link.calls.clear();
  const KeyStroke left{0, kKeyLeft, 0};
  EXPECT_EQ(editor->keyDown(left), 1);
  EXPECT_EQ(link.getProgram(), 63);
  ASSERT_FALSE(calls().empty());
  EXPECT_EQ(calls().back().kind, RecordingLink::kUpdateDisplay);
  EXPECT_TRUE(anyDirty());
  editor->idle();
  EXPECT_FALSE(anyDirty());
  expectControlsMatchTheInstrument();
  EXPECT_EQ(lit(kFirstInstrumentLamp, 7), static_cast<int>(value(0) * 6.99f));
  EXPECT_EQ(lit(kFirstInstrumentLamp + 14, 3), static_cast<int>(value(1) * 2.99f));
  EXPECT_EQ(lit(kFirstAmplifierLamp, 4), static_cast<int>(value(12) * 3.99f));
  EXPECT_EQ(lit(kFirstAmplifierLamp + 8, 4), static_cast<int>(value(19) * 3.99f));
  char name[kParameterTextSize] = {};
  formatParameterDisplay(20, value(20), name);
  EXPECT_EQ(text(kEffectName).substr(0, std::string(name).size()), name);
  formatParameterDisplay(24, value(24), name);
  EXPECT_EQ(text(kPlayModeName).substr(0, std::string(name).size()), name);

  const KeyStroke down{0, kKeyDown, 0}, up{0, kKeyUp, 0}, other{'a', 0, 0};
  EXPECT_EQ(editor->keyDown(down), 1);
  EXPECT_EQ(link.getProgram(), 0);
  EXPECT_EQ(editor->keyDown(up), 1);
  EXPECT_EQ(link.getProgram(), 63);
  EXPECT_EQ(editor->keyDown(other), -1);
}

TEST_F(PanelTest, ReservedParametersActivityAndClosedPanelTouchNothing) {
  open();
  ASSERT_FALSE(anyDirty());
  setHost(10, 0.3f);
  setHost(11, 0.7f);
  setHost(23, 1.0f);
  editor->setParameter(-1, 1.0f);  // the engine's activity
  editor->setParameter(28, 1.0f);
  editor->setParameter(-5, 1.0f);
  EXPECT_FALSE(anyDirty());
  EXPECT_FALSE(editor->getFrame()->isDirty());
  setHost(3, 0.5f);
  EXPECT_TRUE(widget(30)->isDirty());  // the "Tone" knob

  editor->close();
  setHost(3, 0.8f);
  editor->setParameter(-1, 0.0f);
  editor->idle();
  EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(PanelTest, LogoPictureShowsOnAClickAndHidesOnTheNext) {
  open();
  const Surface& screen = editor->getFrame()->backBuffer();
  const Surface background = screen;
  click({70, 20});
  auto* logo = widget(1);
  EXPECT_EQ(editor->getFrame()->getModalWidget(), logo);
  const Surface& picture = control(1)->getBackground()->pixels();
  int differing = 0;
  for (int y = 0; y < 226; y += 5)
    for (int x = 0; x < 364; x += 5) differing += screen.at(16 + x, 52 + y) != picture.at(x, y);
  EXPECT_EQ(differing, 0);

  link.calls.clear();
  click({286, 511});  // the effect step button lies outside the picture: the click is lost
  EXPECT_TRUE(automations().empty());
  EXPECT_EQ(editor->getFrame()->getModalWidget(), logo);
  click({300, 250});  // anywhere on the picture
  EXPECT_EQ(editor->getFrame()->getModalWidget(), nullptr);
  EXPECT_EQ(logo->getSize(), (Rect{0, 0, 144, 38}));
  int restored = 0;
  for (int y = 52; y < 278; ++y)
    for (int x = 16; x < 380; ++x) restored += screen.at(x, y) == background.at(x, y);
  EXPECT_EQ(restored, 364 * 226);
}

TEST_F(PanelTest, HostClosingThePanelInsideADragLeavesNothingBehind) {
  open();
  // Once, at the next idle the panel gives the host.
  link.onIdle = [this] {
    link.onIdle = nullptr;
    editor->close();
  };
  const Point centre{145, 263};
  platform.pointer = centre;
  platform.buttons = kLeftButton;
  platform.script = [&](int) { platform.pointer.x += 3; };
  platform.window()->queueButtonDown(centre, kLeftButton);
  editor->idle();  // the knob's loop ends when the closed window reports no buttons
  platform.script = nullptr;
  platform.buttons = 0;
  EXPECT_EQ(link.onIdle, nullptr);
  EXPECT_FALSE(editor->isOpened());
  EXPECT_EQ(editor->getFrame(), nullptr);
  EXPECT_EQ(platform.windowCount(), 0);
  ASSERT_FALSE(calls().empty());
  EXPECT_EQ(calls().back().kind, RecordingLink::kEndEdit);
  editor->idle();
  open();
  EXPECT_EQ(editor->getFrame()->widgetCount(), 65);
}

}  // namespace
}  // namespace vorlak::editortest
