// The frame's routing of clicks, keys, drops and the wheel, its widget list and reference
// counts, and what it draws on paints and idle redraws.
#include <gtest/gtest.h>

#include "editor/platform/headless/headless_platform.h"
#include "editor/toolkit/pixmap.h"
#include "editor_fixture.h"

namespace vorlak::editortest {
namespace {

using Lines = std::vector<std::string>;

class FrameTest : public ::testing::Test {
 protected:
  FrameTest() { setPlatform(&platform); }
  ~FrameTest() override {
    frame.reset();
    setPlatform(nullptr);
  }

  // A frame without a parent: no window, drawing goes to the back buffer only.
  void makeFrame(void* parent = nullptr) {
    frame = std::make_unique<RootFrame>(Rect{0, 0, 200, 100}, parent, nullptr);
  }
  Probe* add(const Rect& r, const std::string& name, Color c = kRed) {
    auto* p = new Probe(r, journal, name, c);
    frame->addWidget(p);
    return p;
  }
  void click(Point where) { frame->mouse(*frame->makePainter(), where); }
  Lines take() {
    Lines out;
    out.swap(journal.lines);
    return out;
  }

  HeadlessPlatform platform;
  Journal journal;
  std::unique_ptr<RootFrame> frame;
};

TEST_F(FrameTest, ClickGoesToTheLastAddedEnabledWidgetContainingThePointEdgesIncluded) {
  makeFrame();
  add({10, 10, 50, 50}, "A");
  Probe* b = add({30, 30, 70, 70}, "B");
  take();
  click({40, 40});  // both contain it
  click({20, 20});  // only A
  click({60, 60});  // only B
  click({5, 5});    // nobody
  EXPECT_EQ(take(), (Lines{"B click 40,40", "A click 20,20", "B click 60,60"}));

  b->setInputEnabled(false);
  click({40, 40});
  click({60, 60});  // a disabled widget takes nothing, and nothing falls through to empty space
  EXPECT_EQ(take(), (Lines{"A click 40,40"}));

  click({50, 50});  // A's right and bottom edge pixel
  click({10, 10});
  click({51, 50});
  click({50, 51});
  EXPECT_EQ(take(), (Lines{"A click 50,50", "A click 10,10"}));
}

TEST_F(FrameTest, ModalWidgetTakesOnlyClicksInsideItAndNobodyElseGetsAny) {
  makeFrame();
  add({0, 0, 200, 100}, "A");
  Probe modal({100, 20, 150, 60}, journal, "M");
  modal.remember();  // owned here, not by the frame
  ASSERT_TRUE(frame->setModalWidget(&modal));
  take();
  click({120, 40});
  click({150, 60});
  click({10, 10});
  click({151, 40});
  EXPECT_EQ(take(), (Lines{"M click 120,40", "M click 150,60"}));
  ASSERT_TRUE(frame->setModalWidget(nullptr));
  click({10, 10});
  EXPECT_EQ(take(), (Lines{"M removed", "A click 10,10"}));
}

TEST_F(FrameTest, ClickTakesFocusAwayFirstEvenWhenItHitsNothing) {
  makeFrame();
  Probe* a = add({10, 10, 50, 50}, "A");
  frame->setFocusWidget(a);
  take();
  click({100, 90});
  EXPECT_EQ(take(), (Lines{"A loses focus"}));
  EXPECT_EQ(frame->getFocusWidget(), nullptr);
  frame->setFocusWidget(a);
  click({20, 20});
  EXPECT_EQ(take(), (Lines{"A loses focus", "A click 20,20"}));
}

TEST_F(FrameTest, KeysGoToFocusThenModalThenWidgetsLastToFirst) {
  makeFrame();
  Probe* a = add({0, 0, 10, 10}, "A");
  Probe* b = add({20, 0, 30, 10}, "B");
  add({40, 0, 50, 10}, "C");
  Probe modal({60, 0, 70, 10}, journal, "M");
  modal.remember();
  frame->setModalWidget(&modal);
  frame->setFocusWidget(a);
  take();
  KeyStroke key{0, kKeyLeft, 0};
  EXPECT_EQ(frame->keyDown(key), -1);
  EXPECT_EQ(take(), (Lines{"A key", "M key", "C key", "B key", "A key"}));
  b->keyAnswer = 7;
  EXPECT_EQ(frame->keyDown(key), 7);
  EXPECT_EQ(take(), (Lines{"A key", "M key", "C key", "B key"}));
  modal.keyAnswer = 1;
  EXPECT_EQ(frame->keyUp(key), 1);
  EXPECT_EQ(take(), (Lines{"A keyup", "M keyup"}));
  frame->setModalWidget(nullptr);
}

TEST_F(FrameTest, DropIsRefusedWhileModalOrFocusedElseOfferedTopDown) {
  makeFrame();
  Probe* a = add({0, 0, 100, 100}, "A");
  Probe* b = add({50, 50, 150, 100}, "B");
  Probe* c = add({60, 60, 80, 80}, "C");
  a->acceptsDrop = true;
  c->setInputEnabled(false);
  take();
  EXPECT_TRUE(frame->drop(nullptr, 0, 0, {70, 70}));
  EXPECT_EQ(take(), (Lines{"B drop", "A drop"}));  // C disabled, B refuses
  EXPECT_FALSE(frame->drop(nullptr, 0, 0, {120, 70}));
  EXPECT_EQ(take(), (Lines{"B drop"}));

  frame->setFocusWidget(b);
  EXPECT_FALSE(frame->drop(nullptr, 0, 0, {10, 10}));
  frame->setFocusWidget(nullptr);
  Probe modal({0, 0, 10, 10}, journal, "M");
  modal.remember();
  frame->setModalWidget(&modal);
  take();
  EXPECT_FALSE(frame->drop(nullptr, 0, 0, {10, 10}));
  EXPECT_EQ(take(), Lines{});
  frame->setModalWidget(nullptr);
}

TEST_F(FrameTest, WheelGoesToTheWidgetUnderTheCursorWithAPainterMadeForIt) {
  int parent = 0;
  makeFrame(&parent);
  add({0, 0, 100, 100}, "A");
  Probe* b = add({50, 50, 100, 100}, "B");
  b->setInputEnabled(false);  // the wheel does not ask
  take();
  platform.pointer = {60, 60};
  EXPECT_TRUE(frame->wheel(nullptr, {0, 0}, 1.0f));
  platform.pointer = {10, 10};
  EXPECT_TRUE(frame->wheel(nullptr, {0, 0}, -1.0f));
  platform.pointer = {150, 50};
  EXPECT_FALSE(frame->wheel(nullptr, {0, 0}, 1.0f));
  EXPECT_EQ(take(), (Lines{"B wheel 1 painter", "A wheel -1 painter"}));
}

TEST_F(FrameTest, WidgetsAreAttachedRemovedInOrderAndDestroyedExactlyOnce) {
  makeFrame();
  Probe* a = add({0, 0, 10, 10}, "A");
  Probe* b = add({0, 0, 10, 10}, "B");
  Probe* c = add({0, 0, 10, 10}, "C");
  EXPECT_EQ(take(), (Lines{"A attached", "B attached", "C attached"}));
  EXPECT_EQ(a->frame(), frame.get());
  EXPECT_TRUE(frame->isChild(b));

  b->remember();  // kept by the test: removal drops only the frame's reference
  EXPECT_TRUE(frame->removeWidget(b));
  EXPECT_EQ(b->referenceCount(), 1);
  EXPECT_EQ(journal.destroyed, 0);
  EXPECT_FALSE(frame->removeWidget(b));
  EXPECT_EQ(frame->widgetCount(), 2);
  EXPECT_EQ(frame->widgetAt(0), a);
  EXPECT_EQ(frame->widgetAt(1), c);
  EXPECT_EQ(frame->widgetAt(2), nullptr);
  EXPECT_EQ(frame->widgetAt(-1), nullptr);
  b->forget();
  EXPECT_EQ(journal.destroyed, 1);

  frame->setFocusWidget(c);
  take();
  frame->removeAll();
  EXPECT_EQ(take(), (Lines{"C loses focus", "A removed", "C removed"}));
  EXPECT_EQ(journal.destroyed, 3);
  EXPECT_EQ(frame->widgetCount(), 0);
  EXPECT_EQ(frame->getFocusWidget(), nullptr);

  add({0, 0, 10, 10}, "D");
  frame.reset();
  EXPECT_EQ(journal.destroyed, 4);
}

TEST_F(FrameTest, SecondModalWidgetIsRefusedUntilTheFirstIsCleared) {
  makeFrame();
  Probe m1({0, 0, 10, 10}, journal, "M1"), m2({0, 0, 10, 10}, journal, "M2");
  m1.remember();
  m2.remember();
  EXPECT_TRUE(frame->setModalWidget(&m1));
  EXPECT_FALSE(frame->setModalWidget(&m2));
  EXPECT_EQ(frame->getModalWidget(), &m1);
  EXPECT_TRUE(frame->setModalWidget(nullptr));
  EXPECT_TRUE(frame->setModalWidget(&m2));
  EXPECT_EQ(take(), (Lines{"M1 attached", "M1 removed", "M2 attached"}));
  frame->setModalWidget(nullptr);
}

TEST_F(FrameTest, BackgroundIsRememberedAndTheOldOneForgotten) {
  makeFrame();
  Pixmap* first = Pixmap::fromSurface(Surface(4, 4));
  Pixmap* second = Pixmap::fromSurface(Surface(4, 4));
  frame->setBackground(first);
  frame->setBackground(first);
  EXPECT_EQ(first->referenceCount(), 2);
  frame->setBackground(second);
  EXPECT_EQ(first->referenceCount(), 1);
  EXPECT_EQ(second->referenceCount(), 2);
  frame.reset();
  EXPECT_EQ(second->referenceCount(), 1);
  first->forget();
  second->forget();
}

TEST_F(FrameTest, IdleRedrawDrawsOnlyDirtyWidgetsAndNothingBeforeTheFirstDraw) {
  makeFrame();
  Probe* a = add({0, 0, 10, 10}, "A");
  Probe* b = add({20, 0, 30, 10}, "B");
  frame->idleRedraw();  // new controls are dirty, but the frame was never drawn
  EXPECT_EQ(a->draws + b->draws, 0);

  frame->drawWidget(nullptr);
  EXPECT_EQ(a->draws, 1);
  EXPECT_EQ(b->draws, 1);
  frame->idleRedraw();
  EXPECT_EQ(a->draws + b->draws, 2);

  b->setValue(0.5f);
  frame->idleRedraw();
  EXPECT_EQ(a->draws, 1);
  EXPECT_EQ(b->draws, 2);

  frame->setDirty(true);  // the frame itself dirty: everything, once
  frame->idleRedraw();
  frame->idleRedraw();
  EXPECT_EQ(a->draws, 2);
  EXPECT_EQ(b->draws, 3);

  Probe modal({40, 0, 50, 10}, journal, "M");
  modal.remember();
  frame->setModalWidget(&modal);
  a->setValue(0.5f);
  modal.setValue(0.5f);
  frame->idleRedraw();
  EXPECT_EQ(modal.draws, 1);
  EXPECT_EQ(a->draws, 2);  // while modal, only the modal widget updates
  frame->setModalWidget(nullptr);
}

TEST_F(FrameTest, PaintDrawsBackgroundAndOverlappingWidgetsInsideTheAreaOnly) {
  int parent = 0;
  makeFrame(&parent);
  auto* window = platform.window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->parent, &parent);
  frame->setBackground(Pixmap::fromSurface(Surface(200, 100, kGrey.pixel())));
  frame->getBackground()->forget();
  Probe* a = add({10, 10, 50, 50}, "A", kRed);
  Probe* b = add({100, 10, 140, 50}, "B", kBlue);

  window->queuePaint({0, 0, 30, 30});
  frame->dispatchEvents(false);
  const Surface& pixels = frame->backBuffer();
  EXPECT_EQ(pixels.at(5, 5), kGrey.pixel());
  EXPECT_EQ(pixels.at(29, 29), kRed.pixel());
  EXPECT_EQ(pixels.at(30, 30), 0u);  // A outside the area stays undrawn
  EXPECT_EQ(pixels.at(60, 20), 0u);  // so does the background
  EXPECT_EQ(b->draws, 0);            // B does not overlap
  EXPECT_EQ(a->draws, 1);
  ASSERT_EQ(window->presents.size(), 1u);
  EXPECT_EQ(window->presents[0], (Rect{0, 0, 30, 30}));

  // A second paint waits for a plain dispatch when only one is taken.
  window->queuePaint({100, 10, 140, 50});
  window->queuePaint({0, 0, 200, 100});
  frame->dispatchEvents(true);
  EXPECT_EQ(window->pendingEvents(), 1u);
  EXPECT_EQ(pixels.at(139, 49), kBlue.pixel());
  frame->dispatchEvents(false);
  EXPECT_EQ(pixels.at(190, 90), kGrey.pixel());
  EXPECT_EQ(pixels.at(49, 49), kRed.pixel());
}

TEST_F(FrameTest, QueuedClicksAndWheelAreRoutedAndADestroyedWindowClosesTheFrame) {
  int parent = 0;
  makeFrame(&parent);
  add({10, 10, 50, 50}, "A");
  take();
  auto* window = platform.window();
  window->queueButtonDown({20, 30}, kLeftButton);
  platform.pointer = {15, 15};
  window->queueWheel({15, 15}, -1.0f);
  frame->dispatchEvents(false);
  EXPECT_EQ(take(), (Lines{"A click 20,30", "A wheel -1 painter"}));

  frame->drawWidget(nullptr);
  window->queueDestroyed();
  frame->dispatchEvents(false);
  EXPECT_FALSE(frame->isOpen());
  const int drawn = static_cast<Probe*>(frame->widgetAt(0))->draws;
  frame->widgetAt(0)->setDirty(true);
  frame->idleRedraw();
  EXPECT_EQ(static_cast<Probe*>(frame->widgetAt(0))->draws, drawn);
  frame.reset();  // the native window is already gone
  EXPECT_EQ(platform.windowCount(), 0);
}

}  // namespace
}  // namespace vorlak::editortest
