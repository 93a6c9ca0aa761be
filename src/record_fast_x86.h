// The value conversion of the record fast path's x86 paths, in 16-byte
// registers (SSSE3 and SSE4.1, which every AVX2 CPU has). Included by their
// files after record_fast_line.h, with its rules.
#ifndef VOSTREL_RECORD_FAST_X86_H_
#define VOSTREL_RECORD_FAST_X86_H_

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "record_fast_line.h"

namespace vostrel {
namespace {

// Row q (0 to 15): the shuffle that moves bytes 0 to q - 1 up by one, over a
// point at q, and zeroes byte 0; row 16 moves nothing.
struct ShiftTable {
  alignas(16) std::array<std::array<char, 16>, 17> rows;
};

constexpr ShiftTable MakeShiftTable() {
  ShiftTable t{};
  for (int q = 0; q <= 16; ++q) {
    for (int j = 0; j < 16; ++j) {
      const int from = q < 16 && j <= q ? j - 1 : j;
      t.rows[static_cast<size_t>(q)][static_cast<size_t>(j)] =
          static_cast<char>(from < 0 ? 0x80 : from);
    }
  }
  return t;
}

constexpr ShiftTable kShiftOverPoint = MakeShiftTable();

// 16 zero bytes, then 16 bytes 0xFF: the 16 bytes from offset n mark the
// last n of 16.
struct TailTable {
  alignas(32) std::array<char, 32> bytes;
};

constexpr TailTable MakeTailTable() {
  TailTable t{};
  for (size_t i = 16; i < 32; ++i) t.bytes[i] = static_cast<char>(0xFF);
  return t;
}

constexpr TailTable kTail = MakeTailTable();

constexpr double kSignedPowersOfTen[2][16] = {
    {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13,
     1e14, 1e15},
    {-1e0, -1e1, -1e2, -1e3, -1e4, -1e5, -1e6, -1e7, -1e8, -1e9, -1e10, -1e11,
     -1e12, -1e13, -1e14, -1e15}};

// ReadValue for a field of at most 15 bytes, from the 16 bytes that end with
// it, so that its last digit is already in place: the bytes before the field
// and its sign and point are zeroed, the digits before the point shifted
// over it, and the 16 digits combined by multiply-adds. At most 15 digits
// make a mantissa below 2^53. Longer fields go to ReadValue.
VOSTREL_LINE_TARGET inline bool VectorValue(const LineScratch& s, size_t first,
                                            size_t n, double& mantissa,
                                            double& divisor) {
  if (n > 15) return ReadValue(s, first, n, mantissa, divisor);
  const char* field = s.bytes + kLineCopyOffset + first;
  const __m128i w =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(field + n - 16));
  const __m128i in_field =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTail.bytes.data() + n));
  const __m128i x = _mm_sub_epi8(w, _mm_set1_epi8('0'));
  // A digit less '0' is at most 9 as an unsigned byte.
  const __m128i digit = _mm_and_si128(
      _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(9)), x), in_field);
  const __m128i point =
      _mm_and_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('.')), in_field);
  const auto digits = static_cast<uint32_t>(_mm_movemask_epi8(digit));
  const auto points = static_cast<uint32_t>(_mm_movemask_epi8(point));
  // A digit at all; one point at most, not last, with a digit before it
  // (signs stand only at a field's start).
  if (digits == 0 || (points & (points - 1)) != 0 || (points >> 15) != 0 ||
      ((points >> 1) & ~digits) != 0) {
    return false;
  }
  const auto q =
      static_cast<size_t>(std::countr_zero(points | (uint32_t{1} << 16)));
  const __m128i shifted = _mm_shuffle_epi8(
      _mm_and_si128(x, digit), _mm_load_si128(reinterpret_cast<const __m128i*>(
                                   kShiftOverPoint.rows[q].data())));
  const __m128i pairs = _mm_maddubs_epi16(
      shifted,
      _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1));
  const __m128i quads =
      _mm_madd_epi16(pairs, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
  const __m128i packed = _mm_packus_epi32(quads, quads);
  const __m128i eights = _mm_madd_epi16(
      packed, _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
  const auto high = static_cast<uint32_t>(_mm_cvtsi128_si32(eights));
  const auto low = static_cast<uint32_t>(_mm_extract_epi32(eights, 1));
  const uint64_t m = uint64_t{high} * 100000000u + low;
  mantissa = static_cast<double>(static_cast<int64_t>(m));
  const size_t fraction = q < 16 ? 15 - q : 0;
  divisor = kSignedPowersOfTen[*field == '-' ? 1 : 0][fraction];
  return true;
}

// Isa::Values of the x86 paths, which add Classify and Divide.
struct VectorValuesIsa {
  VOSTREL_LINE_TARGET static bool Values(LineScratch& s, size_t columns,
                                         double* values) {
    return ValuesWith<VectorValue>(s, columns, values);
  }
};

}  // namespace
}  // namespace vostrel

#endif  // VOSTREL_RECORD_FAST_X86_H_
