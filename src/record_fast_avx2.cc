// The record fast path with AVX2: 32 bytes classified per compare, each
// value converted in one 16-byte register, four values divided at a time.
// Compiled function by function for AVX2, and run only where the CPU and the
// system support it; it reads realistic files faster than the SSE4.1 path
// (bench/README.md).
#include "record_fast_internal.h"

#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#define VOSTREL_AVX2 __attribute__((target("avx2")))
#else
// MSVC compiles any intrinsic without a target attribute.
#include <intrin.h>
#define VOSTREL_AVX2
#endif

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

const char* ReadRecordAvx2(const char* begin, const char* end, size_t columns,
                           LineScratch& scratch, int32_t* date,
                           double* values) {
  return avx2_line::ReadRecordLine<avx2_line::Avx2Isa>(begin, end, columns,
                                                       scratch, date, values);
}

bool CpuHasAvx2() {
#if defined(__GNUC__)
  // __builtin_cpu_supports also checks that the system saves the 32-byte
  // registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  int info[4];
  __cpuid(info, 1);
  // ECX bit 27: the system saves registers with XSAVE; bit 28: AVX. XCR0
  // bits 1 and 2: it saves the 16- and 32-byte registers.
  if ((info[2] & (3 << 27)) != (3 << 27) || (_xgetbv(0) & 6) != 6) {
    return false;
  }
  __cpuidex(info, 7, 0);
  return (info[1] & (1 << 5)) != 0;  // EBX bit 5: AVX2
#endif
}

}  // namespace vostrel

#undef VOSTREL_AVX2

#endif  // defined(__x86_64__) || defined(_M_X64)
