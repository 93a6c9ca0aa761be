// vostrel's aggregation engine: the calendar, and the record loop that fills
// the levels (level.h: day, month, year, the run's total) and closes them.
#ifndef VOSTREL_ENGINE_H_
#define VOSTREL_ENGINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "level.h"
#include "options.h"
#include "record_fast.h"
#include "text_io.h"
#include "vostrel.h"
#include "writers.h"

namespace vostrel {

// An input value of this or less is missing.
inline constexpr double kValidityThreshold = -998.0;

// Days in `month` of `year`: 0 for month 0, and -1 for a month outside 0 to
// 12, which no day number matches.
int32_t DaysInMonth(int32_t year, int32_t month);

// The days of the year that ends with month `last_month` (1 to 12) of
// `year`: the twelve months up to it, February counting 29 days when the
// year it falls in is a leap year.
int32_t YearDays(int32_t year, int32_t last_month);

// How the record loop read its records: whole lines by the record fast path
// (record_fast.h), or with the exact scans. A record counts once its four
// date fields are read.
struct RecordLoopStats {
  uint64_t fast_records = 0;
  uint64_t exact_records = 0;
};

// What the record loop computes, beyond the columns' values.
struct LoopSettings {
  bool noneg = false;  // negative values are dropped like missing ones
  // Which counts make a period complete: 24 a day or one a day, or either.
  Step step = Step::kEither;
  // The first month of a year, 1 to 12; 0 keeps no years.
  int32_t yearly_start = 0;
  // One per column, in order; columns beyond its end show sums.
  std::vector<Statistic> statistics;
  // Levels tell which values of a line are incomplete marks and count them
  // (for CSV files and the summary).
  bool keep_marks = false;
  // Value fields that match one of these are missing: an item the number
  // scan converts whole matches a value equal to it, any other item matches
  // a field of exactly its text (checked before the number scan).
  std::vector<std::string> missing;
};

// The statistic of each column 1 to `columns` by the --mean, --min and --max
// ranges (which the command line keeps apart).
std::vector<Statistic> ColumnStatistics(const Options& options,
                                        int32_t columns);

// Where each level's lines go; a level may have none.
struct LevelWriters {
  std::vector<LineWriter*> day;
  std::vector<LineWriter*> month;
  std::vector<LineWriter*> year;
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
  LevelCounts years;
  // Value fields that matched an item of LoopSettings::missing.
  uint64_t missing = 0;
  // What the totals line shows, one value a column: the statistic over what
  // was carried into the run's total, the incomplete mark for a mean, minimum
  // or maximum where nothing was.
  std::vector<double> totals;
};

// The record loop. Reads records from `in` (positioned after the header
// block) until the input ends or a field fails to scan, adding the valid
// values of `columns` columns into the day. Levels day, month and year (the
// year only with settings.yearly_start) keep per column a sum, a count and,
// where a column shows one, a minimum and a maximum; at a close a level writes
// its line through its writers and is carried into the next level: at every
// hour-24 record the day into the month, at the hour-24 record of a month's
// last day the month into the run's total and into the year, and at the
// close of a year's last month the year's line. Stops without closing
// anything more when `in` ends inside a line that is too long
// (in.line_too_long()). Progress marks ("." a day,
// "MONTH/YEAR" a month) go to `console`. Returns what it read, with the
// totals line's values, and in `stats`, unless it is null, how the records
// were read. Reports nothing itself; the caller checks the input and outputs
// for errors. Lines of the fast path's form are read by it on `path` (a
// supported one, see record_fast.h), every other record by the exact scans;
// the results are the same either way.
RecordLoopEnd RunRecordLoop(Input& in, const LoopSettings& settings,
                            size_t columns, const LevelWriters& writers,
                            Output& console, RecordPath path,
                            RecordLoopStats* stats = nullptr);

}  // namespace vostrel

#endif  // VOSTREL_ENGINE_H_
