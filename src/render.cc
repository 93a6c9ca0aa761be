// vostrel's number rendering: the "\t%lg" fields of the output files, by
// the tool's own rule, from the six digits that six_digits.h finds.
#include "render.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "six_digits.h"

namespace vostrel {

namespace {

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
  const uint64_t digits = kDigitPairs[six.digits / 10000] |
                          uint64_t{kDigitPairs[six.digits / 100 % 100]} << 16 |
                          uint64_t{kDigitPairs[six.digits % 100]} << 32;
  // The first digit is no '0', so at most five zero bytes lead the top.
  const uint64_t zero_bytes = digits ^ 0x303030303030u;
  const int kept = 6 - std::countl_zero(zero_bytes << 16) / 8;

  if (exponent >= 0 && exponent < 6) {
    // The integer digits, the point, then the rest moved up one byte.
    const int integer_digits = exponent + 1;
    const int shift = 8 * integer_digits;
    const uint64_t integer = digits & ((uint64_t{1} << shift) - 1);
    StoreLittle64(p, integer | uint64_t{'.'} << shift |
                         (digits & ~((uint64_t{1} << shift) - 1)) << 8);
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

}  // namespace

char* WriteNumber(char* p, double value) {
  if (std::isnan(value)) {
    std::memcpy(p, "-1.#IND", 7);
    return p + 7;
  }
  if (std::signbit(value)) *p++ = '-';
  const double magnitude = std::fabs(value);
  if (std::isinf(magnitude)) {
    std::memcpy(p, "1.#INF", 6);
    return p + 6;
  }
  if (magnitude == 0) {
    *p++ = '0';
    return p;
  }
  return WriteSixDigits(p, SixDigitsOf(magnitude));
}

char* WriteScannedNumber(char* p, double value, double power_of_ten) {
  // value * 10^k lies within m * 2^-52 < 0.23 of m when m < 10^15 (two
  // correctly rounded operations), so rounding it gives m; a larger m gives
  // at least 10^15 and goes to WriteNumber, as do zero, infinities and NaN.
  const double magnitude = std::fabs(value);
  const double scaled = magnitude * power_of_ten;
  if (!(scaled < 1e15)) return WriteNumber(p, value);
  SixDigits six;
  if (!SixDigitsOfDecimal(static_cast<uint64_t>(scaled + 0.5), power_of_ten,
                          six)) {
    return WriteNumber(p, value);
  }
  if (std::signbit(value)) *p++ = '-';
  return WriteSixDigits(p, six);
}

void AppendNumber(std::string& out, double value) {
  char text[kMaxNumberText];
  out.append(text, static_cast<size_t>(WriteNumber(text, value) - text));
}

}  // namespace vostrel
