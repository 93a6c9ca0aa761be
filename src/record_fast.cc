// vostrel's record fast path: the paths by name and by CPU, and the reader
// that holds one.
#include "record_fast.h"

#include <cstring>
#include <new>

#include "record_fast_internal.h"

namespace vostrel {

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
