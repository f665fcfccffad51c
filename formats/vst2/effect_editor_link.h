// The editor's side of the VST 2 layers: the link through which the panel reaches the
// effect, and the conversions of the editor's keys and rectangle to and from the interface.
#pragma once

#include "editor/toolkit/editor_link.h"
#include "editor/toolkit/geometry.h"
#include "editor/toolkit/key_stroke.h"
#include "formats/vst2/vst2.h"

namespace vorlak {

class EffectBase;

// Each operation is the effect's own: its parameter and program operations and its host
// callback wrappers.
class EffectEditorLink final : public EditorLink {
 public:
  explicit EffectEditorLink(EffectBase& owner) : effect(owner) {}

  void beginEdit(int index) override;
  void endEdit(int index) override;
  void setParameterAutomated(int index, float value) override;
  float getParameter(int index) override;
  int getProgram() override;
  void setProgram(int program) override;
  void updateDisplay() override;
  void hostIdle() override;
  void requestResize(int width, int height) override;

 private:
  EffectBase& effect;
};

// The key of effEditKeyDown and effEditKeyUp: the character in index, the virtual key in
// value, the modifier bits in opt.
KeyStroke keyStrokeOf(VstInt32 index, VstIntPtr value, float opt);

ERect editorRectOf(const Rect& rect);

}  // namespace vorlak
