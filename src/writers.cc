// vostrel's output writers: the header block, record lines and the totals
// line of the daily and monthly files.
#include "writers.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "render.h"
#include "scan.h"

namespace vostrel {

void WriteHeaderBlock(Input& in, int32_t header_rows,
                      const std::string& input_name, Output& daily,
                      Output& monthly, Output* yearly, std::string* last_row) {
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
      if (yearly != nullptr) {
        text = "yearly sums from " + input_name + " : ";
        text += LineText(line);
        yearly->Write(text);
      }
    } else {
      daily.Write(LineText(line));
      monthly.Write(LineText(line));
      if (yearly != nullptr) yearly->Write(LineText(line));
    }
    if (last_row != nullptr) *last_row = LineText(line);
  }
}

namespace {

// The longest "%d" of an int32_t, "-2147483648", rounded up.
constexpr size_t kMaxIntText = 12;

char* WriteInt(char* p, int32_t value) {
  return std::to_chars(p, p + kMaxIntText, value).ptr;
}

// The four date fields of a line and its values, each after `separator`,
// from `p` on; returns the end. A text line (`complete` null) writes every
// value; a CSV row leaves a field empty where `complete` is 0 and spells
// infinities and NaN as both CSV readers take them. One call of WriteNumber
// serves both, so that it stays inline in the loop.
char* WriteFields(char* p, char separator, int32_t year, int32_t month,
                  int32_t day, int32_t hour, const std::vector<double>& values,
                  const uint8_t* complete) {
  p = WriteInt(p, year);
  *p++ = separator;
  p = WriteInt(p, month);
  *p++ = separator;
  p = WriteInt(p, day);
  *p++ = separator;
  p = WriteInt(p, hour);
  // Locals, as the bytes written could otherwise alias the vector.
  const double* const numbers = values.data();
  const size_t count = values.size();
  for (size_t i = 0; i < count; ++i) {
    *p++ = separator;
    const double v = numbers[i];
    // A CSV field: empty, or a spelling of infinity or NaN; else a number.
    if (complete != nullptr && (complete[i] == 0 || !std::isfinite(v))) {
      if (complete[i] == 0) continue;
      if (std::isnan(v)) {
        p = std::copy_n("NaN", 3, p);
      } else {
        p = v < 0 ? std::copy_n("-Inf", 4, p) : std::copy_n("Inf", 3, p);
      }
      continue;
    }
    p = WriteNumber(p, v);
  }
  *p++ = '\n';
  return p;
}

// Makes `scratch` hold the longest line of `values` and returns its start:
// written in place at its longest, no field checks for room; the scratch
// keeps that size between lines and only the text is handed on.
char* LineScratch(std::string& scratch, const std::vector<double>& values) {
  const size_t longest =
      4 * (kMaxIntText + 1) + values.size() * (kMaxNumberText + 1) + 1;
  if (scratch.size() < longest) scratch.resize(longest);
  return scratch.data();
}

}  // namespace

void WriteRecordLine(Output& out, int32_t year, int32_t month, int32_t day,
                     int32_t hour, const std::vector<double>& values,
                     std::string& scratch) {
  char* const line = LineScratch(scratch, values);
  char* const end =
      WriteFields(line, '\t', year, month, day, hour, values, nullptr);
  out.Write(std::string_view(line, static_cast<size_t>(end - line)));
}

void WriteTotalsLine(Output& out, const std::vector<double>& totals,
                     std::string& scratch) {
  WriteRecordLine(out, 0, 0, 0, 0, totals, scratch);
}

void TextLineWriter::WriteLine(const LevelLine& line) {
  WriteRecordLine(out_, line.date.year, line.date.month, line.date.day,
                  line.date.hour, line.values, scratch_);
}

namespace {

// The words of `text`, separated by runs of spaces and tabs.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  for (;;) {
    i = text.find_first_not_of(" \t", i);
    if (i == std::string_view::npos) return words;
    const size_t end = std::min(text.find_first_of(" \t", i), text.size());
    words.push_back(text.substr(i, end - i));
    i = end;
  }
}

void AppendCsvName(std::string& row, std::string_view name) {
  if (name.find_first_of(",\"\r\n") == std::string_view::npos) {
    row += name;
    return;
  }
  row += '"';
  for (char c : name) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

}  // namespace

void CsvLineWriter::WriteLine(const LevelLine& line) {
  // An incomplete value is an empty field, which both readers take as
  // missing; a complete value of -9999 is written as a number.
  char* const row = LineScratch(scratch_, line.values);
  char* const end =
      WriteFields(row, ',', line.date.year, line.date.month, line.date.day,
                  line.date.hour, line.values, line.complete.data());
  out_.Write(std::string_view(row, static_cast<size_t>(end - row)));
}

void WriteCsvHeader(Output& out, bool has_header, std::string_view last_header,
                    int32_t columns) {
  std::string row = "year,month,day,hour";
  if (!last_header.empty() && last_header.back() == '\n') {
    last_header.remove_suffix(1);
  }
  const std::vector<std::string_view> words =
      has_header ? Words(last_header) : std::vector<std::string_view>();
  const bool named =
      columns >= 0 && words.size() == size_t{4} + static_cast<size_t>(columns);
  for (int32_t c = 1; c <= columns; ++c) {
    row += ',';
    if (named) {
      AppendCsvName(row, words[static_cast<size_t>(c) + 3]);
    } else {
      row += 'c';
      row += std::to_string(c);
    }
  }
  row += '\n';
  out.Write(row);
}

}  // namespace vostrel
