// Inside the record fast path: the byte classes and the scratch area of one
// line, and the readers of the paths, each in a file of its own compiled for
// its instruction set.
#ifndef VOSTREL_RECORD_FAST_INTERNAL_H_
#define VOSTREL_RECORD_FAST_INTERNAL_H_

#include <cstddef>
#include <cstdint>

#include "record_fast.h"

namespace vostrel {

// A fast line spans at most this many 64-byte chunks and holds at most this
// many fields (each at least one byte and one separator, the LF last).
inline constexpr size_t kLineChunks = (kMaxFastLine + 63) / 64;
inline constexpr size_t kMaxLineFields = (kMaxFastLine + 1) / 2;

// The line's copy starts this far into LineScratch::bytes; the 16 bytes
// before it are spaces, so a 16-byte load that ends at a field's end reads a
// separator before the line's first field.
inline constexpr size_t kLineCopyOffset = 64;

// Bit i of each mask stands for byte i of a 64-byte chunk.
struct ByteMasks {
  uint64_t separator = 0;  // space, tab or LF
  uint64_t lf = 0;
  uint64_t point = 0;  // '.'
  uint64_t sign = 0;   // '+' or '-'
  uint64_t other = 0;  // none of the above and no decimal digit
};

struct LineScratch {
  // The line's bytes, copied chunk by chunk from kLineCopyOffset on, with room
  // after the last chunk for 16-byte loads from any byte of the line. Set once
  // (spaces before the line, zeros after), so that every byte read is
  // defined.
  alignas(64) char bytes[kLineCopyOffset + 64 * (kLineChunks + 1)];
  // The '.' bytes of the line, a word per chunk, and a zero word after the
  // last one, so that the bits of a field can be taken from two words.
  uint64_t points[kLineChunks + 1];
  // Offset of each field's first byte and of the separator after it, in turn.
  // Offsets lie below 64 * kLineChunks, so 16 bits hold them.
  uint16_t bounds[64 * kLineChunks];
  // 10^(fraction digits) of each value, negative for a negative value.
  alignas(64) double divisors[kMaxLineFields];
};

// The readers behind RecordReader::Read, one per path, all with its contract.
const char* ReadRecordPortable(const char* begin, const char* end,
                               size_t columns, LineScratch& scratch,
                               int32_t* date, double* values);

#if defined(__x86_64__) || defined(_M_X64)
// Call these only when the matching CpuHas function returns true.
const char* ReadRecordSse41(const char* begin, const char* end, size_t columns,
                            LineScratch& scratch, int32_t* date,
                            double* values);
const char* ReadRecordAvx2(const char* begin, const char* end, size_t columns,
                           LineScratch& scratch, int32_t* date, double* values);
// True when the CPU has SSE4.1 (and so SSSE3), or AVX2 that the system
// supports.
bool CpuHasSse41();
bool CpuHasAvx2();
#endif

}  // namespace vostrel

#endif  // VOSTREL_RECORD_FAST_INTERNAL_H_
