// A key as the host hands it to the editor: the character, a virtual key for the keys that
// have no character, and the modifier bits held with it. The numbers are those of the VST 2
// interface, so a format taking keys from it copies the fields (the VST 2 layer asserts that
// the numbers agree). Handlers answer -1 for a key they leave alone.
#pragma once

#include <cstdint>

namespace vorlak {

enum VirtualKey : uint8_t {
  kKeyLeft = 11,
  kKeyUp = 12,
  kKeyRight = 13,
  kKeyDown = 14,
};

enum KeyModifier : uint8_t {
  kModifierShift = 1,
  kModifierAlternate = 2,
  kModifierCommand = 4,
  kModifierControl = 8,
};

// Not named KeyCode: Xlib declares that name globally, and it would be shadowed inside the
// namespace wherever the X11 platform uses it.
struct KeyStroke {
  int32_t character;
  uint8_t virt;
  uint8_t modifier;
};

}  // namespace vorlak
