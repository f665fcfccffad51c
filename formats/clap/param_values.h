// The parameter values as a CLAP host sees them: an option parameter with n choices is the
// choice number 0 to n - 1, every other one the core's own 0 to 1.
#pragma once

namespace vorlak::clap {

// The CLAP value of the core's value.
double hostValueOf(int index, float coreValue);
// The core's value of a CLAP value: choices rounded to the nearest one, everything clamped
// into range. False for a value that is not finite or an index outside the table.
bool coreValueOf(int index, double hostValue, float& coreValue);

}  // namespace vorlak::clap
