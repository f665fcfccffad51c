#include "engine/excitation.h"

// Defined by the source generated from engine/data/excitation-<slot>.bin (cmake/Embed.cmake).
// Each array is the whole file: the sample count, then the values.
namespace vorlak::embedded {
extern const int16_t excitation_1[];
extern const int16_t excitation_7[];
extern const int16_t excitation_14[];
extern const int16_t excitation_15[];
extern const int16_t excitation_16[];
extern const int16_t excitation_17[];
extern const int16_t excitation_18[];
extern const int16_t excitation_19[];
extern const int16_t excitation_20[];
extern const int16_t excitation_21[];
extern const int16_t excitation_22[];
extern const int16_t excitation_24[];
extern const int16_t excitation_26[];
extern const int16_t excitation_27[];
extern const int16_t excitation_28[];
}  // namespace vorlak::embedded

namespace vorlak {
namespace {

using namespace embedded;

constexpr const int16_t* kFiles[kExcitationSlots] = {
    nullptr,       excitation_1,  nullptr,       nullptr,       nullptr,       nullptr,
    nullptr,       excitation_7,  nullptr,       nullptr,       nullptr,       nullptr,
    nullptr,       nullptr,       excitation_14, excitation_15, excitation_16, excitation_17,
    excitation_18, excitation_19, excitation_20, excitation_21, excitation_22, nullptr,
    excitation_24, nullptr,       excitation_26, excitation_27, excitation_28,
};

}  // namespace

ExcitationSample embeddedExcitation(int slot) {
  if (slot < 0 || slot >= kExcitationSlots || kFiles[slot] == nullptr) return {nullptr, 0};
  const int16_t* file = kFiles[slot];
  return {file + 1, file[0]};
}

}  // namespace vorlak
