// Flush-to-zero and denormals-are-zero for the duration of a render call; the host's own
// mode is restored on the way out. Reading and writing the control register is an ordinary
// instruction, not a system call.
#pragma once

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace vorlak {

class ScopedFloatMode {
 public:
#if defined(__SSE__)
  ScopedFloatMode() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040u); }
  ~ScopedFloatMode() { _mm_setcsr(saved); }

 private:
  unsigned saved;
#else
  ScopedFloatMode() = default;
#endif
 public:
  ScopedFloatMode(const ScopedFloatMode&) = delete;
  ScopedFloatMode& operator=(const ScopedFloatMode&) = delete;
};

}  // namespace vorlak
