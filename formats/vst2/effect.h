// The class the entry point instantiates: the instrument plus its editor.
#pragma once

#include "formats/vst2/instrument.h"

namespace vorlak {

class Editor;

class Effect : public Instrument {
 public:
  explicit Effect(audioMasterCallback hostCallback);

  void setParameter(VstInt32 index, float value) override;
  void notifyActivity(VstInt32 index, float value) override;
  void valuesLoaded() override;

  bool failed() const { return constructionFailed; }

 private:
  Editor* panel = nullptr;
};

// Makes an instance as the entry point does; null when the host is too old to answer its
// version or an allocation fails.
AEffect* createEffect(audioMasterCallback hostCallback);

}  // namespace vorlak
