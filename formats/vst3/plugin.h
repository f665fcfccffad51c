// The VST 3 face of the format-neutral core: one object that is at once the component, its
// audio processor and its edit controller, as the interface allows and as hosts (Ardour among
// them) accept when the component names no separate controller class. One object means one
// core and no messages between halves: the processor's side renders and keeps the state, the
// controller's side keeps the values the host's view shows and answers the parameter, unit
// and MIDI mapping questions.
//
// The processor converts each block's parameter changes, events and tempo and renders the
// whole block at once: a parameter point is queued at its offset, a note at its offset, and
// the hidden MIDI-mapped parameters (pitch bend, the controllers the engine reads) turn back
// into the MIDI messages the host mapped them from.
#pragma once

#include <atomic>

#include "editor/toolkit/editor_link.h"
#include "formats/vst3/host_timer.h"
#include "formats/vst3/parameter_ids.h"
#include "formats/vst3/vst3.h"
#include "instrument/core.h"

namespace vorlak::vst3 {

class View;
struct MappedMessages;

// The component and the controller both name setState and getState with the same types, so
// one override would answer both; each side forwards to a name of its own instead.
struct ComponentSide : Component {
  Result VST3_CALL setState(Stream* state) final { return loadState(state); }
  Result VST3_CALL getState(Stream* state) final { return saveState(state); }
  virtual Result loadState(Stream* state) = 0;
  virtual Result saveState(Stream* state) = 0;
};

struct ControllerSide : EditController {
  Result VST3_CALL setState(Stream*) final { return kResultOk; }
  Result VST3_CALL getState(Stream*) final { return kResultOk; }
};

class Plugin final : public ComponentSide,
                     public AudioProcessor,
                     public ProcessContextRequirements,
                     public ControllerSide,
                     public UnitInfoSource,
                     public MidiMapping,
                     public NoteExpressionController,
                     private EditorLink,
                     private RenderListener {
 public:
  Plugin();
  ~Plugin();

  // ---- Unknown, once for every interface
  Result VST3_CALL queryInterface(const char* iid, void** object) override;
  uint32_t VST3_CALL addRef() override;
  uint32_t VST3_CALL release() override;

  // ---- PluginBase (component and controller alike)
  Result VST3_CALL initialize(Unknown* context) override;
  Result VST3_CALL terminate() override;

  // ---- Component
  Result VST3_CALL getControllerClassId(char* classId) override;
  Result VST3_CALL setIoMode(int32_t mode) override;
  int32_t VST3_CALL getBusCount(int32_t type, int32_t direction) override;
  Result VST3_CALL getBusInfo(int32_t type, int32_t direction, int32_t index,
                              BusInfo& bus) override;
  Result VST3_CALL getRoutingInfo(RoutingInfo& in, RoutingInfo& out) override;
  Result VST3_CALL activateBus(int32_t type, int32_t direction, int32_t index,
                               uint8_t state) override;
  Result VST3_CALL setActive(uint8_t state) override;
  // The session state's bytes, read and written in as many calls as the stream needs. The
  // controller keeps no state of its own: the host's view follows the component's.
  Result loadState(Stream* state) override;
  Result saveState(Stream* state) override;

  // ---- AudioProcessor
  Result VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32_t inputCount,
                                      SpeakerArrangement* outputs, int32_t outputCount) override;
  Result VST3_CALL getBusArrangement(int32_t direction, int32_t index,
                                     SpeakerArrangement& arrangement) override;
  Result VST3_CALL canProcessSampleSize(int32_t symbolicSize) override;
  uint32_t VST3_CALL getLatencySamples() override { return 0; }
  Result VST3_CALL setupProcessing(ProcessSetup& setup) override;
  Result VST3_CALL setProcessing(uint8_t) override { return kResultOk; }
  Result VST3_CALL process(ProcessData& data) override;
  uint32_t VST3_CALL getTailSamples() override;

  // ---- ProcessContextRequirements: the render loop reads the tempo and nothing else
  uint32_t VST3_CALL getProcessContextRequirements() override { return kNeedTempo; }

  // ---- EditController
  Result VST3_CALL setComponentState(Stream* state) override;
  int32_t VST3_CALL getParameterCount() override { return kParameterCount; }
  Result VST3_CALL getParameterInfo(int32_t index, ParameterInfo& info) override;
  Result VST3_CALL getParamStringByValue(ParamId id, ParamValue value, String128 text) override;
  Result VST3_CALL getParamValueByString(ParamId id, Char16* text, ParamValue& value) override;
  ParamValue VST3_CALL normalizedParamToPlain(ParamId id, ParamValue value) override;
  ParamValue VST3_CALL plainParamToNormalized(ParamId id, ParamValue plain) override;
  ParamValue VST3_CALL getParamNormalized(ParamId id) override;
  Result VST3_CALL setParamNormalized(ParamId id, ParamValue value) override;
  Result VST3_CALL setComponentHandler(ComponentHandler* handler) override;
  PlugView* VST3_CALL createView(const char* name) override;

  // ---- UnitInfoSource: one root unit holding the 64 programs as one list
  int32_t VST3_CALL getUnitCount() override { return 1; }
  Result VST3_CALL getUnitInfo(int32_t index, UnitInfo& info) override;
  int32_t VST3_CALL getProgramListCount() override { return 1; }
  Result VST3_CALL getProgramListInfo(int32_t index, ProgramListInfo& info) override;
  Result VST3_CALL getProgramName(ProgramListId list, int32_t program, String128 name) override;
  Result VST3_CALL getProgramInfo(ProgramListId, int32_t, const char*, String128) override {
    return kResultFalse;
  }
  Result VST3_CALL hasProgramPitchNames(ProgramListId, int32_t) override { return kResultFalse; }
  Result VST3_CALL getProgramPitchName(ProgramListId, int32_t, int16_t, String128) override {
    return kResultFalse;
  }
  UnitId VST3_CALL getSelectedUnit() override { return kRootUnitId; }
  Result VST3_CALL selectUnit(UnitId) override { return kResultOk; }
  Result VST3_CALL getUnitByBus(int32_t type, int32_t direction, int32_t bus, int32_t channel,
                                UnitId& unit) override;
  Result VST3_CALL setUnitProgramData(int32_t, int32_t, Stream*) override {
    return kNotImplemented;
  }

  // ---- MidiMapping
  Result VST3_CALL getMidiControllerAssignment(int32_t busIndex, int16_t channel,
                                               int16_t controller, ParamId& id) override;

  // ---- NoteExpressionController: tuning, on every channel of the one event bus
  // (note_expression.cpp)
  int32_t VST3_CALL getNoteExpressionCount(int32_t busIndex, int16_t channel) override;
  Result VST3_CALL getNoteExpressionInfo(int32_t busIndex, int16_t channel, int32_t index,
                                         NoteExpressionTypeInfo& info) override;
  Result VST3_CALL getNoteExpressionStringByValue(int32_t busIndex, int16_t channel,
                                                  uint32_t typeId, double value,
                                                  String128 text) override;
  Result VST3_CALL getNoteExpressionValueByString(int32_t busIndex, int16_t channel,
                                                  uint32_t typeId, const Char16* text,
                                                  double& value) override;

  // The view's end: the panel it showed is gone.
  void viewClosed(View* view);
  // On the host's UI thread, outside any call of the host's: a program the processor switched
  // to reaches the controller's values and the panel, and a program change tells the host
  // that all values changed.
  void uiIdle();

 private:
  // ---- EditorLink: the panel edits through the host's component handler
  void beginEdit(int index) override;
  void endEdit(int index) override;
  void setParameterAutomated(int index, float value) override;
  float getParameter(int index) override;
  int getProgram() override;
  void setProgram(int program) override;
  void updateDisplay() override {}
  void hostIdle() override {}
  void requestResize(int width, int height) override;

  // ---- RenderListener
  void programChange(int program) override;
  void activityChanged(bool) override {}

  void queueParameterPoints(ProcessData& data, int frames, MappedMessages& mapped);
  void queueEvents(ProcessData& data, int frames, const MappedMessages& mapped);
  void reportProgram(ProcessData& data, int offset, int program);
  // The controller's values taken again from the core (after a state was loaded).
  void showCore();
  void panelUpdate();
  // The program's values in the host's view and the panel, which the host is yet to be told.
  void showProgram(int program);
  // A timer of the host's idles the controller while no view does (and beside one), when the
  // host offers one.
  void startIdleTimer();

  // The target of that timer.
  struct IdleTicks final : TimerHandler {
    explicit IdleTicks(Plugin& owner) : owner(owner) {}
    Result VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t VST3_CALL addRef() override { return 1; }
    uint32_t VST3_CALL release() override { return 1; }
    void VST3_CALL onTimer() override { owner.uiIdle(); }
    Plugin& owner;
  };

  std::atomic<uint32_t> references{1};
  InstrumentCore core;
  bool active = false;
  ComponentHandler* handler = nullptr;
  Unknown* hostContext = nullptr;
  View* view = nullptr;
  IdleTicks idleTicks{*this};
  HostTimer idleTimer;
  // What the host's view and the panel show, by parameter id; written by the host's calls of
  // the controller, which some hosts make from the audio thread too, never by the processor.
  std::atomic<double> shown[kParameterCount];
  static_assert(std::atomic<double>::is_always_lock_free);
  // The last program the processor switched to, -1 once the controller has taken it.
  std::atomic<int> heardProgram{-1};
  // The host is yet to be told that all values changed.
  std::atomic<bool> valuesChanged{false};
};

}  // namespace vorlak::vst3
