// vostrel's aggregation engine: the record loop, and the levels it fills and
// closes. A day, a month, a year and the run's total are one shape, a Level,
// and differ only in when they close and where their lines go.
#include "engine.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "missing.h"
#include "record_fast.h"
#include "scan.h"
#include "writers.h"

namespace vostrel {

namespace {

// Leap year on 64 bits, for the year before the smallest int32_t.
bool IsLeap(int64_t year) {
  if (year % 4 != 0) return false;
  if (year % 100 != 0) return true;
  return year % 400 == 0;
}

}  // namespace

int32_t DaysInMonth(int32_t year, int32_t month) {
  static constexpr int32_t kDays[13] = {0,  31, 28, 31, 30, 31, 30,
                                        31, 31, 30, 31, 30, 31};
  if (month < 0 || month > 12) return -1;
  if (month == 2 && IsLeap(year)) return 29;
  return kDays[month];
}

int32_t YearDays(int32_t year, int32_t last_month) {
  // The February of the twelve months is the closing year's when they end
  // in February or later, else the year before's.
  const int64_t february_year = last_month >= 2 ? year : int64_t{year} - 1;
  return IsLeap(february_year) ? 366 : 365;
}

std::vector<Statistic> ColumnStatistics(const Options& options,
                                        int32_t columns) {
  std::vector<Statistic> statistics(static_cast<size_t>(std::max(columns, 0)),
                                    Statistic::kSum);
  for (int32_t c = 1; c <= columns; ++c) {
    Statistic& s = statistics[static_cast<size_t>(c - 1)];
    if (InRanges(options.mean, c)) s = Statistic::kMean;
    if (InRanges(options.min, c)) s = Statistic::kMin;
    if (InRanges(options.max, c)) s = Statistic::kMax;
  }
  return statistics;
}

namespace {

class RecordLoop {
 public:
  RecordLoop(Input& in, const LoopSettings& settings, size_t columns,
             const LevelWriters& writers, Output& console, RecordPath path)
      : in_(in),
        noneg_(settings.noneg),
        closer_(settings.step, settings.statistics, columns,
                settings.keep_marks),
        extremes_(closer_.extremes()),
        missing_(ClassifyMissing(settings.missing)),
        plain_(!extremes_ && missing_.numbers.empty()),
        writers_(writers),
        console_(console),
        day_(columns, extremes_),
        month_(columns, extremes_),
        year_(settings.yearly_start != 0 ? columns : 0, extremes_),
        total_(columns, extremes_),
        fast_(columns, path) {
    for (LevelCounts* counts : {&end_.days, &end_.months, &end_.years}) {
      counts->incomplete.resize(columns);
    }
    if (settings.yearly_start != 0) {
      year_last_month_ =
          settings.yearly_start == 1 ? 12 : settings.yearly_start - 1;
    }
  }

  void Run();
  const RecordLoopStats& stats() const { return stats_; }
  RecordLoopEnd TakeEnd();

 private:
  // Reads one record, by the fast path or the exact scans, adding its values
  // into the day. Returns true when its date fields and values all
  // converted.
  bool ReadRecord();
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
  void AddPlainValue(size_t i, double value) {
    if (value > kValidityThreshold && !(noneg_ && value < 0.0)) {
      day_.sum[i] += value;
      ++day_.count[i];
    }
  }
  void AddValue(size_t i, double value) {
    if (plain_) {
      AddPlainValue(i, value);
    } else {
      AddValueChecked(i, value);
    }
  }
  // AddValue with numeric missing codes and extremes.
  void AddValueChecked(size_t i, double value);
  void CloseDay();
  void CloseMonth(int32_t month_length);
  Input& in_;
  const bool noneg_;
  LevelCloser closer_;
  const bool extremes_;
  const MissingCodes missing_;
  // No extremes and no numeric codes: a value is checked for validity alone.
  const bool plain_;
  const LevelWriters& writers_;
  Output& console_;
  Level day_;
  Level month_;
  Level year_;  // no columns without years
  Level total_;
  int32_t year_last_month_ = 0;  // the month that closes a year; 0: none
  // The fields of the record being read. A date field keeps its value until
  // a scan converts a new one, so they live across records.
  RecordDate date_;
  uint64_t hour_place_ = 0;  // an offset on the line of this record's hour
  RecordReader fast_;
  RecordLoopStats stats_;
  RecordLoopEnd end_;
  bool scan_failed_ = false;
};

bool RecordLoop::ReadRecord() {
  if (fast_.enabled() && ReadFastRecord()) {
    ++stats_.fast_records;
    return true;
  }
  const bool date_read = ScanRecordDate();
  const bool complete = date_read && ScanValues();
  // Fields after the last value are ignored with the rest of the line.
  SkipLine(in_);
  if (date_read) ++stats_.exact_records;
  return complete;
}

void RecordLoop::Run() {
  for (;;) {
    const bool complete = ReadRecord();
    // A line too long to read ends the loop: the day it would close is not
    // written, and the run ends on it. The fast path takes only lines it
    // holds whole, never such a line.
    if (in_.line_too_long()) return;
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
        CarryInto(day_, month_);
        CarryInto(month_, total_);
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
  if (next == nullptr) {
    // A line that the window ends inside is tried again with the rest of it
    // read in; otherwise the line at every block's end would go to the
    // exact scans.
    const size_t window = static_cast<size_t>(in_.end() - in_.begin());
    if (window > kMaxFastLine ||
        std::memchr(in_.begin(), '\n', window) != nullptr) {
      return false;
    }
    in_.Extend(kMaxFastLine + 1);
    if (static_cast<size_t>(in_.end() - in_.begin()) == window) return false;
    next = fast_.Read(in_.begin(), in_.end(), date);
    if (next == nullptr) return false;
  }
  date_ = {date[0], date[1], date[2], date[3]};
  hour_place_ = in_.offset();  // the start of the record's line
  end_.hour_read = true;
  CountRecord();
  const double* values = fast_.values();
  const size_t columns = day_.sum.size();
  if (plain_) {
    // The whole line at once, as the exact scans would add it value by
    // value.
    const bool noneg = noneg_;
    double* const sums = day_.sum.data();
    int64_t* const counts = day_.count.data();
    for (size_t i = 0; i < columns; ++i) {
      const double value = values[i];
      if (value > kValidityThreshold && !(noneg && value < 0.0)) {
        sums[i] += value;
        ++counts[i];
      }
    }
  } else {
    for (size_t i = 0; i < columns; ++i) AddValueChecked(i, values[i]);
  }
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
  const size_t columns = day_.sum.size();
  for (size_t i = 0; i < columns; ++i) {
    double value;
    const uint64_t offset = in_.offset();
    // A value that begins on a later line than the hour field, or that the
    // input ends before, makes the record short: it took its values from
    // the next line (a misdetected fixed-width file does this on every
    // record) or the file was cut.
    bool line_end = false;
    const bool field = SkipScanSpace(in_, line_end);
    short_record |= line_end || !field;
    // A word of --missing is a value that is dropped; the record goes on.
    if (field && !missing_.words.empty() && ConsumeMissingWord(in_, missing_)) {
      ++end_.missing;
      continue;
    }
    const Scan scan = field ? ScanNumber(in_, value) : Scan::kEndOfInput;
    short_record |= scan == Scan::kEndOfInput;
    if (scan != Scan::kNumber) {
      NoteFailedScan(scan, offset);
      all_scanned = false;
      continue;
    }
    AddValue(i, value);
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

void RecordLoop::AddValueChecked(size_t i, double value) {
  if (missing_.IsNumber(value)) {
    ++end_.missing;
    return;
  }
  if (value > kValidityThreshold && !(noneg_ && value < 0.0)) {
    if (extremes_) {
      // Strict comparisons keep the first of equal values (-0 before 0).
      if (day_.count[i] == 0 || value < day_.min[i]) day_.min[i] = value;
      if (day_.count[i] == 0 || value > day_.max[i]) day_.max[i] = value;
    }
    day_.sum[i] += value;
    ++day_.count[i];
  }
}

void RecordLoop::CloseDay() {
  closer_.Close(day_, 1, &month_, nullptr, date_, writers_.day, end_.days);
  console_.Write(".");
}

void RecordLoop::CloseMonth(int32_t month_length) {
  closer_.Close(month_, month_length, &total_,
                year_last_month_ != 0 ? &year_ : nullptr, date_, writers_.month,
                end_.months);
  console_.Write(std::to_string(date_.month) + "/" +
                 std::to_string(date_.year) + "\n");
  if (year_last_month_ != 0 && date_.month == year_last_month_) {
    closer_.Close(year_, YearDays(date_.year, date_.month), nullptr, nullptr,
                  date_, writers_.year, end_.years);
  }
}

RecordLoopEnd RecordLoop::TakeEnd() {
  end_.totals = closer_.Totals(total_);
  return std::move(end_);
}

}  // namespace

RecordLoopEnd RunRecordLoop(Input& in, const LoopSettings& settings,
                            size_t columns, const LevelWriters& writers,
                            Output& console, RecordPath path,
                            RecordLoopStats* stats) {
  RecordLoop loop(in, settings, columns, writers, console, path);
  loop.Run();
  if (stats != nullptr) *stats = loop.stats();
  return loop.TakeEnd();
}

}  // namespace vostrel
