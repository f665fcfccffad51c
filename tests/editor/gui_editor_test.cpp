// The editor base as the host drives it: pacing of the idle pump on a fake clock, what idle
// does, the host operations, begin and end edit reaching the instrument's link, open and
// close, and a scripted drag through a widget's own mouse loop.
#include <gtest/gtest.h>

#include "editor/platform/headless/headless_platform.h"
#include "editor_fixture.h"

namespace vorlak::editortest {
namespace {

class GuiEditorTest : public ::testing::Test {
 protected:
  GuiEditorTest() {
    platform.clock = 1000;
    setPlatform(&platform);
    editor =
        std::make_unique<ProbeEditor>(link, journal, Rect{0, 0, 200, 100}, Rect{10, 10, 50, 50});
  }
  ~GuiEditorTest() override {
    editor->close();
    link.onIdle = nullptr;
    editor.reset();
    setPlatform(nullptr);
  }

  int hostIdles() const { return link.countOf(RecordingLink::kHostIdle); }

  HeadlessPlatform platform;
  Journal journal;
  RecordingLink link;
  std::unique_ptr<ProbeEditor> editor;
  int parent = 0;
};

TEST_F(GuiEditorTest, PumpWorksAtMostOncePer100MsAndWaits4MsOtherwise) {
  EXPECT_EQ(editor->nextIdle, 1000u);  // the construction time: the first call is due
  editor->postUpdate();
  editor->idlePump();
  EXPECT_EQ(editor->updates, 1);
  EXPECT_EQ(hostIdles(), 1);
  EXPECT_EQ(platform.sleeps, 0);
  EXPECT_EQ(editor->nextIdle, 1100u);

  editor->postUpdate();
  editor->idlePump();  // the same millisecond
  EXPECT_EQ(platform.sleeps, 1);
  EXPECT_EQ(platform.clock, 1004u);
  EXPECT_EQ(editor->updates, 1);
  EXPECT_EQ(hostIdles(), 1);

  platform.clock = 1040;  // 60 ms before the next idle
  editor->idlePump();
  platform.clock = 1045;  // 4 ms later still 51 ms short
  editor->idlePump();
  EXPECT_EQ(platform.sleeps, 3);
  EXPECT_EQ(editor->updates, 1);
  EXPECT_EQ(hostIdles(), 1);

  platform.clock = 1046;  // the wait brings it to 50 ms short: due
  editor->idlePump();
  EXPECT_EQ(platform.sleeps, 4);
  EXPECT_EQ(editor->updates, 2);
  EXPECT_EQ(hostIdles(), 2);
  EXPECT_EQ(editor->nextIdle, 1150u);
}

TEST_F(GuiEditorTest, PumpKeepsItsPaceAcrossTheClockWrapping) {
  platform.clock = 0xfffffff0u;
  editor->nextIdle = 0xfffffff0u;
  editor->idlePump();
  EXPECT_EQ(editor->nextIdle, 0x54u);
  platform.clock = 0xfffffff8u;
  editor->idlePump();
  EXPECT_EQ(hostIdles(), 1);
  platform.clock = 0x60u;
  editor->idlePump();
  EXPECT_EQ(hostIdles(), 2);
}

TEST_F(GuiEditorTest, PumpRedrawsDirtyWidgetsAndDispatchesOnePaintOnly) {
  editor->open(&parent);
  HeadlessWindow* window = platform.window();
  window->queuePaint({0, 0, 200, 100});
  editor->idle();  // the first paint: the frame is drawn once
  Probe* probe = editor->probe;
  EXPECT_EQ(probe->draws, 1);
  probe->setValue(0.25f);
  window->queuePaint({0, 0, 5, 5});
  window->queuePaint({0, 0, 5, 5});
  window->queueButtonDown({20, 20}, kLeftButton);
  editor->idlePump();
  EXPECT_EQ(probe->draws, 2);  // the idle redraw; the paints miss the probe
  EXPECT_EQ(window->pendingEvents(), 2u);
  EXPECT_TRUE(probe->clicks.empty());
  editor->idle();
  EXPECT_EQ(window->pendingEvents(), 0u);
  EXPECT_EQ(probe->clicks, (std::vector<Point>{{20, 20}}));
}

TEST_F(GuiEditorTest, IdleCalledByTheHostFromItsIdleCallbackReturnsAtOnce) {
  int updatesSeen = -1;
  link.onIdle = [&] {
    editor->postUpdate();
    editor->idle();
    updatesSeen = editor->updates;
  };
  editor->idlePump();
  EXPECT_EQ(hostIdles(), 1);
  EXPECT_EQ(updatesSeen, 0);
  link.onIdle = nullptr;
  editor->idle();
  EXPECT_EQ(editor->updates, 1);
}

TEST_F(GuiEditorTest, BeginAndEndEditReachTheLinkWithTheTag) {
  editor->open(&parent);
  editor->getFrame()->beginEdit(7);
  editor->getFrame()->endEdit(7);
  using Call = RecordingLink::Call;
  EXPECT_EQ(link.calls, (std::vector<Call>{{RecordingLink::kBeginEdit, 7, 0.0f},
                                           {RecordingLink::kEndEdit, 7, 0.0f}}));
}

TEST_F(GuiEditorTest, HostOperationsWithAndWithoutAFrame) {
  Rect rect{};
  EXPECT_TRUE(editor->getRect(rect));
  EXPECT_EQ(rect, (Rect{0, 0, 200, 100}));
  KeyStroke key{0, kKeyUp, 0};
  EXPECT_EQ(editor->keyDown(key), -1);
  EXPECT_EQ(editor->keyUp(key), -1);
  EXPECT_FALSE(editor->onWheel(1.0f));
  EXPECT_TRUE(editor->setKnobMode(2));
  EXPECT_EQ(knobMode(), 2);
  editor->setKnobMode(0);
  EXPECT_EQ(knobMode(), 0);

  EXPECT_FALSE(editor->GuiEditor::open(&parent));
  editor->open(&parent);
  Probe* probe = editor->probe;
  probe->keyAnswer = 1;
  EXPECT_EQ(editor->keyDown(key), 1);
  platform.pointer = {30, 30};
  EXPECT_TRUE(editor->onWheel(-1.0f));
  EXPECT_EQ(journal.lines.back(), "probe wheel -1 painter");
  platform.pointer = {100, 80};
  EXPECT_FALSE(editor->onWheel(1.0f));

  const int updates = editor->updates;
  editor->setParameter(3, 0.5f);
  editor->idle();
  EXPECT_EQ(editor->updates, updates + 1);
  const int draws = probe->draws;
  editor->redraw(nullptr);
  EXPECT_EQ(probe->draws, draws + 1);
}

TEST_F(GuiEditorTest, OpenCloseTwiceAndAParentDestroyedFirst) {
  editor->open(&parent);
  editor->open(&parent);  // the old panel goes first
  EXPECT_EQ(platform.windowCount(), 1);
  EXPECT_EQ(journal.destroyed, 1);
  editor->close();
  editor->close();
  EXPECT_EQ(editor->getFrame(), nullptr);
  EXPECT_EQ(platform.windowCount(), 0);
  EXPECT_EQ(journal.destroyed, 2);
  editor->idle();

  editor->open(&parent);
  platform.window()->queuePaint({0, 0, 200, 100});
  editor->idle();
  EXPECT_EQ(editor->probe->draws, 1);
  platform.window()->queueDestroyed();
  editor->idle();
  EXPECT_FALSE(editor->getFrame()->isOpen());
  editor->probe->setValue(0.5f);
  editor->idle();
  editor->idlePump();
  EXPECT_EQ(editor->probe->draws, 1);  // no redraws into a window that is gone
  editor->close();
  EXPECT_EQ(journal.destroyed, 3);
}

TEST_F(GuiEditorTest, DragLoopFollowsThePointerAndBracketsTheEditForTheInstrument) {
  editor->open(&parent);
  Probe* probe = editor->probe;
  probe->followsDrag = true;
  platform.pointer = {20, 20};
  platform.buttons = kLeftButton;
  platform.script = [&](int query) {
    if (query == 2) platform.pointer = {30, 25};
    if (query == 4) platform.pointer = {45, 40};
    if (query == 6) platform.buttons = 0;
  };
  platform.window()->queueButtonDown({20, 20}, kLeftButton);
  editor->idle();
  EXPECT_EQ(probe->clicks, (std::vector<Point>{{20, 20}}));
  EXPECT_EQ(probe->dragPath, (std::vector<Point>{{20, 20}, {30, 25}, {45, 40}}));
  EXPECT_EQ(link.calls.front(), (RecordingLink::Call{RecordingLink::kBeginEdit, 5, 0.0f}));
  EXPECT_EQ(link.calls.back(), (RecordingLink::Call{RecordingLink::kEndEdit, 5, 0.0f}));
  EXPECT_GE(hostIdles(), 1);  // the loop kept the host going
}

TEST_F(GuiEditorTest, HostClosingTheEditorInsideAMouseLoopEndsTheLoopSafely) {
  editor->open(&parent);
  editor->probe->followsDrag = true;
  platform.buttons = kLeftButton;  // never let go: only the close can end the loop
  platform.script = [&](int query) {
    if (query == 1000) platform.buttons = 0;  // a way out should the close not end it
  };
  link.onIdle = [&] { editor->close(); };
  platform.window()->queueButtonDown({20, 20}, kLeftButton);
  editor->idle();
  EXPECT_LT(platform.buttonQueries, 1000);
  EXPECT_EQ(editor->getFrame(), nullptr);
  EXPECT_EQ(journal.destroyed, 1);
  EXPECT_EQ(platform.windowCount(), 0);
  EXPECT_EQ(link.countOf(RecordingLink::kEndEdit), 1);
}

}  // namespace
}  // namespace vorlak::editortest
