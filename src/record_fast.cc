// vostrel's record fast path: the portable path, and the choice of the path
// that new record readers use.
#include "record_fast.h"

#include <cstring>
#include <new>

#define VOSTREL_LINE_TARGET
#include "record_fast_internal.h"
#include "record_fast_line.h"

namespace vostrel {

namespace {

constexpr uint64_t kHighs = 0x8080808080808080u;

// 0x80 in each byte of `x` equal to `c`, 0 in the others. Adding 0x7F to the
// low seven bits cannot carry into the next byte, so bytes do not disturb
// each other.
inline uint64_t EqualBytes(uint64_t x, unsigned char c) {
  const uint64_t y = x ^ (kOnes * c);
  return ~(((y & ~kHighs) + ~kHighs) | y) & kHighs;
}

// 0x80 in each byte of `x` that is a decimal digit, by the same rule.
inline uint64_t DigitBytes(uint64_t x) {
  const uint64_t low = x & ~kHighs;
  const uint64_t at_least_0 = low + kOnes * (0x80 - '0');
  const uint64_t above_9 = low + kOnes * (0x80 - '9' - 1);
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

// The portable path reads a line more slowly than the exact scans do (its
// byte classes cost eight general-purpose operations per byte), so it is
// chosen only on request; it is the reference the vector paths are tested
// against, on every byte order.
RecordPath BestPath() {
#if defined(__x86_64__) || defined(_M_X64)
  if (CpuHasAvx512()) return RecordPath::kAvx512;
  if (CpuHasAvx2()) return RecordPath::kAvx2;
#endif
  return RecordPath::kOff;
}

RecordPath& ChosenPath() {
  static RecordPath path = BestPath();
  return path;
}

RecordReader::ReadFn ReaderFor(RecordPath path) {
  switch (path) {
    case RecordPath::kOff:
      return nullptr;
    case RecordPath::kPortable:
      return ReadRecordPortable;
#if defined(__x86_64__) || defined(_M_X64)
    case RecordPath::kAvx2:
      return ReadRecordAvx2;
    case RecordPath::kAvx512:
      return ReadRecordAvx512;
#else
    case RecordPath::kAvx2:
    case RecordPath::kAvx512:
      return nullptr;
#endif
  }
  return nullptr;
}

}  // namespace

const char* ReadRecordPortable(const char* begin, const char* end,
                               size_t columns, LineScratch& scratch,
                               int32_t* date, double* values) {
  return ReadRecordLine<PortableIsa>(begin, end, columns, scratch, date,
                                     values);
}

const char* RecordPathName(RecordPath path) {
  switch (path) {
    case RecordPath::kOff:
      return "off";
    case RecordPath::kPortable:
      return "portable";
    case RecordPath::kAvx2:
      return "avx2";
    case RecordPath::kAvx512:
      return "avx512";
  }
  return "?";
}

bool RecordPathSupported(RecordPath path) {
  switch (path) {
    case RecordPath::kOff:
    case RecordPath::kPortable:
      return true;
#if defined(__x86_64__) || defined(_M_X64)
    case RecordPath::kAvx2:
      return CpuHasAvx2();
    case RecordPath::kAvx512:
      return CpuHasAvx512();
#else
    case RecordPath::kAvx2:
    case RecordPath::kAvx512:
      return false;
#endif
  }
  return false;
}

bool SetRecordPath(RecordPath path) {
  if (!RecordPathSupported(path)) return false;
  ChosenPath() = path;
  return true;
}

RecordPath ActiveRecordPath() { return ChosenPath(); }

RecordReader::RecordReader(size_t columns) : columns_(columns) {
  if (columns > kMaxLineFields - 4) return;
  read_ = ReaderFor(ActiveRecordPath());
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
