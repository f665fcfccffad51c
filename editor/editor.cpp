#include "editor/editor.h"

#include "host/effect_base.h"

namespace vorlak {

HostEditor::HostEditor(EffectBase* owner) : effect(owner) { owner->attachEditor(this); }

Editor::Editor(EffectBase* effect) : HostEditor(effect) {}

VstIntPtr Editor::getRect(ERect** rect) {
  *rect = &rectangle;
  return 1;
}

void Editor::setParameter(VstInt32, float) {}

}  // namespace vorlak
