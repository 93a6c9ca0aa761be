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

void AppendInt(std::string& out, int32_t value) {
  char text[16];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

void WriteRecordLine(Output& out, int32_t year, int32_t month, int32_t day,
                     int32_t hour, const std::vector<double>& values,
                     std::string& scratch) {
  std::string& line = scratch;
  line.clear();
  AppendInt(line, year);
  line += '\t';
  AppendInt(line, month);
  line += '\t';
  AppendInt(line, day);
  line += '\t';
  AppendInt(line, hour);
  for (double v : values) {
    line += '\t';
    AppendNumber(line, v);
  }
  line += '\n';
  out.Write(line);
}

void WriteTotalsLine(Output& out, const std::vector<double>& totals,
                     std::string& scratch) {
  WriteRecordLine(out, 0, 0, 0, 0, totals, scratch);
}

}  // namespace vostrel
