// The editor as a plug-in format sees it: the few operations a host request can reach. The
// panel derives from this; the format owns whichever editor it made and destroys it, and
// hands it the link through which it reaches the instrument.
#pragma once

#include "common/relaxed.h"
#include "editor/toolkit/editor_link.h"
#include "editor/toolkit/geometry.h"
#include "editor/toolkit/key_stroke.h"

namespace vorlak {

class HostEditor {
 public:
  explicit HostEditor(EditorLink& instrument) : link(instrument) {}
  virtual ~HostEditor() = default;

  HostEditor(const HostEditor&) = delete;
  HostEditor& operator=(const HostEditor&) = delete;

  // The editor's rectangle in device pixels, at the scale it shows (or will open) at; false
  // when it has none to give.
  virtual bool getRect(Rect&) { return false; }
  // The scale the host asks for (a density factor: 1, 1.5, 2...); 0 or not finite when the
  // host says nothing. Before open it decides the opening scale (VORLAK_UI_SCALE still comes
  // first); while open the panel rescales and asks the host for its new size.
  virtual void setHostScale(double scale) { hostScale = scale; }
  // True when the editor opened in the parent window.
  virtual bool open(void* parent) {
    parentWindow = parent;
    return false;
  }
  virtual void close() {}
  virtual void idle() {
    if (updateFlag) {
      updateFlag = false;
      update();
    }
  }
  virtual void update() {}
  virtual void postUpdate() { updateFlag = true; }
  // What the handler answers; -1 when nothing used the key.
  virtual int keyDown(const KeyStroke&) { return -1; }
  virtual int keyUp(const KeyStroke&) { return -1; }
  // True when the mode was taken.
  virtual bool setKnobMode(int) { return false; }
  virtual bool onWheel(float) { return false; }
  // The descriptor on which the open panel's window system signals events, for a host's run
  // loop to watch (idle handles them); -1 when there is none.
  virtual int eventDescriptor() { return -1; }

 protected:
  EditorLink& link;
  void* parentWindow = nullptr;
  double hostScale = 0.0;
  // Posted from any thread, taken by the panel's.
  Relaxed<bool> updateFlag = false;
};

}  // namespace vorlak
