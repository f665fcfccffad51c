// The controller's side of the plug-in: the parameters as the host lists them, their texts,
// the program list, the MIDI mapping and the values the host's view and the panel show.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/vst3/plugin.h"
#include "formats/vst3/text.h"
#include "formats/vst3/view.h"
#include "instrument/adapter.h"
#include "instrument/parameters.h"

namespace vorlak::vst3 {
namespace {

constexpr ProgramListId kProgramList = 1;

// How often the controller looks for what to tell the host while no view is open.
constexpr uint64_t kIdleMilliseconds = 50;

bool isKnownId(ParamId id) { return id < static_cast<ParamId>(kParameterCount); }

// How many steps a parameter's plain value has: its choices less one, the programs less one,
// the MIDI value's range; 0 for a continuous one.
double stepsOf(ParamId id) {
  if (id < kProgramId) return std::max(optionCount(static_cast<int>(id)) - 1, 0);
  if (id == kProgramId) return kProgramSteps;
  if (id == kPitchBendId) return kBendSteps;
  return kControllerSteps;
}

// A whole number as typed, in the locale-free form; false for anything else.
bool readWhole(const char* text, double& number) {
  while (*text == ' ') ++text;
  const char* end = text + std::strlen(text);
  while (end > text && end[-1] == ' ') --end;
  long value = 0;
  const auto read = std::from_chars(text, end, value);
  if (text == end || read.ec != std::errc() || read.ptr != end) return false;
  number = static_cast<double>(value);
  return true;
}

}  // namespace

void Plugin::showCore() {
  for (int i = 0; i < kNumParameters; ++i) shown[i] = core.parameter(i);
  shown[kProgramId] = core.program() / kProgramSteps;
  shown[kPitchBendId] = 8192.0 / kBendSteps;
  for (int c = 0; c < kMappedControllerCount; ++c) shown[kFirstControllerId + c] = 0.0;
}

void Plugin::panelUpdate() {
  if (view) view->showAll();
}

void Plugin::showProgram(int program) {
  shown[kProgramId] = program / kProgramSteps;
  for (int i = 0; i < kNumParameters; ++i) shown[i] = core.programValue(program, i);
  panelUpdate();
  valuesChanged.store(true, std::memory_order_release);
}

// Hosts keep their own copy of the values, which a program change replaces behind their back.
// Telling them from inside one of their calls deadlocks some (Ardour 7 holds a lock around
// setParamNormalized), so it waits for this idle.
void Plugin::uiIdle() {
  const int program = heardProgram.exchange(-1, std::memory_order_acquire);
  if (isProgramIndex(program)) showProgram(program);
  if (handler && valuesChanged.exchange(false, std::memory_order_acq_rel))
    handler->restartComponent(kParamValuesChanged);
}

void Plugin::startIdleTimer() {
  if (handler && !idleTimer.start(idleTicks, handler, kIdleMilliseconds))
    idleTimer.start(idleTicks, hostContext, kIdleMilliseconds);
}

Result Plugin::IdleTicks::queryInterface(const char* iid, void** object) {
  if (!object) return kInvalidArgument;
  const bool ours = sameUid(iid, Unknown::iid) || sameUid(iid, TimerHandler::iid);
  *object = ours ? this : nullptr;
  return ours ? kResultOk : kNoInterface;
}

Result Plugin::setComponentState(Stream*) {
  // The component is this object and has loaded the same bytes already.
  showCore();
  panelUpdate();
  return kResultOk;
}

Result Plugin::getParameterInfo(int32_t index, ParameterInfo& info) {
  if (index < 0 || index >= kParameterCount) return kInvalidArgument;
  info = {};
  info.id = static_cast<ParamId>(index);
  info.unitId = kRootUnitId;
  info.stepCount = static_cast<int32_t>(stepsOf(info.id));
  char name[32];
  if (index < kNumParameters) {
    std::snprintf(name, sizeof name, "%s", parameterName(index));
    info.defaultNormalizedValue = kFactoryPrograms[0].values[index];
    info.flags = isReservedParameter(index) ? kIsHidden
                                   : kCanAutomate | (info.stepCount > 0 ? kIsList : 0);
  } else if (info.id == kProgramId) {
    std::snprintf(name, sizeof name, "Program");
    info.flags = kIsProgramChange | kIsList;
  } else if (info.id == kPitchBendId) {
    std::snprintf(name, sizeof name, "Pitch Bend");
    info.defaultNormalizedValue = 8192.0 / kBendSteps;
    info.flags = kIsHidden;
  } else {
    std::snprintf(name, sizeof name, "MIDI CC %d", kMappedControllers[index - kFirstControllerId]);
    info.flags = kIsHidden;
  }
  copyText(info.title, name);
  copyText(info.shortTitle, name);
  return kResultOk;
}

Result Plugin::getParamStringByValue(ParamId id, ParamValue value, String128 text) {
  if (!isKnownId(id) || !text) return kInvalidArgument;
  if (!std::isfinite(value)) value = 0.0;
  value = std::clamp(value, 0.0, 1.0);
  char display[64];
  if (id < kProgramId) {
    formatParameterDisplay(static_cast<int>(id), static_cast<float>(value), display);
  } else if (id == kProgramId) {
    char name[kProgramNameSize];
    core.programNameAt(static_cast<int>(std::lround(value * kProgramSteps)), name);
    std::snprintf(display, sizeof display, "%s", name);
  } else {
    std::snprintf(display, sizeof display, "%ld", std::lround(value * stepsOf(id)));
  }
  copyText(text, display);
  return kResultOk;
}

Result Plugin::getParamValueByString(ParamId id, Char16* text, ParamValue& value) {
  if (!isKnownId(id) || !text) return kInvalidArgument;
  char typed[128];
  asciiText(text, typed, sizeof typed);
  if (id < kProgramId) {
    float parsed = 0.0f;
    if (!parseParameterDisplay(static_cast<int>(id), typed, parsed)) return kResultFalse;
    value = parsed;
    return kResultOk;
  }
  if (id == kProgramId) {
    for (int n = 0; n < kNumPrograms; ++n) {
      char name[kProgramNameSize];
      if (core.programNameAt(n, name) && std::strcmp(name, typed) == 0) {
        value = n / kProgramSteps;
        return kResultOk;
      }
    }
  }
  double number = 0.0;
  if (!readWhole(typed, number) || number < 0.0 || number > stepsOf(id)) return kResultFalse;
  value = number / stepsOf(id);
  return kResultOk;
}

ParamValue Plugin::normalizedParamToPlain(ParamId id, ParamValue value) {
  if (!isKnownId(id) || !std::isfinite(value)) return 0.0;
  const double steps = stepsOf(id);
  return steps > 0.0 ? std::lround(std::clamp(value, 0.0, 1.0) * steps) : value;
}

// A choice k maps to the value VST 2 writes for it, which the option rule decodes back to k.
ParamValue Plugin::plainParamToNormalized(ParamId id, ParamValue plain) {
  if (!isKnownId(id) || !std::isfinite(plain)) return 0.0;
  const double steps = stepsOf(id);
  if (steps == 0.0) return std::clamp(plain, 0.0, 1.0);
  const long step = std::lround(std::clamp(plain, 0.0, steps));
  if (id < kProgramId) return optionValue(static_cast<int>(id), static_cast<int>(step));
  return step / steps;
}

ParamValue Plugin::getParamNormalized(ParamId id) { return isKnownId(id) ? shown[id].load() : 0.0; }

// The host tells the controller what its view now holds (a preset, automation, its own
// controls). A program change takes the program's values into that view here and tells the
// host at the next idle; the processor reports them through its output changes as well.
Result Plugin::setParamNormalized(ParamId id, ParamValue value) {
  if (!isKnownId(id) || !std::isfinite(value)) return kInvalidArgument;
  value = std::clamp(value, 0.0, 1.0);
  shown[id] = value;
  if (id == kProgramId)
    showProgram(static_cast<int>(std::lround(value * kProgramSteps)));
  else if (view)
    view->showParameter(static_cast<int>(id));
  return kResultOk;
}

Result Plugin::setComponentHandler(ComponentHandler* newHandler) {
  idleTimer.stop();
  handler = newHandler;
  startIdleTimer();
  return kResultOk;
}

PlugView* Plugin::createView(const char* name) {
  if (!name || std::strcmp(name, "editor") != 0 || view) return nullptr;
  view = View::create(*this, *this);
  return view;
}

// A host may offer its run loop only once it has shown a view (Ardour does).
void Plugin::viewClosed(View* closed) {
  if (view == closed) view = nullptr;
  startIdleTimer();
}

Result Plugin::getUnitInfo(int32_t index, UnitInfo& info) {
  if (index != 0) return kInvalidArgument;
  info = {};
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  copyText(info.name, "Root");
  info.programListId = kProgramList;
  return kResultOk;
}

Result Plugin::getProgramListInfo(int32_t index, ProgramListInfo& info) {
  if (index != 0) return kInvalidArgument;
  info = {};
  info.id = kProgramList;
  copyText(info.name, "Factory Programs");
  info.programCount = kNumPrograms;
  return kResultOk;
}

Result Plugin::getProgramName(ProgramListId list, int32_t program, String128 name) {
  char text[kProgramNameSize];
  if (list != kProgramList || !name || !core.programNameAt(program, text))
    return kInvalidArgument;
  copyText(name, text);
  return kResultOk;
}

Result Plugin::getUnitByBus(int32_t, int32_t, int32_t, int32_t, UnitId& unit) {
  unit = kRootUnitId;
  return kResultOk;
}

// Every channel of the one event bus maps to the same parameters: the engine plays all
// channels alike.
Result Plugin::getMidiControllerAssignment(int32_t busIndex, int16_t, int16_t controller,
                                           ParamId& id) {
  if (busIndex != 0) return kResultFalse;
  if (controller == kControllerPitchBend) {
    id = kPitchBendId;
    return kResultOk;
  }
  for (int c = 0; c < kMappedControllerCount; ++c) {
    if (controller == kMappedControllers[c]) {
      id = kFirstControllerId + static_cast<ParamId>(c);
      return kResultOk;
    }
  }
  return kResultFalse;
}

// ---- The panel's link: edits reach the host inside its begin and end of edit.

void Plugin::beginEdit(int index) {
  if (handler && isParameterIndex(index)) handler->beginEdit(static_cast<ParamId>(index));
}

void Plugin::endEdit(int index) {
  if (handler && isParameterIndex(index)) handler->endEdit(static_cast<ParamId>(index));
}

void Plugin::setParameterAutomated(int index, float value) {
  if (!isParameterIndex(index) || !std::isfinite(value)) return;
  shown[index] = std::clamp(value, 0.0f, 1.0f);
  if (handler) handler->performEdit(static_cast<ParamId>(index), shown[index]);
}

float Plugin::getParameter(int index) {
  return isParameterIndex(index) ? static_cast<float>(shown[index].load()) : 0.0f;
}

int Plugin::getProgram() { return static_cast<int>(std::lround(shown[kProgramId] * kProgramSteps)); }

void Plugin::requestResize(int width, int height) {
  if (view) view->requestResize(width, height);
}

// The panel steps programs as the host would: one edit of the program parameter.
void Plugin::setProgram(int program) {
  if (!isProgramIndex(program)) return;
  const double value = program / kProgramSteps;
  setParamNormalized(kProgramId, value);
  if (!handler) return;
  handler->beginEdit(kProgramId);
  handler->performEdit(kProgramId, value);
  handler->endEdit(kProgramId);
}

}  // namespace vorlak::vst3
