// The number rules that the scans, the conversions, the number rendering and
// the record fast path share: a double's layout, the powers of ten and five,
// the exact-arithmetic rule and 128-bit arithmetic. Internal to the tool.
#ifndef VOSTREL_NUMBER_RULES_H_
#define VOSTREL_NUMBER_RULES_H_

#include <array>
#include <bit>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace vostrel {

static_assert(std::numeric_limits<double>::is_iec559,
              "the exact-arithmetic rule relies on correctly rounded IEEE "
              "operations");
// ... each rounded to double once: the rule, the sums and the rendering's
// scaling give the same bits on every CPU only then. A compiler that keeps
// doubles in wider registers (the x87's 80 bits, 32-bit x86's default)
// rounds some results twice and moves values next to a rendering tie to its
// other side; CMakeLists.txt asks such compilers for SSE2 arithmetic.
static_assert(FLT_EVAL_METHOD == 0,
              "double arithmetic must not keep excess precision (on 32-bit "
              "x86, build with -msse2 -mfpmath=sse)");

// A double's layout: a sign bit, 11 exponent bits biased by kExponentBias
// and kFractionBits fraction bits. A finite double is mantissa x 2^exponent
// with the mantissa below 2^53: the fraction and the hidden bit for normals,
// with the exponent unbiased less kFractionBits; the fraction alone, at
// kMinExponent, for the subnormals and zero.
inline constexpr int kFractionBits = 52;
inline constexpr int kExponentBias = 1023;
inline constexpr uint64_t kHiddenBit = uint64_t{1} << kFractionBits;
inline constexpr uint64_t kMaxMantissa = 2 * kHiddenBit - 1;
inline constexpr int kMinExponent = 1 - kExponentBias - kFractionBits;  // -1074
inline constexpr int kMaxExponent =
    2046 - kExponentBias - kFractionBits;  // 971

// 10^0 to 10^19, every power of ten a uint64_t holds.
inline constexpr uint64_t kIntegerPowersOfTen[] = {1u,
                                                   10u,
                                                   100u,
                                                   1000u,
                                                   10000u,
                                                   100000u,
                                                   1000000u,
                                                   10000000u,
                                                   100000000u,
                                                   1000000000u,
                                                   10000000000u,
                                                   100000000000u,
                                                   1000000000000u,
                                                   10000000000000u,
                                                   100000000000000u,
                                                   1000000000000000u,
                                                   10000000000000000u,
                                                   100000000000000000u,
                                                   1000000000000000000u,
                                                   10000000000000000000u};

// 10^0 to 10^22, the powers of ten that doubles hold exactly (5^22 < 2^53).
inline constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kLargestExactPower = 22;

// The exact-arithmetic limits: at most 19 decimal digits fit a uint64_t
// whatever they are, and an integer of at most 2^53 is an exact double.
inline constexpr size_t kMaxExactDigits = 19;
inline constexpr uint64_t kMaxExactMantissa = 2 * kHiddenBit;

// The exact-arithmetic rule: when the digits `mantissa` (at most
// kMaxExactMantissa) and 10^|exponent| (|exponent| at most
// kLargestExactPower) are both exact doubles, one IEEE multiplication or
// division gives the nearest double to mantissa x 10^exponent, negated for
// `negative`. Returns false, setting nothing, when they are not both exact.
inline bool ExactDecimalToDouble(uint64_t mantissa, int64_t exponent,
                                 bool negative, double& value) {
  if (mantissa > kMaxExactMantissa || exponent < -kLargestExactPower ||
      exponent > kLargestExactPower) {
    return false;
  }
  const double m = static_cast<double>(mantissa);
  // Whole numbers (zeros above all) need no arithmetic.
  const double v = exponent == 0  ? m
                   : exponent < 0 ? m / kExactPowersOfTen[-exponent]
                                  : m * kExactPowersOfTen[exponent];
  value = negative ? -v : v;
  return true;
}

// A finite double as mantissa x 2^exponent, as above. The sign is left out.
struct Binary {
  uint64_t mantissa;
  int exponent;
};

inline Binary SplitDouble(double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const int biased = static_cast<int>(bits >> kFractionBits & 0x7FF);
  const uint64_t fraction = bits & (kHiddenBit - 1);
  if (biased == 0) return {fraction, kMinExponent};
  return {fraction | kHiddenBit, biased - kExponentBias - kFractionBits};
}

// The positive double `b` stands for; `b` as SplitDouble gives it.
inline double JoinDouble(Binary b) {
  if (b.mantissa < kHiddenBit) return std::bit_cast<double>(b.mantissa);
  return std::bit_cast<double>(
      static_cast<uint64_t>(b.exponent + kExponentBias + kFractionBits)
          << kFractionBits |
      (b.mantissa - kHiddenBit));
}

// The next double up; past the largest, the exponent passes kMaxExponent.
inline Binary NextUp(Binary b) {
  if (++b.mantissa > kMaxMantissa) return {kHiddenBit, b.exponent + 1};
  return b;
}

// The next double down, for a nonzero one. The smallest normal, 2^52 x
// 2^kMinExponent, steps down to the largest subnormal at the same exponent.
inline Binary NextDown(Binary b) {
  if (b.mantissa == kHiddenBit && b.exponent > kMinExponent) {
    return {kMaxMantissa, b.exponent - 1};
  }
  return {b.mantissa - 1, b.exponent};
}

// A 128-bit unsigned number, high x 2^64 + low (not every compiler has a
// 128-bit type).
struct Wide {
  uint64_t high;
  uint64_t low;
};

// a x b, from the products of their 32-bit halves.
inline Wide MultiplyWide(uint64_t a, uint64_t b) {
  constexpr uint64_t kLow32 = 0xFFFFFFFFu;
  const uint64_t low_low = (a & kLow32) * (b & kLow32);
  const uint64_t high_low = (a >> 32) * (b & kLow32);
  const uint64_t low_high = (a & kLow32) * (b >> 32);
  const uint64_t middle =
      (low_low >> 32) + (high_low & kLow32) + (low_high & kLow32);
  return {(a >> 32) * (b >> 32) + (high_low >> 32) + (low_high >> 32) +
              (middle >> 32),
          middle << 32 | (low_low & kLow32)};
}

// The number of bits up to the highest set one; 0 for zero.
inline int BitLength(Wide a) {
  return a.high != 0 ? 64 + static_cast<int>(std::bit_width(a.high))
                     : static_cast<int>(std::bit_width(a.low));
}

// a x 2^bits, for a result below 2^128.
inline Wide ShiftLeft(Wide a, int bits) {
  if (bits == 0) return a;
  if (bits >= 64) return {a.low << (bits - 64), 0};
  return {a.high << bits | a.low >> (64 - bits), a.low << bits};
}

// Returns -1, 0 or 1 as a < b, a == b, a > b.
inline int Compare(Wide a, Wide b) {
  if (a.high != b.high) return a.high < b.high ? -1 : 1;
  if (a.low != b.low) return a.low < b.low ? -1 : 1;
  return 0;
}

// 5^0 to 5^27, every power of five a uint64_t holds.
inline constexpr auto kPowersOfFive = [] {
  std::array<uint64_t, 28> powers{};
  powers[0] = 1;
  for (size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 5;
  return powers;
}();

// floor(log10(2^e)) is (e * kLog10Of2Times2To18) >> 18 for every
// |e| <= 1100: the decimal exponent of a binary one, to within one.
inline constexpr int kLog10Of2Times2To18 = 78913;

}  // namespace vostrel

#endif  // VOSTREL_NUMBER_RULES_H_
