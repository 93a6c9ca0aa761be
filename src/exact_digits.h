// The exact decimal expansion of a double to 17 significant digits, by the
// tool's own arithmetic, the same on every standard library.
#ifndef VOSTREL_EXACT_DIGITS_H_
#define VOSTREL_EXACT_DIGITS_H_

namespace vostrel {

// The significant digits of a double rounded to this many.
inline constexpr int kExactDigits = 17;

// Writes the first kExactDigits significant digits of `magnitude` (positive
// and finite), correctly rounded, ties to an even last digit, into `digits`
// as ASCII (no terminator) and returns the decimal exponent of the first:
// magnitude is about d.dddddddddddddddd x 10^exponent.
int ExactDigits(double magnitude, char* digits);

}  // namespace vostrel

#endif  // VOSTREL_EXACT_DIGITS_H_
