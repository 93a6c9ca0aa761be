// vostrel's run summary: one JSON object a run, for scripts that run many.
#ifndef VOSTREL_SUMMARY_H_
#define VOSTREL_SUMMARY_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vostrel {

// What a run did, as the summary tells it. Absent optionals are null.
struct RunSummary {
  int status = 0;
  std::optional<std::string> message;  // a failure's message, no line end
  std::string input;                   // the results file as typed
  std::string daily;
  std::string monthly;
  std::optional<std::string> yearly;
  std::vector<std::string> csv;  // daily, monthly, yearly, as made
  std::optional<int64_t> header_rows;
  std::optional<int64_t> columns;
  uint64_t records = 0;
  std::optional<std::array<int32_t, 4>> first;  // year, month, day, hour
  std::optional<std::array<int32_t, 4>> last;
  uint64_t days = 0;
  uint64_t months = 0;
  uint64_t years = 0;
  std::vector<uint64_t> incomplete_days;
  std::vector<uint64_t> incomplete_months;
  std::vector<uint64_t> incomplete_years;
  std::optional<int64_t> stopped_line;  // with stopped_text, or null
  std::string stopped_text;
  bool no_day_closed = false;
  std::optional<int64_t> short_record;  // the line of the first short record
  bool ended_inside_day = false;
  uint64_t missing = 0;
};

// Appends `bytes` as a JSON string: valid UTF-8 kept, each maximal invalid
// subsequence replaced by one U+FFFD, quotes, backslashes and control
// characters (C0, DEL and C1) escaped.
void AppendJsonString(std::string& out, std::string_view bytes);

// The summary as one JSON object on one line, ending in LF.
std::string SummaryJson(const RunSummary& summary);

}  // namespace vostrel

#endif  // VOSTREL_SUMMARY_H_
