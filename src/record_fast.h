// vostrel's record fast path: a whole record line read at once, from masks of
// its byte classes, for the common line that the exact scans would read to
// the same fields, the same values and the same next position.
#ifndef VOSTREL_RECORD_FAST_H_
#define VOSTREL_RECORD_FAST_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vostrel {

// The code that reads record lines. Every path accepts the same lines and
// gives the same results; they differ only in speed.
enum class RecordPath {
  kOff,       // no fast path: every record goes to the exact scans
  kPortable,  // plain C++, any byte order
  kSse41,     // x86-64 with SSE4.1, 16 bytes at a time
  kAvx2,      // x86-64 with AVX2, 32 bytes at a time
};

// The longest fast line, its LF included. Longer record lines are read by the
// exact scans, which take lines of any length; this only bounds the fast
// path's scratch area.
inline constexpr size_t kMaxFastLine = 19999;

// "off", "portable", "sse41" or "avx2".
const char* RecordPathName(RecordPath path);

// True when this build and this CPU can run `path`; always for kOff and
// kPortable.
bool RecordPathSupported(RecordPath path);

// The path the tool uses on this CPU: the widest x86 one it supports, else
// kOff (the portable path is slower than the exact scans, so it runs only
// when asked for: it is the reference for the vector path and what runs the
// fast path's tests on other CPUs).
RecordPath DefaultRecordPath();

struct LineScratch;

// Reads one record line of `columns` values at a time.
//
// The fast line: a line of exactly 4 + `columns` fields, up to and including
// its LF at most kMaxFastLine bytes, whose only other bytes are spaces and
// tabs between, before and after the fields. The four date fields are 1 to 9
// decimal digits. Each value is [+-]digits or [+-]digits.digits, with at most
// 19 digits in all and those digits, read as one integer, at most 2^53. Any
// other byte (CR, VT, FF, NUL, 0x1A, letters, ...), an exponent, a sign in a
// date field or a lone point makes the line no fast line.
//
// For a fast line the exact scans (four date-field scans, one number scan per
// column, one line read) take the same fields and values and stop just past
// its LF: a value is the mantissa divided by 10^(fraction digits) in one IEEE
// division, negated after it for a "-", as the number scan computes it.
class RecordReader {
 public:
  // Reads with `path`, which must be supported (RecordPathSupported). A
  // reader for more columns than a fast line can hold, or with the path
  // kOff, takes no line.
  RecordReader(size_t columns, RecordPath path);
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // True when Read can take a line at all.
  bool enabled() const { return read_ != nullptr; }

  // Reads [begin, end), the window of input not yet consumed. When a fast
  // line starts at `begin` and its LF lies before `end`, sets `date` to year,
  // month, day and hour, values() to its `columns` values in file order, and
  // returns the position just past the LF. Otherwise returns nullptr and
  // leaves `date` unchanged (values() is then unspecified): a line cut by
  // `end` is left to the exact scans. Reads no byte outside [begin, end).
  const char* Read(const char* begin, const char* end, int32_t (&date)[4]);

  // The values of the last line Read took, one per column.
  const double* values() const { return values_.data(); }

  // Signature of one path's reader over a scratch area.
  using ReadFn = const char* (*)(const char* begin, const char* end,
                                 size_t columns, LineScratch& scratch,
                                 int32_t* date, double* values);

 private:
  size_t columns_;
  ReadFn read_ = nullptr;
  std::unique_ptr<LineScratch> scratch_;
  std::vector<double> values_;
};

}  // namespace vostrel

#endif  // VOSTREL_RECORD_FAST_H_
