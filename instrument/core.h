// The instrument with no plug-in format: the parameters and the program bank, the engine and
// the chain, and the render loop that drives them. A format holds one core, converts what its
// host sends into the plain records below and passes the answers back.
#pragma once

#include "chain/signal_chain.h"
#include "engine/engine.h"
#include "engine/render_clock.h"
#include "instrument/load_handoff.h"
#include "instrument/program.h"

namespace vorlak {

// Block sizes above this are treated as garbage: nothing is allocated for them.
constexpr int kMaxBlockSize = 1 << 18;
// Used when the announced scratch cannot hold a block the host sends anyway.
constexpr int kFallbackFrames = 256;

// A tail without end, as the plug-in formats spell it.
constexpr uint32_t kEndlessTail = 0xFFFFFFFFu;
// -120 dBFS: below any converter's noise floor, and far above the anti-denormal offset the
// phasers feed themselves, which keeps their output from ever reaching zero.
constexpr float kInaudible = 0x1p-20f;

// What the host says of its transport for the coming block.
struct Transport {
  double tempo;   // beats per minute
  bool hasTempo;  // without one, or with one that is not a positive number, 120 is played
};

// How the render loop reaches back into the format that drives it.
class RenderListener {
 public:
  // A MIDI program change came due: the format selects the program its own way, so that
  // whatever shows the parameters hears of all of them.
  virtual void programChange(int program) = 0;
  // MIDI arrived in the last 200 ms (true), or that time ran out (false).
  virtual void activityChanged(bool active) = 0;

 protected:
  ~RenderListener() = default;
};

class InstrumentCore {
 public:
  // The bank filled from the factory programs with program 0 applied, 44.1 kHz, the engine
  // and the chain set up and silent.
  InstrumentCore();
  ~InstrumentCore();
  InstrumentCore(const InstrumentCore&) = delete;
  InstrumentCore& operator=(const InstrumentCore&) = delete;

  // Clamped into 0..1 and stored for the engine and into the current program; a value that
  // is not a number, or an index outside the table, is ignored.
  void setParameter(int index, float value);
  // The current program's value (the engine's without a bank); 0 outside the table.
  float parameter(int index) const;
  // The value the engine plays with.
  float liveValue(int index) const;
  // The display text of the engine's value; empty for reserved or unknown indexes.
  void parameterDisplay(int index, char* text) const;
  // The parameters decoded for one pass of the engine or the chain.
  Patch patch() const;

  // False when the bank could not be allocated: the instrument then plays without programs.
  bool hasBank() const { return bank != nullptr; }
  // The current program; while a load waits for the audio thread, the one it makes current.
  int program() const;
  // Makes n the current program and answers true; its values are applied by the caller,
  // through whatever path tells its listeners. False for a number outside the bank.
  bool selectProgram(int n);
  // selectProgram with the program's values applied here and now: for the audio thread's own
  // MIDI program change, which takes effect at its frame.
  bool switchProgram(int n);

  // Loads from the host's or the panel's thread. Each is handed to the audio thread whole and
  // applied between two blocks, after what the block before it played and before the next
  // block's own events (a MIDI program change among them); while the instrument is not
  // rendering it applies at once. Until it is applied, the readers below answer with what it
  // loads, and an edit made meanwhile is made to it as well. A later load replaces one not yet
  // applied.
  //
  // Program n made current with its values; false for a number outside the bank.
  bool loadProgram(int n);
  // The same, program n first replaced by record (a preset's name and values).
  bool loadProgram(int n, const Program& record);
  // Every program's name and values replaced, then program current made current with its
  // values; nothing changes, and false, without a bank or for a program outside it. The names
  // are cut to what a record holds; values are clamped into 0..1, one that is not a number
  // keeps the bank's.
  bool replaceBank(const Program* programs, int current);
  // True between the host's switching the instrument on and off: loads then wait for the
  // audio thread. Switching off applies a load still waiting.
  void setRendering(bool on);

  float programValue(int n, int index) const;
  // Longer names are cut to the 23 characters the record holds.
  void setProgramName(const char* name);
  void programName(char* text) const;
  // False (and an empty text) for a number outside the bank.
  bool programNameAt(int n, char* text) const;

  // Rates that are not numbers or lie outside 22050 to 384000 Hz are refused (false).
  bool setSampleRate(float rate);
  float sampleRate() const { return engineSampleRate; }
  // Allocates the render scratch; a size of 0, negative or absurd leaves none.
  void setBlockSize(int frames);
  int scratchLength() const { return scratchFrames; }
  // The frames the instrument may sound after its last note ends, with the current values:
  // kEndlessTail while the latch, the sustain pedal or an effect's feedback can hold it.
  uint32_t tailFrames() const;
  // Nothing sounds in the strings and nothing is waiting to: no string inside its release
  // window or counting down to a strum, no envelope still moving, no queued event, parameter
  // change or held strum key. The engine then stands still from block to block: a block
  // skipped changes nothing a later event could hear but the tick grid's phase and the
  // feedback line's read position (see skipRest), and the effects that run on without
  // strings.
  bool quiet() const;
  // Called after each render with what it wrote: true when the block was silent (every
  // sample within kInaudible) and nothing can sound again before a new event or parameter
  // change. Never true while the tail is endless, nor before an effect that runs without
  // strings has had the whole of its ring to die. Scans the block only once the engine is
  // quiet and the ring has passed.
  bool atRest(const float* left, const float* right, int frames);
  // For a host that stopped calling while the instance was at rest: the tick grid and the
  // strings' feedback line moved on by the frames it skipped, so that the next event meets
  // them where rendering those frames would have left them. Nothing moves unless quiet.
  void skipRest(uint64_t frames);
  // Switch-on: sounding strings released, controllers reset, the loop lines cleared.
  void resume();

  // Queues messages for the next render; frames past the block play at its end.
  void queueMidi(const MidiMessage* messages, int count);
  // Queues note expressions behind the MIDI already queued, so that a note's expression comes
  // after its note-on; frames past the block act at its end, values not numbers are dropped.
  void queueNoteExpressions(const NoteExpression* expressions, int count);
  // A parameter change inside the next block. At frame 0 (or before) it takes effect before
  // the block, exactly as setParameter then would; later, at the first tick boundary at or
  // after its frame, or when the following block starts if no boundary of this one is left.
  // Changes of the same frame take effect in the order queued. A bad index or a value that is
  // not a number is ignored; when the queue is full the oldest change takes effect at once.
  void queueParameter(int frame, int index, float value);
  // Renders frames into left and right (either may be null), written when replacing, else
  // added to what is there.
  void render(float* left, float* right, int frames, bool replacing, const Transport& transport,
              RenderListener& listener);

  // For tests: the engine and the chain as the render loop leaves them.
  const Engine& engineState() const { return engine; }
  const Chain& chainState() const { return chain; }

 private:
  void renderStretch(float* left, float* right, int frames, int blockOffset, int activityReload,
                     RenderListener& listener);
  void walkEvents(int horizon, int activityReload, RenderListener& listener);
  // Applies the queued parameter changes due at or before the block-relative frame.
  void applyDueParameters(int frame);
  // setParameter without passing the value on to a waiting load.
  void applyParameter(int index, float value);
  // Hands the load filled in the claimed slot over, or applies it now when not rendering.
  void publishLoad();
  // The audio thread's side: a published load applied whole.
  void takeLoad();
  void applyLoad(const PendingLoad& load);
  float* waitingTarget(int index);
  uint32_t tailFrames(const Patch& values) const;

  ProgramBank* bank = nullptr;
  int currentProgram = 0;
  float liveValues[kNumParameters];
  float engineSampleRate = 44100.0f;
  float* renderScratch = nullptr;
  int scratchFrames = 0;
  float* scratchChannels[2] = {nullptr, nullptr};
  TickGrid grid{0.0f};
  struct ParameterChange {
    int frame;
    int index;
    float value;
  };
  static constexpr int kParameterQueueSize = 512;
  ParameterChange parameterQueue[kParameterQueueSize];
  int queuedParameters = 0;
  // The frames of the blocks in a row that began and ended quiet with this effect chosen.
  uint32_t quietFrames = 0;
  bool wasQuiet = false;
  int restingFx = 0;
  float fallbackScratch[2][kFallbackFrames];
  std::atomic<bool> rendering{false};
  LoadHandoff loads;
  Engine engine;
  Chain chain;
};

}  // namespace vorlak
