// The editor as the effect sees it: the few operations a host request can reach. The panel
// derives from this; the effect owns whichever editor it made and destroys it.
#pragma once

#include "common/relaxed.h"
#include "formats/vst2/vst2.h"

namespace vorlak {

class EffectBase;

class HostEditor {
 public:
  // Stores itself in the effect and raises the has-editor flag there.
  explicit HostEditor(EffectBase* effect);
  virtual ~HostEditor() = default;

  HostEditor(const HostEditor&) = delete;
  HostEditor& operator=(const HostEditor&) = delete;

  virtual VstIntPtr getRect(ERect** rect) {
    *rect = nullptr;
    return 0;
  }
  virtual VstIntPtr open(void* parent) {
    parentWindow = parent;
    return 0;
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
  virtual VstIntPtr keyDown(VstKeyCode&) { return -1; }
  virtual VstIntPtr keyUp(VstKeyCode&) { return -1; }
  virtual VstIntPtr setKnobMode(VstInt32) { return 0; }
  virtual bool onWheel(float) { return false; }

 protected:
  EffectBase* effect;
  void* parentWindow = nullptr;
  // Posted from any thread, taken by the panel's.
  Relaxed<bool> updateFlag = false;
};

}  // namespace vorlak
