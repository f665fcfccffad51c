// The editor's virtual key for an X key: the arrows, which step the programs; 0 for the rest.
#pragma once

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdint>

#include "editor/toolkit/key_stroke.h"

namespace vorlak {

inline uint8_t virtualKeyOf(KeySym symbol) {
  switch (symbol) {
    case XK_Left:
      return kKeyLeft;
    case XK_Up:
      return kKeyUp;
    case XK_Right:
      return kKeyRight;
    case XK_Down:
      return kKeyDown;
    default:
      return 0;
  }
}

}  // namespace vorlak
