#include "editor/toolkit/gui_editor.h"

#include "editor/toolkit/ui_scale.h"

namespace vorlak {

namespace {

int processKnobMode = 0;

}  // namespace

int knobMode() { return processKnobMode; }

// Marks the time the editor spends inside its frame, so that a close arriving meanwhile
// leaves the frame object alive until the outermost call is done with it.
class GuiEditor::FrameCall {
 public:
  explicit FrameCall(GuiEditor& editor) : owner(editor) { ++owner.frameCalls; }
  ~FrameCall() {
    if (--owner.frameCalls == 0) owner.retired.clear();
  }
  FrameCall(const FrameCall&) = delete;
  FrameCall& operator=(const FrameCall&) = delete;

 private:
  GuiEditor& owner;
};

GuiEditor::GuiEditor(EditorLink& instrument)
    : HostEditor(instrument), nextIdle(currentPlatform().tickCount()) {}

GuiEditor::~GuiEditor() {
  closeFrame();
  retired.clear();
}

bool GuiEditor::getRect(Rect& rect) {
  const double scale = panelScale();
  rect = {scaledLength(rectangle.left, scale), scaledLength(rectangle.top, scale),
          scaledLength(rectangle.right, scale), scaledLength(rectangle.bottom, scale)};
  return true;
}

double GuiEditor::openingScale(void* parent) {
  return resolveScale(hostScale, currentPlatform(), parent);
}

// Hosts ask for the rectangle often, some on every idle: the system is asked once, until the
// host's scale changes or the panel opens (which asks again).
double GuiEditor::panelScale() {
  if (frame && frame->isOpen()) return frame->scale();
  if (closedScale == 0.0) closedScale = openingScale(parentWindow);
  return closedScale;
}

void GuiEditor::setHostScale(double scale) {
  hostScale = scale;
  closedScale = 0.0;
  followScale();
}

void GuiEditor::followScale() {
  if (!frame || !frame->isOpen() || !parentWindow) return;
  void* parent = parentWindow;
  if (openingScale(parent) == frame->scale()) return;
  if (!open(parent)) return;
  Rect size;
  getRect(size);
  link.requestResize(size.width(), size.height());
}

// The base makes no frame: the editor deriving from it does, and answers whether it opened.
bool GuiEditor::open(void* parent) {
  if (frame) closeFrame();
  closedScale = 0.0;
  postUpdate();
  parentWindow = parent;
  return false;
}

void GuiEditor::close() { closeFrame(); }

void GuiEditor::closeFrame() {
  if (!frame) return;
  if (frame->getFocusWidget()) frame->setFocusWidget(nullptr);
  if (frameCalls > 0) {
    frame->closeWindow();
    retired.push_back(std::move(frame));
  } else {
    frame.reset();
  }
}

void GuiEditor::idle() {
  if (inIdle) return;
  FrameCall call(*this);
  if (updateFlag) {
    updateFlag = false;
    update();
  }
  if (frame) frame->dispatchEvents(false);
  if (frame && frame->takeScaleChange()) followScale();
  if (frame) frame->idleRedraw();
}

int GuiEditor::keyDown(const KeyStroke& key) {
  FrameCall call(*this);
  return frame ? frame->keyDown(key) : -1;
}

int GuiEditor::keyUp(const KeyStroke& key) {
  FrameCall call(*this);
  return frame ? frame->keyUp(key) : -1;
}

bool GuiEditor::setKnobMode(int mode) {
  processKnobMode = mode;
  return true;
}

bool GuiEditor::onWheel(float distance) {
  FrameCall call(*this);
  return frame ? frame->wheel(nullptr, {0, 0}, distance) : false;
}

void GuiEditor::setParameter(int, float) { postUpdate(); }

void GuiEditor::redraw(Widget*) {
  FrameCall call(*this);
  if (frame) frame->drawWidget(nullptr);
}

// Widgets call this on every step of a mouse loop: the wait keeps the loop from spinning,
// and the work (redraws, one paint, the host's own idle) runs about every 100 ms.
void GuiEditor::idlePump() {
  FrameCall call(*this);
  Platform& platform = currentPlatform();
  uint32_t now = platform.tickCount();
  // Differences rather than comparisons, so the pump survives the clock wrapping around.
  if (static_cast<int32_t>(now - nextIdle) < 0) {
    platform.sleep(4);
    now += 4;
    if (static_cast<int32_t>(now - (nextIdle - 50)) < 0) return;
  }
  if (updateFlag) {
    updateFlag = false;
    update();
  }
  if (frame) frame->idleRedraw();
  if (frame) frame->dispatchEvents(true);
  nextIdle = now + 100;
  inIdle = true;
  link.hostIdle();
  inIdle = false;
}

}  // namespace vorlak
