// The parameters extension: the table's 28 entries with their CLAP ranges and the display
// texts of instrument/parameters both ways.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/clap/param_values.h"
#include "formats/clap/plugin.h"
#include "instrument/adapter.h"
#include "instrument/parameters.h"

namespace vorlak::clap {
namespace {

// "Latch" decodes as a switch but shows a percentage: stepped, without choice names.
bool namedChoices(int index) { return optionCount(index) > 0 && index != kLatch; }

int indexOf(Id id) { return id < static_cast<Id>(kNumParameters) ? static_cast<int>(id) : -1; }

}  // namespace

double hostValueOf(int index, float coreValue) {
  if (optionCount(index) > 0) return optionIndex(index, coreValue);
  return coreValue;
}

bool coreValueOf(int index, double hostValue, float& coreValue) {
  if (!isParameterIndex(index) || !std::isfinite(hostValue)) return false;
  if (const int count = optionCount(index); count > 0) {
    const double choice = std::clamp(std::round(hostValue), 0.0, static_cast<double>(count - 1));
    coreValue = optionValue(index, static_cast<int>(choice));
  } else {
    coreValue = static_cast<float>(std::clamp(hostValue, 0.0, 1.0));
  }
  return true;
}

bool Instance::paramInfo(uint32_t number, ParamInfo& info) const {
  const int index = indexOf(number);
  if (index < 0) return false;
  std::memset(&info, 0, sizeof info);
  info.id = static_cast<Id>(index);
  info.flags = isReservedParameter(index) ? kParamIsHidden : kParamIsAutomatable;
  const int count = optionCount(index);
  if (count > 0) info.flags |= kParamIsStepped;
  if (namedChoices(index)) info.flags |= kParamIsEnum;
  std::snprintf(info.name, sizeof info.name, "%s", parameterName(index));
  info.minValue = 0.0;
  info.maxValue = count > 0 ? count - 1 : 1.0;
  info.defaultValue = hostValueOf(index, kFactoryPrograms[0].values[index]);
  return true;
}

bool Instance::paramValue(Id id, double& value) const {
  const int index = indexOf(id);
  if (index < 0) return false;
  value = hostValueOf(index, core.parameter(index));
  return true;
}

bool Instance::valueToText(Id id, double value, char* text, uint32_t capacity) const {
  float coreValue;
  if (!text || capacity == 0 || !coreValueOf(indexOf(id), value, coreValue)) return false;
  char shown[kParameterTextSize];
  formatParameterDisplay(indexOf(id), coreValue, shown);
  std::snprintf(text, capacity, "%s", shown);
  return true;
}

bool Instance::textToValue(Id id, const char* text, double& value) const {
  const int index = indexOf(id);
  float coreValue;
  if (index < 0 || !text || !parseParameterDisplay(index, text, coreValue)) return false;
  value = hostValueOf(index, coreValue);
  return true;
}

}  // namespace vorlak::clap
