// vostrel's output writers: the header block, record lines and the totals
// line of the daily and monthly files.
#include "writers.h"

#include <charconv>

#include "render.h"
#include "scan.h"

namespace vostrel {

void WriteHeaderBlock(Input& in, int32_t header_rows,
                      const std::string& input_name, Output& daily,
                      Output& monthly) {
  std::string line;
  std::string text;
  for (int64_t row = 1; row <= header_rows; ++row) {
    if (!ReadLine(in, line)) return;
    if (row == 1) {
      text = "daily sums from " + input_name + " : ";
      text += LineText(line);
      daily.Write(text);
      text = "monthly sums from " + input_name + " : ";
      text += LineText(line);
      monthly.Write(text);
    } else {
      daily.Write(LineText(line));
      monthly.Write(LineText(line));
    }
  }
}

namespace {

// The longest "%d" of an int32_t, "-2147483648", rounded up.
constexpr size_t kMaxIntText = 12;

char* WriteInt(char* p, int32_t value) {
  return std::to_chars(p, p + kMaxIntText, value).ptr;
}

}  // namespace

void WriteRecordLine(Output& out, int32_t year, int32_t month, int32_t day,
                     int32_t hour, const std::vector<double>& values,
                     std::string& scratch) {
  // Written in place at its longest, so that no field checks for room; the
  // scratch keeps that size between lines and only the text is handed on.
  // The room exceeds what any line touches by 3 + 3n bytes for n values
  // (dates of at most 11 bytes, values of at most 13 with stores reaching
  // 16 bytes in), so the LF's byte is a margin no input can tell from none.
  const size_t longest =
      4 * (kMaxIntText + 1) + values.size() * (kMaxNumberText + 1) + 1;
  if (scratch.size() < longest) scratch.resize(longest);
  char* const line = scratch.data();
  char* p = line;
  p = WriteInt(p, year);
  *p++ = '\t';
  p = WriteInt(p, month);
  *p++ = '\t';
  p = WriteInt(p, day);
  *p++ = '\t';
  p = WriteInt(p, hour);
  for (double v : values) {
    *p++ = '\t';
    p = WriteNumber(p, v);
  }
  *p++ = '\n';
  out.Write(std::string_view(line, static_cast<size_t>(p - line)));
}

void WriteTotalsLine(Output& out, const std::vector<double>& totals,
                     std::string& scratch) {
  WriteRecordLine(out, 0, 0, 0, 0, totals, scratch);
}

}  // namespace vostrel
