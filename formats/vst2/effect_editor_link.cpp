#include "formats/vst2/effect_editor_link.h"

#include "formats/vst2/effect_base.h"

namespace vorlak {
namespace {

constexpr bool same(int editor, int vst2) { return editor == vst2; }

// The modifiers arrive as a float; a host passing garbage must not reach an undefined
// float-to-integer conversion.
int modifierBits(float opt) {
  if (!(opt >= 0.0f && opt < 256.0f)) return 0;
  return static_cast<int>(opt) & 0xff;
}

}  // namespace

// The editor numbers its keys as the interface does, so the conversion is a copy.
static_assert(same(kKeyLeft, VKEY_LEFT) && same(kKeyUp, VKEY_UP) && same(kKeyRight, VKEY_RIGHT) &&
              same(kKeyDown, VKEY_DOWN));
static_assert(same(kModifierShift, MODIFIER_SHIFT) &&
              same(kModifierAlternate, MODIFIER_ALTERNATE) &&
              same(kModifierCommand, MODIFIER_COMMAND) && same(kModifierControl, MODIFIER_CONTROL));

void EffectEditorLink::beginEdit(int index) { effect.beginEdit(index); }
void EffectEditorLink::endEdit(int index) { effect.endEdit(index); }
void EffectEditorLink::setParameterAutomated(int index, float value) {
  effect.setParameterAutomated(index, value);
}
float EffectEditorLink::getParameter(int index) { return effect.getParameter(index); }
int EffectEditorLink::getProgram() { return effect.getProgram(); }
void EffectEditorLink::setProgram(int program) { effect.setProgram(program); }
void EffectEditorLink::updateDisplay() { effect.updateDisplay(); }
void EffectEditorLink::hostIdle() { effect.masterIdle(); }
void EffectEditorLink::requestResize(int width, int height) { effect.sizeWindow(width, height); }

KeyStroke keyStrokeOf(VstInt32 index, VstIntPtr value, float opt) {
  return {index, static_cast<uint8_t>(value & 0xff), static_cast<uint8_t>(modifierBits(opt))};
}

ERect editorRectOf(const Rect& rect) {
  return {static_cast<VstInt16>(rect.top), static_cast<VstInt16>(rect.left),
          static_cast<VstInt16>(rect.bottom), static_cast<VstInt16>(rect.right)};
}

}  // namespace vorlak
