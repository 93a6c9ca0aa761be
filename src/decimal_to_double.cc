// vostrel's general decimal-to-double conversion. A first guess from the
// leading bits lies within a few units in the last place; exact comparisons
// of the decimal with the halfway points around the guess then move it to
// the nearest double.
#include "decimal_to_double.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "big_integer.h"
#include "number_rules.h"

namespace vostrel {

namespace {

// A guess of infinity starts the walk at the largest double.
Binary FromDouble(double value) {
  if (std::isinf(value)) return {kMaxMantissa, kMaxExponent};
  return SplitDouble(value);
}

// The value as an exact fraction: numerator x 2^exponent / denominator, with
// the denominator a power of five.
struct BigFraction {
  BigInteger numerator;
  BigInteger denominator;
  int exponent;
};

// The same for the common long token, at most 19 digits without a sticky
// tail and a decimal exponent from -27 to 27 (5^27 < 2^63): then each side of
// a comparison fits in 128 bits, and no big integer is needed.
constexpr int kSmallExponent = 27;
static_assert(kPowersOfFive.size() == kSmallExponent + 1);
struct SmallFraction {
  Wide numerator;  // below 2^127
  uint64_t denominator;
  int exponent;
};

// The shifts that bring the value and the halfway point `halfway_exponent`
// to integers: numerator x 2^left against (2m + 1) x denominator x 2^right.
struct Shifts {
  int left;
  int right;
};
Shifts ShiftsTo(int exponent, int halfway_exponent) {
  const int common = std::min(exponent, halfway_exponent);
  return {exponent - common, halfway_exponent - common};
}

// Compares the value with the midpoint of `low` and the next double up:
// (2 low.mantissa + 1) x 2^(low.exponent - 1). Unequal lengths decide
// without the shift (which could pass the capacity far from the halfway
// point).
int CompareWithHalfwayAbove(const BigFraction& v, Binary low) {
  BigInteger right = v.denominator * BigInteger(2 * low.mantissa + 1);
  const auto [left_shift, right_shift] = ShiftsTo(v.exponent, low.exponent - 1);
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

int CompareWithHalfwayAbove(const SmallFraction& v, Binary low) {
  const Wide right = MultiplyWide(2 * low.mantissa + 1, v.denominator);
  const auto [left_shift, right_shift] = ShiftsTo(v.exponent, low.exponent - 1);
  const int left_bits = BitLength(v.numerator) + left_shift;
  const int right_bits = BitLength(right) + right_shift;
  if (left_bits != right_bits) return left_bits < right_bits ? -1 : 1;
  return Compare(ShiftLeft(v.numerator, left_shift),
                 ShiftLeft(right, right_shift));
}

// First guesses, within a few units in the last place: each conversion to
// double and the division are correctly rounded (the scaling too, except in
// the subnormal range, where it rounds once more).
double Guess(const BigFraction& v) {
  const double ratio = static_cast<double>(v.numerator.Top64()) /
                       static_cast<double>(v.denominator.Top64());
  return std::ldexp(
      ratio, v.numerator.BitLength() - v.denominator.BitLength() + v.exponent);
}

double Guess(const SmallFraction& v) {
  const double numerator =
      std::ldexp(static_cast<double>(v.numerator.high), 64) +
      static_cast<double>(v.numerator.low);
  return std::ldexp(numerator / static_cast<double>(v.denominator), v.exponent);
}

// The even one of two neighbours.
Binary Even(Binary a, Binary b) { return (a.mantissa & 1) == 0 ? a : b; }

// The double nearest to `v`, from its guess: walks up while the value lies
// past the halfway point above, else down while it lies before the one
// beneath; a step keeps the value on the same side of the point it crossed,
// so the walk goes one way.
template <typename Fraction>
double Nearest(const Fraction& v) {
  Binary b = FromDouble(Guess(v));
  int above = CompareWithHalfwayAbove(v, b);
  if (above >= 0) {
    while (above > 0) {
      b = NextUp(b);
      if (b.exponent > kMaxExponent) return HUGE_VAL;
      above = CompareWithHalfwayAbove(v, b);
    }
    if (above == 0 && (b.mantissa & 1) != 0) b = NextUp(b);  // a tie: to even
    return b.exponent > kMaxExponent ? HUGE_VAL : JoinDouble(b);
  }
  while (b.mantissa != 0) {
    const Binary below = NextDown(b);
    const int beneath = CompareWithHalfwayAbove(v, below);
    if (beneath > 0) break;
    if (beneath == 0) return JoinDouble(Even(below, b));
    b = below;
  }
  return JoinDouble(b);
}

// The common long token (see SmallFraction): w x 10^e.
double SmallDecimalToDouble(std::string_view digits, int e) {
  uint64_t w = 0;
  for (char c : digits) w = w * 10 + static_cast<uint64_t>(c - '0');
  SmallFraction v{{0, w}, 1, e};
  if (e >= 0) {
    v.numerator = MultiplyWide(w, kPowersOfFive[static_cast<size_t>(e)]);
  } else {
    v.denominator = kPowersOfFive[static_cast<size_t>(-e)];
  }
  return Nearest(v);
}

}  // namespace

double DecimalToDouble(std::string_view digits, bool sticky, int64_t exponent) {
  if (digits.empty()) return 0.0;
  // Decimal exponent of the first digit; beyond these the value is infinite
  // or zero whatever the digits, and the integers below stay in bounds.
  const int64_t lead = exponent + static_cast<int64_t>(digits.size()) - 1;
  if (lead > 400) return HUGE_VAL;
  if (lead < -400) return 0.0;
  if (!sticky && digits.size() <= kMaxExactDigits &&
      exponent >= -kSmallExponent && exponent <= kSmallExponent) {
    return SmallDecimalToDouble(digits, static_cast<int>(exponent));
  }

  // D, nine digits at a time; a sticky tail becomes one more digit 1, which
  // lies on the same side of every halfway point (none falls between D and
  // D + 1 at this length).
  BigFraction v;
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

  return Nearest(v);
}

}  // namespace vostrel
