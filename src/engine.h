// vostrel's aggregation engine: per-column sums at day, month and run level,
// the calendar, and the record loop that writes the daily and monthly lines.
#ifndef VOSTREL_ENGINE_H_
#define VOSTREL_ENGINE_H_

#include <cstdint>
#include <vector>

#include "record_fast.h"
#include "text_io.h"
#include "vostrel.h"

namespace vostrel {

// The running sums of one data column. Counts are of valid values.
struct ColumnSums {
  double day_sum = 0;
  double month_sum = 0;
  double total_sum = 0;
  int64_t day_count = 0;
  int64_t month_count = 0;
};

// An input value of this or less is missing.
inline constexpr double kValidityThreshold = -998.0;
// Written for a day or month whose count is not a complete one.
inline constexpr double kIncompleteMark = -9999.0;
// The hour that closes a day, and the count of a complete hourly day.
inline constexpr int32_t kHoursPerDay = 24;

// Days in `month` of `year`: 0 for month 0, and -1 for a month outside 0 to
// 12, which no day number matches.
int32_t DaysInMonth(int32_t year, int32_t month);

// How the record loop read its records: whole lines by the record fast path
// (record_fast.h), or with the exact scans. A record counts once its four
// date fields are read.
struct RecordLoopStats {
  uint64_t fast_records = 0;
  uint64_t exact_records = 0;
};

// A record's four date fields.
struct RecordDate {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
};

// The lines one level (day, month) wrote, and per column how many of them
// show the incomplete mark.
struct LevelCounts {
  uint64_t lines = 0;
  std::vector<uint64_t> incomplete;
};

// What the record loop read and wrote, for the notes and the summary. Places
// in the input are folded byte offsets from its start; the line of a place is
// found on demand (FindTextAt), so a run that needs none pays nothing.
struct RecordLoopEnd {
  // The loop stopped at text that is not a number rather than at the end of
  // the input: that is worth telling the user, since the rest of the file was
  // never read. `offset` is where the first such scan started: the text is
  // the first character there that is not white space.
  bool at_text = false;
  uint64_t offset = 0;
  // Records whose four date fields converted, the first and last of them.
  uint64_t records = 0;
  RecordDate first;
  RecordDate last;
  // Some hour field converted; the last converted one, and an offset on the
  // line of its record (the line of its hour field).
  bool hour_read = false;
  int32_t last_hour = 0;
  uint64_t last_hour_place = 0;
  // The first record that took a value from a later line than its hour
  // field, or whose input ended before its values, and an offset on the
  // line of its hour field.
  bool short_record = false;
  uint64_t short_record_place = 0;
  LevelCounts days;
  LevelCounts months;
};

// The record loop. Reads records from `in` (positioned after the header
// block) until the input ends or a field fails to scan, adding valid values
// into `columns` (one per data column, zeroed by the caller). Writes a line to
// `daily` at every hour-24 record and to `monthly` at the hour-24 record of a
// month's last day, with a "." or "MONTH/YEAR" progress mark on `console`.
// Stops without closing anything more when `in` ends inside a line that is
// too long (in.line_too_long()).
// Leaves the run's totals in the columns' total sums, and in `stats`, unless it
// is null, how the records were read. Returns where it stopped on text that
// is not a number; reports nothing itself, and the caller checks the input
// and outputs for errors. Lines of the fast path's form are read by it on
// `path` (a supported one, see record_fast.h), every other record by the
// exact scans; the results are the same either way.
RecordLoopEnd RunRecordLoop(Input& in, bool noneg,
                            std::vector<ColumnSums>& columns, Output& daily,
                            Output& monthly, Output& console, RecordPath path,
                            RecordLoopStats* stats = nullptr);

}  // namespace vostrel

#endif  // VOSTREL_ENGINE_H_
