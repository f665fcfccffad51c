#include "formats/vst2/instrument.h"

#include <cstring>
#include <initializer_list>

#include "editor/toolkit/host_editor.h"
#include "instrument/adapter.h"
#include "instrument/parameters.h"

namespace vorlak {

Instrument::Instrument(audioMasterCallback hostCallback)
    : EffectBaseEx(hostCallback, kNumPrograms, kNumParameters) {
  setNumInputs(0);
  setNumOutputs(2);
  canProcessReplacing(true);
  setUniqueID(kUniqueId);
  isSynth(true);
  sampleRate = core.sampleRate();
}

void Instrument::setParameter(VstInt32 index, float value) {
  core.setParameter(index, value);
  if (editor) editor->postUpdate();
}

float Instrument::getParameter(VstInt32 index) { return core.parameter(index); }

// The host's or the panel's choice reaches the audio thread whole; the layer above (and the
// panel it keeps) hears of all 28 values.
void Instrument::setProgram(VstInt32 program) {
  if (core.loadProgram(program)) valuesLoaded();
}

void Instrument::programChange(int program) {
  if (core.switchProgram(program)) valuesLoaded();
}

void Instrument::setProgramName(const char* name) { core.setProgramName(name); }

void Instrument::getProgramName(char* name) { core.programName(name); }

bool Instrument::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
  return core.programNameAt(index, text);
}

void Instrument::getParameterLabel(VstInt32, char* text) { text[0] = 0; }

void Instrument::getParameterDisplay(VstInt32 index, char* text) {
  core.parameterDisplay(index, text);
}

void Instrument::getParameterName(VstInt32 index, char* text) {
  copyText(text, parameterName(index), kParameterTextSize);
}

void Instrument::setSampleRate(float rate) {
  if (core.setSampleRate(rate)) sampleRate = rate;
}

void Instrument::setBlockSize(VstInt32 frames) { core.setBlockSize(frames); }

void Instrument::suspend() { core.setRendering(false); }

void Instrument::resume() {
  core.resume();
  core.setRendering(true);
  wantEvents();
}

VstInt32 Instrument::processEvents(VstEvents* events) {
  if (!events) return 1;
  MidiBatch batch(core);
  VstEvent* const* list = eventList(*events);
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    const VstEvent* raw = list[i];
    if (!raw || raw->type != kVstMidiType) continue;
    const auto* midi = reinterpret_cast<const VstMidiEvent*>(raw);
    batch.add({midi->deltaFrames, static_cast<uint8_t>(midi->midiData[0]),
               static_cast<uint8_t>(midi->midiData[1]), static_cast<uint8_t>(midi->midiData[2]),
               static_cast<int8_t>(midi->detune)});
  }
  return 1;
}

void Instrument::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  replacingFlag = true;
  process(inputs, outputs, sampleFrames);
}

void Instrument::process(float**, float** outputs, VstInt32 sampleFrames) {
  const bool replacing = replacingFlag;
  replacingFlag = false;
  const VstTimeInfo* time = getTimeInfo(kVstPpqPosValid | kVstTempoValid);
  const Transport transport{time ? time->tempo : 120.0, time != nullptr};
  core.render(outputs ? outputs[0] : nullptr, outputs ? outputs[1] : nullptr, sampleFrames,
              replacing, transport, *this);
}

bool Instrument::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  if (index != 0 && index != 1) return false;
  copyText(properties->label, "Vorlak", sizeof properties->label);
  properties->flags = kVstPinIsActive | kVstPinIsStereo;
  return true;
}

bool Instrument::getEffectName(char* text) {
  copyText(text, "Vorlak", 32);
  return true;
}

bool Instrument::getVendorString(char* text) {
  copyText(text, "Kivo", 64);
  return true;
}

bool Instrument::getProductString(char* text) {
  copyText(text, "Vorlak", 64);
  return true;
}

VstInt32 Instrument::canDo(const char* text) {
  for (const char* capability : {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"})
    if (std::strcmp(text, capability) == 0) return 1;
  return -1;
}

void Instrument::notifyActivity(VstInt32, float) {}

}  // namespace vorlak
