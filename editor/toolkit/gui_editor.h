// The editor base the host drives: rectangle, open and close, the idle pump that keeps redraws
// and the host going inside mouse loops, keys, knob mode and wheel.
#pragma once

#include <memory>
#include <vector>

#include "editor/toolkit/host_editor.h"
#include "editor/toolkit/root_frame.h"

namespace vorlak {

// The process-wide knob mode: 2 makes knobs follow straight drags, anything else the angle.
int knobMode();

class GuiEditor : public HostEditor {
 public:
  explicit GuiEditor(EditorLink& instrument);
  ~GuiEditor() override;

  bool getRect(Rect& rect) override;
  void setHostScale(double scale) override;
  bool open(void* parent) override;
  void close() override;
  void idle() override;
  int keyDown(const KeyStroke& key) override;
  int keyUp(const KeyStroke& key) override;
  bool setKnobMode(int mode) override;
  bool onWheel(float distance) override;
  int eventDescriptor() override {
    return frame && frame->window() ? frame->window()->eventDescriptor() : -1;
  }

  // From the format after a parameter changed anywhere; value is the instrument's new one.
  virtual void setParameter(int index, float value);
  virtual void redraw(Widget* widget);
  virtual void idlePump();

  RootFrame* getFrame() { return frame.get(); }
  // The scale of the open panel, or the one it would open at now.
  double panelScale();
  EditorLink& getLink() { return link; }

 protected:
  // Destroys the frame and its widgets; nothing without one. Called from inside the frame's
  // own event handling (the host closing the editor from its idle callback during a mouse
  // loop), it takes the window away at once and deletes the frame when the handling returns.
  void closeFrame();
  // True while a call into the frame is still running further up the stack.
  bool insideFrameCall() const { return frameCalls > 0; }
  // The scale a panel opening in parent shows at.
  double openingScale(void* parent);
  // Opens the panel again at the scale now resolved when that differs from the one it shows,
  // and asks the host for the new size.
  void followScale();

  Rect rectangle{0, 0, 0, 0};  // logical
  double closedScale = 0.0;    // the scale the rectangle answers while closed; 0 not asked yet
  std::unique_ptr<RootFrame> frame;
  uint32_t nextIdle;
  bool inIdle = false;

 private:
  class FrameCall;

  int frameCalls = 0;
  std::vector<std::unique_ptr<RootFrame>> retired;
};

}  // namespace vorlak
