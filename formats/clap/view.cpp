#include "formats/clap/view.h"

#include <cmath>
#include <cstring>
#include <new>

#include "editor/editor.h"
#include "editor/platform/platform.h"
#include "formats/clap/plugin.h"
#include "instrument/adapter.h"

namespace vorlak::clap {
namespace {

// As often as VST 2 hosts idle their editors.
constexpr uint32_t kIdlePeriodMs = 20;

}  // namespace

PanelView::PanelView(Instance& owner) : instance(owner) {}

std::unique_ptr<PanelView> PanelView::create(Instance& owner) {
  std::unique_ptr<PanelView> view(new (std::nothrow) PanelView(owner));
  if (!view) return nullptr;
  view->editor.reset(new (std::nothrow) Editor(*view));
  if (!view->editor) return nullptr;
  return view;
}

PanelView::~PanelView() {
  releaseHostResources();
  if (editor) editor->close();
}

void PanelView::releaseHostResources() {
  const HostExtensions& host = instance.hostExtensions;
  if (timer != kInvalidId && host.timers && host.timers->unregisterTimer)
    host.timers->unregisterTimer(instance.host, timer);
  timer = kInvalidId;
  releaseDescriptor();
}

// Given back while the connection is still open, so that the host can take it off its set.
void PanelView::releaseDescriptor() {
  const HostExtensions& host = instance.hostExtensions;
  if (descriptor >= 0 && host.fds && host.fds->unregisterFd)
    host.fds->unregisterFd(instance.host, descriptor);
  descriptor = -1;
  watchedWindow = nullptr;
}

// The panel snaps the host's scale to its nearest step (1 to 3); with VORLAK_UI_SCALE set,
// the user's choice stands over the host's. Open, the panel reopens at the new scale and asks
// for its new size through requestResize.
bool PanelView::setScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0.0) return false;
  releaseDescriptor();
  editor->setHostScale(scale);
  followDescriptor();
  return true;
}

bool PanelView::getSize(uint32_t& width, uint32_t& height) {
  Rect rect;
  if (!editor->getRect(rect)) return false;
  width = static_cast<uint32_t>(rect.right - rect.left);
  height = static_cast<uint32_t>(rect.bottom - rect.top);
  return true;
}

bool PanelView::setParent(const Window& window) {
  if (editor->isOpened() || !window.api || std::strcmp(window.api, kNativeWindowApi) != 0)
    return false;
  void* parent =
      kOnX11 ? reinterpret_cast<void*>(static_cast<uintptr_t>(window.x11)) : window.win32;
  if (!parent || !editor->open(parent) || !editor->getFrame() || !editor->getFrame()->window()) {
    editor->close();
    return false;
  }
  const HostExtensions& host = instance.hostExtensions;
  if (host.timers && host.timers->registerTimer &&
      !host.timers->registerTimer(instance.host, kIdlePeriodMs, &timer))
    timer = kInvalidId;
  followDescriptor();
  return true;
}

// The panel reopens in a new window, on a new display connection, when its scale changes: the
// host then waits on the new connection's descriptor instead of the old one, registered anew
// even when the number is the old one's (a host's epoll set forgot it when it was closed).
void PanelView::followDescriptor() {
  RootFrame* frame = editor->getFrame();
  const NativeWindow* window = frame ? frame->window() : nullptr;
  if (window == watchedWindow) return;
  releaseDescriptor();
  watchedWindow = window;
  const HostExtensions& host = instance.hostExtensions;
  if (!host.fds || !host.fds->registerFd) return;
  const int events = window ? window->eventDescriptor() : -1;
  if (events >= 0 && host.fds->registerFd(instance.host, events, kFdRead)) descriptor = events;
}

void PanelView::requestResize(int width, int height) {
  const HostGui* gui = instance.hostExtensions.gui;
  if (gui && gui->requestResize && width > 0 && height > 0)
    gui->requestResize(instance.host, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
}

void PanelView::idle() {
  if (!editor->isOpened()) return;
  instance.edits.changed.take([&](int i) { editor->setParameter(i, instance.core.parameter(i)); });
  editor->idle();
  followDescriptor();  // the idle may have reopened the panel on another screen's scale
}

void PanelView::requestFlush() {
  const HostParams* params = instance.hostExtensions.params;
  if (params && params->requestFlush) params->requestFlush(instance.host);
  const Host* host = instance.host;
  if (instance.asleep.load(std::memory_order_relaxed) && host->requestProcess)
    host->requestProcess(host);
}

void PanelView::beginEdit(int index) {
  if (!isParameterIndex(index)) return;
  instance.edits.push({PanelEdit::kBegin, static_cast<uint8_t>(index), 0.0f});
  requestFlush();
}

void PanelView::endEdit(int index) {
  if (!isParameterIndex(index)) return;
  instance.edits.push({PanelEdit::kEnd, static_cast<uint8_t>(index), 0.0f});
  requestFlush();
}

void PanelView::setParameterAutomated(int index, float value) {
  if (!isParameterIndex(index) || !std::isfinite(value)) return;
  instance.core.setParameter(index, value);
  instance.edits.push(
      {PanelEdit::kValue, static_cast<uint8_t>(index), instance.core.parameter(index)});
  editor->setParameter(index, instance.core.parameter(index));
  requestFlush();
}

float PanelView::getParameter(int index) { return instance.core.parameter(index); }

int PanelView::getProgram() { return instance.core.program(); }

void PanelView::setProgram(int program) {
  if (instance.core.loadProgram(program)) instance.valuesReplaced();
}

}  // namespace vorlak::clap
