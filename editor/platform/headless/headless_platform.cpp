#include "editor/platform/headless/headless_platform.h"

#include <algorithm>

namespace vorlak {

HeadlessWindow::HeadlessWindow(HeadlessPlatform& platform, void* parentWindow, int w, int h)
    : parent(parentWindow), width(w), height(h), owner(platform) {
  owner.windows.push_back(this);
}

HeadlessWindow::~HeadlessWindow() {
  auto& list = owner.windows;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void HeadlessWindow::present(const Surface&, const Rect& area) {
  if (!gone) presents.push_back(area);
}

Point HeadlessWindow::pointer() { return owner.pointer; }

int HeadlessWindow::buttons() {
  if (owner.script) owner.script(owner.buttonQueries);
  ++owner.buttonQueries;
  return gone ? 0 : owner.buttons;
}

int HeadlessWindow::popupMenu(const std::vector<MenuEntry>& entries, Point at, bool) {
  lastMenu = entries;
  lastMenuAt = at;
  return gone ? -1 : owner.menuChoice;
}

void HeadlessWindow::dispatchEvents(WindowEvents& events, bool paintOnly) {
  if (paintOnly) {
    auto paint = std::find_if(queue.begin(), queue.end(),
                              [](const Event& e) { return e.kind == Event::kPaint; });
    if (paint == queue.end()) return;
    Rect area = paint->area;
    queue.erase(paint);
    events.onPaint(area);
    return;
  }
  // Handlers may queue more (or run a nested paint-only pass); take one at a time.
  while (!queue.empty()) {
    Event e = queue.front();
    queue.pop_front();
    switch (e.kind) {
      case Event::kPaint:
        events.onPaint(e.area);
        break;
      case Event::kButtonDown:
        events.onButtonDown(e.point, e.button);
        break;
      case Event::kWheel:
        events.onWheel(e.point, e.distance);
        break;
      case Event::kDestroyed:
        events.onDestroyed();
        return;
    }
  }
}

std::unique_ptr<NativeWindow> HeadlessPlatform::createWindow(void* parent, int width, int height) {
  if (!parent) return nullptr;
  return std::make_unique<HeadlessWindow>(*this, parent, width, height);
}

}  // namespace vorlak
