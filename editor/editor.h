// The instrument's editor. For now it only tells the host its panel rectangle.
#pragma once

#include "editor/host_editor.h"

namespace vorlak {

constexpr VstInt16 kPanelWidth = 396;
constexpr VstInt16 kPanelHeight = 530;

class Editor : public HostEditor {
 public:
  explicit Editor(EffectBase* effect);

  VstIntPtr getRect(ERect** rect) override;

  // A parameter changed (index -1 is the MIDI activity lamp).
  virtual void setParameter(VstInt32 index, float value);

 private:
  ERect rectangle{0, 0, kPanelHeight, kPanelWidth};
};

}  // namespace vorlak
