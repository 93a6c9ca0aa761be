// Fuzz target for a whole run in memory, phase by phase as the driver runs
// it: first data line, header-row and column counts (detected or given),
// header copy, record loop and totals lines. Checks that the run ends, that
// every LF written is part of a CR LF, that the record lines between the
// header copy and the totals have 4 + N fields and match the progress marks
// on the console (one "." per daily line, one "M/Y" line per monthly line),
// and that both files end with the same totals line: "0\t0\t0\t0", N fields,
// CR LF.
//
// Input layout: byte 0 the header rows (bit 7 set: detect; else 0 to 127),
// bytes 1-2 the columns (bit 15 set: count them; else 0 to 300), byte 3 the
// block size and bit 7 of byte 3 `noneg`. The rest is the results file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine.h"
#include "layout.h"
#include "scan.h"
#include "string_io.h"
#include "text_io.h"
#include "vostrel.h"
#include "writers.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_run: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t at = text.find(sep);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool IsInteger(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A field of the output number form.
bool IsRendered(std::string_view s) {
  if (s == "1.#INF" || s == "-1.#INF" || s == "-1.#IND") return true;
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == '+' ||
          c == '-')) {
      return false;
    }
  }
  return true;
}

// Checks the record lines of one output (CR LF ended) and returns how many.
size_t CheckRecordLines(std::string_view body, size_t columns) {
  size_t lines = 0;
  while (!body.empty()) {
    const size_t end = body.find("\r\n");
    Check(end != std::string_view::npos, "record line without CR LF");
    const std::vector<std::string_view> fields =
        Split(body.substr(0, end), '\t');
    Check(fields.size() == 4 + columns, "record line field count");
    for (size_t i = 0; i < 4; ++i) Check(IsInteger(fields[i]), "date field");
    for (size_t i = 4; i < fields.size(); ++i) {
      Check(IsRendered(fields[i]), "value field");
    }
    body.remove_prefix(end + 2);
    ++lines;
  }
  return lines;
}

void CheckLineEnds(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n')
      Check(i > 0 && bytes[i - 1] == '\r', "bare LF written");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t given_rows = (data[0] & 0x80) ? -1 : data[0];
  const bool detect_columns = (data[1] & 0x80) != 0;
  const int32_t given_columns = ((data[1] & 0x7f) << 8 | data[2]) % 301;
  const size_t block_size =
      (data[3] & 0x7f) == 0x7f ? size_t{1} << 16 : 1 + (data[3] & 0x7f);
  const bool noneg = (data[3] & 0x80) != 0;
  vostrel::StringInput in(
      std::string(reinterpret_cast<const char*>(data + 4), size - 4),
      block_size);

  int32_t detected_rows = -1;
  std::string first_line;
  if (!vostrel::FindFirstDataLine(in, detected_rows, first_line)) return 0;
  Check(detected_rows >= 0, "negative detected header rows");
  const int32_t rows = given_rows < 0 ? detected_rows : given_rows;
  const int32_t columns =
      detect_columns ? vostrel::CountColumns(first_line) : given_columns;
  Check(columns >= 0 && columns <= vostrel::kMaxLineRead, "counted columns");

  vostrel::StringOutput daily, monthly, console;
  Check(in.Rewind(), "rewind");
  vostrel::WriteHeaderBlock(in, rows, "run.out", daily, monthly);
  const size_t daily_header = daily.bytes().size();
  const size_t monthly_header = monthly.bytes().size();
  vostrel::TextLineWriter daily_lines(daily), monthly_lines(monthly);
  vostrel::LevelWriters writers;
  writers.day = {&daily_lines};
  writers.month = {&monthly_lines};
  vostrel::LoopSettings settings;
  settings.noneg = noneg;
  const std::vector<double> totals =
      vostrel::RunRecordLoop(in, settings, static_cast<size_t>(columns),
                             writers, console, vostrel::DefaultRecordPath())
          .totals;
  const size_t daily_body = daily.bytes().size();
  const size_t monthly_body = monthly.bytes().size();
  std::string scratch;
  vostrel::WriteTotalsLine(daily, totals, scratch);
  vostrel::WriteTotalsLine(monthly, totals, scratch);
  Check(daily.ok() && monthly.ok() && console.ok(), "output failed");
  Check(!in.error(), "string input reported a read error");

  const std::string& d = daily.bytes();
  const std::string& m = monthly.bytes();
  CheckLineEnds(d);
  CheckLineEnds(m);
  CheckLineEnds(console.bytes());

  // Totals: the same line at the end of both files.
  const std::string_view totals_line = std::string_view(d).substr(daily_body);
  Check(totals_line == std::string_view(m).substr(monthly_body),
        "totals lines differ");
  Check(totals_line.size() >= 9 && totals_line.substr(0, 7) == "0\t0\t0\t0" &&
            totals_line.substr(totals_line.size() - 2) == "\r\n",
        "totals line form");
  Check(CheckRecordLines(totals_line, static_cast<size_t>(columns)) == 1,
        "totals line fields");

  // Record lines against the progress marks.
  size_t dots = 0, month_marks = 0;
  for (std::string_view mark : Split(console.bytes(), '.')) {
    if (!mark.empty()) {
      for (std::string_view l : Split(mark, '\n')) {
        if (l.empty()) continue;
        Check(l.back() == '\r', "progress line end");
        l.remove_suffix(1);
        const std::vector<std::string_view> my = Split(l, '/');
        Check(my.size() == 2 && IsInteger(my[0]) && IsInteger(my[1]),
              "month mark form");
        ++month_marks;
      }
    }
  }
  for (char c : console.bytes()) dots += c == '.';
  const size_t columns_n = static_cast<size_t>(columns);
  Check(CheckRecordLines(
            std::string_view(d).substr(daily_header, daily_body - daily_header),
            columns_n) == dots,
        "daily lines != dots");
  Check(CheckRecordLines(std::string_view(m).substr(
                             monthly_header, monthly_body - monthly_header),
                         columns_n) == month_marks,
        "monthly lines != month marks");
  return 0;
}
