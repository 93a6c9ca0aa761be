// The general decimal-to-double conversion: correctly rounded whatever the
// number of digits, by exact integer arithmetic.
#ifndef VOSTREL_DECIMAL_TO_DOUBLE_H_
#define VOSTREL_DECIMAL_TO_DOUBLE_H_

#include <cstdint>
#include <string_view>

namespace vostrel {

// The most digits DecimalToDouble takes. A halfway point between two doubles
// has at most 768 significant digits, so digits past these can only tell
// whether the value lies exactly on one, which `sticky` says.
inline constexpr int kMaxDecimalDigits = 800;

// Returns the double nearest to the value v, ties to the even mantissa. With
// D the integer `digits` (ASCII decimal digits, the first nonzero, at most
// kMaxDecimalDigits of them; empty for zero), v is D x 10^exponent, or, when
// `sticky` is set (only with kMaxDecimalDigits digits), lies strictly between
// that and (D + 1) x 10^exponent: the digits dropped were not all zeros.
// Nearest means: infinity from 2^1024 - 2^970 on (halfway past the largest
// double), zero up to 2^-1075 (half the smallest subnormal). The value is not
// negative; the caller applies the sign.
double DecimalToDouble(std::string_view digits, bool sticky, int64_t exponent);

}  // namespace vostrel

#endif  // VOSTREL_DECIMAL_TO_DOUBLE_H_
