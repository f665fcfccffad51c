#include "formats/vst2/effect_base_ex.h"

#include "editor/toolkit/host_editor.h"

namespace vorlak {

VstIntPtr EffectBaseEx::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effProcessEvents:
      if (ptr) processEvents(static_cast<VstEvents*>(ptr));
      return 1;
    case effCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
      return 0;
    case effGetNumProgramCategories:
      return getNumCategories();
    case effGetProgramNameIndexed:
      return text && getProgramNameIndexed(static_cast<VstInt32>(value), index, text) ? 1 : 0;
    case effCopyProgram:
      return 0;
    case effConnectInput:
    case effConnectOutput:
      return 1;
    case effGetInputProperties:
      return 0;
    case effGetOutputProperties:
      if (!ptr) return 0;
      return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
      return getPlugCategory();
    case effSetBlockSizeAndSampleRate:
      // Only the frame's own fields: the engine keeps what the separate requests gave it.
      blockSize = static_cast<VstInt32>(value);
      sampleRate = opt;
      return 1;
    case effSetBypass:
      return 0;
    case effGetEffectName:
      return text && getEffectName(text) ? 1 : 0;
    case effGetVendorString:
      return text && getVendorString(text) ? 1 : 0;
    case effGetProductString:
      return text && getProductString(text) ? 1 : 0;
    case effCanDo:
      return text ? canDo(text) : -1;
    case effKeysRequired:
      return 1;
    case effGetVstVersion:
      return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
      if (!editor) return 0;
      const KeyStroke key = keyStrokeOf(index, value, opt);
      return opcode == effEditKeyDown ? editor->keyDown(key) : editor->keyUp(key);
    }
    case effSetEditKnobMode:
      return editor && editor->setKnobMode(static_cast<int>(value)) ? 1 : 0;
    case effGetCurrentMidiProgram:
      return -1;
    default:
      if (opcode >= effProcessEvents) return 0;
      return EffectBase::dispatcher(opcode, index, value, ptr, opt);
  }
}

}  // namespace vorlak
