// Decimal digits read eight bytes at a time, for the number scan and the
// record fast path. Internal to the tool.
#ifndef VOSTREL_DIGIT_READING_H_
#define VOSTREL_DIGIT_READING_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vostrel {

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

}  // namespace vostrel

#endif  // VOSTREL_DIGIT_READING_H_
