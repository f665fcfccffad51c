// The LV2 UI: the panel in its window, and the link through which it reaches the plug-in,
// which for LV2 means the host's control ports. A moved control writes its port through the
// host's write function inside the host's touch gesture; a port value the host reports is
// shown; stepping the program writes the factory program's 28 values to the ports.
#pragma once

#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <memory>

#include "editor/toolkit/editor_link.h"
#include "instrument/program.h"

namespace vorlak {
class Editor;
}

namespace vorlak::lv2 {

class PanelWindow;

class Ui final : public EditorLink {
 public:
  // Null without a parent window, or when the display or the panel cannot be opened. Sets
  // widget to the window the host embeds.
  static Ui* create(LV2UI_Write_Function write, LV2UI_Controller controller,
                    const LV2_Feature* const* features, LV2UI_Widget* widget);
  ~Ui() override;

  // Control port values (float protocol) are kept and shown; anything else is ignored.
  void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // Non-zero once the window has gone with the host's parent window.
  int idle();
  // Options the host sets while the UI runs: ui:scaleFactor rescales the panel.
  uint32_t setOptions(const LV2_Options_Option* options);

  void beginEdit(int index) override;
  void endEdit(int index) override;
  void setParameterAutomated(int index, float value) override;
  float getParameter(int index) override;
  // The UI cannot see the plug-in's current program: this is the last one stepped to here.
  int getProgram() override { return program; }
  void setProgram(int program) override;
  void updateDisplay() override {}
  void hostIdle() override {}
  // The panel rescaled while open: the window follows, and the host is asked to.
  void requestResize(int width, int height) override;

 private:
  Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);

  LV2UI_Write_Function write;
  LV2UI_Controller controller;
  const LV2UI_Touch* touch;
  const LV2UI_Resize* resize = nullptr;
  // ui:scaleFactor and the types its value may come in, through the host's map; 0 without one.
  LV2_URID scaleKey = 0, floatType = 0, doubleType = 0;
  float values[kNumParameters];
  int program = 0;
  std::unique_ptr<PanelWindow> window;
  std::unique_ptr<Editor> panel;  // after the window: closed before it goes
};

}  // namespace vorlak::lv2
