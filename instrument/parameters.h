// The 28 parameters: their indexes, names, option lists and display texts.
#pragma once

#include "engine/patch.h"
#include "instrument/program.h"

namespace vorlak {

enum ParameterIndex : int {
  kStrings = 0,
  kCoils = 1,
  kPickupPos = 2,
  kTone = 3,
  kSlapLevel = 4,
  kFretLevel = 5,
  kHarmonic = 6,
  kDamp = 7,
  kVelVScale = 8,
  kVelDScale = 9,
  kReserved10 = 10,
  kReserved11 = 11,
  kAmpType = 12,
  kDrive = 13,
  kPresence = 14,
  kFeedback = 15,
  kEqLow = 16,
  kEqMid = 17,
  kEqHigh = 18,
  kCabType = 19,
  kFx = 20,
  kFxPar1 = 21,
  kFxPar2 = 22,
  kReserved23 = 23,
  kAid = 24,
  kTiming = 25,
  kLatch = 26,
  kGlissandoSrc = 27,
};

// Longest display text ("AMP:Harmonizer") is 14 characters; names and displays never write
// more than this many bytes including the terminator.
constexpr int kParameterTextSize = 15;

// Option counts of the option parameters; 0 for the continuous ones.
int optionCount(int index);

// The multiplier of the option rule for n choices (6.99 for 7, 15.99 for 16, ...).
float optionMultiplier(int count);

// Option k of parameter index decodes from value as trunc(value * (n - 0.01)); the product is
// clamped into the table so an out-of-range value can never index past it.
int optionIndex(int index, float value);

// Name of option k of parameter index, or "" when there is none.
const char* optionName(int index, int option);

const char* parameterName(int index);

// True for the indexes the table keeps without a display or an effect (10, 11 and 23): hosts
// list them hidden, by their names "Reserved 10" and so on.
bool isReservedParameter(int index);

// Writes the display text of value for parameter index into text (at most kParameterTextSize
// bytes); empty for reserved or unknown indexes.
void formatParameterDisplay(int index, float value, char* text);

// The value a host's typed text stands for, read as the display writes it: an option's name
// (any case), or a percentage with or without its sign. The value found displays as the
// typed text does. False, and value untouched, for reserved or unknown indexes and for text
// that names nothing.
bool parseParameterDisplay(int index, const char* text, float& value);

// The engine's view of one pass: the option parameters decoded into their choices.
Patch decodePatch(const float* values);

// The value that selects option k of parameter index: k / (n - 1), taken as k times the
// single-precision 1 / (n - 1), so that optionIndex decodes it back to k. 0 when the
// parameter has no options.
float optionValue(int index, int option);

}  // namespace vorlak
