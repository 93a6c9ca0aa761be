// vostrel's aggregation engine: the record loop with its completeness rules
// and the way sums are carried from day to month to run.
#include "engine.h"

#include <string>

#include "record_fast.h"
#include "scan.h"
#include "writers.h"

namespace vostrel {

namespace {

// Gregorian leap year; remainders truncate toward zero, so negative years
// follow the same rule.
bool IsLeapYear(int32_t year) {
  if (year % 4 != 0) return false;
  if (year % 100 != 0) return true;
  return year % 400 == 0;
}

}  // namespace

int32_t DaysInMonth(int32_t year, int32_t month) {
  static constexpr int32_t kDays[13] = {0,  31, 28, 31, 30, 31, 30,
                                        31, 31, 30, 31, 30, 31};
  if (month < 0 || month > 12) return -1;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month];
}

namespace {

// The fields of the record being read. A date field keeps its value until a
// scan converts a new one, so they live across records.
struct RecordDate {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
};

void CarryDayIntoMonth(std::vector<ColumnSums>& columns) {
  for (ColumnSums& c : columns) {
    c.month_sum += c.day_sum;
    c.month_count += c.day_count;
  }
}

void CarryMonthIntoTotal(std::vector<ColumnSums>& columns) {
  for (ColumnSums& c : columns) c.total_sum += c.month_sum;
}

class RecordLoop {
 public:
  RecordLoop(Input& in, bool noneg, std::vector<ColumnSums>& columns,
             Output& daily, Output& monthly, Output& console, RecordPath path)
      : in_(in),
        noneg_(noneg),
        columns_(columns),
        daily_(daily),
        monthly_(monthly),
        console_(console),
        line_values_(columns.size()),
        fast_(columns.size(), path) {}

  void Run();
  const RecordLoopStats& stats() const { return stats_; }
  const RecordLoopEnd& end() const { return end_; }

 private:
  // Reads the record with the fast path when it takes the line: sets the date,
  // adds the values and consumes the line, as the exact scans and the line
  // read would. Returns false, consuming nothing, when it does not.
  bool ReadFastRecord();
  // Scans the four date fields in order, stopping at the first that converts
  // nothing. Returns true when all four converted.
  bool ScanRecordDate();
  // Scans one value per column; false if any converted nothing. Every column
  // is scanned even after a failure.
  bool ScanValues();
  // Notes a scan that started at `offset` and converted nothing. Only the
  // record that ends the loop has such scans, and its first one counts.
  void NoteFailedScan(Scan scan, uint64_t offset);
  void AddValue(ColumnSums& c, double value) const;
  void CloseDay();
  void CloseMonth(int32_t month_length);

  Input& in_;
  const bool noneg_;
  std::vector<ColumnSums>& columns_;
  Output& daily_;
  Output& monthly_;
  Output& console_;
  RecordDate date_;
  std::vector<double> line_values_;
  RecordReader fast_;
  RecordLoopStats stats_;
  RecordLoopEnd end_;
  bool scan_failed_ = false;
  std::string line_;  // scratch for the lines written
};

void RecordLoop::Run() {
  for (;;) {
    bool complete;
    if (fast_.enabled() && ReadFastRecord()) {
      complete = true;
      ++stats_.fast_records;
    } else {
      const bool date_read = ScanRecordDate();
      complete = date_read && ScanValues();
      // Fields after the last value are ignored with the rest of the line.
      SkipLine(in_);
      if (date_read) ++stats_.exact_records;
    }
    if (date_.hour == kHoursPerDay) {
      // A record whose values did not all scan closes nothing.
      if (!complete) return;
      CloseDay();
      const int32_t month_length = DaysInMonth(date_.year, date_.month);
      // A month outside the calendar (length -1) never closes.
      if (month_length >= 0 && date_.day == month_length) {
        CloseMonth(month_length);
      }
    } else if (!complete) {
      // The input ended inside a day: what was read of it still counts in
      // the totals, unless the hour was no hour of a day at all.
      if (date_.hour < kHoursPerDay) {
        CarryDayIntoMonth(columns_);
        CarryMonthIntoTotal(columns_);
      }
      return;
    }
  }
}

bool RecordLoop::ReadFastRecord() {
  // An empty window is refilled first, as the first scan would do.
  if (in_.begin() == in_.end() && !in_.Refill()) return false;
  int32_t date[4];
  const char* next = fast_.Read(in_.begin(), in_.end(), date);
  if (next == nullptr) return false;
  date_ = {date[0], date[1], date[2], date[3]};
  const double* values = fast_.values();
  for (size_t i = 0; i < columns_.size(); ++i) AddValue(columns_[i], values[i]);
  in_.Advance(next);
  return true;
}

bool RecordLoop::ScanRecordDate() {
  int32_t* fields[] = {&date_.year, &date_.month, &date_.day, &date_.hour};
  for (int32_t* field : fields) {
    const uint64_t offset = in_.offset();
    const Scan scan = ScanDate(in_, *field);
    if (scan != Scan::kNumber) {
      NoteFailedScan(scan, offset);
      return false;
    }
  }
  return true;
}

bool RecordLoop::ScanValues() {
  bool all_scanned = true;
  for (ColumnSums& c : columns_) {
    double value;
    const uint64_t offset = in_.offset();
    const Scan scan = ScanNumber(in_, value);
    if (scan != Scan::kNumber) {
      NoteFailedScan(scan, offset);
      all_scanned = false;
      continue;
    }
    AddValue(c, value);
  }
  return all_scanned;
}

void RecordLoop::NoteFailedScan(Scan scan, uint64_t offset) {
  if (scan_failed_) return;
  scan_failed_ = true;
  if (scan == Scan::kNoNumber) end_ = {true, offset};
}

void RecordLoop::AddValue(ColumnSums& c, double value) const {
  if (value > kValidityThreshold && !(noneg_ && value < 0.0)) {
    c.day_sum += value;
    ++c.day_count;
  }
}

void RecordLoop::CloseDay() {
  // One pass per column: the line's value, the carry into the month and the
  // new day.
  for (size_t i = 0; i < columns_.size(); ++i) {
    ColumnSums& c = columns_[i];
    // Hourly data fill a day with 24 values, daily data with one.
    const bool complete = c.day_count == kHoursPerDay || c.day_count == 1;
    line_values_[i] = complete ? c.day_sum : kIncompleteMark;
    c.month_sum += c.day_sum;
    c.month_count += c.day_count;
    c.day_sum = 0;
    c.day_count = 0;
  }
  WriteRecordLine(daily_, date_.year, date_.month, date_.day, date_.hour,
                  line_values_, line_);
  console_.Write(".");
}

void RecordLoop::CloseMonth(int32_t month_length) {
  CarryMonthIntoTotal(columns_);
  const int64_t hourly_count = int64_t{kHoursPerDay} * month_length;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const ColumnSums& c = columns_[i];
    const bool complete =
        c.month_count == hourly_count || c.month_count == month_length;
    line_values_[i] = complete ? c.month_sum : kIncompleteMark;
  }
  WriteRecordLine(monthly_, date_.year, date_.month, date_.day, date_.hour,
                  line_values_, line_);
  console_.Write(std::to_string(date_.month) + "/" +
                 std::to_string(date_.year) + "\n");
  for (ColumnSums& c : columns_) {
    c.month_sum = 0;
    c.month_count = 0;
  }
}

}  // namespace

RecordLoopEnd RunRecordLoop(Input& in, bool noneg,
                            std::vector<ColumnSums>& columns, Output& daily,
                            Output& monthly, Output& console, RecordPath path,
                            RecordLoopStats* stats) {
  RecordLoop loop(in, noneg, columns, daily, monthly, console, path);
  loop.Run();
  if (stats != nullptr) *stats = loop.stats();
  return loop.end();
}

}  // namespace vostrel
