// The record fast path with AVX-512BW: a whole 64-byte chunk classified per
// compare, compiled for AVX-512 alone and run only where the CPU has it.
#include "record_fast_internal.h"

#if defined(__x86_64__) || defined(_M_X64)
#if defined(__GNUC__)

#define VOSTREL_LINE_TARGET __attribute__((target("avx512f,avx512bw")))
#include "record_fast_line.h"
#include "record_fast_x86.h"

namespace vostrel {

namespace {

VOSTREL_LINE_TARGET inline uint64_t Equal(__m512i x, char c) {
  return _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(c));
}

struct Avx512Isa : VectorValuesIsa {
  VOSTREL_LINE_TARGET static ByteMasks Classify(const char* src, char* dst) {
    const __m512i x = _mm512_loadu_si512(src);
    _mm512_store_si512(dst, x);
    ByteMasks m;
    m.lf = Equal(x, '\n');
    m.separator = Equal(x, ' ') | Equal(x, '\t') | m.lf;
    m.point = Equal(x, '.');
    m.sign = Equal(x, '+') | Equal(x, '-');
    // A digit less '0' is below 10 as an unsigned byte.
    const uint64_t digit = _mm512_cmplt_epu8_mask(
        _mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(10));
    m.other = ~(m.separator | m.point | m.sign | digit);
    return m;
  }

  VOSTREL_LINE_TARGET static void Divide(double* values, const double* divisors,
                                         size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      _mm512_storeu_pd(values + i,
                       _mm512_div_pd(_mm512_loadu_pd(values + i),
                                     _mm512_loadu_pd(divisors + i)));
    }
    if (i < n) {
      // The lanes past the end divide 0 by 1 and are not stored.
      const auto lanes = static_cast<__mmask8>((1u << (n - i)) - 1);
      const __m512d v = _mm512_maskz_loadu_pd(lanes, values + i);
      const __m512d d =
          _mm512_mask_loadu_pd(_mm512_set1_pd(1.0), lanes, divisors + i);
      _mm512_mask_storeu_pd(values + i, lanes, _mm512_div_pd(v, d));
    }
  }
};

}  // namespace

const char* ReadRecordAvx512(const char* begin, const char* end, size_t columns,
                             LineScratch& scratch, int32_t* date,
                             double* values) {
  return ReadRecordLine<Avx512Isa>(begin, end, columns, scratch, date, values);
}

// __builtin_cpu_supports also checks that the system saves the registers.
bool CpuHasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") &&
         __builtin_cpu_supports("avx512bw");
}

}  // namespace vostrel

#else  // no function-level target attributes: the portable path stands in

namespace vostrel {
const char* ReadRecordAvx512(const char* begin, const char* end, size_t columns,
                             LineScratch& scratch, int32_t* date,
                             double* values) {
  return ReadRecordPortable(begin, end, columns, scratch, date, values);
}
bool CpuHasAvx512() { return false; }
}  // namespace vostrel

#endif  // defined(__GNUC__)
#endif  // defined(__x86_64__) || defined(_M_X64)
