// The panel in a CLAP host's window (clap.gui): embedded, never floating, on X11 or Win32. It
// idles on the host's timer and, on X11, wakes on its display connection through the host's
// descriptor support; closing gives both back. The panel reaches the instrument through the
// link below: its edits go to the core at once and to the host as gesture begin, value and
// end, on the next process call or a flush the link asks the host for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "editor/toolkit/editor_link.h"
#include "formats/clap/clap_extensions.h"

namespace vorlak {
class Editor;
class NativeWindow;
}  // namespace vorlak

namespace vorlak::clap {

class Instance;

// The one window system this build embeds into ("x11" or "win32", from the build).
constexpr const char* kNativeWindowApi = VORLAK_CLAP_WINDOW_API;
constexpr bool kOnX11 = std::char_traits<char>::compare(VORLAK_CLAP_WINDOW_API, "x11", 4) == 0;

class PanelView final : public EditorLink {
 public:
  // Null when memory runs out.
  static std::unique_ptr<PanelView> create(Instance& owner);
  ~PanelView() override;
  PanelView(const PanelView&) = delete;
  PanelView& operator=(const PanelView&) = delete;

  // The scale the host asks for; refused when not a positive number.
  bool setScale(double scale);
  bool getSize(uint32_t& width, uint32_t& height);
  // Opens the panel in the host's window; a second parent is refused.
  bool setParent(const Window& window);
  // Called on the host's timer and when the display connection has something to read.
  void idle();

  void beginEdit(int index) override;
  void endEdit(int index) override;
  void setParameterAutomated(int index, float value) override;
  float getParameter(int index) override;
  int getProgram() override;
  void setProgram(int program) override;
  void updateDisplay() override {}
  void hostIdle() override {}
  void requestResize(int width, int height) override;

 private:
  explicit PanelView(Instance& owner);

  void followDescriptor();
  void releaseDescriptor();
  void requestFlush();
  void releaseHostResources();

  Instance& instance;
  std::unique_ptr<Editor> editor;
  Id timer = kInvalidId;
  int descriptor = -1;
  const NativeWindow* watchedWindow = nullptr;  // whose descriptor the host waits on
};

}  // namespace vorlak::clap
