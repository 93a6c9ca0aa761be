// Fuzz target for the record fast path: the same bytes go to every record
// path this CPU has and to the exact scans (four date-field scans, one number
// scan per column and a line read). A line a path takes must be one that the
// scans read to the same date fields, the same values bit for bit (-0 apart
// from 0) and the same next position; every path must take the same lines.
//
// Input layout: byte 0 the value columns (0 to 31), byte 1 where the window
// the fast path sees ends (255: the whole input; else that share of it, in
// 255ths). The rest is the results file, folded by an Input as the record
// loop sees it, and copied to a buffer of its exact size so that a read past
// the window is caught.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "record_fast.h"
#include "scan.h"
#include "string_io.h"
#include "text_io.h"

namespace {

using vostrel::RecordPath;
using vostrel::Scan;

[[noreturn]] void Fail(const char* what, RecordPath path) {
  std::fprintf(stderr, "fuzz_record: %s (path %s)\n", what,
               vostrel::RecordPathName(path));
  std::abort();
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Line {
  bool taken = false;
  int32_t date[4] = {};
  std::vector<double> values;
  size_t length = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t columns = data[0] % 32;
  const std::string raw(reinterpret_cast<const char*>(data + 2), size - 2);

  // The folded bytes in one window, as a block of the record loop holds them.
  vostrel::StringInput folded(raw, raw.size() + 1);
  if (!folded.Refill()) return 0;
  const size_t n = static_cast<size_t>(folded.end() - folded.begin());
  const size_t cut = data[1] == 255 ? n : n * data[1] / 255;
  std::unique_ptr<char[]> window(new char[cut > 0 ? cut : 1]);
  std::memcpy(window.get(), folded.begin(), cut);

  std::vector<std::pair<RecordPath, Line>> lines;
  for (RecordPath path :
       {RecordPath::kPortable, RecordPath::kSse41, RecordPath::kAvx2}) {
    if (!vostrel::RecordPathSupported(path)) continue;
    vostrel::RecordReader reader(columns, path);
    Line line;
    int32_t date[4] = {-5, -5, -5, -5};
    const char* next = reader.Read(window.get(), window.get() + cut, date);
    if (next != nullptr) {
      line.taken = true;
      std::memcpy(line.date, date, sizeof date);
      line.values.assign(reader.values(), reader.values() + columns);
      line.length = static_cast<size_t>(next - window.get());
    } else if (date[0] != -5) {
      Fail("a line left to the scans changed the date", path);
    }
    lines.emplace_back(path, line);
  }

  for (const auto& [path, line] : lines) {
    if (line.taken != lines.front().second.taken) {
      Fail("the paths do not take the same lines", path);
    }
    if (!line.taken) continue;
    vostrel::StringInput in(raw, raw.size() + 1);
    // The scans consume from the first byte of the window on.
    for (int i = 0; i < 4; ++i) {
      int32_t v = 0;
      if (vostrel::ScanDate(in, v) != Scan::kNumber) {
        Fail("a taken line's date field does not scan", path);
      }
      if (v != line.date[i]) Fail("date field differs from the scan", path);
    }
    for (size_t c = 0; c < columns; ++c) {
      double v = 0;
      if (vostrel::ScanNumber(in, v) != Scan::kNumber) {
        Fail("a taken line's value does not scan", path);
      }
      if (!SameBits(v, line.values[c])) {
        Fail("value differs from the scan", path);
      }
    }
    vostrel::SkipLine(in);
    // One block holds the whole input, and a taken line's scans end before
    // it: what is left of the block is what follows the record.
    const size_t consumed = n - static_cast<size_t>(in.end() - in.begin());
    if (consumed != line.length) {
      Fail("the next record starts elsewhere than after the scans", path);
    }
  }
  return 0;
}
