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
        fast_(columns.size(), path) {
    end_.days.incomplete.resize(columns.size());
    end_.months.incomplete.resize(columns.size());
  }

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
  // Counts a record whose date fields all converted.
  void CountRecord();
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
  // The fields of the record being read. A date field keeps its value until
  // a scan converts a new one, so they live across records.
  RecordDate date_;
  uint64_t hour_place_ = 0;  // an offset on the line of this record's hour
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
      // A line too long to read ends the loop: the day it would close is not
      // written, and the run ends on it. The fast path takes only lines it
      // holds whole, never such a line.
      if (in_.line_too_long()) return;
    }
    if (end_.hour_read) {
      end_.last_hour = date_.hour;
      end_.last_hour_place = hour_place_;
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
  hour_place_ = in_.offset();  // the start of the record's line
  end_.hour_read = true;
  CountRecord();
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
  // Just after the hour's digits: on its line, whatever white space and
  // line ends came before it.
  hour_place_ = in_.offset();
  end_.hour_read = true;
  CountRecord();
  return true;
}

void RecordLoop::CountRecord() {
  if (end_.records == 0) end_.first = date_;
  end_.last = date_;
  ++end_.records;
}

bool RecordLoop::ScanValues() {
  bool all_scanned = true;
  bool short_record = false;
  for (ColumnSums& c : columns_) {
    double value;
    const uint64_t offset = in_.offset();
    // A value that begins on a later line than the hour field, or that the
    // input ends before, makes the record short: it took its values from
    // the next line (a misdetected fixed-width file does this on every
    // record) or the file was cut.
    bool line_end = false;
    const Scan scan = SkipScanSpace(in_, line_end) ? ScanNumber(in_, value)
                                                   : Scan::kEndOfInput;
    short_record |= line_end || scan == Scan::kEndOfInput;
    if (scan != Scan::kNumber) {
      NoteFailedScan(scan, offset);
      all_scanned = false;
      continue;
    }
    AddValue(c, value);
  }
  if (short_record && !end_.short_record) {
    end_.short_record = true;
    end_.short_record_place = hour_place_;
  }
  return all_scanned;
}

void RecordLoop::NoteFailedScan(Scan scan, uint64_t offset) {
  if (scan_failed_) return;
  scan_failed_ = true;
  if (scan == Scan::kNoNumber) {
    end_.at_text = true;
    end_.offset = offset;
  }
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
    end_.days.incomplete[i] += complete ? 0 : 1;
    c.month_sum += c.day_sum;
    c.month_count += c.day_count;
    c.day_sum = 0;
    c.day_count = 0;
  }
  WriteRecordLine(daily_, date_.year, date_.month, date_.day, date_.hour,
                  line_values_, line_);
  ++end_.days.lines;
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
    end_.months.incomplete[i] += complete ? 0 : 1;
  }
  WriteRecordLine(monthly_, date_.year, date_.month, date_.day, date_.hour,
                  line_values_, line_);
  ++end_.months.lines;
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
