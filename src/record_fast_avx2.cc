// The record fast path with AVX2: 32 bytes classified per compare, compiled
// for AVX2 alone and run only where the CPU has it.
#include "record_fast_internal.h"

#if defined(__x86_64__) || defined(_M_X64)
#if defined(__GNUC__)

#define VOSTREL_LINE_TARGET __attribute__((target("avx2")))
#include "record_fast_line.h"
#include "record_fast_x86.h"

namespace vostrel {

namespace {

// The classes of 32 bytes, bit i for byte i.
struct HalfMasks {
  uint32_t separator;
  uint32_t lf;
  uint32_t point;
  uint32_t sign;
  uint32_t known;
};

VOSTREL_LINE_TARGET inline uint32_t Bits(__m256i flags) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(flags));
}

VOSTREL_LINE_TARGET inline __m256i Equal(__m256i x, char c) {
  return _mm256_cmpeq_epi8(x, _mm256_set1_epi8(c));
}

VOSTREL_LINE_TARGET inline HalfMasks ClassifyHalf(__m256i x) {
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

struct Avx2Isa : VectorValuesIsa {
  VOSTREL_LINE_TARGET static ByteMasks Classify(const char* src, char* dst) {
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

  VOSTREL_LINE_TARGET static void Divide(double* values, const double* divisors,
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

}  // namespace

const char* ReadRecordAvx2(const char* begin, const char* end, size_t columns,
                           LineScratch& scratch, int32_t* date,
                           double* values) {
  return ReadRecordLine<Avx2Isa>(begin, end, columns, scratch, date, values);
}

// __builtin_cpu_supports also checks that the system saves the registers.
bool CpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

}  // namespace vostrel

#else  // no function-level target attributes: the portable path stands in

namespace vostrel {
const char* ReadRecordAvx2(const char* begin, const char* end, size_t columns,
                           LineScratch& scratch, int32_t* date,
                           double* values) {
  return ReadRecordPortable(begin, end, columns, scratch, date, values);
}
bool CpuHasAvx2() { return false; }
}  // namespace vostrel

#endif  // defined(__GNUC__)
#endif  // defined(__x86_64__) || defined(_M_X64)
