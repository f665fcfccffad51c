// The panel as the host's view: opened into the host's X11 window on Linux (the host's run
// loop calls its idle on a timer and when its X connection has events) or HWND on Windows (a
// thread timer of its own), sized as the panel says at the scale the host asks for (content
// scaling), resized through the host's frame when that scale changes while open. Values the
// host or the instrument changed reach the panel at its next idle, which is also where the
// controller tells the host what changed behind its back.
#pragma once

#include <atomic>
#include <cstdint>

#include "editor/changed_parameters.h"
#include "formats/vst3/host_timer.h"
#include "formats/vst3/vst3.h"

namespace vorlak {
class EditorLink;
class Editor;
}  // namespace vorlak

namespace vorlak::vst3 {

class Plugin;

class View final : public PlugView,
                   public ContentScaleSupport,
                   public TimerHandler,
                   public EventHandler {
 public:
  // Null when memory runs out.
  static View* create(Plugin& owner, EditorLink& link);

  Result VST3_CALL queryInterface(const char* iid, void** object) override;
  uint32_t VST3_CALL addRef() override;
  uint32_t VST3_CALL release() override;

  Result VST3_CALL isPlatformTypeSupported(const char* type) override;
  Result VST3_CALL attached(void* parent, const char* type) override;
  Result VST3_CALL removed() override;
  Result VST3_CALL onWheel(float distance) override;
  Result VST3_CALL onKeyDown(Char16 key, int16_t keyCode, int16_t modifiers) override;
  Result VST3_CALL onKeyUp(Char16 key, int16_t keyCode, int16_t modifiers) override;
  Result VST3_CALL getSize(ViewRect* size) override;
  Result VST3_CALL onSize(ViewRect* size) override;
  Result VST3_CALL onFocus(uint8_t) override { return kResultOk; }
  Result VST3_CALL setFrame(PlugFrame* frame) override;
  Result VST3_CALL canResize() override { return kResultFalse; }
  Result VST3_CALL checkSizeConstraint(ViewRect* rect) override;

  Result VST3_CALL setContentScaleFactor(float factor) override;

  void VST3_CALL onTimer() override;
  // The panel's X connection has events waiting.
  void VST3_CALL onFdIsSet(int) override { onTimer(); }

  // A parameter changed (index 0 to 27), or all of them: the panel shows the controller's value
  // at its next idle. Safe from any thread.
  void showParameter(int index);
  void showAll();
  // The panel's new size in device pixels, asked of the host's frame.
  void requestResize(int width, int height);
  // The plug-in goes before the view: the panel, which reaches it, closes now.
  void ownerGone();

 private:
  View(Plugin& owner, Editor* panel) : plugin(&owner), editor(panel) {}
  ~View();

  void watchEvents();
  void stopTimer();

  std::atomic<uint32_t> references{1};
  Plugin* plugin;
  Editor* editor;
  PlugFrame* frame = nullptr;
  HostTimer timer;
  bool watchingEvents = false;
  bool open = false;
  // The parameters the panel has yet to be shown.
  ChangedParameters changed;
};

}  // namespace vorlak::vst3
