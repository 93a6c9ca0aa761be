// The record fast path on x86-64: two paths, compiled function by function
// for their instruction sets and run only where the CPU has them. SSE4.1
// (with SSSE3), which every x86-64 CPU of the last decade has, classifies
// 16 bytes per compare; AVX2 classifies 32 and divides four values at a
// time, which measures faster where it is available. Both convert each value
// in one 16-byte register (VectorValue in record_fast_line.inc).
#include "record_fast_internal.h"

#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "number_rules.h"

#if defined(__GNUC__)
#define VOSTREL_SSE41 __attribute__((target("sse4.1")))
#define VOSTREL_AVX2 __attribute__((target("avx2")))
#else
// MSVC compiles any intrinsic without a target attribute.
#include <intrin.h>
#define VOSTREL_SSE41
#define VOSTREL_AVX2
#endif

namespace vostrel::x86_tables {

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

// 10^0 to 10^15, and the same negated: the divisor of a value of a sign and
// a fraction length, picked with no branch.
constexpr auto kSignedPowersOfTen = [] {
  std::array<std::array<double, 16>, 2> t{};
  for (size_t i = 0; i < 16; ++i) {
    t[0][i] = kExactPowersOfTen[i];
    t[1][i] = -kExactPowersOfTen[i];
  }
  return t;
}();

}  // namespace vostrel::x86_tables

#define VOSTREL_LINE_TARGET VOSTREL_SSE41
#define VOSTREL_LINE_NAMESPACE sse41_line
#define VOSTREL_LINE_X86
#include "record_fast_line.inc"

namespace vostrel::sse41_line {

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

  VOSTREL_SSE41 static void Divide(double* values, const double* divisors,
                                   size_t n) {
    size_t i = 0;
    for (; i + 2 <= n; i += 2) {
      _mm_storeu_pd(values + i, _mm_div_pd(_mm_loadu_pd(values + i),
                                           _mm_loadu_pd(divisors + i)));
    }
    if (i < n) values[i] /= divisors[i];
  }
};

}  // namespace vostrel::sse41_line

#define VOSTREL_LINE_TARGET VOSTREL_AVX2
#define VOSTREL_LINE_NAMESPACE avx2_line
#define VOSTREL_LINE_X86
#include "record_fast_line.inc"

namespace vostrel::avx2_line {

// The classes of 32 bytes, bit i for byte i.
struct HalfMasks {
  uint32_t separator;
  uint32_t lf;
  uint32_t point;
  uint32_t sign;
  uint32_t known;
};

VOSTREL_AVX2 inline uint32_t Bits(__m256i flags) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(flags));
}

VOSTREL_AVX2 inline __m256i Equal(__m256i x, char c) {
  return _mm256_cmpeq_epi8(x, _mm256_set1_epi8(c));
}

VOSTREL_AVX2 inline HalfMasks ClassifyHalf(__m256i x) {
  const __m256i lf = Equal(x, '\n');
  const __m256i separator =
      _mm256_or_si256(_mm256_or_si256(Equal(x, ' '), Equal(x, '\t')), lf);
  const __m256i point = Equal(x, '.');
  const __m256i sign = _mm256_or_si256(Equal(x, '+'), Equal(x, '-'));
  // A digit less '0' is at most 9 as an unsigned byte.
  const __m256i offset = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
  const __m256i digit =
      _mm256_cmpeq_epi8(_mm256_min_epu8(offset, _mm256_set1_epi8(9)), offset);
  const __m256i known = _mm256_or_si256(_mm256_or_si256(separator, point),
                                        _mm256_or_si256(sign, digit));
  return {Bits(separator), Bits(lf), Bits(point), Bits(sign), Bits(known)};
}

inline uint64_t Join(uint32_t low, uint32_t high) {
  return low | (uint64_t{high} << 32);
}

struct Avx2Isa {
  VOSTREL_AVX2 static ByteMasks Classify(const char* src, char* dst) {
    const __m256i low =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    const __m256i high =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32));
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst), low);
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst + 32), high);
    const HalfMasks l = ClassifyHalf(low);
    const HalfMasks h = ClassifyHalf(high);
    ByteMasks m;
    m.separator = Join(l.separator, h.separator);
    m.lf = Join(l.lf, h.lf);
    m.point = Join(l.point, h.point);
    m.sign = Join(l.sign, h.sign);
    m.other = ~Join(l.known, h.known);
    return m;
  }

  VOSTREL_AVX2 static bool Values(LineScratch& s, size_t columns,
                                  double* values) {
    return ValuesWith<VectorValue>(s, columns, values);
  }

  VOSTREL_AVX2 static void Divide(double* values, const double* divisors,
                                  size_t n) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
      _mm256_storeu_pd(values + i,
                       _mm256_div_pd(_mm256_loadu_pd(values + i),
                                     _mm256_loadu_pd(divisors + i)));
    }
    for (; i < n; ++i) values[i] /= divisors[i];
  }
};

}  // namespace vostrel::avx2_line

namespace vostrel {

const char* ReadRecordSse41(const char* begin, const char* end, size_t columns,
                            LineScratch& scratch, int32_t* date,
                            double* values) {
  return sse41_line::ReadRecordLine<sse41_line::Sse41Isa>(
      begin, end, columns, scratch, date, values);
}

const char* ReadRecordAvx2(const char* begin, const char* end, size_t columns,
                           LineScratch& scratch, int32_t* date,
                           double* values) {
  return avx2_line::ReadRecordLine<avx2_line::Avx2Isa>(begin, end, columns,
                                                       scratch, date, values);
}

#if defined(__GNUC__)
// __builtin_cpu_supports reads the CPU's feature bits once, and for AVX2
// also checks that the system saves the 32-byte registers.
bool CpuHasSse41() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("sse4.1");
}

bool CpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#else
bool CpuHasSse41() {
  int info[4];
  __cpuid(info, 1);
  return (info[2] & (1 << 19)) != 0;  // ECX bit 19: SSE4.1
}

bool CpuHasAvx2() {
  int info[4];
  __cpuid(info, 1);
  // ECX bit 27: the system saves registers with XSAVE; bit 28: AVX. XCR0
  // bits 1 and 2: it saves the 16- and 32-byte registers.
  if ((info[2] & (3 << 27)) != (3 << 27) || (_xgetbv(0) & 6) != 6) {
    return false;
  }
  __cpuidex(info, 7, 0);
  return (info[1] & (1 << 5)) != 0;  // EBX bit 5: AVX2
}
#endif

}  // namespace vostrel

#undef VOSTREL_SSE41
#undef VOSTREL_AVX2

#endif  // defined(__x86_64__) || defined(_M_X64)
