// vostrel's six significant digits of a number, as the output files round
// them: the 17-digit expansion rounded half up to six digits.
#ifndef VOSTREL_SIX_DIGITS_H_
#define VOSTREL_SIX_DIGITS_H_

#include <cstdint>

namespace vostrel {

// Six significant digits, as a number from 100000 to 999999, and the decimal
// exponent of the first: 1.5 is {150000, 0}, 999999.5 is {100000, 6}.
struct SixDigits {
  uint32_t digits;
  int exponent;
};

// The six digits of `magnitude`, which is positive and finite.
SixDigits SixDigitsOf(double magnitude);

// The six digits of the double nearest to mantissa / 10^k, given
// `power_of_ten` = 10^k with k <= 22, from the decimal's digits alone. Sets
// `six` as SixDigitsOf(that double) would and returns true; returns false,
// leaving `six` unspecified, for a mantissa of 0 or of more than 15 digits
// and for a decimal on a six-digit halfway point, where the double's side of
// it decides.
bool SixDigitsOfDecimal(uint64_t mantissa, double power_of_ten, SixDigits& six);

}  // namespace vostrel

#endif  // VOSTREL_SIX_DIGITS_H_
