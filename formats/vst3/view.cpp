#include "formats/vst3/view.h"

#include <cstring>
#include <new>

#include "editor/editor.h"
#include "formats/vst3/plugin.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vorlak::vst3 {
namespace {

// The panel's idle rate: its redraws and, on X11, the draining of its window's events.
constexpr uint64_t kIdleMilliseconds = 30;

#if defined(_WIN32)
constexpr const char* kNativePlatform = kPlatformHwnd;
#else
constexpr const char* kNativePlatform = kPlatformX11;
#endif

// The interface numbers its keys and modifiers as the panel does.
static_assert(kKeyLeft == 11 && kKeyDown == 14 && kModifierShift == 1 && kModifierControl == 8);

KeyStroke keyStrokeOf(Char16 key, int16_t keyCode, int16_t modifiers) {
  return {static_cast<int32_t>(key), static_cast<uint8_t>(keyCode & 0xff),
          static_cast<uint8_t>(modifiers & 0xff)};
}

#if defined(_WIN32)
// Windows hosts give a view no run loop: a thread timer of the host's UI thread idles it. The
// timer procedure finds its view by the timer's id.
constexpr int kTimerSlots = 32;
struct TimerSlot {
  UINT_PTR id;
  View* view;
};
TimerSlot timerSlots[kTimerSlots];

void CALLBACK onWin32Timer(HWND, UINT, UINT_PTR id, DWORD) {
  for (TimerSlot& slot : timerSlots)
    if (slot.id == id && slot.view) slot.view->onTimer();
}
#endif

}  // namespace

View* View::create(Plugin& owner, EditorLink& link) {
  Editor* panel = new (std::nothrow) Editor(link);
  if (!panel) return nullptr;
  View* view = new (std::nothrow) View(owner, panel);
  if (!view) delete panel;
  return view;
}

View::~View() {
  stopTimer();
  if (editor && open) editor->close();
  delete editor;
  if (plugin) plugin->viewClosed(this);
}

Result View::queryInterface(const char* iid, void** object) {
  if (!object) return kInvalidArgument;
  void* found = nullptr;
  if (sameUid(iid, Unknown::iid) || sameUid(iid, PlugView::iid))
    found = static_cast<PlugView*>(this);
  else if (sameUid(iid, ContentScaleSupport::iid))
    found = static_cast<ContentScaleSupport*>(this);
  else if (sameUid(iid, TimerHandler::iid))
    found = static_cast<TimerHandler*>(this);
  else if (sameUid(iid, EventHandler::iid))
    found = static_cast<EventHandler*>(this);
  *object = found;
  if (!found) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32_t View::addRef() { return ++references; }

uint32_t View::release() {
  const uint32_t left = --references;
  if (left == 0) delete this;
  return left;
}

Result View::isPlatformTypeSupported(const char* type) {
  return type && std::strcmp(type, kNativePlatform) == 0 ? kResultOk : kResultFalse;
}

Result View::attached(void* parent, const char* type) {
  if (!editor || !parent || isPlatformTypeSupported(type) != kResultOk) return kResultFalse;
  if (open) removed();
  open = editor->open(parent);
  if (!open) return kResultFalse;
  startTimer();
  return kResultOk;
}

Result View::removed() {
  stopTimer();
  if (editor && open) editor->close();
  open = false;
  return kResultOk;
}

Result View::onWheel(float distance) {
  return editor && editor->onWheel(distance) ? kResultOk : kResultFalse;
}

Result View::onKeyDown(Char16 key, int16_t keyCode, int16_t modifiers) {
  if (!editor) return kResultFalse;
  return editor->keyDown(keyStrokeOf(key, keyCode, modifiers)) >= 0 ? kResultOk : kResultFalse;
}

Result View::onKeyUp(Char16 key, int16_t keyCode, int16_t modifiers) {
  if (!editor) return kResultFalse;
  return editor->keyUp(keyStrokeOf(key, keyCode, modifiers)) >= 0 ? kResultOk : kResultFalse;
}

Result View::getSize(ViewRect* size) {
  Rect rect{};
  if (!size || !editor || !editor->getRect(rect)) return kInvalidArgument;
  *size = {rect.left, rect.top, rect.right, rect.bottom};
  return kResultOk;
}

// The panel has the one size its scale gives it.
Result View::onSize(ViewRect* size) { return size ? kResultOk : kInvalidArgument; }

Result View::checkSizeConstraint(ViewRect* rect) {
  ViewRect own{};
  if (!rect || getSize(&own) != kResultOk) return kInvalidArgument;
  rect->right = rect->left + (own.right - own.left);
  rect->bottom = rect->top + (own.bottom - own.top);
  return kResultOk;
}

Result View::setFrame(PlugFrame* newFrame) {
  frame = newFrame;
  return kResultOk;
}

// Before the panel opens the factor decides its opening scale; while open the panel rescales
// and asks for its new size through requestResize.
Result View::setContentScaleFactor(float factor) {
  if (editor) editor->setHostScale(factor);
  watchEvents();
  return kResultOk;
}

void View::requestResize(int width, int height) {
  if (!frame || width <= 0 || height <= 0) return;
  ViewRect size{0, 0, width, height};
  frame->resizeView(this, &size);
}

void View::onTimer() {
  if (editor && open) editor->idle();
}

void View::postUpdate() {
  if (editor) editor->postUpdate();
}

void View::ownerGone() {
  removed();
  delete editor;
  editor = nullptr;
  plugin = nullptr;
}

void View::startTimer() {
#if defined(_WIN32)
  for (TimerSlot& slot : timerSlots) {
    if (slot.view) continue;
    win32Timer = SetTimer(nullptr, 0, kIdleMilliseconds, onWin32Timer);
    if (win32Timer) slot = {win32Timer, this};
    return;
  }
#else
  if (runLoop || !frame) return;
  void* found = nullptr;
  if (frame->queryInterface(RunLoop::iid.bytes, &found) != kResultOk || !found) return;
  runLoop = static_cast<RunLoop*>(found);
  if (runLoop->registerTimer(this, kIdleMilliseconds) != kResultOk) {
    runLoop->release();
    runLoop = nullptr;
    return;
  }
  watchEvents();
#endif
}

// The run loop wakes the view when the panel's display connection has events. A rescaled
// panel reopens on a connection of its own, so the descriptor is registered anew each time,
// even when its number is the old one's (a host forgets a descriptor that was closed).
void View::watchEvents() {
#if !defined(_WIN32)
  if (!runLoop) return;
  if (watchingEvents) runLoop->unregisterEventHandler(this);
  const int fd = editor ? editor->eventDescriptor() : -1;
  watchingEvents = fd >= 0 && runLoop->registerEventHandler(this, fd) == kResultOk;
#endif
}

void View::stopTimer() {
#if defined(_WIN32)
  if (!win32Timer) return;
  KillTimer(nullptr, win32Timer);
  for (TimerSlot& slot : timerSlots)
    if (slot.view == this) slot = {0, nullptr};
  win32Timer = 0;
#else
  if (!runLoop) return;
  if (watchingEvents) runLoop->unregisterEventHandler(this);
  watchingEvents = false;
  runLoop->unregisterTimer(this);
  runLoop->release();
  runLoop = nullptr;
#endif
}

}  // namespace vorlak::vst3
