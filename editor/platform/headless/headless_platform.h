// A window system without a display, for tests and snapshots: a clock that only moves when
// slept on or advanced, windows that show nothing but count what they were asked to
// present, a pointer the test sets (or moves from a script while a widget polls the
// buttons), a preset popup-menu answer and a queue of window events.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "editor/platform/platform.h"

namespace vorlak {

class HeadlessPlatform;

class HeadlessWindow : public NativeWindow {
 public:
  struct Event {
    enum Kind { kPaint, kButtonDown, kWheel, kDestroyed } kind;
    Rect area{0, 0, 0, 0};
    Point point{0, 0};
    int button = 0;
    float distance = 0.0f;
  };

  HeadlessWindow(HeadlessPlatform& platform, void* parent, int width, int height);
  ~HeadlessWindow() override;

  void present(const Surface& backBuffer, const Rect& area) override;
  Point pointer() override;
  int buttons() override;
  void setCursor(int kind) override { cursor = kind; }
  int popupMenu(const std::vector<MenuEntry>& entries, Point at, bool rightButton) override;
  void dispatchEvents(WindowEvents& events, bool paintOnly) override;
  bool alive() const override { return !gone; }
  void close() override { gone = true; }

  void queuePaint(const Rect& area) { queue.push_back({Event::kPaint, area}); }
  void queueButtonDown(Point point, int button) {
    queue.push_back({Event::kButtonDown, {}, point, button});
  }
  void queueWheel(Point point, float distance) {
    queue.push_back({Event::kWheel, {}, point, 0, distance});
  }
  // The host destroyed the parent: the window is gone at once and says so when drained.
  void queueDestroyed() {
    gone = true;
    queue.push_back({Event::kDestroyed});
  }
  size_t pendingEvents() const { return queue.size(); }

  void* parent;
  int width, height;
  int cursor = 0;
  std::vector<Rect> presents;
  std::vector<MenuEntry> lastMenu;
  double shownScale() const { return scale; }
  Point lastMenuAt{0, 0};

 private:
  HeadlessPlatform& owner;
  std::deque<Event> queue;
  bool gone = false;
};

class HeadlessPlatform : public Platform {
 public:
  // The platform must outlive its windows.
  std::unique_ptr<NativeWindow> createWindow(void* parent, int width, int height) override;
  uint32_t tickCount() override { return clock; }
  void sleep(int milliseconds) override {
    ++sleeps;
    clock += static_cast<uint32_t>(milliseconds);
  }

  double systemScale(void*) override { return screenScale; }

  // The window made last that still exists, or null.
  HeadlessWindow* window() const { return windows.empty() ? nullptr : windows.back(); }
  int windowCount() const { return static_cast<int>(windows.size()); }

  uint32_t clock = 0;
  int sleeps = 0;
  Point pointer{0, 0};
  int buttons = 0;  // MouseButtons bits
  // Runs on every buttons() query, before the answer is read; the argument counts the
  // queries from 0, so a script can move the pointer and let go of the button mid-loop.
  std::function<void(int query)> script;
  int buttonQueries = 0;
  int menuChoice = -1;
  double screenScale = 0.0;  // what the "system" says; 0 nothing

 private:
  friend class HeadlessWindow;
  std::vector<HeadlessWindow*> windows;
};

}  // namespace vorlak
