// The bottom host-facing layer: owns the AEffect record and the host callback, answers the
// dispatcher's first 25 opcodes and gives every operation they reach a do-nothing default.
#pragma once

#include "common/relaxed.h"
#include "common/text.h"
#include "formats/vst2/effect_editor_link.h"
#include "formats/vst2/vst2.h"

namespace vorlak {

class HostEditor;

class EffectBase {
 public:
  EffectBase(audioMasterCallback hostCallback, VstInt32 programCount, VstInt32 parameterCount);
  virtual ~EffectBase();

  EffectBase(const EffectBase&) = delete;
  EffectBase& operator=(const EffectBase&) = delete;

  virtual void setParameter(VstInt32, float) {}
  virtual float getParameter(VstInt32) { return 0.0f; }
  virtual void setParameterAutomated(VstInt32 index, float value);
  virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
  virtual void processReplacing(float**, float**, VstInt32) {}
  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt);
  virtual void open() {}
  virtual void close() {}
  virtual VstInt32 getProgram() { return relaxedLoad(currentProgram); }
  virtual void setProgram(VstInt32) {}
  virtual void setProgramName(const char*) {}
  virtual void getProgramName(char* name) { name[0] = 0; }
  virtual void getParameterLabel(VstInt32, char* text) { text[0] = 0; }
  virtual void getParameterDisplay(VstInt32, char* text) { text[0] = 0; }
  virtual void getParameterName(VstInt32, char* text) { text[0] = 0; }
  virtual float getVu() { return 0.0f; }
  virtual VstInt32 getChunk(void**, bool) { return 0; }
  virtual VstInt32 setChunk(void*, VstInt32, bool) { return 0; }
  virtual void setSampleRate(float rate) { sampleRate = rate; }
  virtual void setBlockSize(VstInt32) {}
  virtual void suspend() {}
  virtual void resume() {}

  virtual void setUniqueID(VstInt32 id) { record.uniqueID = id; }
  virtual void setNumInputs(VstInt32 count) { record.numInputs = count; }
  virtual void setNumOutputs(VstInt32 count) { record.numOutputs = count; }
  virtual void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
  virtual void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
  virtual void setInitialDelay(VstInt32 frames) { record.initialDelay = frames; }
  virtual float getSampleRate() { return sampleRate; }
  virtual VstInt32 getBlockSize() { return blockSize; }

  // Host callback wrappers; each answers 0 when the host gave no callback.
  virtual VstInt32 getMasterVersion();
  virtual void masterIdle();
  // Asks the host to make the editor's window width x height; false when it cannot.
  bool sizeWindow(int width, int height);
  virtual bool wantEvents();
  virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
  virtual bool updateDisplay();
  virtual bool beginEdit(VstInt32 index);
  virtual bool endEdit(VstInt32 index);

  AEffect* getAeffect() { return &record; }
  HostEditor* getEditor() { return editor; }
  // The effect takes the editor over (it destroys it) and raises the has-editor flag.
  void attachEditor(HostEditor* newEditor);
  // What an editor made for this effect reaches it through.
  EditorLink& getEditorLink() { return editorLink; }

  // The record's entry points: each recovers the effect from the record's object field.
  static VstIntPtr dispatchEntry(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                 VstIntPtr value, void* ptr, float opt);

 protected:
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  void setFlag(VstInt32 flag, bool state);

  float sampleRate = 44100.0f;
  HostEditor* editor = nullptr;
  audioMasterCallback host;
  VstInt32 programCount;
  VstInt32 parameterCount;
  VstInt32 currentProgram = 0;
  VstInt32 blockSize = 1024;
  AEffect record{};

 private:
  EffectEditorLink editorLink{*this};
  // The editor's rectangle as the last effEditGetRect handed it out.
  ERect editorRect{};
};

}  // namespace vorlak
