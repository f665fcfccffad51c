// A program is a name and one value per parameter; the bank of 64 is filled from the factory
// table at construction and edited in place by every parameter change.
#pragma once

#include <cstddef>

namespace vorlak {

constexpr int kNumParameters = 28;
constexpr int kNumPrograms = 64;
constexpr int kProgramNameSize = 24;  // 23 characters and the terminator

struct Program {
  char name[kProgramNameSize];
  float values[kNumParameters];
};

static_assert(sizeof(Program) == 136);
static_assert(offsetof(Program, values) == 24);

struct ProgramBank {
  Program programs[kNumPrograms];
};

static_assert(sizeof(ProgramBank) == 8704);

// The factory programs, 64 records back to back exactly as the bank holds them.
extern const Program kFactoryPrograms[kNumPrograms];
static_assert(sizeof(Program[kNumPrograms]) == 8704);

}  // namespace vorlak
