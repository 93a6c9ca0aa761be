// vostrel's output writers: the header block, record lines and the totals
// line of the daily and monthly files.
#include "writers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

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

// The text line in `scratch`, as WriteRecordLine writes it, returning its
// start and setting `end` past its LF. The line is written in place at its
// longest, so that no field checks for room; the scratch keeps that size
// between lines and only the text is handed on. The room exceeds what any
// line touches by 3 + 3n bytes for n values (dates of at most 11 bytes,
// values of at most 13 with stores reaching 16 bytes in), so the LF's byte
// is a margin no input can tell from none.
char* TextLine(int32_t year, int32_t month, int32_t day, int32_t hour,
               const std::vector<double>& values, std::string& scratch,
               char*& end) {
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
  end = p;
  return line;
}

}  // namespace

std::string_view WriteRecordLine(Output& out, int32_t year, int32_t month,
                                 int32_t day, int32_t hour,
                                 const std::vector<double>& values,
                                 std::string& scratch) {
  char* end = nullptr;
  const char* const line =
      TextLine(year, month, day, hour, values, scratch, end);
  const std::string_view text(line, static_cast<size_t>(end - line));
  out.Write(text);
  return text;
}

void WriteTotalsLine(Output& out, const std::vector<double>& totals,
                     std::string& scratch) {
  WriteRecordLine(out, 0, 0, 0, 0, totals, scratch);
}

void TextLineWriter::WriteLine(const LevelLine& line) {
  line.text =
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
  // The text line, its numbers rendered by the one rule, made a CSV row:
  // commas for tabs, an empty field for an incomplete value (which both
  // readers take as missing; a complete -9999 stays a number), and
  // infinities and NaN spelled as both readers take them. The text writer's
  // line when there is one, else the line rendered here and changed in
  // place: every field only gets shorter. Rendering in one place keeps the
  // text line's loop as it was.
  std::string_view text_line = line.text;
  char* row;
  if (!text_line.empty()) {
    if (scratch_.size() < text_line.size()) scratch_.resize(text_line.size());
    row = scratch_.data();
  } else {
    char* end = nullptr;
    row = TextLine(line.date.year, line.date.month, line.date.day,
                   line.date.hour, line.values, scratch_, end);
    text_line = std::string_view(row, static_cast<size_t>(end - row));
  }
  // Most rows differ from the text line only in their commas.
  bool only_commas = true;
  for (size_t i = 0; i < line.values.size(); ++i) {
    only_commas &= line.complete[i] == Completeness::kComplete &&
                   std::isfinite(line.values[i]);
  }
  if (only_commas) {
    for (size_t k = 0; k < text_line.size(); ++k) {
      row[k] = text_line[k] == '\t' ? ',' : text_line[k];
    }
    out_.Write(std::string_view(row, text_line.size()));
    return;
  }
  const char* in = text_line.data();
  char* out = row;
  for (size_t field = 0;; ++field) {
    const char* field_end = in;
    while (*field_end != '\t' && *field_end != '\n') ++field_end;
    std::string_view text(in, static_cast<size_t>(field_end - in));
    if (field >= 4) {
      const size_t i = field - 4;
      const double v = line.values[i];
      if (line.complete[i] == Completeness::kIncomplete) {
        text = {};
      } else if (std::isnan(v)) {
        text = "NaN";
      } else if (std::isinf(v)) {
        text = v < 0 ? "-Inf" : "Inf";
      }
    }
    // In place, `out` never passes `in`: memmove for the overlap.
    if (!text.empty()) std::memmove(out, text.data(), text.size());
    out += text.size();
    *out++ = *field_end == '\n' ? '\n' : ',';
    if (*field_end == '\n') break;
    in = field_end + 1;
  }
  out_.Write(std::string_view(row, static_cast<size_t>(out - row)));
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
