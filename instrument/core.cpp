#include "instrument/core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "common/relaxed.h"
#include "common/text.h"
#include "instrument/parameters.h"

namespace vorlak {

InstrumentCore::InstrumentCore() {
  std::memset(&engine, 0, sizeof engine);
  std::memset(liveValues, 0, sizeof liveValues);
  std::memset(fallbackScratch, 0, sizeof fallbackScratch);
  engine.latchFlags = 0;
  engine.latchFlagsSeen = 1;

  bank = new (std::nothrow) ProgramBank;
  if (bank) {
    std::memcpy(bank->programs, kFactoryPrograms, sizeof bank->programs);
    currentProgram = 0;
    for (int i = 0; i < kNumParameters; ++i) setParameter(i, bank->programs[0].values[i]);
  }

  setSampleRate(44100.0f);
  engineSetup(engine, engineSampleRate);
  resetChain(chain, engineSampleRate);
  releaseAll(engine);
  resetControllers(engine);
  grid.tickCountdown = 0.0f;
  engine.strumTicks = 0;
}

InstrumentCore::~InstrumentCore() {
  delete bank;
  delete[] renderScratch;
}

// A parameter is 0..1 by definition; anything else would index past the option lists or drive
// the filters to infinity.
void InstrumentCore::setParameter(int index, float value) {
  if (index < 0 || index >= kNumParameters || !std::isfinite(value)) return;
  value = std::fmin(std::fmax(value, 0.0f), 1.0f);
  relaxedStore(liveValues[index], value);
  if (bank) relaxedStore(bank->programs[relaxedLoad(currentProgram)].values[index], value);
  if (index == kLatch) setLatch(engine, kLatchParameter, optionIndex(kLatch, value) != 0);
}

float InstrumentCore::parameter(int index) const {
  if (index < 0 || index >= kNumParameters) return 0.0f;
  return bank ? relaxedLoad(bank->programs[relaxedLoad(currentProgram)].values[index])
              : liveValue(index);
}

float InstrumentCore::liveValue(int index) const {
  if (index < 0 || index >= kNumParameters) return 0.0f;
  return relaxedLoad(liveValues[index]);
}

void InstrumentCore::parameterDisplay(int index, char* text) const {
  formatParameterDisplay(index, liveValue(index), text);
}

Patch InstrumentCore::patch() const {
  float values[kNumParameters];
  for (int i = 0; i < kNumParameters; ++i) values[i] = relaxedLoad(liveValues[i]);
  return decodePatch(values);
}

int InstrumentCore::program() const { return relaxedLoad(currentProgram); }

bool InstrumentCore::selectProgram(int n) {
  if (!bank || n < 0 || n >= kNumPrograms) return false;
  relaxedStore(currentProgram, n);
  return true;
}

bool InstrumentCore::switchProgram(int n) {
  if (!selectProgram(n)) return false;
  for (int i = 0; i < kNumParameters; ++i) setParameter(i, programValue(n, i));
  return true;
}

// The bank is written through the current program, as a host would edit each in turn.
bool InstrumentCore::replaceBank(const Program* programs, int current) {
  if (!bank || !programs || current < 0 || current >= kNumPrograms) return false;
  for (int n = 0; n < kNumPrograms; ++n) {
    selectProgram(n);
    setProgramName(programs[n].name);
    for (int i = 0; i < kNumParameters; ++i) setParameter(i, programs[n].values[i]);
  }
  return switchProgram(current);
}

float InstrumentCore::programValue(int n, int index) const {
  if (!bank || n < 0 || n >= kNumPrograms || index < 0 || index >= kNumParameters) return 0.0f;
  return relaxedLoad(bank->programs[n].values[index]);
}

void InstrumentCore::setProgramName(const char* name) {
  if (bank) copyText(bank->programs[relaxedLoad(currentProgram)].name, name, kProgramNameSize);
}

void InstrumentCore::programName(char* text) const {
  copyText(text, bank ? bank->programs[relaxedLoad(currentProgram)].name : "", kProgramNameSize);
}

bool InstrumentCore::programNameAt(int n, char* text) const {
  if (!bank || n < 0 || n >= kNumPrograms) {
    text[0] = 0;
    return false;
  }
  copyText(text, bank->programs[n].name, kProgramNameSize);
  return true;
}

// A rate of 0 would stop the tick grid and the render loop would never finish, and below
// 22050 Hz filters designed at 44.1 kHz become unstable (the amplifier's tone stages, its
// 2 kHz resonator).
bool InstrumentCore::setSampleRate(float rate) {
  if (!std::isfinite(rate) || rate < 22050.0f || rate > 384000.0f) return false;
  engineSampleRate = rate;
  rateChanged(engine, rate);
  return true;
}

// Without a scratch, rendering goes through the small fixed buffer instead.
void InstrumentCore::setBlockSize(int frames) {
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

void InstrumentCore::resume() {
  releaseAll(engine);
  resetControllers(engine);
  for (StringVoice& voice : engine.voices) {
    std::memset(voice.lineA, 0, sizeof voice.lineA);
    std::memset(voice.pickupLine, 0, sizeof voice.pickupLine);
  }
  engine.strumTicks = 0;
  engine.silenceCount = 5;
}

void InstrumentCore::queueMidi(const MidiMessage* messages, int count) {
  if (messages && count > 0)
    queueEvents(engine, messages, count, scratchFrames > 0 ? scratchFrames - 1 : 0);
}

void InstrumentCore::queueNoteExpressions(const NoteExpression* expressions, int count) {
  if (expressions && count > 0)
    vorlak::queueNoteExpressions(engine, expressions, count,
                                 scratchFrames > 0 ? scratchFrames - 1 : 0);
}

void InstrumentCore::queueParameter(int frame, int index, float value) {
  if (index < 0 || index >= kNumParameters || !std::isfinite(value)) return;
  if (queuedParameters == kParameterQueueSize) {
    setParameter(parameterQueue[0].index, parameterQueue[0].value);
    std::memmove(parameterQueue, parameterQueue + 1,
                 sizeof(ParameterChange) * (kParameterQueueSize - 1));
    --queuedParameters;
  }
  parameterQueue[queuedParameters++] = {std::max(frame, 0), index, value};
}

// The queue is short and rarely holds more than a block's automation, so it is scanned
// whole; what is not yet due keeps its order.
void InstrumentCore::applyDueParameters(int frame) {
  int kept = 0;
  for (int i = 0; i < queuedParameters; ++i) {
    const ParameterChange change = parameterQueue[i];
    if (change.frame <= frame)
      setParameter(change.index, change.value);
    else
      parameterQueue[kept++] = change;
  }
  queuedParameters = kept;
}

}  // namespace vorlak
