#include "instrument/core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "common/relaxed.h"
#include "common/text.h"
#include "instrument/parameters.h"

namespace vorlak {
namespace {

// A record as a load takes it: the name cut to what a record holds, values clamped into 0..1,
// and one that is not a number left as the bank has it.
void fillRecord(Program& into, const Program& from, const Program& kept) {
  copyText(into.name, from.name, kProgramNameSize);
  for (int i = 0; i < kNumParameters; ++i) {
    const float value = from.values[i];
    relaxedStore(into.values[i], std::isfinite(value) ? std::fmin(std::fmax(value, 0.0f), 1.0f)
                                                      : relaxedLoad(kept.values[i]));
  }
}

}  // namespace

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
    for (int i = 0; i < kNumParameters; ++i) applyParameter(i, bank->programs[0].values[i]);
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
// While a load waits, an edit belongs to the program the load makes current: it goes into the
// load, and is applied here as well if the load was taken meanwhile.
void InstrumentCore::setParameter(int index, float value) {
  if (index < 0 || index >= kNumParameters || !std::isfinite(value)) return;
  if (float* target = waitingTarget(index)) {
    relaxedStore(*target, std::fmin(std::fmax(value, 0.0f), 1.0f));
    if (loads.stillWaiting()) return;
  }
  applyParameter(index, value);
}

void InstrumentCore::applyParameter(int index, float value) {
  if (index < 0 || index >= kNumParameters || !std::isfinite(value)) return;
  value = std::fmin(std::fmax(value, 0.0f), 1.0f);
  relaxedStore(liveValues[index], value);
  if (bank) relaxedStore(bank->programs[relaxedLoad(currentProgram)].values[index], value);
  if (index == kLatch) setLatch(engine, kLatchParameter, optionIndex(kLatch, value) != 0);
}

// Where a waiting load keeps the current program's value of index; null when none waits.
float* InstrumentCore::waitingTarget(int index) {
  const PendingLoad* load = loads.waiting();
  if (!load || !bank) return nullptr;
  PendingLoad& slot = const_cast<PendingLoad&>(*load);
  Program* record = slot.recordOf(slot.current);
  return &(record ? *record : bank->programs[slot.current]).values[index];
}

float InstrumentCore::parameter(int index) const {
  if (index < 0 || index >= kNumParameters) return 0.0f;
  return bank ? programValue(program(), index) : liveValue(index);
}

float InstrumentCore::liveValue(int index) const {
  if (index < 0 || index >= kNumParameters) return 0.0f;
  return relaxedLoad(liveValues[index]);
}

void InstrumentCore::parameterDisplay(int index, char* text) const {
  formatParameterDisplay(index, loads.waiting() ? parameter(index) : liveValue(index), text);
}

Patch InstrumentCore::patch() const {
  float values[kNumParameters];
  for (int i = 0; i < kNumParameters; ++i) values[i] = relaxedLoad(liveValues[i]);
  return decodePatch(values);
}

int InstrumentCore::program() const {
  if (const PendingLoad* load = loads.waiting()) return load->current;
  return relaxedLoad(currentProgram);
}

bool InstrumentCore::selectProgram(int n) {
  if (!bank || n < 0 || n >= kNumPrograms) return false;
  relaxedStore(currentProgram, n);
  return true;
}

bool InstrumentCore::switchProgram(int n) {
  if (!selectProgram(n)) return false;
  for (int i = 0; i < kNumParameters; ++i)
    applyParameter(i, relaxedLoad(bank->programs[n].values[i]));
  return true;
}

bool InstrumentCore::loadProgram(int n) {
  if (!bank || n < 0 || n >= kNumPrograms) return false;
  PendingLoad& load = loads.claim();
  load.kind = PendingLoad::Kind::kProgram;
  load.current = n;
  publishLoad();
  return true;
}

bool InstrumentCore::loadProgram(int n, const Program& record) {
  if (!bank || n < 0 || n >= kNumPrograms) return false;
  PendingLoad& load = loads.claim();
  load.kind = PendingLoad::Kind::kRecord;
  load.current = n;
  fillRecord(load.record, record, bank->programs[n]);
  publishLoad();
  return true;
}

bool InstrumentCore::replaceBank(const Program* programs, int current) {
  if (!bank || !programs || current < 0 || current >= kNumPrograms) return false;
  PendingLoad& load = loads.claim();
  load.kind = PendingLoad::Kind::kBank;
  load.current = current;
  for (int n = 0; n < kNumPrograms; ++n)
    fillRecord(load.programs[n], programs[n], bank->programs[n]);
  publishLoad();
  return true;
}

void InstrumentCore::setRendering(bool on) {
  rendering.store(on, std::memory_order_release);
  if (!on) takeLoad();
}

void InstrumentCore::publishLoad() {
  loads.publish();
  if (!rendering.load(std::memory_order_acquire)) takeLoad();
}

void InstrumentCore::takeLoad() {
  if (const PendingLoad* load = loads.take()) {
    applyLoad(*load);
    loads.finish();
  }
}

// Values are read as relaxed loads: an edit made while the load waits may still be landing.
void InstrumentCore::applyLoad(const PendingLoad& load) {
  const int n = load.current;
  if (load.kind == PendingLoad::Kind::kBank) {
    for (int k = 0; k < kNumPrograms; ++k) {
      copyText(bank->programs[k].name, load.programs[k].name, kProgramNameSize);
      for (int i = 0; i < kNumParameters; ++i)
        relaxedStore(bank->programs[k].values[i], relaxedLoad(load.programs[k].values[i]));
    }
  } else if (load.kind == PendingLoad::Kind::kRecord) {
    copyText(bank->programs[n].name, load.record.name, kProgramNameSize);
    for (int i = 0; i < kNumParameters; ++i)
      relaxedStore(bank->programs[n].values[i], relaxedLoad(load.record.values[i]));
  }
  switchProgram(n);
}

float InstrumentCore::programValue(int n, int index) const {
  if (!bank || n < 0 || n >= kNumPrograms || index < 0 || index >= kNumParameters) return 0.0f;
  const PendingLoad* load = loads.waiting();
  const Program* record = load ? load->recordOf(n) : nullptr;
  return relaxedLoad((record ? *record : bank->programs[n]).values[index]);
}

// A name edited while a load waits goes into the load, which would otherwise put back the old.
void InstrumentCore::setProgramName(const char* name) {
  if (!bank) return;
  if (PendingLoad* load = loads.reclaim()) {
    Program* record = load->recordOf(load->current);
    copyText((record ? *record : bank->programs[load->current]).name, name, kProgramNameSize);
    publishLoad();
    return;
  }
  copyText(bank->programs[relaxedLoad(currentProgram)].name, name, kProgramNameSize);
}

void InstrumentCore::programName(char* text) const {
  if (!programNameAt(program(), text)) text[0] = 0;
}

bool InstrumentCore::programNameAt(int n, char* text) const {
  if (!bank || n < 0 || n >= kNumPrograms) {
    text[0] = 0;
    return false;
  }
  const PendingLoad* load = loads.waiting();
  const Program* record = load ? load->recordOf(n) : nullptr;
  copyText(text, (record ? *record : bank->programs[n]).name, kProgramNameSize);
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
    applyParameter(parameterQueue[0].index, parameterQueue[0].value);
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
      applyParameter(change.index, change.value);
    else
      parameterQueue[kept++] = change;
  }
  queuedParameters = kept;
}

}  // namespace vorlak
