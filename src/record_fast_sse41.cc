// The record fast path with SSE4.1 (and SSSE3), which every x86-64 CPU of
// the last decade has: 16 bytes classified per compare, and each value
// converted in one 16-byte register. Compiled for SSE4.1 function by
// function, and run only where the CPU has it.
#include "record_fast_internal.h"

#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#define VOSTREL_SSE41 __attribute__((target("sse4.1")))
#else
// MSVC compiles any intrinsic without a target attribute.
#include <intrin.h>
#define VOSTREL_SSE41
#endif

#define VOSTREL_LINE_TARGET VOSTREL_SSE41
#define VOSTREL_LINE_NAMESPACE sse41_line
#include "record_fast_line.inc"

namespace vostrel::sse41_line {

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

// ReadValue for a field of at most 15 bytes, from the 16 bytes that end with
// it, so that its last digit is already in place: the bytes before the field
// and its sign and point are zeroed, the digits before the point shifted
// over it, and the 16 digits combined by multiply-adds. At most 15 digits
// make a mantissa below 2^53. Longer fields go to ReadValue.
VOSTREL_SSE41 inline bool VectorValue(const LineScratch& s, size_t first,
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
  divisor = SignedPowerOfTen(fraction, *field == '-');
  return true;
}

VOSTREL_SSE41 inline uint64_t Bits16(__m128i flags, size_t shift) {
  return uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(flags))} << shift;
}

VOSTREL_SSE41 inline __m128i Equal(__m128i x, char c) {
  return _mm_cmpeq_epi8(x, _mm_set1_epi8(c));
}

struct Sse41Isa {
  VOSTREL_SSE41 static ByteMasks Classify(const char* src, char* dst) {
    ByteMasks m;
    uint64_t known = 0;
    for (size_t i = 0; i < 4; ++i) {
      const __m128i x =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16 * i));
      _mm_store_si128(reinterpret_cast<__m128i*>(dst + 16 * i), x);
      const __m128i lf = Equal(x, '\n');
      const __m128i separator =
          _mm_or_si128(_mm_or_si128(Equal(x, ' '), Equal(x, '\t')), lf);
      const __m128i point = Equal(x, '.');
      const __m128i sign = _mm_or_si128(Equal(x, '+'), Equal(x, '-'));
      // A digit less '0' is at most 9 as an unsigned byte.
      const __m128i offset = _mm_sub_epi8(x, _mm_set1_epi8('0'));
      const __m128i digit =
          _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(9)), offset);
      const size_t shift = 16 * i;
      m.separator |= Bits16(separator, shift);
      m.lf |= Bits16(lf, shift);
      m.point |= Bits16(point, shift);
      m.sign |= Bits16(sign, shift);
      known |= Bits16(_mm_or_si128(_mm_or_si128(separator, point),
                                   _mm_or_si128(sign, digit)),
                      shift);
    }
    m.other = ~known;
    return m;
  }

  VOSTREL_SSE41 static bool Values(LineScratch& s, size_t columns,
                                   double* values) {
    return ValuesWith<VectorValue>(s, columns, values);
  }
};

}  // namespace vostrel::sse41_line

namespace vostrel {

const char* ReadRecordSse41(const char* begin, const char* end, size_t columns,
                            LineScratch& scratch, int32_t* date,
                            double* values) {
  return sse41_line::ReadRecordLine<sse41_line::Sse41Isa>(
      begin, end, columns, scratch, date, values);
}

bool CpuHasSse41() {
#if defined(__GNUC__)
  // __builtin_cpu_supports reads the CPU's feature bits once.
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse4.1");
#else
  int info[4];
  __cpuid(info, 1);
  return (info[2] & (1 << 19)) != 0;  // ECX bit 19: SSE4.1
#endif
}

}  // namespace vostrel

#undef VOSTREL_SSE41

#endif  // defined(__x86_64__) || defined(_M_X64)
