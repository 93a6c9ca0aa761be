// Non-negative integers of a few thousand bits, for the exact number
// conversions: enough for every double, for every halfway point between two
// doubles times a power of five, and for the 801 digits the number scan keeps.
#ifndef VOSTREL_BIG_INTEGER_H_
#define VOSTREL_BIG_INTEGER_H_

#include <cstdint>

namespace vostrel {

// A fixed-capacity integer in base 2^32, least significant limb first, with
// no leading zero limbs. An operation whose result would pass kMaxLimbs is a
// caller's error: each caller states the bound of its values, and every
// growth asserts the capacity (kept in the sanitizer and fuzz builds).
class BigInteger {
 public:
  // The largest values the callers build are the sides of the comparisons
  // in DecimalToDouble: 5^1200 (the denominator at the lowest exponent it
  // takes, 2787 bits, 88 limbs) times 2m + 1 (below 2^54, 2 limbs), at most
  // 2841 bits or 89 limbs, whose product is summed in 88 + 2 = 90 limbs
  // before it is trimmed. The numerator stays below 10^801 (2661 bits), and
  // ExactDigits's at most 2^1024.
  static constexpr int kMaxLimbs = 90;

  BigInteger() = default;
  explicit BigInteger(uint64_t value);
  // Copies only the limbs in use: the conversions copy small values often.
  BigInteger(const BigInteger& other);
  BigInteger& operator=(const BigInteger& other);

  // The number of bits up to the highest set one; 0 for zero.
  int BitLength() const;
  // The highest 64 bits, truncated: the value is Top64() * 2^(BitLength() -
  // 64) rounded down (for fewer than 64 bits, shifted up exactly).
  uint64_t Top64() const;
  // The low 64 bits.
  uint64_t Low64() const;

  // this = this * factor + addend.
  void MultiplyAdd(uint32_t factor, uint32_t addend);
  // this = this * 5^power, power >= 0.
  void MultiplyByPowerOfFive(int power);
  // this = this * 2^bits, bits >= 0.
  void ShiftLeft(int bits);
  // this = floor(this / 2^bits), for bits from 0 to below BitLength() (some
  // of the value stays); returns true when a dropped bit was set.
  bool ShiftRight(int bits);
  // this = floor(this / 5^power), power >= 0; returns true when the
  // division left a remainder.
  bool DivideByPowerOfFive(int power);

  friend BigInteger operator*(const BigInteger& a, const BigInteger& b);
  // Returns -1, 0 or 1 as a < b, a == b, a > b.
  friend int Compare(const BigInteger& a, const BigInteger& b);

 private:
  void Trim();
  // Appends `limb` as the new top limb.
  void Push(uint32_t limb);
  // this = floor(this / divisor), divisor > 0; returns the remainder.
  uint32_t Divide(uint32_t divisor);

  int size_ = 0;
  uint32_t limbs_[kMaxLimbs];  // only the first size_ are set
};

}  // namespace vostrel

#endif  // VOSTREL_BIG_INTEGER_H_
