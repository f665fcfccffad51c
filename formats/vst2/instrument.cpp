#include "formats/vst2/instrument.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <new>

#include "editor/toolkit/host_editor.h"
#include "instrument/parameters.h"

namespace vorlak {

Instrument::Instrument(audioMasterCallback hostCallback)
    : EffectBaseEx(hostCallback, kNumPrograms, kNumParameters) {
  std::memset(&engine, 0, sizeof engine);
  std::memset(fallbackScratch, 0, sizeof fallbackScratch);
  engine.latchFlags = 0;
  engine.latchFlagsSeen = 1;

  bank = new (std::nothrow) ProgramBank;
  if (bank) {
    std::memcpy(bank->programs, kFactoryPrograms, sizeof bank->programs);
    currentProgram = 0;
    for (int i = 0; i < kNumParameters; ++i)
      Instrument::setParameter(i, bank->programs[0].values[i]);
  }

  setNumInputs(0);
  setNumOutputs(2);
  canProcessReplacing(true);
  setUniqueID(kUniqueId);
  isSynth(true);

  Instrument::setSampleRate(44100.0f);
  engineSetup(engine, engineSampleRate);
  resetChain(chain, engineSampleRate);
  releaseAll(engine);
  resetControllers(engine);
  grid.tickCountdown = 0.0f;
  engine.strumTicks = 0;
}

Instrument::~Instrument() {
  delete bank;
  delete[] renderScratch;
}

void Instrument::setParameter(VstInt32 index, float value) {
  // A parameter is 0..1 by definition; anything else would index past the option lists or
  // drive the filters to infinity. Values that are not numbers are ignored.
  if (index >= 0 && index < kNumParameters && std::isfinite(value)) {
    value = std::fmin(std::fmax(value, 0.0f), 1.0f);
    relaxedStore(engine.liveValues[index], value);
    if (bank) relaxedStore(bank->programs[relaxedLoad(currentProgram)].values[index], value);
    if (index == kLatch) setLatch(engine, kLatchParameter, optionIndex(kLatch, value) != 0);
  }
  if (editor) editor->postUpdate();
}

float Instrument::getParameter(VstInt32 index) {
  if (index < 0 || index >= kNumParameters) return 0.0f;
  return bank ? relaxedLoad(bank->programs[relaxedLoad(currentProgram)].values[index])
              : liveValue(engine, index);
}

void Instrument::setProgram(VstInt32 program) {
  if (!bank || program < 0 || program >= kNumPrograms) return;
  relaxedStore(currentProgram, program);
  for (int i = 0; i < kNumParameters; ++i)
    setParameter(i, relaxedLoad(bank->programs[program].values[i]));
}

// Longer names are cut to the 23 characters the record holds.
void Instrument::setProgramName(const char* name) {
  if (bank) copyText(bank->programs[relaxedLoad(currentProgram)].name, name, kProgramNameSize);
}

void Instrument::getProgramName(char* name) {
  copyText(name, bank ? bank->programs[relaxedLoad(currentProgram)].name : "", kProgramNameSize);
}

bool Instrument::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
  if (!bank || index < 0 || index >= kNumPrograms) {
    text[0] = 0;
    return false;
  }
  copyText(text, bank->programs[index].name, kProgramNameSize);
  return true;
}

void Instrument::getParameterLabel(VstInt32, char* text) { text[0] = 0; }

void Instrument::getParameterDisplay(VstInt32 index, char* text) {
  if (index < 0 || index >= kNumParameters) {
    text[0] = 0;
    return;
  }
  formatParameterDisplay(index, liveValue(engine, index), text);
}

void Instrument::getParameterName(VstInt32 index, char* text) {
  copyText(text, parameterName(index), kParameterTextSize);
}

// Rates that are not numbers or lie outside 22050 to 384000 Hz are ignored: a rate of 0 would
// stop the tick grid and the render loop would never finish, and below 22050 Hz filters
// designed at 44.1 kHz become unstable (the amplifier's tone stages, its 2 kHz resonator).
void Instrument::setSampleRate(float rate) {
  if (!std::isfinite(rate) || rate < 22050.0f || rate > 384000.0f) return;
  sampleRate = rate;
  engineSampleRate = rate;
  rateChanged(engine, rate);
}

// A size of 0, a negative or an absurd size leaves no scratch; rendering then goes through
// the small fixed buffer instead.
void Instrument::setBlockSize(VstInt32 frames) {
  if (frames == scratchFrames) return;
  delete[] renderScratch;
  renderScratch = nullptr;
  scratchFrames = 0;
  scratchChannels[0] = scratchChannels[1] = nullptr;
  if (frames <= 0 || frames > kMaxBlockSize) return;
  renderScratch = new (std::nothrow) float[2 * static_cast<size_t>(frames)];
  if (!renderScratch) return;
  scratchFrames = frames;
  scratchChannels[0] = renderScratch;
  scratchChannels[1] = renderScratch + frames;
}

void Instrument::suspend() {}

void Instrument::resume() {
  releaseAll(engine);
  resetControllers(engine);
  for (StringVoice& voice : engine.voices) {
    std::memset(voice.lineA, 0, sizeof voice.lineA);
    std::memset(voice.pickupLine, 0, sizeof voice.pickupLine);
  }
  engine.strumTicks = 0;
  engine.silenceCount = 5;
  wantEvents();
}

VstInt32 Instrument::processEvents(VstEvents* events) {
  if (events) queueEvents(engine, *events, scratchFrames > 0 ? scratchFrames - 1 : 0);
  return 1;
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
