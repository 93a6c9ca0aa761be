// vostrel's command line. The options are one table; each entry reads its
// value into Options and refuses a value outside its form.
#include "options.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "scan.h"

namespace vostrel {

namespace {

constexpr char kNoneg[] = "noneg";
constexpr int32_t kMaxColumnNumber = std::numeric_limits<int32_t>::max();

bool IsOption(const std::string& arg) { return arg.rfind("--", 0) == 0; }

// Decimal digits only, leading zeros allowed, at most `max`.
std::optional<int64_t> ParseDigits(std::string_view text, int64_t max) {
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > max) return std::nullopt;
  }
  return value;
}

// Splits `text` at every comma; empty items are kept, for the caller to
// refuse.
std::vector<std::string_view> SplitAtCommas(std::string_view text) {
  std::vector<std::string_view> items;
  for (;;) {
    const size_t comma = text.find(',');
    items.push_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    text.remove_prefix(comma + 1);
  }
}

// "all", or a comma list of column numbers and ranges "A-B" with A <= B.
std::optional<std::vector<ColumnRange>> ParseColumns(std::string_view text) {
  if (text == "all") return std::vector<ColumnRange>{{1, kMaxColumnNumber}};
  std::vector<ColumnRange> ranges;
  for (const std::string_view item : SplitAtCommas(text)) {
    const size_t dash = item.find('-');
    const auto first = ParseDigits(item.substr(0, dash), kMaxColumnNumber);
    const auto last =
        dash == std::string_view::npos
            ? first
            : ParseDigits(item.substr(dash + 1), kMaxColumnNumber);
    if (!first || !last || *first < 1 || *first > *last) return std::nullopt;
    ranges.push_back(
        {static_cast<int32_t>(*first), static_cast<int32_t>(*last)});
  }
  return ranges;
}

bool Overlap(const std::vector<ColumnRange>& a,
             const std::vector<ColumnRange>& b) {
  for (const ColumnRange& x : a) {
    for (const ColumnRange& y : b) {
      if (x.first <= y.last && y.first <= x.last) return true;
    }
  }
  return false;
}

// One statistic option: its list, which may name no column that another
// statistic option already names.
bool SetStatistic(std::optional<std::string_view> value,
                  std::vector<ColumnRange> Options::*list, Options& options) {
  if (!value) return false;
  auto ranges = ParseColumns(*value);
  if (!ranges) return false;
  for (auto other : {&Options::mean, &Options::min, &Options::max}) {
    if (other != list && Overlap(*ranges, options.*other)) return false;
  }
  options.*list = std::move(*ranges);
  return true;
}

bool SetFlag(std::optional<std::string_view> value, bool Options::*flag,
             Options& options) {
  if (value) return false;
  options.*flag = true;
  return true;
}

bool SetName(std::optional<std::string_view> value, std::string Options::*name,
             Options& options) {
  if (!value || value->empty()) return false;
  options.*name = std::string(*value);
  return true;
}

bool SetStep(std::optional<std::string_view> value, Options& options) {
  if (value == "hourly") {
    options.step = Step::kHourly;
  } else if (value == "daily") {
    options.step = Step::kDaily;
  } else {
    return false;
  }
  return true;
}

bool SetYearly(std::optional<std::string_view> value, Options& options) {
  const auto month =
      value ? ParseDigits(*value, 12) : std::optional<int64_t>(1);
  if (!month || *month < 1) return false;
  options.yearly_start = static_cast<int32_t>(*month);
  return true;
}

// Items are matched against whole fields, which white space and NUL end.
bool SetMissing(std::optional<std::string_view> value, Options& options) {
  if (!value) return false;
  std::vector<std::string> items;
  for (const std::string_view item : SplitAtCommas(*value)) {
    const bool blank = std::any_of(item.begin(), item.end(), [](char c) {
      return c == '\0' || IsScanSpace(c);
    });
    if (item.empty() || blank) return false;
    items.emplace_back(item);
  }
  options.missing = std::move(items);
  return true;
}

struct OptionEntry {
  std::string_view name;
  // Reads the value (absent without "="); false when it is bad.
  bool (*set)(std::optional<std::string_view> value, Options& options);
};

constexpr OptionEntry kOptionTable[] = {
    {"--quiet",
     [](auto v, Options& o) { return SetFlag(v, &Options::quiet, o); }},
    {"--strict",
     [](auto v, Options& o) { return SetFlag(v, &Options::strict, o); }},
    {"--out", [](auto v, Options& o) { return SetName(v, &Options::out, o); }},
    {"--summary",
     [](auto v, Options& o) { return SetName(v, &Options::summary, o); }},
    {"--step", SetStep},
    {"--yearly", SetYearly},
    {"--mean",
     [](auto v, Options& o) { return SetStatistic(v, &Options::mean, o); }},
    {"--min",
     [](auto v, Options& o) { return SetStatistic(v, &Options::min, o); }},
    {"--max",
     [](auto v, Options& o) { return SetStatistic(v, &Options::max, o); }},
    {"--csv", [](auto v, Options& o) { return SetFlag(v, &Options::csv, o); }},
    {"--missing", SetMissing},
    // Answered before any other option is read; here only a value is wrong.
    {"--help", [](auto, Options&) { return false; }},
    {"--version", [](auto, Options&) { return false; }},
};
constexpr size_t kOptionCount = std::size(kOptionTable);

ParsedCommandLine UsageError(std::string message) {
  ParsedCommandLine parsed;
  parsed.kind = ParsedCommandLine::Kind::kUsageError;
  parsed.message = std::move(message);
  return parsed;
}

}  // namespace

int32_t ParseCount(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate the magnitude, stopping once it is past any int32_t.
  constexpr int64_t kCap = int64_t{1} << 32;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(kCap, magnitude * 10 + (text[i] - '0'));
  }
  const int64_t value = negative ? -magnitude : magnitude;
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max()));
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  using Kind = ParsedCommandLine::Kind;
  ParsedCommandLine parsed;
  // "-h" is an answer only alone; elsewhere it is a name like any other.
  if (args.size() == 2 && args[1] == "-h") {
    parsed.kind = Kind::kHelp;
    return parsed;
  }
  if (args.size() < 2) return UsageError("");
  size_t first_position = 1;
  while (first_position < args.size() && IsOption(args[first_position]) &&
         args[first_position] != "--") {
    ++first_position;
  }
  const auto options_begin = args.begin() + 1;
  const auto options_end = args.begin() + static_cast<long>(first_position);
  if (std::find(options_begin, options_end, "--help") != options_end) {
    parsed.kind = Kind::kHelp;
    return parsed;
  }
  if (std::find(options_begin, options_end, "--version") != options_end) {
    parsed.kind = Kind::kVersion;
    return parsed;
  }

  CommandLine& line = parsed.command_line;
  bool seen[kOptionCount] = {};
  for (auto it = options_begin; it != options_end; ++it) {
    const std::string_view arg = *it;
    const size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    std::optional<std::string_view> value;
    if (equals != std::string_view::npos) value = arg.substr(equals + 1);
    const auto* const entry =
        std::find_if(std::begin(kOptionTable), std::end(kOptionTable),
                     [&](const OptionEntry& e) { return e.name == name; });
    if (entry == std::end(kOptionTable)) {
      return UsageError("unknown option " + *it + "\n");
    }
    bool& given = seen[entry - std::begin(kOptionTable)];
    if (given || !entry->set(value, line.options)) {
      return UsageError("bad option " + *it + "\n");
    }
    given = true;
  }

  // The "--" that ended the options is not a position.
  if (first_position < args.size() && args[first_position] == "--") {
    ++first_position;
  }
  if (first_position >= args.size()) return UsageError("");
  const std::vector<std::string> positions(
      args.begin() + static_cast<long>(first_position), args.end());
  for (size_t i = 1; i < positions.size(); ++i) {
    if (IsOption(positions[i])) {
      return UsageError("options go before the results file: " + positions[i] +
                        "\n");
    }
  }
  if (positions[0] == "-" && line.options.out.empty()) {
    return UsageError("reading standard input needs --out=NAME\n");
  }

  line.args = args;
  line.input = positions[0];
  if (positions.size() >= 2) line.header_rows = ParseCount(positions[1]);
  if (positions.size() == 3) {
    line.columns_given = true;
    line.data_columns = ParseCount(positions[2]);
  }
  line.noneg =
      std::find(positions.begin(), positions.end(), kNoneg) != positions.end();
  parsed.kind = Kind::kRun;
  return parsed;
}

bool InRanges(const std::vector<ColumnRange>& ranges, int32_t column) {
  return std::any_of(ranges.begin(), ranges.end(), [&](const ColumnRange& r) {
    return r.first <= column && column <= r.last;
  });
}

int32_t FirstColumnBeyond(const CommandLine& line, int32_t columns) {
  const int32_t count = std::max(columns, 0);
  const std::pair<std::string_view, const std::vector<ColumnRange>*>
      kStatistics[] = {{"--mean=", &line.options.mean},
                       {"--min=", &line.options.min},
                       {"--max=", &line.options.max}};
  // The options in the order typed; each is given at most once.
  for (size_t i = 1; i < line.args.size(); ++i) {
    const std::string& arg = line.args[i];
    if (!IsOption(arg) || arg == "--") break;
    for (const auto& [prefix, ranges] : kStatistics) {
      // "all" names the columns there are, however many.
      if (arg.rfind(prefix, 0) != 0 || arg.substr(prefix.size()) == "all") {
        continue;
      }
      for (const ColumnRange& r : *ranges) {
        if (r.last > count) return std::max(r.first, count + 1);
      }
    }
  }
  return 0;
}

}  // namespace vostrel
