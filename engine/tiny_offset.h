// 2^-30, added where a filter's input or state could otherwise decay into subnormal numbers,
// which cost many times a normal operation on some processors. Far below anything audible,
// and flush-to-zero is not relied on: a host may render with it cleared.
#pragma once

namespace vorlak {

constexpr float kTiny = 9.313226e-10f;

}  // namespace vorlak
