// vostrel's levels: what a line shows, and a level's close in one pass over
// the columns, specialised for what the columns show and where the level is
// carried, since a daily file closes a day at every record.
#include "level.h"

#include <algorithm>
#include <utility>

namespace vostrel {

namespace {

// Carries column `i`'s extremes of `from`, which has a value, into `to`.
// Of equal extremes the one met first, `to`'s, stays.
void CarryExtremes(const Level& from, size_t i, Level& to) {
  if (to.count[i] == 0 || from.min[i] < to.min[i]) to.min[i] = from.min[i];
  if (to.count[i] == 0 || from.max[i] > to.max[i]) to.max[i] = from.max[i];
}

// The statistic of column `i` of `level`; false for a mean, minimum or
// maximum of nothing, which shows the incomplete mark.
bool Shown(Statistic statistic, const Level& level, size_t i, double& value) {
  if (statistic == Statistic::kSum) {
    value = level.sum[i];
    return true;
  }
  if (level.count[i] == 0) return false;
  switch (statistic) {
    case Statistic::kMean:
      value = level.sum[i] / static_cast<double>(level.count[i]);
      break;
    case Statistic::kMin:
      value = level.min[i];
      break;
    case Statistic::kMax:
    case Statistic::kSum:
      value = level.max[i];
      break;
  }
  return true;
}

bool ShowsExtremes(const std::vector<Statistic>& statistics) {
  return std::any_of(statistics.begin(), statistics.end(), [](Statistic s) {
    return s == Statistic::kMin || s == Statistic::kMax;
  });
}

}  // namespace

void CarryInto(const Level& from, Level& to) {
  for (size_t i = 0; i < to.min.size(); ++i) {
    if (from.count[i] != 0) CarryExtremes(from, i, to);
  }
  for (size_t i = 0; i < to.sum.size(); ++i) {
    to.sum[i] += from.sum[i];
    to.count[i] += from.count[i];
  }
}

LevelCloser::LevelCloser(Step step, std::vector<Statistic> statistics,
                         size_t columns, bool keep_marks)
    : step_(step),
      statistics_(std::move(statistics)),
      keep_marks_(keep_marks),
      line_values_(columns),
      line_complete_(columns) {
  statistics_.resize(columns, Statistic::kSum);
  extremes_ = ShowsExtremes(statistics_);
  sums_only_ = std::all_of(statistics_.begin(), statistics_.end(),
                           [](Statistic s) { return s == Statistic::kSum; });
}

template <int kCarries, LevelCloser::Shows kShows, bool kMarks>
void LevelCloser::Pass(Level& level, int64_t days, Level* into, Level* also,
                       LevelCounts& counts) {
  // One pass over the columns: the line's value, the carries and the new
  // period.
  const bool hourly = step_ != Step::kDaily;
  const bool daily = step_ != Step::kHourly;
  const int64_t hourly_count = kHoursPerDay * days;
  double* const sums = level.sum.data();
  int64_t* const level_counts = level.count.data();
  const Statistic* const statistics = statistics_.data();
  const double* const mins = level.min.data();
  const double* const maxs = level.max.data();
  double* const values = line_values_.data();
  Completeness* const complete_flags = line_complete_.data();
  uint64_t* const incomplete = counts.incomplete.data();
  double* const into_sums = kCarries >= 1 ? into->sum.data() : nullptr;
  int64_t* const into_counts = kCarries >= 1 ? into->count.data() : nullptr;
  double* const also_sums = kCarries == 2 ? also->sum.data() : nullptr;
  int64_t* const also_counts = kCarries == 2 ? also->count.data() : nullptr;
  const size_t columns = line_values_.size();
  for (size_t i = 0; i < columns; ++i) {
    const double sum = sums[i];
    const int64_t count = level_counts[i];
    bool complete =
        (hourly && count == hourly_count) || (daily && count == days);
    double value = sum;
    if constexpr (kShows != Shows::kSums) {
      const Statistic statistic = statistics[i];
      if (statistic != Statistic::kSum) {
        // A statistic of nothing shows the incomplete mark.
        complete = complete && count != 0;
        if (statistic == Statistic::kMean) {
          value = count != 0 ? sum / static_cast<double>(count) : 0.0;
        } else {
          value = statistic == Statistic::kMin ? mins[i] : maxs[i];
        }
      }
      if (kShows == Shows::kExtremes && count != 0) {
        if constexpr (kCarries >= 1) CarryExtremes(level, i, *into);
        if constexpr (kCarries == 2) CarryExtremes(level, i, *also);
      }
    }
    values[i] = complete ? value : kIncompleteMark;
    if constexpr (kMarks) {
      complete_flags[i] =
          complete ? Completeness::kComplete : Completeness::kIncomplete;
      incomplete[i] += complete ? 0 : 1;
    }
    if constexpr (kCarries >= 1) {
      into_sums[i] += sum;
      into_counts[i] += count;
    }
    if constexpr (kCarries == 2) {
      also_sums[i] += sum;
      also_counts[i] += count;
    }
    sums[i] = 0;
    level_counts[i] = 0;
  }
}

template <LevelCloser::Shows kShows, bool kMarks>
void LevelCloser::PassWith(Level& level, int64_t days, Level* into, Level* also,
                           LevelCounts& counts) {
  if (into == nullptr) {
    Pass<0, kShows, kMarks>(level, days, into, also, counts);
  } else if (also == nullptr) {
    Pass<1, kShows, kMarks>(level, days, into, also, counts);
  } else {
    Pass<2, kShows, kMarks>(level, days, into, also, counts);
  }
}

template <LevelCloser::Shows kShows>
void LevelCloser::PassMarking(Level& level, int64_t days, Level* into,
                              Level* also, LevelCounts& counts) {
  if (keep_marks_) {
    PassWith<kShows, true>(level, days, into, also, counts);
  } else {
    PassWith<kShows, false>(level, days, into, also, counts);
  }
}

void LevelCloser::Close(Level& level, int64_t days, Level* into, Level* also,
                        const RecordDate& date,
                        const std::vector<LineWriter*>& writers,
                        LevelCounts& counts) {
  if (sums_only_) {
    PassMarking<Shows::kSums>(level, days, into, also, counts);
  } else if (!extremes_) {
    PassMarking<Shows::kStatistics>(level, days, into, also, counts);
  } else {
    PassMarking<Shows::kExtremes>(level, days, into, also, counts);
  }
  const LevelLine line{date, line_values_, line_complete_};
  for (LineWriter* writer : writers) writer->WriteLine(line);
  ++counts.lines;
}

std::vector<double> LevelCloser::Totals(const Level& total) const {
  std::vector<double> totals(total.sum.size());
  for (size_t i = 0; i < totals.size(); ++i) {
    double value = 0;
    totals[i] =
        Shown(statistics_[i], total, i, value) ? value : kIncompleteMark;
  }
  return totals;
}

}  // namespace vostrel
