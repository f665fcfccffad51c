// The controller's side of note expression (the one type it offers, tuning) and the processor's
// conversion of its events.
#include "formats/vst3/note_expression.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/text.h"
#include "formats/vst3/plugin.h"
#include "formats/vst3/text.h"

namespace vorlak::vst3 {
namespace {

constexpr double kNoTuning = 0.5;
constexpr double kTuningReach = kTuningRange / kTuningSemitonesPerUnit;

bool offered(int32_t busIndex, int16_t channel, uint32_t typeId) {
  return busIndex == 0 && channel >= 0 && channel < 16 && typeId == kTuningTypeId;
}

double semitonesOf(double value) {
  const double held = std::clamp(value, kNoTuning - kTuningReach, kNoTuning + kTuningReach);
  return (held - kNoTuning) * kTuningSemitonesPerUnit;
}

}  // namespace

bool tuningExpression(const Event& event, int offset, NoteExpression& expression) {
  if (event.type != kNoteExpressionValueEvent) return false;
  const NoteExpressionValueEvent& change = event.noteExpressionValue;
  if (change.typeId != kTuningTypeId || change.noteId < 0 || !std::isfinite(change.value))
    return false;
  expression = {offset,
                kExpressionTuning,
                change.noteId,
                -1,
                -1,
                static_cast<float>(semitonesOf(change.value))};
  return true;
}

int32_t Plugin::getNoteExpressionCount(int32_t busIndex, int16_t channel) {
  return offered(busIndex, channel, kTuningTypeId) ? 1 : 0;
}

Result Plugin::getNoteExpressionInfo(int32_t busIndex, int16_t channel, int32_t index,
                                     NoteExpressionTypeInfo& info) {
  if (!offered(busIndex, channel, kTuningTypeId) || index != 0) return kInvalidArgument;
  info = NoteExpressionTypeInfo{};
  info.typeId = kTuningTypeId;
  copyText(info.title, "Tuning");
  copyText(info.shortTitle, "Tun");
  copyText(info.units, "semitones");
  info.unitId = kRootUnitId;
  info.valueDesc = {kNoTuning, kNoTuning - kTuningReach, kNoTuning + kTuningReach, 0};
  info.associatedParameterId = 0;
  info.flags = kNoteExpressionIsBipolar;
  return kResultOk;
}

// Semitones with two decimals, a point whatever the locale.
Result Plugin::getNoteExpressionStringByValue(int32_t busIndex, int16_t channel, uint32_t typeId,
                                              double value, String128 text) {
  if (!offered(busIndex, channel, typeId) || !text || !std::isfinite(value))
    return kInvalidArgument;
  char number[32];
  const auto written = std::to_chars(number, number + sizeof number - 1, semitonesOf(value),
                                     std::chars_format::fixed, 2);
  *written.ptr = 0;
  copyText(text, number);
  return kResultOk;
}

Result Plugin::getNoteExpressionValueByString(int32_t busIndex, int16_t channel, uint32_t typeId,
                                              const Char16* text, double& value) {
  if (!offered(busIndex, channel, typeId) || !text) return kInvalidArgument;
  char typed[128];
  asciiText(text, typed, sizeof typed);
  const double semitones = std::clamp(leadingNumber(typed), -kTuningRange, kTuningRange);
  value = kNoTuning + semitones / kTuningSemitonesPerUnit;
  return kResultOk;
}

}  // namespace vorlak::vst3
