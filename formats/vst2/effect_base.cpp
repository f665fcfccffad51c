#include "formats/vst2/effect_base.h"

#include <cstring>

#include "editor/toolkit/host_editor.h"

namespace vorlak {
namespace {

EffectBase* effectOf(AEffect* record) {
  return record ? static_cast<EffectBase*>(record->object) : nullptr;
}

void processEntry(AEffect* record, float** inputs, float** outputs, VstInt32 frames) {
  if (EffectBase* effect = effectOf(record)) effect->process(inputs, outputs, frames);
}

void processReplacingEntry(AEffect* record, float** inputs, float** outputs, VstInt32 frames) {
  if (EffectBase* effect = effectOf(record)) effect->processReplacing(inputs, outputs, frames);
}

void setParameterEntry(AEffect* record, VstInt32 index, float value) {
  if (EffectBase* effect = effectOf(record)) effect->setParameter(index, value);
}

float getParameterEntry(AEffect* record, VstInt32 index) {
  EffectBase* effect = effectOf(record);
  return effect ? effect->getParameter(index) : 0.0f;
}

}  // namespace

EffectBase::EffectBase(audioMasterCallback hostCallback, VstInt32 programs, VstInt32 parameters)
    : host(hostCallback), programCount(programs), parameterCount(parameters) {
  record.magic = kEffectMagic;
  record.dispatcher = &EffectBase::dispatchEntry;
  record.process = processEntry;
  record.setParameter = setParameterEntry;
  record.getParameter = getParameterEntry;
  record.numPrograms = programs;
  record.numParams = parameters;
  record.numInputs = 1;
  record.numOutputs = 2;
  record.flags = 0;
  record.ioRatio = 1.0f;
  record.object = this;
  record.uniqueID = vstFourCC('N', 'o', 'E', 'f');
  record.version = 1;
  record.processReplacing = processReplacingEntry;
}

EffectBase::~EffectBase() { delete editor; }

void EffectBase::attachEditor(HostEditor* newEditor) {
  editor = newEditor;
  setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void EffectBase::setFlag(VstInt32 flag, bool state) {
  if (state)
    record.flags |= flag;
  else
    record.flags &= ~flag;
}

VstIntPtr EffectBase::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
  return host ? host(&record, opcode, index, value, ptr, opt) : 0;
}

void EffectBase::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 EffectBase::getMasterVersion() {
  return static_cast<VstInt32>(callHost(audioMasterVersion, 0, 0, nullptr, 0.0f));
}
void EffectBase::masterIdle() { callHost(audioMasterIdle, 0, 0, nullptr, 0.0f); }
bool EffectBase::sizeWindow(int width, int height) {
  return callHost(audioMasterSizeWindow, width, height, nullptr, 0.0f) != 0;
}
bool EffectBase::wantEvents() { return callHost(audioMasterWantMidi, 0, 1, nullptr, 0.0f) != 0; }
VstTimeInfo* EffectBase::getTimeInfo(VstInt32 filter) {
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter, nullptr, 0.0f));
}
bool EffectBase::updateDisplay() {
  return callHost(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f) != 0;
}
bool EffectBase::beginEdit(VstInt32 index) {
  return callHost(audioMasterBeginEdit, index, 0, nullptr, 0.0f) != 0;
}
bool EffectBase::endEdit(VstInt32 index) {
  return callHost(audioMasterEndEdit, index, 0, nullptr, 0.0f) != 0;
}

VstIntPtr EffectBase::dispatchEntry(AEffect* record, VstInt32 opcode, VstInt32 index,
                                    VstIntPtr value, void* ptr, float opt) {
  EffectBase* effect = effectOf(record);
  if (!effect) return 0;
  if (opcode == effClose) {
    effect->dispatcher(effClose, index, value, ptr, opt);
    // The record lives inside the effect; the host must not touch it after this.
    delete effect;
    return 1;
  }
  return effect->dispatcher(opcode, index, value, ptr, opt);
}

// Every opcode that writes into ptr treats a null ptr as "nothing to do".
VstIntPtr EffectBase::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 0;
    case effSetProgram:
      if (value >= 0 && value < programCount) setProgram(static_cast<VstInt32>(value));
      return 0;
    case effGetProgram:
      return getProgram();
    case effSetProgramName:
      if (text) setProgramName(text);
      return 0;
    case effGetProgramName:
      if (text) getProgramName(text);
      return 0;
    case effGetParamLabel:
      if (text) getParameterLabel(index, text);
      return 0;
    case effGetParamDisplay:
      if (text) getParameterDisplay(index, text);
      return 0;
    case effGetParamName:
      if (text) getParameterName(index, text);
      return 0;
    case effGetVu:
      return static_cast<VstIntPtr>(getVu() * 32767.0f);
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize(static_cast<VstInt32>(value));
      return 0;
    case effMainsChanged:
      if (value)
        resume();
      else
        suspend();
      return 0;
    case effEditGetRect: {
      if (!editor || !ptr) return 0;
      ERect** answer = static_cast<ERect**>(ptr);
      Rect size;
      if (!editor->getRect(size)) {
        *answer = nullptr;
        return 0;
      }
      editorRect = editorRectOf(size);
      *answer = &editorRect;
      return 1;
    }
    case effEditOpen:
      return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
      if (editor) editor->close();
      return 0;
    case effEditIdle:
      if (editor) editor->idle();
      return 0;
    case effIdentify:
      return kEffectIdentify;
    case effGetChunk:
      return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
      return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
      return 0;
  }
}

}  // namespace vorlak
