// The portable record fast path: eight bytes at a time in general-purpose
// registers (SWAR), for any CPU; each value read by ReadValue.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "digit_reading.h"
#include "record_fast_internal.h"

#define VOSTREL_LINE_TARGET
#define VOSTREL_LINE_NAMESPACE portable_line
#include "record_fast_line.inc"

namespace vostrel {

namespace portable_line {

constexpr uint64_t kHighs = 0x8080808080808080u;

// 0x80 in each byte of `x` equal to `c`, 0 in the others. Adding 0x7F to the
// low seven bits cannot carry into the next byte, so bytes do not disturb
// each other.
inline uint64_t EqualBytes(uint64_t x, unsigned char c) {
  const uint64_t y = x ^ (kByteOnes * c);
  return ~(((y & ~kHighs) + ~kHighs) | y) & kHighs;
}

// 0x80 in each byte of `x` that is a decimal digit, by the same rule.
inline uint64_t DigitBytes(uint64_t x) {
  const uint64_t low = x & ~kHighs;
  const uint64_t at_least_0 = low + kByteOnes * (0x80 - '0');
  const uint64_t above_9 = low + kByteOnes * (0x80 - '9' - 1);
  return at_least_0 & ~above_9 & ~x & kHighs;
}

// The high bits of the eight bytes as eight bits, byte i to bit i: the
// multiplication moves each byte's bit to bit 56 + i, and no two of its terms
// meet.
inline uint64_t GatherHighBits(uint64_t flags) {
  return ((flags >> 7) * 0x0102040810204080u) >> 56;
}

// Eight bytes at a time in general-purpose registers.
struct PortableIsa {
  static ByteMasks Classify(const char* src, char* dst) {
    std::memcpy(dst, src, 64);
    ByteMasks m;
    for (size_t i = 0; i < 8; ++i) {
      const uint64_t x = LoadLittle64(src + 8 * i);
      const uint64_t lf = EqualBytes(x, '\n');
      const uint64_t separator = EqualBytes(x, ' ') | EqualBytes(x, '\t') | lf;
      const uint64_t point = EqualBytes(x, '.');
      const uint64_t sign = EqualBytes(x, '+') | EqualBytes(x, '-');
      const uint64_t known = separator | point | sign | DigitBytes(x);
      const size_t shift = 8 * i;
      m.separator |= GatherHighBits(separator) << shift;
      m.lf |= GatherHighBits(lf) << shift;
      m.point |= GatherHighBits(point) << shift;
      m.sign |= GatherHighBits(sign) << shift;
      m.other |= GatherHighBits(~known & kHighs) << shift;
    }
    return m;
  }

  static bool Values(LineScratch& s, size_t columns, double* values) {
    return ValuesWith<ReadValue>(s, columns, values);
  }

  static void Divide(double* values, const double* divisors, size_t n) {
    for (size_t i = 0; i < n; ++i) values[i] /= divisors[i];
  }
};

}  // namespace portable_line

const char* ReadRecordPortable(const char* begin, const char* end,
                               size_t columns, LineScratch& scratch,
                               int32_t* date, double* values) {
  return portable_line::ReadRecordLine<portable_line::PortableIsa>(
      begin, end, columns, scratch, date, values);
}

}  // namespace vostrel
