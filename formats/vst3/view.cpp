#include "formats/vst3/view.h"

#include <cstring>
#include <new>

#include "editor/editor.h"
#include "formats/vst3/plugin.h"

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
  if (timer.start(*this, frame, kIdleMilliseconds)) watchEvents();
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
  if (plugin) plugin->uiIdle();
  if (!editor || !open || !plugin) return;
  changed.take(
      [&](int i) { editor->setParameter(i, static_cast<float>(plugin->getParamNormalized(i))); });
  editor->idle();
}

void View::showParameter(int index) { changed.mark(index); }

void View::showAll() { changed.markAll(); }

void View::ownerGone() {
  removed();
  delete editor;
  editor = nullptr;
  plugin = nullptr;
}

// The run loop wakes the view when the panel's display connection has events. A rescaled
// panel reopens on a connection of its own, so the descriptor is registered anew each time,
// even when its number is the old one's (a host forgets a descriptor that was closed).
void View::watchEvents() {
#if !defined(_WIN32)
  RunLoop* runLoop = timer.runLoop();
  if (!runLoop) return;
  if (watchingEvents) runLoop->unregisterEventHandler(this);
  const int fd = editor ? editor->eventDescriptor() : -1;
  watchingEvents = fd >= 0 && runLoop->registerEventHandler(this, fd) == kResultOk;
#endif
}

void View::stopTimer() {
#if !defined(_WIN32)
  if (watchingEvents) timer.runLoop()->unregisterEventHandler(this);
  watchingEvents = false;
#endif
  timer.stop();
}

}  // namespace vorlak::vst3
