// vostrel's number rendering: the "\t%lg" fields of the output files, by
// the tool's own rule. Two ways to the six digits: a fast one for magnitudes
// from about 1e-17 to 1e27 (one exact scaling into [1e5, 1e6) and a rounding
// whose error is bounded, with values close to a halfway point of the
// six-digit rounding decided by an exact integer comparison), and the exact
// one from the 17-digit expansion for everything else.
#include "render.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "exact_digits.h"
#include "number_rules.h"

namespace vostrel {

namespace {

// Rounds the 17 significant digits in `d` (ASCII) half up to six, in place.
// Returns true when the carry ran out of the first digit ("999999|5" becomes
// "100000" one decade higher). (The expansion rounds its ties to even, where
// the rule rounds half up at the 18th digit: the two differ only on an even
// 17th digit, without a carry, which the six-digit rounding never reads.)
bool RoundToSixDigits(char* d) {
  if (d[6] < '5') return false;
  for (int i = 5; i >= 0; --i) {
    if (d[i] != '9') {
      ++d[i];
      return false;
    }
    d[i] = '0';
  }
  d[0] = '1';
  return true;
}

// Six significant digits by the rule, as a number from 100000 to 999999,
// and the decimal exponent of the first.
struct SixDigits {
  uint32_t digits;
  int exponent;
};

// The six digits of `magnitude` (positive, finite), from its 17-digit
// expansion. Exact on every double; this is the slow path.
SixDigits ExactSixDigits(double magnitude) {
  char expansion[kExactDigits];
  int exponent = ExactDigits(magnitude, expansion);
  if (RoundToSixDigits(expansion)) ++exponent;
  uint32_t digits = 0;
  for (int i = 0; i < 6; ++i) {
    digits = digits * 10 + static_cast<uint32_t>(expansion[i] - '0');
  }
  return {digits, exponent};
}

// The decimal exponents the fast path handles: those whose scaling into
// [1e5, 1e6) takes one exact power of ten.
constexpr int kFastLowest = 5 - kLargestExactPower;   // -17
constexpr int kFastHighest = 5 + kLargestExactPower;  // 27

// magnitude * 10^power correctly rounded, for |power| <= 22: one IEEE
// multiplication or division by an exact power of ten, so the result lies
// within half an ulp of the exact product.
double ScaleByPowerOfTen(double magnitude, int power) {
  return power >= 0 ? magnitude * kExactPowersOfTen[power]
                    : magnitude / kExactPowersOfTen[-power];
}

// Half the width of the window around a six-digit halfway point in which
// FastSixDigits does not trust the rounding of v' (RoundsUpNearHalfway
// decides there instead), in units of the 6th digit. With v the exact value
// scaled into [1e5, 1e6] and v' the computed one:
// - |v' - v| <= 2^-34, half an ulp below 2^20 (ScaleByPowerOfTen).
// - The rule rounds the 17-digit expansion E of the magnitude, not v itself.
//   E is v rounded to a multiple of 1e-11 (the 17th digit in these units),
//   so |E - v| <= 0.5e-11, and E and v round alike to six digits unless a
//   halfway point h = n + 0.5 lies in [v - 0.5e-11, v) (E may reach h and
//   round up where v rounds down). (This takes x to be the magnitude's
//   decade; the one exception, v' = 1e5 below, is far from any halfway
//   point.)
// So outside [h - 2^-34 - 0.5e-11, h + 2^-34] for every h, rounding v' half
// up gives the rule's result: 6.4e-11 at most, and the window is 2^-30
// (9.3e-10), 14 times as wide, which also covers an extra rounding of an
// extended-precision evaluation. (With correct rounding the window could even
// be empty: the ulp of v' is at least 2^-36, so every v within 0.5e-11 of h
// gives v' = h, a fraction of exactly 0.5. No test can tell a narrower window
// from this one; the margin is for the argument, not for a known value.)
constexpr double kHalfwayWindow = 0x1p-30;

// Decides the rounding of a magnitude inside the halfway window, without its
// expansion: `digits` (100000 to 999999) are its six digits rounded down at
// decimal exponent `x`, its true decade here, so the halfway point is
// h = (digits + 0.5) * 10^(x - 5). The rule rounds up when the 17-digit
// expansion E reaches h. The unit of E's last digit is u = 10^(x - 16), h is
// a multiple of it ending in an even digit 0, and E rounds ties to even, so
// E >= h exactly when magnitude >= h - u/2 = B * u / 2 with
// B = (2 * digits + 1) * 10^11 - 1 (below 2^58). With magnitude = M * 2^k
// and j = 16 - x, that is M * 5^j * 2^(k + 1 + j) >= B, compared exactly in
// 128 bits. Sets `up` and returns true; returns false, for ExactSixDigits,
// where a factor falls outside what the comparison holds (j above 27 or
// below 0, or a shift of 70 or more, none of which a magnitude near h
// reaches for x from -11 to 16).
bool RoundsUpNearHalfway(double magnitude, uint32_t digits, int x, bool& up) {
  const int j = 16 - x;
  if (j < 0 || j >= static_cast<int>(kPowersOfFive.size())) return false;
  const auto [mantissa, k] = SplitDouble(magnitude);
  const uint64_t b = (2 * uint64_t{digits} + 1) * 100000000000u - 1;
  const Wide a = MultiplyWide(mantissa, kPowersOfFive[static_cast<size_t>(j)]);
  const int shift = k + 1 + j;
  if (shift >= 0) {
    // a * 2^shift >= b, with a at least 2^52 and b below 2^58.
    if (shift >= 6 || a.high != 0) {
      up = true;
    } else {
      up = a.low >= (b + (uint64_t{1} << shift) - 1) >> shift;
    }
    return true;
  }
  // a >= b * 2^t, b * 2^t in 128 bits for t from 1 to 69.
  const int t = -shift;
  if (t >= 70) return false;
  up = Compare(a, ShiftLeft(Wide{0, b}, t)) >= 0;
  return true;
}

// Sets `six` as ExactSixDigits would and returns true, for magnitudes from
// about 1e-17 to 1e27 (inside the halfway window, for those that
// RoundsUpNearHalfway decides); returns false, leaving `six` unspecified, for
// the rest.
bool FastSixDigits(double magnitude, SixDigits& six) {
  // magnitude = f * 2^e with 1 <= f < 2 (the bits of a positive normal;
  // others fall outside the range below), so with low = floor(e log10 2) its
  // decimal exponent is low or low + 1.
  const int e =
      static_cast<int>(std::bit_cast<uint64_t>(magnitude) >> kFractionBits) -
      kExponentBias;
  const int low = (e * kLog10Of2Times2To18) >> 18;
  if (low < kFastLowest || low + 1 > kFastHighest) return false;
  // Try low + 1 first: the exact scaled value is then below 1e6, and at
  // least 1e5 unless the exponent is low. Rounding is monotonic and 1e5 and
  // 1e6 are doubles, so the computed value lands in [1e5, 1e6] either way.
  // 1e5 computed from just below 1e5 gives 100000 at low + 1, which is the
  // rule's result: at decade low the exact value exceeds 999999.9999 and its
  // expansion carries. Both scalings are made and one is picked with no
  // branch: the decade of the next value follows no pattern that a branch
  // predictor could learn.
  const double scaled_high = ScaleByPowerOfTen(magnitude, 4 - low);
  const double scaled_low = ScaleByPowerOfTen(magnitude, 5 - low);
  const bool at_low = scaled_high < 1e5;
  int x = at_low ? low : low + 1;
  const double scaled = at_low ? scaled_low : scaled_high;
  uint32_t digits = static_cast<uint32_t>(scaled);
  const double fraction = scaled - digits;  // exact: the ulp is at least 2^-36
  bool up = fraction > 0.5;
  if (std::fabs(fraction - 0.5) <= kHalfwayWindow &&
      !RoundsUpNearHalfway(magnitude, digits, x, up)) {
    return false;
  }
  digits += up ? 1 : 0;
  if (digits == 1000000) {  // 999999.5 and up: 100000 one decade higher
    digits = 100000;
    ++x;
  }
  six = {digits, x};
  return true;
}

// "00" to "99" as the number whose low byte is the first character and whose
// next byte is the second, so that the digits of a word come out in reading
// order from StoreLittle64 on every byte order.
constexpr auto kDigitPairs = [] {
  std::array<uint16_t, 100> pairs{};
  for (uint16_t i = 0; i < 100; ++i) {
    pairs[i] = static_cast<uint16_t>(('0' + i / 10) | ('0' + i % 10) << 8);
  }
  return pairs;
}();

// Stores the eight bytes of `word`, low byte first, at `p`.
void StoreLittle64(char* p, uint64_t word) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &word, 8);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(word >> (8 * i));
  }
}

// "0.000000" as StoreLittle64 writes it.
constexpr uint64_t kZeroPointZeros = 0x3030303030302E30u;

// Writes `six` after the sign: fixed form for decimal exponents from -4 to 5,
// exponent form with three exponent digits otherwise, trailing zeros dropped.
// The fixed forms are assembled in a word and stored whole, without a branch
// on the digits, and may write up to 13 bytes past `p`.
char* WriteSixDigits(char* p, SixDigits six) {
  const int exponent = six.exponent;
  // The six digits in reading order in the low six bytes.
  // (The quotients by 10000 and by 100 share one division.)
  const uint32_t hundreds = six.digits / 100;
  const uint32_t ten_thousands = hundreds / 100;
  const uint64_t digits =
      kDigitPairs[ten_thousands] |
      uint64_t{kDigitPairs[hundreds - 100 * ten_thousands]} << 16 |
      uint64_t{kDigitPairs[six.digits - 100 * hundreds]} << 32;
  // The first digit is no '0', so at most five zero bytes lead the top, and
  // the low bit set spares the count a test for a word of no bits.
  const uint64_t zero_bytes = digits ^ 0x303030303030u;
  const int kept =
      6 -
      static_cast<int>(
          static_cast<unsigned>(std::countl_zero(zero_bytes << 16 | 1)) / 8);

  if (exponent >= 0 && exponent < 6) {
    // The integer digits, the point, then the rest moved up one byte.
    const int integer_digits = exponent + 1;
    const int shift = 8 * integer_digits;
    const uint64_t fraction = digits & (~uint64_t{0} << shift);
    StoreLittle64(p,
                  (digits ^ fraction) | uint64_t{'.'} << shift | fraction << 8);
    return p + (kept > integer_digits ? kept + 1 : integer_digits);
  }
  if (exponent < 0 && exponent >= -4) {
    // "0." and -exponent - 1 zeros, then the digits over the zeros after.
    const int zeros = -exponent - 1;
    StoreLittle64(p, kZeroPointZeros);
    StoreLittle64(p + 2 + zeros, digits);
    return p + 2 + zeros + kept;
  }
  *p++ = static_cast<char>(digits);
  if (kept > 1) {
    *p++ = '.';
    for (int i = 1; i < kept; ++i) *p++ = static_cast<char>(digits >> (8 * i));
  }
  *p++ = 'e';
  *p++ = exponent < 0 ? '-' : '+';
  // Doubles have decimal exponents from -324 to 308: always three digits.
  const auto magnitude_exp =
      static_cast<uint32_t>(exponent < 0 ? -exponent : exponent);
  *p++ = static_cast<char>('0' + magnitude_exp / 100);
  const uint16_t pair = kDigitPairs[magnitude_exp % 100];
  *p++ = static_cast<char>(pair);
  *p++ = static_cast<char>(pair >> 8);
  return p;
}

// Writes `text` at `p`; returns its end.
char* WriteText(char* p, std::string_view text) {
  return std::copy(text.begin(), text.end(), p);
}

}  // namespace

char* WriteNumber(char* p, double value) {
  // The sign is written and kept or not with no branch, for the same reason.
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const uint64_t sign = bits >> 63;
  *p = '-';
  p += sign;
  // Zeros, infinities and NaNs are told from the rest with one test of the
  // magnitude's bits: zero wraps around to the largest.
  const uint64_t magnitude_bits = bits & ~(uint64_t{1} << 63);
  constexpr uint64_t kInfinityBits = 0x7FF0000000000000u;
  if (magnitude_bits - 1 >= kInfinityBits - 1) {
    if (magnitude_bits == 0) {
      *p++ = '0';
      return p;
    }
    if (magnitude_bits == kInfinityBits) return WriteText(p, "1.#INF");
    // NaN, whatever its sign bit.
    return WriteText(p - sign, "-1.#IND");
  }
  const auto magnitude = std::bit_cast<double>(magnitude_bits);
  SixDigits six;
  if (!FastSixDigits(magnitude, six)) six = ExactSixDigits(magnitude);
  return WriteSixDigits(p, six);
}

void AppendNumber(std::string& out, double value) {
  char text[kMaxNumberText];
  out.append(text, static_cast<size_t>(WriteNumber(text, value) - text));
}

}  // namespace vostrel
