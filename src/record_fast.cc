// vostrel's record fast path: the portable path, and the paths by name and
// by CPU.
#include "record_fast.h"

#include <cstring>
#include <new>

#include "digit_reading.h"
#include "number_rules.h"
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

namespace {

RecordReader::ReadFn ReaderFor(RecordPath path) {
  if (!RecordPathSupported(path)) return nullptr;
  switch (path) {
    case RecordPath::kOff:
      return nullptr;
    case RecordPath::kPortable:
      return ReadRecordPortable;
#if defined(__x86_64__) || defined(_M_X64)
    case RecordPath::kSse41:
      return ReadRecordSse41;
    case RecordPath::kAvx2:
      return ReadRecordAvx2;
#else
    case RecordPath::kSse41:
    case RecordPath::kAvx2:
      return nullptr;
#endif
  }
  return nullptr;
}

}  // namespace

const char* ReadRecordPortable(const char* begin, const char* end,
                               size_t columns, LineScratch& scratch,
                               int32_t* date, double* values) {
  return portable_line::ReadRecordLine<portable_line::PortableIsa>(
      begin, end, columns, scratch, date, values);
}

const char* RecordPathName(RecordPath path) {
  switch (path) {
    case RecordPath::kOff:
      return "off";
    case RecordPath::kPortable:
      return "portable";
    case RecordPath::kSse41:
      return "sse41";
    case RecordPath::kAvx2:
      return "avx2";
  }
  return "?";
}

bool RecordPathSupported(RecordPath path) {
  switch (path) {
    case RecordPath::kOff:
    case RecordPath::kPortable:
      return true;
#if defined(__x86_64__) || defined(_M_X64)
    case RecordPath::kSse41:
      return CpuHasSse41();
    case RecordPath::kAvx2:
      return CpuHasAvx2();
#else
    case RecordPath::kSse41:
    case RecordPath::kAvx2:
      return false;
#endif
  }
  return false;
}

RecordPath DefaultRecordPath() {
  for (RecordPath path : {RecordPath::kAvx2, RecordPath::kSse41}) {
    if (RecordPathSupported(path)) return path;
  }
  return RecordPath::kOff;
}

RecordReader::RecordReader(size_t columns, RecordPath path)
    : columns_(columns) {
  if (columns > kMaxLineFields - 4) return;
  read_ = ReaderFor(path);
  if (read_ == nullptr) return;
  // Left uninitialised but for the bytes, which the digit loads may read
  // around a line: the rest is written before it is read.
  scratch_.reset(new LineScratch);
  std::memset(scratch_->bytes, 0, sizeof scratch_->bytes);
  std::memset(scratch_->bytes + kLineCopyOffset - 16, ' ', 16);
  values_.resize(columns);
}

RecordReader::~RecordReader() = default;

const char* RecordReader::Read(const char* begin, const char* end,
                               int32_t (&date)[4]) {
  if (read_ == nullptr) return nullptr;
  return read_(begin, end, columns_, *scratch_, date, values_.data());
}

}  // namespace vostrel
