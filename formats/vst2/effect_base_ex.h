// The second host-facing layer: answers opcodes 25 to 68 and hands the rest down.
#pragma once

#include "formats/vst2/effect_base.h"

namespace vorlak {

class EffectBaseEx : public EffectBase {
 public:
  using EffectBase::EffectBase;

  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) override;

  virtual VstInt32 processEvents(VstEvents*) { return 0; }
  virtual bool canParameterBeAutomated(VstInt32) { return true; }
  virtual bool string2parameter(VstInt32, char*) { return false; }
  virtual VstInt32 getNumCategories() { return 1; }
  virtual bool getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
  virtual bool copyProgram(VstInt32) { return false; }
  virtual bool getInputProperties(VstInt32, VstPinProperties*) { return false; }
  virtual bool getOutputProperties(VstInt32, VstPinProperties*) { return false; }
  virtual VstInt32 getPlugCategory() { return 0; }
  virtual bool setBypass(bool) { return false; }
  virtual bool getEffectName(char*) { return false; }
  virtual bool getVendorString(char*) { return false; }
  virtual bool getProductString(char*) { return false; }
  virtual VstInt32 getVendorVersion() { return 0; }
  virtual VstIntPtr vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }
  virtual VstInt32 canDo(const char*) { return 0; }
  virtual VstInt32 getTailSize() { return 0; }
  virtual VstInt32 getVstVersion() { return 2200; }
  virtual VstInt32 getCurrentMidiProgram(VstInt32, void*) { return -1; }

  virtual void isSynth(bool state) { setFlag(effFlagsIsSynth, state); }
  virtual void noTail(bool state) { setFlag(effFlagsNoSoundInStop, state); }
};

}  // namespace vorlak
