// vostrel's levels: the per-column sums, counts and extremes of a period
// (a day, a month, a year and the run's total are each one), what a line
// shows for them, and how a level closes: its line written, carried into the
// next levels, zeroed.
#ifndef VOSTREL_LEVEL_H_
#define VOSTREL_LEVEL_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "options.h"
#include "writers.h"

namespace vostrel {

// Written for a period whose count is not a complete one, and for a mean,
// minimum or maximum of no value.
inline constexpr double kIncompleteMark = -9999.0;
// The hour that closes a day, and the count of a complete hourly day.
inline constexpr int32_t kHoursPerDay = 24;

// What a column's lines show for each period.
enum class Statistic : uint8_t {
  kSum,   // the sum of the period's valid values
  kMean,  // that sum divided by their count, one division
  kMin,   // the smallest, by <, the first met of equal ones
  kMax,   // the largest, by >, the first met of equal ones
};

// The lines one level (day, month, year) wrote, and per column how many of them
// show the incomplete mark.
struct LevelCounts {
  uint64_t lines = 0;
  std::vector<uint64_t> incomplete;
};

// One period's accumulators for every column, as arrays so that adding a
// value touches its sum and count alone.
struct Level {
  std::vector<double> sum;
  std::vector<int64_t> count;
  // Empty unless a column shows a minimum or a maximum. A column's extremes
  // mean something only while its count is above 0.
  std::vector<double> min;
  std::vector<double> max;

  Level(size_t columns, bool extremes)
      : sum(columns),
        count(columns),
        min(extremes ? columns : 0),
        max(extremes ? columns : 0) {}
};

// Adds `from` into `to`, whatever either's completeness: sums and counts, and
// the extremes where `from` has any. Of equal extremes the one met first,
// `to`'s, stays.
void CarryInto(const Level& from, Level& to);

// Closes levels for a run's columns: knows what each column shows and what
// makes a period complete, and keeps the line a close writes.
class LevelCloser {
 public:
  // `statistics` holds one per column, or fewer: the rest show sums. With
  // `keep_marks`, a close tells which of its values are incomplete marks (in
  // its line, for a CSV file) and counts them (for a summary); without, it
  // spends nothing on them.
  LevelCloser(Step step, std::vector<Statistic> statistics, size_t columns,
              bool keep_marks);

  // True when some column shows a minimum or maximum, so that levels keep
  // extremes.
  bool extremes() const { return extremes_; }

  // Closes `level`, a period of `days` days ending at `date`, in one pass
  // over the columns: writes its line through `writers` (per column the
  // statistic, or kIncompleteMark when the count is not 24 times or once
  // `days` as the step allows, or for a mean, minimum or maximum of
  // nothing), counts the line and its incomplete columns in `counts`,
  // carries the level into `into` and `also` (each unless null) and zeroes
  // it.
  void Close(Level& level, int64_t days, Level* into, Level* also,
             const RecordDate& date, const std::vector<LineWriter*>& writers,
             LevelCounts& counts);

  // What the totals line shows for `total`: per column its statistic,
  // kIncompleteMark for a mean, minimum or maximum of nothing.
  std::vector<double> Totals(const Level& total) const;

 private:
  // What the columns show, as far as a close is concerned.
  enum class Shows { kSums, kStatistics, kExtremes };
  template <int kCarries, Shows kShows, bool kMarks>
  void Pass(Level& level, int64_t days, Level* into, Level* also,
            LevelCounts& counts);
  template <Shows kShows, bool kMarks>
  void PassWith(Level& level, int64_t days, Level* into, Level* also,
                LevelCounts& counts);
  template <Shows kShows>
  void PassMarking(Level& level, int64_t days, Level* into, Level* also,
                   LevelCounts& counts);

  Step step_;
  std::vector<Statistic> statistics_;  // one per column
  bool extremes_;
  bool sums_only_;
  bool keep_marks_;
  std::vector<double> line_values_;
  std::vector<Completeness> line_complete_;
};

}  // namespace vostrel

#endif  // VOSTREL_LEVEL_H_
