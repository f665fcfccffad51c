// The synthesizer layer: the VST 2 face of the format-neutral core. It answers the host's
// parameter, program and identity requests from the core and converts the host's events and
// time info into the core's records; the core does the rest.
#pragma once

#include "formats/vst2/effect_base_ex.h"
#include "instrument/core.h"

namespace vorlak {

constexpr VstInt32 kUniqueId = vstFourCC('V', 'R', 'L', 'K');

class Instrument : public EffectBaseEx, private RenderListener {
 public:
  explicit Instrument(audioMasterCallback hostCallback);

  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  VstInt32 getProgram() override { return core.program(); }
  void setProgram(VstInt32 program) override;
  void setProgramName(const char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(VstInt32 index, char* text) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* text) override;
  void setSampleRate(float rate) override;
  void setBlockSize(VstInt32 frames) override;
  void suspend() override;
  void resume() override;
  VstInt32 processEvents(VstEvents* events) override;
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  bool getEffectName(char* text) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  VstInt32 canDo(const char* text) override;
  VstInt32 getPlugCategory() override { return kPlugCategSynth; }

  virtual void notifyActivity(VstInt32 index, float value);
  // A program's values were loaded whole: whatever shows them takes all 28 again.
  virtual void valuesLoaded() {}

  // For tests: the engine and the chain as the render loop leaves them.
  const Engine& engineState() const { return core.engineState(); }
  const Chain& chainState() const { return core.chainState(); }
  float liveValue(int index) const { return core.liveValue(index); }
  int scratchLength() const { return core.scratchLength(); }

 protected:
  InstrumentCore core;
  bool constructionFailed = false;

 private:
  // A MIDI program change takes effect at its frame, on the audio thread.
  void programChange(int program) override;
  void activityChanged(bool active) override { notifyActivity(-1, active ? 1.0f : 0.0f); }

  bool replacingFlag = false;
};

}  // namespace vorlak
