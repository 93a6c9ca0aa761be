// Tests for the calendar and the record loop: completeness of days and
// months, missing and negative values, and what the totals hold when the
// records end.
#include "engine.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "record_fast.h"
#include "render.h"
#include "string_io.h"
#include "test_util.h"
#include "text_io.h"

namespace vostrel {
namespace {

// The values text of a record, given its hour (hourly data) or day (daily).
using Values = std::function<std::string(int)>;

Values Each(const std::string& text) {
  return [text](int) { return text; };
}

std::string Record(int year, int month, int day, int hour,
                   const std::string& values) {
  return std::to_string(year) + " " + std::to_string(month) + " " +
         std::to_string(day) + " " + std::to_string(hour) + " " + values +
         "\r\n";
}

// Hourly records for hours `from` to `to` of one day.
std::string Hours(int year, int month, int day, int from, int to,
                  const Values& values) {
  std::string text;
  for (int hour = from; hour <= to; ++hour) {
    text += Record(year, month, day, hour, values(hour));
  }
  return text;
}

// Daily records, one per day at hour 24, for days `from` to `to`.
std::string Days(int year, int month, int from, int to, const Values& values) {
  std::string text;
  for (int day = from; day <= to; ++day) {
    text += Record(year, month, day, 24, values(day));
  }
  return text;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < bytes.size(); start = end + 2) {
    end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
  }
  return lines;
}

TEST(CalendarTest, LeapYearsAndMonthLengths) {
  const struct {
    int32_t year;
    int32_t month;
    int32_t days;
  } kCases[] = {{2001, 1, 31},  {2001, 2, 28},  {2001, 4, 30},
                {2001, 12, 31}, {2000, 2, 29},  {1900, 2, 28},
                {-4, 2, 29},    {-100, 2, 28},  {2001, 0, 0},
                {2001, 13, -1}, {2001, -1, -1}, {INT32_MIN, 2, 29}};
  for (const auto& c : kCases) {
    EXPECT_EQ(c.days, DaysInMonth(c.year, c.month))
        << "case " << c.year << "/" << c.month;
  }
}

struct LoopCase {
  std::string name;
  std::string input;
  size_t columns;
  std::string daily;
  std::string monthly;
  std::string console;
  std::string totals;  // the column totals as the totals line renders them
};

// What a run of the record loop wrote and summed.
struct LoopResult {
  std::string daily, monthly, yearly, console;
  std::vector<double> totals;
  RecordLoopStats stats;
  RecordLoopEnd end;
};

LoopResult RunLoop(RecordPath path, const std::string& input, size_t columns,
                   const LoopSettings& settings, size_t block_size = 1 << 16) {
  StringInput in(input, block_size);
  StringOutput daily, monthly, yearly, console;
  TextLineWriter daily_lines(daily), monthly_lines(monthly),
      yearly_lines(yearly);
  LevelWriters writers;
  writers.day = {&daily_lines};
  writers.month = {&monthly_lines};
  writers.year = {&yearly_lines};
  LoopResult r;
  r.end =
      RunRecordLoop(in, settings, columns, writers, console, path, &r.stats);
  r.daily = daily.bytes();
  r.monthly = monthly.bytes();
  r.yearly = yearly.bytes();
  r.console = console.bytes();
  r.totals = r.end.totals;
  return r;
}

LoopResult RunLoop(RecordPath path, const std::string& input, size_t columns,
                   bool noneg, size_t block_size = 1 << 16) {
  LoopSettings settings;
  settings.noneg = noneg;
  return RunLoop(path, input, columns, settings, block_size);
}

// The fast record paths this CPU has.
std::vector<RecordPath> FastPaths() {
  std::vector<RecordPath> paths;
  for (RecordPath p :
       {RecordPath::kPortable, RecordPath::kSse41, RecordPath::kAvx2}) {
    if (RecordPathSupported(p)) paths.push_back(p);
  }
  return paths;
}

// Expects `fast` to be `exact` byte for byte and bit for bit.
void ExpectSameRun(const LoopResult& exact, const LoopResult& fast,
                   const std::string& what) {
  EXPECT_EQ(exact.daily, fast.daily) << what;
  EXPECT_EQ(exact.monthly, fast.monthly) << what;
  EXPECT_EQ(exact.yearly, fast.yearly) << what;
  EXPECT_EQ(exact.console, fast.console) << what;
  ASSERT_EQ(exact.totals.size(), fast.totals.size()) << what;
  for (size_t i = 0; i < exact.totals.size(); ++i) {
    EXPECT_EQ(std::bit_cast<uint64_t>(exact.totals[i]),
              std::bit_cast<uint64_t>(fast.totals[i]))
        << what << " column " << i + 1;
  }
}

class RecordLoopTest : public ::testing::Test {
 protected:
  // Runs the loop with the exact scans alone and then with each fast path,
  // which must give the same; keeps the results of the first.
  void Run(const std::string& input, size_t columns, bool noneg = false) {
    LoopSettings settings;
    settings.noneg = noneg;
    Run(input, columns, settings);
  }

  void Run(const std::string& input, size_t columns,
           const LoopSettings& settings) {
    const LoopResult exact =
        RunLoop(RecordPath::kOff, input, columns, settings);
    for (RecordPath path : FastPaths()) {
      ExpectSameRun(exact, RunLoop(path, input, columns, settings),
                    std::string("path ") + RecordPathName(path));
    }
    end_ = exact.end;
    daily_ = exact.daily;
    monthly_ = exact.monthly;
    yearly_ = exact.yearly;
    console_ = exact.console;
    totals_.clear();
    for (double total : exact.totals) {
      if (!totals_.empty()) totals_ += '\t';
      AppendNumber(totals_, total);
    }
  }

  void Check(const LoopCase& c) {
    Run(c.input, c.columns);
    EXPECT_EQ(c.daily, daily_) << "case " << c.name;
    EXPECT_EQ(c.monthly, monthly_) << "case " << c.name;
    EXPECT_EQ(c.console, console_) << "case " << c.name;
    EXPECT_EQ(c.totals, totals_) << "case " << c.name;
  }

  std::string daily_, monthly_, yearly_, console_;
  std::string totals_;  // the column totals, tab-separated
  RecordLoopEnd end_;
};

// A day is complete with exactly 24 valid values or exactly one.
TEST_F(RecordLoopTest, HourlyDayShowsItsSumOnlyWhenComplete) {
  const struct {
    const char* name;
    std::string input;
    const char* value;
  } kCases[] = {
      {"all hours valid", Hours(2001, 1, 1, 1, 24, Each("1.5")), "36"},
      {"sum of tenths", Hours(2001, 1, 1, 1, 24, Each("0.1")), "2.4"},
      {"one hour missing",
       Hours(2001, 1, 1, 1, 24, [](int h) { return h == 12 ? "-999" : "1"; }),
       "-9999"},
      {"exactly one valid hour",
       Hours(2001, 1, 1, 1, 24, [](int h) { return h == 7 ? "4.5" : "-999"; }),
       "4.5"},
      {"two valid hours",
       Hours(2001, 1, 1, 1, 24, [](int h) { return h < 3 ? "2" : "-1e3"; }),
       "-9999"},
      {"25 valid values",
       Record(2001, 1, 1, 5, "1") + Hours(2001, 1, 1, 1, 24, Each("1")),
       "-9999"}};
  for (const auto& c : kCases) {
    Run(c.input, 1);
    EXPECT_EQ("2001\t1\t1\t24\t" + std::string(c.value) + "\r\n", daily_)
        << "case " << c.name;
    EXPECT_EQ(".", console_) << "case " << c.name;
  }
}

TEST_F(RecordLoopTest, MissingHourMakesDayAndMonthIncomplete) {
  std::string input;
  for (int day = 1; day <= 31; ++day) {
    input += Hours(2001, 1, day, 1, 24, [day](int h) {
      return day == 3 && h == 5 ? "-999 0.5" : "1 0.5";
    });
  }
  Run(input, 2);
  const std::vector<std::string> daily = Lines(daily_);
  ASSERT_EQ(31u, daily.size());
  EXPECT_EQ("2001\t1\t3\t24\t-9999\t12", daily[2]);
  EXPECT_EQ("2001\t1\t31\t24\t24\t12", daily[30]);
  EXPECT_EQ("2001\t1\t31\t24\t-9999\t372\r\n", monthly_);
  EXPECT_EQ(std::string(31, '.') + "1/2001\r\n", console_);
  // The incomplete month still reaches the totals.
  EXPECT_EQ("743\t372", totals_);
}

// The records end after the 15th of March: its days are written, but the
// running month never reaches the totals.
TEST_F(RecordLoopTest, DailyDataFillsDaysAndMonths) {
  Run(Days(2001, 1, 1, 31, Each("1")) +
          Days(2001, 2, 1, 28, [](int d) { return std::to_string(d); }) +
          Days(2001, 3, 1, 15, Each("-5")),
      1);
  const std::vector<std::string> daily = Lines(daily_);
  ASSERT_EQ(74u, daily.size());
  EXPECT_EQ("2001\t1\t1\t24\t1", daily[0]);
  EXPECT_EQ("2001\t2\t28\t24\t28", daily[58]);
  EXPECT_EQ("2001\t3\t15\t24\t-5", daily[73]);
  EXPECT_EQ("2001\t1\t31\t24\t31\r\n2001\t2\t28\t24\t406\r\n", monthly_);
  EXPECT_EQ(std::string(31, '.') + "1/2001\r\n" + std::string(28, '.') +
                "2/2001\r\n" + std::string(15, '.'),
            console_);
  EXPECT_EQ("437", totals_);
}

TEST_F(RecordLoopTest, NonegDropsNegativeValuesButNotZeros) {
  const std::string record = "2001 1 1 24 -0.5 0.0 -0.0 -998.0 -997.5\r\n";
  // The same with LF, a line the record fast path reads.
  const std::string lf_record = "2001 1 1 24 -0.5 0.0 -0.0 -998.0 -997.5\n";
  const std::string hourly =
      Hours(2001, 1, 1, 1, 24, [](int h) { return h == 5 ? "-0.5" : "1"; });
  const struct {
    const char* name;
    std::string input;
    size_t columns;
    bool noneg;
    const char* values;
  } kCases[] = {{"daily noneg", record, 5, true, "-9999\t0\t0\t-9999\t-9999"},
                {"daily plain", record, 5, false, "-0.5\t0\t0\t-9999\t-997.5"},
                {"daily LF", lf_record, 5, false, "-0.5\t0\t0\t-9999\t-997.5"},
                {"hourly noneg", hourly, 1, true, "-9999"},
                {"hourly plain", hourly, 1, false, "22.5"}};
  for (const auto& c : kCases) {
    Run(c.input, c.columns, c.noneg);
    EXPECT_EQ("2001\t1\t1\t24\t" + std::string(c.values) + "\r\n", daily_)
        << "case " << c.name;
  }
}

TEST_F(RecordLoopTest, FebruaryLengthFollowsTheLeapYearRule) {
  const struct {
    int year;
    int last_day;
  } kCases[] = {{2000, 29}, {1900, 28}, {2004, 29}, {2001, 28},
                {-4, 29},   {-100, 28}, {-400, 29}, {-1, 28}};
  for (const auto& c : kCases) {
    Run(Days(c.year, 2, 1, 29, Each("1")), 1);
    const std::string day = std::to_string(c.last_day);
    EXPECT_EQ(std::to_string(c.year) + "\t2\t" + day + "\t24\t" + day + "\r\n",
              monthly_)
        << "case " << c.year;
    // Day 29 after a close on the 28th starts a month never closed.
    EXPECT_EQ(day, totals_) << "case " << c.year;
  }
}

// Regression: built for 32-bit x86 with the x87's arithmetic, daily values
// next to a six-digit tie came out on its wrong side, as reading the value
// or scaling it for the rendering rounded twice, first to the x87's 64-bit
// mantissa and then to double. Each expected text follows the nearest double
// to its input, on one side of the tie or the other.
TEST_F(RecordLoopTest, ValuesNextToASixDigitTieStayOnTheirSide) {
  const struct {
    const char* value;
    const char* daily;
  } kCases[] = {
      // 9.69499499999999992e-06: below the tie, the seventh digit a 4.
      {"9.694995e-06", "9.69499e-006"},
      // 5.86273500000000004e-15: above it, 17 digits end ...0004.
      {"5.862735e-15", "5.86274e-015"},
  };
  for (const auto& c : kCases) {
    Run(std::string("2001 1 1 24 ") + c.value + "\n", 1);
    EXPECT_EQ(std::string("2001\t1\t1\t24\t") + c.daily + "\r\n", daily_)
        << "value " << c.value;
  }
}

TEST_F(RecordLoopTest, EndOfInputDecidesWhatReachesTheTotals) {
  const LoopCase kCases[] = {
      {"after hour 12", Hours(2001, 1, 1, 1, 12, Each("2")), 1, "", "", "",
       "24"},
      {"after hour 12 of day 2",
       Record(2001, 1, 1, 24, "5") + Hours(2001, 1, 2, 1, 12, Each("2")), 1,
       "2001\t1\t1\t24\t5\r\n", "", ".", "29"},
      {"after an hour 24", "2001 1 1 24 5\n2001 1 2 24 6\n", 1,
       "2001\t1\t1\t24\t5\r\n2001\t1\t2\t24\t6\r\n", "", "..", "0"},
      {"partial date after an hour 24", "2001 1 1 24 5\n2001 1 x\n", 1,
       "2001\t1\t1\t24\t5\r\n", "", ".", "0"},
      {"after an hour 25", "2001 1 1 1 5\n2001 1 1 25 7\n", 1, "", "", "", "0"},
      {"value fails on hour 24",
       Hours(2001, 1, 1, 1, 23, Each("1")) + "2001 1 1 24 x\r\n" +
           Record(2001, 1, 2, 24, "5"),
       1, "", "", "", "0"},
      {"value fails on hour 2",
       "2001 1 1 24 4\n2001 1 2 1 3\n2001 1 2 2 x\n2001 1 2 3 9\n", 1,
       "2001\t1\t1\t24\t4\r\n", "", ".", "7"},
      {"0x1A ends the records",
       "2001 1 1 1 5\r\n\x1a"
       "2001 1 1 2 6\r\n",
       1, "", "", "", "5"},
      {"text instead of records", "remark\n2001 1 1 24 5\n", 1, "", "", "",
       "0"},
      {"empty", "", 2, "", "", "", "0\t0"}};
  for (const LoopCase& c : kCases) Check(c);
}

TEST_F(RecordLoopTest, MonthsCloseOnlyOnTheirLastDay) {
  const LoopCase kCases[] = {
      // January is never closed; February's line carries both months.
      {"month missing its last day", "2001 1 30 24 1\r\n2001 2 28 24 2\r\n", 1,
       "2001\t1\t30\t24\t1\r\n2001\t2\t28\t24\t2\r\n",
       "2001\t2\t28\t24\t-9999\r\n", "..2/2001\r\n", "3"},
      // Month 0 has 0 days, so each of its day 0 records closes a month.
      {"month 0 day 0", "2001 0 0 24 4\n2001 0 0 24 5\n", 1,
       "2001\t0\t0\t24\t4\r\n2001\t0\t0\t24\t5\r\n",
       "2001\t0\t0\t24\t-9999\r\n2001\t0\t0\t24\t-9999\r\n",
       ".0/2001\r\n.0/2001\r\n", "9"},
      // A month outside 0 to 12 never closes, whatever its day.
      {"months outside the calendar",
       "2001 13 31 24 4\n2001 13 -1 24 5\n2001 -1 -1 24 6\n2001 1 31 24 7\n", 1,
       "2001\t13\t31\t24\t4\r\n2001\t13\t-1\t24\t5\r\n"
       "2001\t-1\t-1\t24\t6\r\n2001\t1\t31\t24\t7\r\n",
       "2001\t1\t31\t24\t-9999\r\n", "....1/2001\r\n", "22"}};
  for (const LoopCase& c : kCases) Check(c);
}

TEST_F(RecordLoopTest, RecordsAreReadScanByScan) {
  const LoopCase kCases[] = {
      {"zero columns", "2001 1 1 24 5\n2001 1 31 24\n", 0,
       "2001\t1\t1\t24\r\n2001\t1\t31\t24\r\n", "2001\t1\t31\t24\r\n",
       "..1/2001\r\n", ""},
      {"surplus values skipped", "2001 1 1 24 3 4 5\n2001 1 2 24 6\n", 1,
       "2001\t1\t1\t24\t3\r\n2001\t1\t2\t24\t6\r\n", "", "..", "0"},
      // The second value is the next line's year; the rest of it is lost.
      {"too few values", "2001 1 1 24 3\n2001 1 2 24 7 8\n2001 1 3 24 1 2\n", 2,
       "2001\t1\t1\t24\t3\t2001\r\n2001\t1\t3\t24\t1\t2\r\n", "", "..", "0\t0"},
      {"fields across lines", "2001 1\r\n1\r\n24 3\r\n\r\n4\r\n", 2,
       "2001\t1\t1\t24\t3\t4\r\n", "", ".", "0\t0"},
      // "+-3": the "+" fails column 2, and column 3 still scans the "-3".
      {"failed value", "2001 1 1 5 1 +-3 4\n2001 1 1 6 9 9 9\n", 3, "", "", "",
       "1\t0\t-3"}};
  for (const LoopCase& c : kCases) Check(c);
}

TEST(CalendarTest, YearDaysCountTheFebruaryOfTheTwelveMonths) {
  const struct {
    int32_t year;
    int32_t last_month;
    int32_t days;
  } kCases[] = {{2004, 12, 366},    {2005, 12, 365}, {1900, 12, 365},
                {2000, 12, 366},    {2005, 1, 366},  {2004, 1, 365},
                {2004, 2, 366},     {2004, 9, 366},  {2005, 9, 365},
                {INT32_MIN, 1, 365}};
  for (const auto& c : kCases) {
    EXPECT_EQ(c.days, YearDays(c.year, c.last_month))
        << "case " << c.year << "/" << c.last_month;
  }
}

// What a column shows for one day of 24 hourly values, by statistic and step.
TEST_F(RecordLoopTest, StatisticsFollowTheCompletenessTest) {
  // Hours 1 to 24 hold 3, -0, 0, 5, 5, 1, then 1 to the end; hour 2 and 3 are
  // -0 and 0, so a minimum keeps the first met.
  const Values day = [](int h) {
    static const char* const kFirst[] = {"3", "-0", "0", "5", "5"};
    return std::string(h <= 5 ? kFirst[h - 1] : "1");
  };
  const struct {
    const char* name;
    std::string input;
    Statistic statistic;
    Step step;
    const char* daily;
    const char* total;
  } kCases[] = {
      {"sum", Hours(2001, 1, 1, 1, 24, day), Statistic::kSum, Step::kEither,
       "32", "0"},
      {"mean", Hours(2001, 1, 1, 1, 24, day), Statistic::kMean, Step::kEither,
       "1.33333", "-9999"},
      {"min keeps -0 before 0", Hours(2001, 1, 1, 1, 24, day), Statistic::kMin,
       Step::kEither, "-0", "-9999"},
      {"max", Hours(2001, 1, 1, 1, 24, day), Statistic::kMax, Step::kEither,
       "5", "-9999"},
      {"hourly step", Hours(2001, 1, 1, 1, 24, day), Statistic::kSum,
       Step::kHourly, "32", "0"},
      {"daily step refuses 24 values", Hours(2001, 1, 1, 1, 24, day),
       Statistic::kMax, Step::kDaily, "-9999", "-9999"},
      {"hourly step refuses one value", Record(2001, 1, 1, 24, "7"),
       Statistic::kMean, Step::kHourly, "-9999", "-9999"},
      {"daily step", Record(2001, 1, 1, 24, "7"), Statistic::kMin, Step::kDaily,
       "7", "-9999"},
      // A day of nothing valid: its count of 0 is complete for no step.
      {"nothing valid", Record(2001, 1, 1, 24, "-999"), Statistic::kMean,
       Step::kEither, "-9999", "-9999"},
      {"nothing valid sums to 0", Record(2001, 1, 1, 24, "-999"),
       Statistic::kSum, Step::kEither, "-9999", "0"},
      // A day closed at hour 24 reaches the total only with its month (so
      // the totals above show nothing carried); a day the input ends inside
      // reaches it at once.
      {"unfinished day", Hours(2001, 1, 1, 1, 3, day), Statistic::kMin,
       Step::kEither, "", "-0"}};
  for (const auto& c : kCases) {
    LoopSettings settings;
    settings.step = c.step;
    settings.statistics = {c.statistic};
    Run(c.input, 1, settings);
    const std::string line =
        c.daily[0] == '\0' ? ""
                           : "2001\t1\t1\t24\t" + std::string(c.daily) + "\r\n";
    EXPECT_EQ(line, daily_) << "case " << c.name;
    EXPECT_EQ(c.total, totals_) << "case " << c.name;
  }
}

// A month of 30 daily values 1 to 30 after a January of ones: the month
// shows the statistic of what its days carried, -9999 when a column is
// incomplete, and a minimum or maximum met in an incomplete day still
// counts.
TEST_F(RecordLoopTest, MonthsCarryExtremesAndCounts) {
  std::string input = Days(2001, 1, 1, 31, Each("1 1 1"));
  input += Days(2001, 2, 1, 28, [](int d) {
    return std::to_string(d) + " " + (d == 9 ? "-999" : std::to_string(-d)) +
           " " + std::to_string(d);
  });
  LoopSettings settings;
  settings.statistics = {Statistic::kMax, Statistic::kMin, Statistic::kMean};
  Run(input, 3, settings);
  EXPECT_EQ(
      "2001\t1\t31\t24\t1\t1\t1\r\n"
      "2001\t2\t28\t24\t28\t-9999\t14.5\r\n",
      monthly_);
  // Totals: max 28, min -28, mean (31 + 406) / 59.
  EXPECT_EQ("28\t-28\t7.40678", totals_);
}

// Years of --yearly=MONTH close at the month before MONTH (December for 1),
// are complete at 365 or 366 days (or 24 times that), and hold the months
// closed since the last year's close.
TEST_F(RecordLoopTest, YearsCloseWithTheirLastMonth) {
  // Daily ones from `from` (year, month) for `months` months.
  const auto daily_months = [](int year, int month, int months) {
    std::string text;
    for (int i = 0; i < months; ++i, ++month) {
      if (month > 12) {
        month = 1;
        ++year;
      }
      text += Days(year, month, 1, DaysInMonth(year, month), Each("1"));
    }
    return text;
  };
  const struct {
    const char* name;
    std::string input;
    int32_t start;
    const char* yearly;
  } kCases[] = {{"calendar year", daily_months(2003, 1, 24), 1,
                 "2003\t12\t31\t24\t365\r\n2004\t12\t31\t24\t366\r\n"},
                {"water year", daily_months(2003, 10, 13), 10,
                 "2004\t9\t30\t24\t366\r\n"},
                // February 2004 lies in the year that closes in January 2005.
                {"February start", daily_months(2004, 2, 12), 2,
                 "2005\t1\t31\t24\t366\r\n"},
                // Begun in March, the first year holds ten months: incomplete.
                {"partial first year", daily_months(2003, 3, 22), 1,
                 "2003\t12\t31\t24\t-9999\r\n2004\t12\t31\t24\t366\r\n"},
                {"never closes", daily_months(2003, 1, 11), 1, ""},
                // One day missing: the year's count falls one short.
                {"a day missing",
                 Days(2003, 1, 1, 30, Each("1")) + daily_months(2003, 2, 11), 1,
                 "2003\t12\t31\t24\t-9999\r\n"}};
  for (const auto& c : kCases) {
    LoopSettings settings;
    settings.yearly_start = c.start;
    Run(c.input, 1, settings);
    EXPECT_EQ(c.yearly, yearly_) << "case " << c.name;
  }
}

TEST_F(RecordLoopTest, YearsFollowTheStepAndTheStatistic) {
  std::string input;
  for (int month = 1; month <= 12; ++month) {
    for (int day = 1; day <= DaysInMonth(2001, month); ++day) {
      input += Hours(2001, month, day, 1, 24,
                     [](int h) { return h == 1 ? "0.5 -3" : "1 2"; });
    }
  }
  const struct {
    Step step;
    Statistic statistic;
    const char* yearly;
  } kCases[] = {// 365 x (23 + 0.5) and 365 x (23 x 2 - 3).
                {Step::kEither, Statistic::kSum, "8577.5\t15695"},
                {Step::kHourly, Statistic::kMin, "0.5\t-3"},
                {Step::kDaily, Statistic::kSum, "-9999\t-9999"}};
  for (const auto& c : kCases) {
    LoopSettings settings;
    settings.yearly_start = 1;
    settings.step = c.step;
    settings.statistics = {c.statistic, c.statistic};
    Run(input, 2, settings);
    EXPECT_EQ(std::string("2001\t12\t31\t24\t") + c.yearly + "\r\n", yearly_);
  }
}

// Fields matching --missing are dropped and counted; a word that is no item
// still stops the records. Words are matched wherever the input's blocks
// end.
TEST_F(RecordLoopTest, MissingItemsAreDroppedAndCounted) {
  const std::string input =
      "2001 1 1 24 1 NA -99.00\n"
      "2001 1 2 24 NA 1.#QNAN -9.9e1\n"
      "2001 1 3 24 2 3 -99\n"
      "2001 1 4 12 5\n NA 6\n"
      "2001 1 4 24 NAN 3 4\n";
  LoopSettings settings;
  settings.missing = {"NA", "-99", "1.#QNAN"};
  for (const size_t block : {size_t{10}, size_t{11}, size_t{13}, size_t{64}}) {
    const LoopResult r = RunLoop(RecordPath::kOff, input, 3, settings, block);
    EXPECT_EQ(
        "2001\t1\t1\t24\t1\t-9999\t-9999\r\n"
        "2001\t1\t2\t24\t-9999\t-9999\t-9999\r\n"
        "2001\t1\t3\t24\t2\t3\t-9999\r\n",
        r.daily)
        << "block " << block;
    EXPECT_EQ(7u, r.end.missing) << "block " << block;
    EXPECT_TRUE(r.end.at_text) << "block " << block;
    // The NA of the hour-12 record begins on the next line.
    EXPECT_TRUE(r.end.short_record) << "block " << block;
  }
  Run(input, 3, settings);  // the fast paths agree
  EXPECT_EQ(7u, end_.missing);
}

// Random records, most of them in the fast path's form and the rest with the
// tokens, blanks and line ends that only the exact scans read; hourly, or
// daily (every record at hour 24) when `seed` is even.
std::string RandomRecords(uint64_t seed, size_t lines, size_t columns) {
  const bool daily = seed % 2 == 0;
  std::mt19937_64 rng(seed);
  const auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
  const auto digits = [&pick](size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text += static_cast<char>('0' + pick(10));
    return text;
  };
  // Tokens that the number scan reads in its own way; a token it cannot read
  // at all would end the run, so only the last record may have one.
  static const char* const kOdd[] = {"1e3",
                                     "1.",
                                     ".5",
                                     "1.2.3",
                                     "\r",
                                     "\v",
                                     "\f",
                                     "-0",
                                     "+0.0",
                                     "1E-2",
                                     "1e+",
                                     "-.5",
                                     "9007199254740993",
                                     "123456789012345678901",
                                     "0.00000000000000000000001"};
  static const char* const kBlanks[] = {" ", "\t", "  ", " \t", "\t\t"};
  std::string text;
  int32_t year = 1999, month = 12, day = 31, hour = 0;
  for (size_t line = 0; line < lines; ++line) {
    if (daily || ++hour > kHoursPerDay) {
      hour = daily ? kHoursPerDay : 1;
      if (++day > DaysInMonth(year, month)) {
        day = 1;
        if (++month > 12) {
          month = 1;
          ++year;
        }
      }
    }
    std::vector<std::string> fields = {
        std::to_string(year), std::to_string(month), std::to_string(day),
        (pick(30) == 0 ? "0" : "") + std::to_string(hour)};
    for (size_t c = 0; c < columns; ++c) {
      const size_t r = pick(100);
      if (r < 40) {
        fields.push_back("0");
      } else if (r < 44) {
        fields.push_back("-9999");
      } else if (r < 46) {
        fields.push_back(kOdd[pick(std::size(kOdd))]);
      } else if (r < 49) {
        // 14 to 20 digits, sometimes with a point: around the limits of the
        // fast conversion and of the exact double.
        std::string long_digits = digits(14 + pick(7));
        if (pick(2) == 0) long_digits.insert(1 + pick(12), ".");
        fields.push_back(long_digits);
      } else {
        std::string value = (r < 55   ? "-"
                             : r < 57 ? "+"
                                      : "") +
                            std::to_string(pick(r < 70 ? 10 : 100000));
        if (pick(3) != 0) value += "." + digits(1 + pick(6));
        fields.push_back(value);
      }
    }
    if (line + 1 == lines) fields.push_back("x");
    const size_t shape = pick(100);
    if (shape == 0) fields.pop_back();
    if (shape == 1) fields.push_back("7");
    if (shape == 2) fields.clear();
    if (shape == 3) text += std::string(kMaxFastLine, ' ');
    if (pick(4) == 0) text += kBlanks[pick(std::size(kBlanks))];
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) text += kBlanks[pick(std::size(kBlanks))];
      text += fields[i];
    }
    if (pick(4) == 0) text += kBlanks[pick(std::size(kBlanks))];
    text += pick(10) == 0 ? "\r\n" : "\n";
  }
  return text;
}

// Every fast path gives what the exact scans alone give, whatever the
// records and wherever the input's blocks end.
TEST(RecordPathsTest, GiveTheExactScansResultsOnRandomRecords) {
  const auto lines = static_cast<size_t>(SweepCases(100));
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    const size_t columns = static_cast<size_t>(3 * seed - 1);
    const std::string input = RandomRecords(seed, lines, columns);
    for (const bool noneg : {false, true}) {
      for (const size_t block : {size_t{61}, size_t{4096}, size_t{1} << 16}) {
        const std::string what = "seed " + std::to_string(seed) + " block " +
                                 std::to_string(block) +
                                 (noneg ? " noneg" : "");
        const LoopResult exact =
            RunLoop(RecordPath::kOff, input, columns, noneg, block);
        for (RecordPath path : FastPaths()) {
          const LoopResult fast = RunLoop(path, input, columns, noneg, block);
          ExpectSameRun(exact, fast, what + " path " + RecordPathName(path));
          if (block >= 4096) {
            EXPECT_GT(fast.stats.fast_records, lines / 2) << what;
          }
        }
      }
    }
  }
}

// A line that a block ends inside is still the fast path's: the rest of it
// is read in before the line is tried again. Blocks of 64 bytes split every
// third or fourth of these 19-byte lines.
TEST(RecordPathsTest, ReadLinesThatABlockEndsInside) {
  std::string input;
  for (int hour = 1; hour <= 24; ++hour) {
    input += "2000 1 1 " + std::to_string(100 + hour).substr(1) + " 1.5 2.5\n";
  }
  for (RecordPath path : FastPaths()) {
    const LoopResult r = RunLoop(path, input, 2, false, 64);
    EXPECT_EQ(r.stats.fast_records, 24u) << RecordPathName(path);
    EXPECT_EQ(r.stats.exact_records, 0u) << RecordPathName(path);
  }
}

}  // namespace
}  // namespace vostrel
