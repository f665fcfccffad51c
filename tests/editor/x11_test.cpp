// The editor in a real X server (run under xvfb-run): a test host makes a top-level window,
// opens the editor in it through the X11 platform and drives it with real pointer and key
// events from the XTest extension. Without a server every test fails.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "editor/toolkit/pixmap.h"
#include "editor_fixture.h"
// Last: Xlib defines macros (None, Bool) that clash with GoogleTest.
#include "x11_support.h"

namespace vorlak::editortest {
namespace {

using namespace x11test;

// Shows a three-entry menu where it is clicked and keeps the answer.
class MenuProbe : public Widget {
 public:
  explicit MenuProbe(const Rect& r) : Widget(r) {}
  void mouse(Painter&, Point where) override {
    std::vector<MenuEntry> entries(3);
    entries[0] = {"One", 10};
    entries[1] = {"Two", 20, MenuEntry::kItem, true};
    entries[2] = {"Three", 30};
    answers.push_back(frame()->window()->popupMenu(entries, where, false));
  }
  std::vector<int> answers;
};

class X11Test : public X11Suite {
 protected:
  void SetUp() override {
    setPlatform(nullptr);
    X11Suite::SetUp();
    if (HasFatalFailure()) return;
    parent = makeTopLevel(kParentX, kParentY);
    editor =
        std::make_unique<ProbeEditor>(link, journal, Rect{0, 0, 200, 100}, Rect{10, 10, 50, 50});
  }
  void TearDown() override {
    if (!editor) return;
    editor->close();
    link.onIdle = nullptr;
    XDestroyWindow(host, parent);
    XSync(host, False);
  }

  Window makeTopLevel(int x, int y) { return x11test::makeTopLevel(host, x, y, 300, 200); }
  std::vector<Window> children(Window w) { return x11test::children(host, w); }

  // Runs the host's idle until the condition holds or two seconds pass.
  template <class Condition>
  bool idleUntil(Condition done) {
    for (int i = 0; i < 400; ++i) {
      editor->idle();
      if (done()) return true;
      pauseMs(5);
    }
    return false;
  }

  // Moves the pointer to a point of the editor window, as a user would.
  void pointAt(int x, int y) { moveTo(host, x, y); }
  void button(bool down) { x11test::button(host, down); }

  Window parent = 0;
  Journal journal;
  RecordingLink link;
  std::unique_ptr<ProbeEditor> editor;
};

TEST_F(X11Test, ChildWindowShowsExactlyTheBackBuffer) {
  editor->open(handle(parent));
  const std::vector<Window> kids = children(parent);
  ASSERT_EQ(kids.size(), 1u);
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(host, kids[0], &a));
  EXPECT_EQ(a.width, 200);
  EXPECT_EQ(a.height, 100);
  EXPECT_EQ(a.map_state, IsViewable);
  ASSERT_TRUE(idleUntil([&] { return editor->probe->draws > 0; }));  // the first expose

  // A picture in which every channel varies, so a swapped channel or byte shows.
  Surface picture(200, 100);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      picture.set(
          x, y, (static_cast<uint32_t>(x) * 1237u + static_cast<uint32_t>(y) * 7919u) & 0xffffffu);
  Pixmap* background = Pixmap::fromSurface(picture);
  editor->getFrame()->setBackground(background);
  background->forget();
  editor->redraw(nullptr);

  XImage* shot = XGetImage(host, kids[0], 0, 0, 200, 100, AllPlanes, ZPixmap);
  ASSERT_NE(shot, nullptr);
  const Surface& buffer = editor->getFrame()->backBuffer();
  int wrong = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) wrong += (XGetPixel(shot, x, y) & 0xffffff) != buffer.at(x, y);
  XDestroyImage(shot);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(buffer.at(20, 20), kGreen.pixel());  // the probe over the picture
  EXPECT_EQ(buffer.at(5, 5), picture.at(5, 5));
}

TEST_F(X11Test, RealClickAndDragReachTheWidgetAndTheEditReachesTheInstrument) {
  editor->open(handle(parent));
  ASSERT_TRUE(idleUntil([&] { return editor->probe->draws > 0; }));
  Probe* probe = editor->probe;

  // A quick click: both events are in before the editor looks, yet the press counts.
  pointAt(20, 30);
  button(true);
  button(false);
  ASSERT_TRUE(idleUntil([&] { return !probe->clicks.empty(); }));
  EXPECT_EQ(probe->clicks[0], (Point{20, 30}));
  EXPECT_TRUE(probe->buttonsAtClick & kLeftButton);

  // A drag: the widget's loop polls the buttons and runs the idle pump; the host moves the
  // pointer and lets go from its idle callback.
  probe->followsDrag = true;
  link.calls.clear();
  int step = 0;
  link.onIdle = [&] {
    ++step;
    if (step == 1) pointAt(25, 18);
    if (step == 2) pointAt(40, 35);
    if (step == 3) pointAt(120, 90);  // outside the widget: still followed
    if (step == 4) button(false);
  };
  pointAt(15, 15);
  button(true);
  ASSERT_TRUE(idleUntil([&] { return probe->clicks.size() == 2; }));
  link.onIdle = nullptr;
  EXPECT_EQ(probe->clicks[1], (Point{15, 15}));
  EXPECT_EQ(probe->dragPath, (std::vector<Point>{{15, 15}, {25, 18}, {40, 35}, {120, 90}}));
  EXPECT_EQ(step, 4);
  const auto& calls = link.calls;
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front(), (RecordingLink::Call{RecordingLink::kBeginEdit, 5, 0.0f}));
  EXPECT_EQ(calls.back(), (RecordingLink::Call{RecordingLink::kEndEdit, 5, 0.0f}));
}

TEST_F(X11Test, PopupMenuAnswersTheClickedEntryOrMinusOneWhenDismissed) {
  editor->open(handle(parent));
  auto* menuProbe = new MenuProbe({100, 0, 200, 100});
  editor->getFrame()->addWidget(menuProbe);
  ASSERT_TRUE(idleUntil([&] { return editor->probe->draws > 0; }));

  // A second connection plays the user while the editor's thread is inside the menu.
  enum Act { kPickSecond, kEscape, kClickOutside };
  auto user = [](Act act, std::atomic<bool>& finished) {
    Display* d = XOpenDisplay(nullptr);
    const XWindowAttributes menu = waitForMenu(d);
    const int screen = DefaultScreen(d);
    if (menu.override_redirect) {
      const int row = (menu.height - 2) / 3;
      if (act == kPickSecond) {
        const int y = menu.y + 1 + row + row / 2;
        XTestFakeMotionEvent(d, screen, menu.x + 10, menu.y + 1 + row / 2, CurrentTime);
        XTestFakeMotionEvent(d, screen, menu.x + 20, y, CurrentTime);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
      } else if (act == kEscape) {
        const KeyCode escape = XKeysymToKeycode(d, XK_Escape);
        XTestFakeKeyEvent(d, escape, True, CurrentTime);
        XTestFakeKeyEvent(d, escape, False, CurrentTime);
      } else {
        XTestFakeMotionEvent(d, screen, menu.x + menu.width + 30, menu.y + 5, CurrentTime);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
      }
      XSync(d, False);
    }
    XCloseDisplay(d);
    finished = true;
  };

  for (Act act : {kPickSecond, kEscape, kClickOutside}) {
    std::atomic<bool> finished{false};
    const size_t before = menuProbe->answers.size();
    pointAt(150, 20);
    button(true);
    button(false);
    std::thread player(user, act, std::ref(finished));
    const bool answered = idleUntil([&] { return menuProbe->answers.size() > before; });
    player.join();
    ASSERT_TRUE(answered);
  }
  EXPECT_EQ(menuProbe->answers, (std::vector<int>{20, -1, -1}));
  EXPECT_TRUE(editor->probe->clicks.empty());  // the menu's clicks stay in the menu
}

TEST_F(X11Test, OpeningAndClosingAHundredTimesLeavesNoWindowAndNoConnection) {
  const int files = openFileCount();
  XErrorHandler hostHandler = XSetErrorHandler(countHostError);
  for (int i = 0; i < 100; ++i) {
    editor->open(handle(parent));
    editor->idle();
    if (i % 25 == 0) {
      XSync(host, False);
      EXPECT_EQ(children(parent).size(), 1u);
    }
    editor->close();
  }
  XSync(host, False);
  EXPECT_EQ(children(parent).size(), 0u);
  EXPECT_EQ(openFileCount(), files);
  // The host's own handler is still in place and still hears the host's own errors.
  XDestroyWindow(host, 0x7fffffff);
  XSync(host, False);
  EXPECT_EQ(hostErrors, 1);
  EXPECT_EQ(XSetErrorHandler(hostHandler), countHostError);
}

TEST_F(X11Test, HostDestroyingTheParentFirstDoesNotCrash) {
  // Closed straight after, before the editor has heard of it.
  Window first = makeTopLevel(500, 80);
  editor->open(handle(first));
  editor->idle();
  XDestroyWindow(host, first);
  XSync(host, False);
  editor->close();

  // Heard of in idle: the frame stops drawing, and closing later is quiet.
  Window second = makeTopLevel(500, 80);
  editor->open(handle(second));
  ASSERT_TRUE(idleUntil([&] { return editor->probe->draws > 0; }));
  XDestroyWindow(host, second);
  XSync(host, False);
  ASSERT_TRUE(idleUntil([&] { return !editor->getFrame()->isOpen(); }));
  editor->probe->setValue(0.5f);
  editor->idle();
  editor->redraw(nullptr);
  EXPECT_EQ(editor->getFrame()->window()->buttons(), 0);
  editor->close();

  // A parent that is not a window at all gives a frame without a native window.
  editor->open(handle(0x7ffffff0));
  EXPECT_EQ(editor->getFrame()->window(), nullptr);
  editor->idle();
  editor->close();
}

}  // namespace
}  // namespace vorlak::editortest
