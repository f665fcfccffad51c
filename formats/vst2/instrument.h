// The synthesizer layer: parameters, programs, the engine state and the render loop. This is
// the one place that wires the engine's subsystems to each other and to the host.
#pragma once

#include "chain/signal_chain.h"
#include "engine/engine.h"
#include "engine/render_clock.h"
#include "formats/vst2/effect_base_ex.h"
#include "instrument/program.h"

namespace vorlak {

constexpr VstInt32 kUniqueId = vstFourCC('V', 'R', 'L', 'K');
// Block sizes above this are treated as garbage: nothing is allocated for them.
constexpr VstInt32 kMaxBlockSize = 1 << 18;
// Used when the announced scratch cannot hold a block the host sends anyway.
constexpr int kFallbackFrames = 256;

class Instrument : public EffectBaseEx {
 public:
  explicit Instrument(audioMasterCallback hostCallback);
  ~Instrument() override;

  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
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

  // For tests: the engine as the render loop leaves it.
  const Engine& engineState() const { return engine; }
  int scratchLength() const { return scratchFrames; }

 protected:
  void renderStretch(float* left, float* right, int frames, int blockOffset, int activityReload);
  void walkEvents(int horizon, int activityReload);

  ProgramBank* bank = nullptr;
  float engineSampleRate = 44100.0f;
  float* renderScratch = nullptr;
  int scratchFrames = 0;
  float* scratchChannels[2] = {nullptr, nullptr};
  bool replacingFlag = false;
  bool constructionFailed = false;
  TickGrid grid{0.0f};
  float fallbackScratch[2][kFallbackFrames];
  Engine engine;
  Chain chain;
};

}  // namespace vorlak
