#include "formats/vst2/effect.h"

#include <cmath>
#include <new>

#include "editor/editor.h"
#include "instrument/adapter.h"

namespace vorlak {

Effect::Effect(audioMasterCallback hostCallback) : Instrument(hostCallback) {
  panel = new (std::nothrow) Editor(getEditorLink());
  if (panel) attachEditor(panel);
  constructionFailed = panel == nullptr;
}

void Effect::setParameter(VstInt32 index, float value) {
  Instrument::setParameter(index, value);
  if (panel && isParameterIndex(index) && std::isfinite(value))
    panel->setParameter(index, core.parameter(index));
}

void Effect::valuesLoaded() {
  if (!panel) return;
  for (int i = 0; i < kNumParameters; ++i) panel->setParameter(i, core.parameter(i));
}

void Effect::notifyActivity(VstInt32 index, float value) {
  if (panel) panel->setParameter(index, value);
}

AEffect* createEffect(audioMasterCallback hostCallback) {
  if (!hostCallback || hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
    return nullptr;
  Effect* effect = new (std::nothrow) Effect(hostCallback);
  if (!effect) return nullptr;
  if (effect->failed()) {
    delete effect;
    return nullptr;
  }
  return effect->getAeffect();
}

}  // namespace vorlak
