// The state a host saves with its session: the current program, the 64 program names as a
// tuple of strings, and the 64 x 28 values as text, one program per line. The values are
// text rather than float atoms because hosts write float atoms with eight decimals, which
// loses the low bits of small values; the shortest form that reads back to the same float
// keeps every bit and stays readable in a saved session.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "formats/lv2/atom_walk.h"
#include "formats/lv2/plugin.h"

namespace vorlak::lv2 {
namespace {

constexpr uint32_t kPortable = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;

std::string valuesText(const InstrumentCore& core) {
  std::string text;
  char number[32];
  for (int n = 0; n < kNumPrograms; ++n) {
    for (int i = 0; i < kNumParameters; ++i) {
      const auto written = std::to_chars(number, number + sizeof number, core.programValue(n, i));
      text.append(number, written.ptr);
      text += i + 1 < kNumParameters ? ' ' : '\n';
    }
  }
  return text;
}

std::vector<uint8_t> namesTuple(const InstrumentCore& core, LV2_URID stringType) {
  std::vector<uint8_t> tuple;
  for (int n = 0; n < kNumPrograms; ++n) {
    char name[kProgramNameSize];
    core.programNameAt(n, name);
    const LV2_Atom header{static_cast<uint32_t>(std::strlen(name) + 1), stringType};
    const auto* headerBytes = reinterpret_cast<const uint8_t*>(&header);
    tuple.insert(tuple.end(), headerBytes, headerBytes + sizeof header);
    tuple.insert(tuple.end(), name, name + header.size);
    tuple.resize((tuple.size() + 7) & ~size_t{7}, 0);
  }
  return tuple;
}

// Exactly 64 x 28 numbers separated by white space; false for anything else.
bool readValues(const char* text, size_t size, Program* programs) {
  const char* at = text;
  const char* end = text + strnlen(text, size);
  auto skipSpace = [&] {
    while (at < end && std::isspace(static_cast<unsigned char>(*at))) ++at;
  };
  for (int n = 0; n < kNumPrograms; ++n) {
    for (int i = 0; i < kNumParameters; ++i) {
      skipSpace();
      const auto read = std::from_chars(at, end, programs[n].values[i]);
      if (read.ec != std::errc()) return false;
      at = read.ptr;
    }
  }
  skipSpace();
  return at == end;
}

// Exactly 64 strings; longer names are cut to what a program record holds.
bool readNames(const void* tuple, size_t size, LV2_URID stringType, Program* programs) {
  int count = 0;
  bool wellFormed = true;
  forEachRecord<LV2_Atom>(tuple, size, [&](const LV2_Atom& item) {
    if (item.type != stringType || count == kNumPrograms) {
      wellFormed = false;
      return;
    }
    const auto* text = reinterpret_cast<const char*>(bodyOf(item));
    const size_t length = std::min(strnlen(text, item.size), size_t{kProgramNameSize - 1});
    std::memcpy(programs[count].name, text, length);
    programs[count].name[length] = 0;
    ++count;
  });
  return wellFormed && count == kNumPrograms;
}

}  // namespace

LV2_State_Status Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) const {
  try {
    const int32_t program = core.program();
    const std::vector<uint8_t> names = namesTuple(core, uris.atomString);
    const std::string values = valuesText(core);
    LV2_State_Status status =
        store(handle, uris.stateProgram, &program, sizeof program, uris.atomInt, kPortable);
    if (status == LV2_STATE_SUCCESS)
      status =
          store(handle, uris.stateNames, names.data(), names.size(), uris.atomTuple, kPortable);
    if (status == LV2_STATE_SUCCESS)
      status = store(handle, uris.stateValues, values.c_str(), values.size() + 1, uris.atomString,
                     kPortable);
    return status;
  } catch (...) {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_State_Status Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  size_t programSize = 0, namesSize = 0, valuesSize = 0;
  uint32_t programType = 0, namesType = 0, valuesType = 0, flags = 0;
  const void* program = retrieve(handle, uris.stateProgram, &programSize, &programType, &flags);
  const void* names = retrieve(handle, uris.stateNames, &namesSize, &namesType, &flags);
  const void* values = retrieve(handle, uris.stateValues, &valuesSize, &valuesType, &flags);
  if (!program && !names && !values) return LV2_STATE_SUCCESS;
  if (!program || !names || !values) return LV2_STATE_ERR_NO_PROPERTY;

  int32_t current = -1;
  if (programType == uris.atomInt && programSize == sizeof current)
    std::memcpy(&current, program, sizeof current);
  Program bank[kNumPrograms];
  if (current < 0 || current >= kNumPrograms || namesType != uris.atomTuple ||
      valuesType != uris.atomString || !readNames(names, namesSize, uris.atomString, bank) ||
      !readValues(static_cast<const char*>(values), valuesSize, bank))
    return LV2_STATE_ERR_BAD_TYPE;

  core.replaceBank(bank, current);
  adoptControls = true;
  return LV2_STATE_SUCCESS;
}

}  // namespace vorlak::lv2
