// The decimal arithmetic that the scans, the number rendering and the record
// fast path share: the powers of ten and five, the exact-arithmetic rule,
// the eight-digit reader and a 128-bit product. Internal to the tool.
#ifndef VOSTREL_NUMBER_RULES_H_
#define VOSTREL_NUMBER_RULES_H_

#include <array>
#include <bit>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
inline constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;

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

// The eight bytes at `p` with p[0] in the low byte, whatever the byte order.
inline uint64_t LoadLittle64(const char* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
  } else {
    uint64_t x = 0;
    for (int i = 7; i >= 0; --i) {
      x = (x << 8) | static_cast<unsigned char>(p[i]);
    }
    return x;
  }
}

inline constexpr uint64_t kByteOnes = 0x0101010101010101u;

// The value of the first `count` (0 to 8) bytes at `p`, all decimal digits;
// the eight bytes at `p` must be readable. Bytes past the digits are shifted
// out before they are used: a byte below '0' borrows only from the bytes
// after it.
inline uint64_t DigitsOfEight(const char* p, size_t count) {
  const uint64_t t = LoadLittle64(p) - kByteOnes * '0';
  // The digits move to the top; the zeros shifted in are leading zeros. Then
  // pairs, quads and the eight digits are combined by multiplication.
  uint64_t v = count == 0 ? 0 : t << (64 - 8 * count);
  v = v * 10 + (v >> 8);
  v = (((v & 0x000000FF000000FFu) * 0x000F424000000064u) +
       (((v >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
      32;
  return v;
}

// The number of decimal digits (0 to 8) at the start of the eight readable
// bytes at `p`. Each byte less '0' is a digit if it is below 10.
inline size_t LeadingDigitCount(const char* p) {
  const uint64_t t = LoadLittle64(p) - kByteOnes * '0';
  const uint64_t non_digits =
      ((t + kByteOnes * (0x80 - 10)) | t) & (kByteOnes * 0x80);
  return static_cast<size_t>(std::countr_zero(non_digits) / 8);
}

// A finite double as mantissa x 2^exponent, mantissa below 2^53: with the
// hidden bit for normals, and at the lowest exponent, -1074, for the
// subnormals and zero. The sign is left out.
struct Binary {
  uint64_t mantissa;
  int exponent;
};

inline Binary SplitDouble(double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | uint64_t{1} << 52, biased - 1075};
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
