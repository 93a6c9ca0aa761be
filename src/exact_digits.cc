// vostrel's exact 17-digit expansion: the double times a power of ten, as an
// exact big integer, cut to 18 digits with a note of what was dropped.
#include "exact_digits.h"

#include <bit>
#include <cstdint>

#include "big_integer.h"
#include "number_rules.h"

namespace vostrel {

namespace {

constexpr uint64_t k10To16 = kIntegerPowersOfTen[16];
constexpr uint64_t k10To17 = kIntegerPowersOfTen[17];
constexpr uint64_t k10To18 = kIntegerPowersOfTen[18];

}  // namespace

int ExactDigits(double magnitude, char* digits) {
  // magnitude = m x 2^e, with 2^top <= magnitude < 2^(top + 1).
  const auto [m, e] = SplitDouble(magnitude);
  const int top = static_cast<int>(std::bit_width(m)) - 1 + e;
  // The decimal exponent is x or x + 1.
  int x = (top * kLog10Of2Times2To18) >> 18;

  // w = floor(magnitude x 10^(17 - x)), from 10^17 to below 10^19;
  // `dropped` when that was inexact. m x 2^e x 10^k = m x 5^k x 2^(e + k).
  const int k = 17 - x;
  BigInteger n(m);
  bool dropped = false;
  if (k >= 0) {
    n.MultiplyByPowerOfFive(k);
    if (e + k >= 0) {
      n.ShiftLeft(e + k);
    } else {
      // Leaves w, at least 10^17: never the whole value.
      dropped = n.ShiftRight(-(e + k));
    }
  } else {
    // Only above 10^18, where e + k > 0: at most 2^1024 before the division.
    n.ShiftLeft(e + k);
    dropped = n.DivideByPowerOfFive(-k);
  }
  uint64_t w = n.Low64();
  if (w >= k10To18) {
    dropped = dropped || w % 10 != 0;
    w /= 10;
    ++x;
  }
  // 18 digits to 17.
  uint64_t q = w / 10;
  const uint64_t last = w % 10;
  if (last > 5 || (last == 5 && (dropped || q % 2 != 0))) ++q;
  if (q == k10To17) {
    q = k10To16;
    ++x;
  }
  for (int i = kExactDigits - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + q % 10);
    q /= 10;
  }
  return x;
}

}  // namespace vostrel
