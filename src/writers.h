// vostrel's writers of the daily and monthly files: the header block copy,
// record lines and the totals line.
#ifndef VOSTREL_WRITERS_H_
#define VOSTREL_WRITERS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text_io.h"

namespace vostrel {

// Header copy. Takes `header_rows` lines (stopping quietly at the end of the
// input, or before a line that is too long, see in.line_too_long()) from
// `in`, which must be at its first byte. Row 1 is written as
// "daily sums from NAME : LINE" to `daily` and "monthly sums from NAME : LINE"
// to `monthly`; every further row is copied to both. Each line's text ends at
// its first NUL byte. With `yearly`, row 1 goes there as "yearly sums from
// NAME : LINE" and every further row is copied there too. Leaves in
// `last_row`, unless it is null, the text of the last row read (before its
// first NUL, its line end included); untouched when no row was read.
void WriteHeaderBlock(Input& in, int32_t header_rows,
                      const std::string& input_name, Output& daily,
                      Output& monthly, Output* yearly = nullptr,
                      std::string* last_row = nullptr);

// Record line: "%d\t%d\t%d\t%d", then a tab and a rendered number per value,
// then LF. The line is assembled in `scratch`, which the caller keeps between
// lines so that a run of many lines allocates once; returns the line, there.
std::string_view WriteRecordLine(Output& out, int32_t year, int32_t month,
                                 int32_t day, int32_t hour,
                                 const std::vector<double>& values,
                                 std::string& scratch);

// Totals line: a record line with four zero date fields.
void WriteTotalsLine(Output& out, const std::vector<double>& totals,
                     std::string& scratch);

// A record's four date fields.
struct RecordDate {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
};

// Whether a line's value is the period's, or the incomplete mark. A type of
// its own, not a byte, so that writing flags cannot alias other data.
enum class Completeness : uint8_t { kIncomplete, kComplete };

// One line of a level (day, month, year): its date and one value a column.
// Where `complete[i]` is kIncomplete, `values[i]` holds kIncompleteMark
// (engine.h).
struct LevelLine {
  RecordDate date;
  const std::vector<double>& values;
  const std::vector<Completeness>& complete;
  // The line as a text writer rendered it, for the writers after it (the
  // CSV writer starts from it rather than rendering the numbers again);
  // empty until then.
  mutable std::string_view text = {};
};

// Where a level's lines go. A level writes each line through every writer it
// has, in order; the writers hold their own output and scratch.
class LineWriter {
 public:
  virtual ~LineWriter() = default;
  virtual void WriteLine(const LevelLine& line) = 0;
};

// The text file's lines: WriteRecordLine, the incomplete mark written as a
// number like any value.
class TextLineWriter final : public LineWriter {
 public:
  explicit TextLineWriter(Output& out) : out_(out) {}
  void WriteLine(const LevelLine& line) override;

 private:
  Output& out_;
  std::string scratch_;
};

// The CSV file's rows: "year,month,day,hour", then a comma and a field per
// column, then LF. A complete value is rendered as in the text file (the same
// six digits), but infinities and NaN as "Inf", "-Inf" and "NaN"; an
// incomplete one is an empty field.
class CsvLineWriter final : public LineWriter {
 public:
  explicit CsvLineWriter(Output& out) : out_(out) {}
  void WriteLine(const LevelLine& line) override;

 private:
  Output& out_;
  std::string scratch_;
};

// The CSV header row: "year,month,day,hour" and a comma and a name per
// column, then LF. The names are the last `columns` words of `last_header`
// (the text of the results file's last header line, before any NUL and its
// line end; words are separated by runs of spaces and tabs) when that line
// has exactly `columns` + 4 words, else "c1" to "cN". A name holding a comma,
// a double quote, a CR or an LF is quoted, its double quotes doubled. With no
// header rows pass `has_header` false.
void WriteCsvHeader(Output& out, bool has_header, std::string_view last_header,
                    int32_t columns);

}  // namespace vostrel

#endif  // VOSTREL_WRITERS_H_
