// vostrel's general decimal-to-double conversion. A first guess from the
// leading bits lies within a few units in the last place; exact comparisons
// of the decimal with the halfway points around the guess then move it to
// the nearest double.
#include "decimal_to_double.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "big_integer.h"

namespace vostrel {

namespace {

constexpr uint64_t kHiddenBit = uint64_t{1} << 52;
constexpr uint64_t kMaxMantissa = (uint64_t{1} << 53) - 1;
// Doubles are mantissa x 2^exponent with mantissa < 2^53 and these exponents;
// below 2^52 only at the lowest (the subnormals and zero).
constexpr int kMinExponent = -1074;
constexpr int kMaxExponent = 971;

// A double as mantissa x 2^exponent.
struct Binary {
  uint64_t mantissa;
  int exponent;
};

Binary FromDouble(double value) {
  if (std::isinf(value)) return {kMaxMantissa, kMaxExponent};
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const int biased = static_cast<int>(bits >> 52);
  const uint64_t fraction = bits & (kHiddenBit - 1);
  if (biased == 0) return {fraction, kMinExponent};
  return {fraction | kHiddenBit, biased - 1075};
}

double ToDouble(Binary b) {
  if (b.mantissa < kHiddenBit) return std::bit_cast<double>(b.mantissa);
  return std::bit_cast<double>(uint64_t(b.exponent + 1075) << 52 |
                               (b.mantissa - kHiddenBit));
}

// The next double up; the exponent passes kMaxExponent past the largest.
Binary Up(Binary b) {
  if (++b.mantissa > kMaxMantissa) return {kHiddenBit, b.exponent + 1};
  return b;
}

// The next double down, for a nonzero one.
Binary Down(Binary b) {
  if (b.mantissa == kHiddenBit && b.exponent > kMinExponent) {
    return {kMaxMantissa, b.exponent - 1};
  }
  return {b.mantissa - 1, b.exponent};
}

// The value as an exact fraction: numerator x 2^exponent / denominator, with
// the denominator a power of five.
struct Fraction {
  BigInteger numerator;
  BigInteger denominator;
  int exponent;
};

// Compares the value with the midpoint of `low` and the next double up:
// (2 low.mantissa + 1) x 2^(low.exponent - 1). Both sides are brought to
// integers: numerator x 2^a against (2m + 1) x denominator x 2^b.
int CompareWithHalfwayAbove(const Fraction& v, Binary low) {
  BigInteger right = v.denominator * BigInteger(2 * low.mantissa + 1);
  const int halfway_exponent = low.exponent - 1;
  const int common = std::min(v.exponent, halfway_exponent);
  const int left_shift = v.exponent - common;
  const int right_shift = halfway_exponent - common;
  // Unequal lengths decide without the shift (which could pass the capacity
  // far from the halfway point).
  const int left_bits = v.numerator.BitLength() + left_shift;
  const int right_bits = right.BitLength() + right_shift;
  if (left_bits != right_bits) return left_bits < right_bits ? -1 : 1;
  if (left_shift == 0) {
    right.ShiftLeft(right_shift);
    return Compare(v.numerator, right);
  }
  BigInteger left = v.numerator;
  left.ShiftLeft(left_shift);
  return Compare(left, right);
}

// The even one of two neighbours.
Binary Even(Binary a, Binary b) { return (a.mantissa & 1) == 0 ? a : b; }

}  // namespace

double DecimalToDouble(std::string_view digits, bool sticky, int64_t exponent) {
  if (digits.empty()) return 0.0;
  // Decimal exponent of the first digit; beyond these the value is infinite
  // or zero whatever the digits, and the integers below stay in bounds.
  const int64_t lead = exponent + static_cast<int64_t>(digits.size()) - 1;
  if (lead > 400) return HUGE_VAL;
  if (lead < -400) return 0.0;

  // D, nine digits at a time; a sticky tail becomes one more digit 1, which
  // lies on the same side of every halfway point (none falls between D and
  // D + 1 at this length).
  Fraction v;
  for (size_t i = 0; i < digits.size(); i += 9) {
    const size_t n = std::min<size_t>(9, digits.size() - i);
    uint32_t chunk = 0;
    uint32_t scale = 1;
    for (size_t k = 0; k < n; ++k) {
      chunk = chunk * 10 + static_cast<uint32_t>(digits[i + k] - '0');
      scale *= 10;
    }
    v.numerator.MultiplyAdd(scale, chunk);
  }
  int e = static_cast<int>(exponent);
  if (sticky) {
    v.numerator.MultiplyAdd(10, 1);
    --e;
  }
  // D x 10^e = D x 5^e x 2^e. Bounds: the numerator is below 10^801 (2661
  // bits) or, for e > 0, 10^401; 5^-e is at most 5^1200 (2787 bits).
  v.denominator = BigInteger(1);
  if (e >= 0) {
    v.numerator.MultiplyByPowerOfFive(e);
  } else {
    v.denominator.MultiplyByPowerOfFive(-e);
  }
  v.exponent = e;

  // The guess: the leading 64 bits of each side, each conversion and the
  // division correctly rounded, so within 3 units in the last place (or
  // the scaling's own rounding in the subnormal range).
  const double ratio = static_cast<double>(v.numerator.Top64()) /
                       static_cast<double>(v.denominator.Top64());
  Binary b = FromDouble(std::ldexp(
      ratio, v.numerator.BitLength() - v.denominator.BitLength() + e));

  // Walk up while the value lies past the halfway point above the guess,
  // else down while it lies before the one beneath; a step keeps the value
  // on the same side of the point it crossed, so the walk goes one way.
  int above = CompareWithHalfwayAbove(v, b);
  if (above >= 0) {
    while (above > 0) {
      b = Up(b);
      if (b.exponent > kMaxExponent) return HUGE_VAL;
      above = CompareWithHalfwayAbove(v, b);
    }
    if (above == 0 && (b.mantissa & 1) != 0) b = Up(b);  // a tie: to even
    return b.exponent > kMaxExponent ? HUGE_VAL : ToDouble(b);
  }
  while (b.mantissa != 0) {
    const Binary below = Down(b);
    const int beneath = CompareWithHalfwayAbove(v, below);
    if (beneath > 0) break;
    if (beneath == 0) return ToDouble(Even(below, b));
    b = below;
  }
  return ToDouble(b);
}

}  // namespace vostrel
