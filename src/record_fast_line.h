// The line reader of the record fast path, shared by its paths. A path's file
// defines VOSTREL_LINE_TARGET (its instruction set's function attribute, or
// nothing), includes this header and instantiates ReadRecordLine with an Isa
// of three functions:
//
//   // Copies the 64 bytes at `src` to the 64-byte aligned `dst`; returns their
//   // classes.
//   static ByteMasks Classify(const char* src, char* dst);
//   // Reads the `columns` values of the line that FindFields left in `s`:
//   // values[c] the mantissa, s.divisors[c] 10^(fraction digits) with the
//   // value's sign, as ReadValue does. False if one is no fast value.
//   static bool Values(LineScratch& s, size_t columns, double* values);
//   // values[i] /= divisors[i] for i below n, each one IEEE division.
//   static void Divide(double* values, const double* divisors, size_t n);
//
// Everything here has internal linkage, so that code compiled for one
// instruction set never stands in for another's at link time.
#ifndef VOSTREL_RECORD_FAST_LINE_H_
#define VOSTREL_RECORD_FAST_LINE_H_

#ifndef VOSTREL_LINE_TARGET
#error "define VOSTREL_LINE_TARGET before including record_fast_line.h"
#endif

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "record_fast_internal.h"
#include "vostrel.h"

namespace vostrel {
namespace {

// Bit i of each mask stands for byte i of a 64-byte chunk.
struct ByteMasks {
  uint64_t separator = 0;  // space, tab or LF
  uint64_t lf = 0;
  uint64_t point = 0;  // '.'
  uint64_t sign = 0;   // '+' or '-'
  uint64_t other = 0;  // none of the above and no decimal digit
};

// The eight bytes at `p` with p[0] in the low byte, whatever the byte order.
VOSTREL_LINE_TARGET inline uint64_t LoadLittle64(const char* p) {
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

constexpr uint64_t kOnes = 0x0101010101010101u;

constexpr uint64_t kIntegerPowersOfTen[] = {1u,
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

// Every power here is an exact double.
constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The value of the first `count` (0 to 8) bytes at `p`, all decimal digits;
// the eight bytes at `p` must be readable. Bytes past the digits are shifted
// out before they are used: a byte below '0' borrows only from the bytes
// after it.
VOSTREL_LINE_TARGET inline uint64_t DigitsOfEight(const char* p, size_t count) {
  const uint64_t t = LoadLittle64(p) - kOnes * '0';
  // The digits move to the top; the zeros shifted in are leading zeros.
  uint64_t v = count == 0 ? 0 : t << (64 - 8 * count);
  v = v * 10 + (v >> 8);
  v = (((v & 0x000000FF000000FFu) * 0x000F424000000064u) +
       (((v >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
      32;
  return v;
}

// The same for up to 19 digits.
VOSTREL_LINE_TARGET inline uint64_t DigitsOfNineteen(const char* p,
                                                     size_t count) {
  uint64_t v = 0;
  for (; count > 8; p += 8, count -= 8) {
    v = v * 100000000u + DigitsOfEight(p, 8);
  }
  return v * kIntegerPowersOfTen[count] + DigitsOfEight(p, count);
}

// The bits of `words` from bit `first` on, `count` (at most 63) of them.
VOSTREL_LINE_TARGET inline uint64_t BitsAt(const uint64_t* words, size_t first,
                                           size_t count) {
  const size_t w = first / 64;
  const size_t o = first % 64;
  // Two shifts, so that an offset of 0 takes nothing from the next word.
  const uint64_t bits = (words[w] >> o) | ((words[w + 1] << 1) << (63 - o));
  return bits & ((uint64_t{1} << count) - 1);
}

constexpr size_t kMaxValueDigits = 19;
constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;

// Reads the value field at byte `first` of the line in `s`, `n` bytes long:
// [+-]digits or [+-]digits.digits, at most kMaxValueDigits digits forming a
// mantissa of at most 2^53. Sets `mantissa` (exact as a double) and `divisor`
// (10^(fraction digits), negative for "-"). FindFields has made sure that the
// field holds only digits, points and a sign at its start.
VOSTREL_LINE_TARGET inline bool ReadValue(const LineScratch& s, size_t first,
                                          size_t n, double& mantissa,
                                          double& divisor) {
  if (n > kMaxValueDigits + 2) return false;
  const char* p = s.bytes + kLineCopyOffset + first;
  const bool negative = *p == '-';
  const size_t sign = negative || *p == '+' ? 1 : 0;
  const uint64_t points = BitsAt(s.points, first, n);
  // The point's offset in the field, or n when there is none.
  const size_t point =
      static_cast<size_t>(std::countr_zero(points | (uint64_t{1} << n)));
  const size_t whole = point - sign;
  const size_t fraction = n - std::min(point + 1, n);
  // A digit before a point and after it ("1." and ".5" are the exact
  // scan's), one point at most.
  if (whole == 0 || (points & (points - 1)) != 0 || (points >> (n - 1)) != 0 ||
      whole + fraction > kMaxValueDigits) {
    return false;
  }
  const char* digits = p + sign;
  uint64_t m;
  if (whole <= 8 && fraction <= 8) {
    m = DigitsOfEight(digits, whole) * kIntegerPowersOfTen[fraction] +
        DigitsOfEight(p + point + 1, fraction);
  } else {
    m = DigitsOfNineteen(digits, whole) * kIntegerPowersOfTen[fraction] +
        DigitsOfNineteen(p + point + 1, fraction);
  }
  if (m > kMaxExactMantissa) return false;
  mantissa = static_cast<double>(static_cast<int64_t>(m));
  divisor =
      negative ? -kExactPowersOfTen[fraction] : kExactPowersOfTen[fraction];
  return true;
}

// A reader of one value field with ReadValue's contract.
using ValueFn = bool (*)(const LineScratch& s, size_t first, size_t n,
                         double& mantissa, double& divisor);

// Isa::Values one field at a time with `read`.
template <ValueFn read>
VOSTREL_LINE_TARGET inline bool ValuesWith(LineScratch& s, size_t columns,
                                           double* values) {
  const uint16_t* bound = s.bounds + 8;
  for (size_t c = 0; c < columns; ++c, bound += 2) {
    if (!read(s, bound[0], bound[1] - bound[0], values[c], s.divisors[c])) {
      return false;
    }
  }
  return true;
}

// Finds the fields of the line at `begin` from the masks of each chunk:
// copies the line to s.bytes, its points to s.points and the bounds of its
// fields to s.bounds. Returns the line's length, LF included, or 0 when the
// line is no fast line by its bytes alone or its LF is not in the window.
// `bounds` is the number of bounds written.
template <typename Isa>
VOSTREL_LINE_TARGET inline size_t FindFields(const char* begin, const char* end,
                                             LineScratch& s, size_t& bounds) {
  const size_t avail = static_cast<size_t>(end - begin);
  uint64_t carry = 0;  // 1 when the byte before the chunk is in a field
  bounds = 0;
  for (size_t chunk = 0;; ++chunk) {
    const size_t offset = 64 * chunk;
    if (chunk == kLineChunks || offset >= avail) return 0;
    char* copy = s.bytes + kLineCopyOffset + offset;
    ByteMasks m;
    if (avail - offset >= 64) {
      m = Isa::Classify(begin + offset, copy);
    } else {
      // The window ends here: the NUL bytes after it are no fast line's.
      alignas(64) char last[64] = {};
      std::memcpy(last, begin + offset, avail - offset);
      m = Isa::Classify(last, copy);
    }
    uint64_t through_lf = ~uint64_t{0};
    size_t length = 0;
    if (m.lf != 0) {
      through_lf = m.lf ^ (m.lf - 1);
      length = offset + static_cast<size_t>(std::countr_zero(m.lf)) + 1;
      if (length > static_cast<size_t>(kMaxLineRead)) return 0;
    }
    if ((m.other & through_lf) != 0) return 0;
    // Past the LF every byte counts as a separator, so no field starts there.
    const uint64_t separator = m.separator | ~through_lf;
    const uint64_t in_field = ~separator;
    const uint64_t after_field = (in_field << 1) | carry;
    const uint64_t starts = in_field & ~after_field;
    const uint64_t ends = separator & after_field;
    // A sign anywhere but at a field's start ends the number before it.
    if ((m.sign & through_lf & ~starts) != 0) return 0;
    s.points[chunk] = m.point & through_lf;
    carry = in_field >> 63;
    for (uint64_t b = starts | ends; b != 0; b &= b - 1) {
      s.bounds[bounds++] = static_cast<uint16_t>(
          offset + static_cast<size_t>(std::countr_zero(b)));
    }
    if (length != 0) {
      s.points[chunk + 1] = 0;
      return length;
    }
  }
}

// Reads a fast line (see RecordReader) with the functions of `Isa`.
template <typename Isa>
VOSTREL_LINE_TARGET const char* ReadRecordLine(const char* begin,
                                               const char* end, size_t columns,
                                               LineScratch& s, int32_t* date,
                                               double* values) {
  size_t bounds;
  const size_t length = FindFields<Isa>(begin, end, s, bounds);
  if (length == 0 || bounds != 2 * (4 + columns)) return nullptr;

  int32_t fields[4];
  for (size_t i = 0; i < 4; ++i) {
    const size_t first = s.bounds[2 * i];
    const size_t n = s.bounds[2 * i + 1] - first;
    const char* p = s.bytes + kLineCopyOffset + first;
    // Plain digits only, at most nine so that no value wraps; signs and the
    // wrap-around are the exact scan's.
    if (n > 9 || static_cast<unsigned char>(*p - '0') > 9 ||
        BitsAt(s.points, first, n) != 0) {
      return nullptr;
    }
    uint64_t v = DigitsOfEight(p, std::min<size_t>(n, 8));
    if (n == 9) v = v * 10 + static_cast<uint64_t>(p[8] - '0');
    fields[i] = static_cast<int32_t>(v);
  }

  if (!Isa::Values(s, columns, values)) return nullptr;
  // Both operands are exact doubles, so each quotient is correctly rounded,
  // as in the number scan; a divisor of 1 changes nothing. Dividing by the
  // signed divisor rounds as negating the quotient would (round to nearest
  // is symmetric), and 0 / -1 is -0 as the scan's -(0.0) is.
  Isa::Divide(values, s.divisors, columns);
  std::copy(fields, fields + 4, date);
  return begin + length;
}

}  // namespace
}  // namespace vostrel

#endif  // VOSTREL_RECORD_FAST_LINE_H_
