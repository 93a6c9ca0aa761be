// Tests of the command line: options, positions and the order of its faults.
#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vostrel {
namespace {

using Kind = ParsedCommandLine::Kind;

ParsedCommandLine Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "vostrel");
  return ParseCommandLine(args);
}

TEST(ParseCountTest, ReadsLeadingDecimalAndClamps) {
  const struct {
    const char* text;
    int32_t value;
  } kCases[] = {
      {"3", 3},
      {"  -12x", -12},
      {"\t\n+5", 5},
      {"auto", 0},
      {"", 0},
      {"- 3", 0},
      {"noneg", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999999", -2147483647 - 1},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.value, ParseCount(c.text)) << "text \"" << c.text << "\"";
  }
}

TEST(ParseCommandLineTest, PositionsKeepTheirMeaning) {
  const struct {
    std::vector<std::string> args;  // after the program name
    std::string input;
    int32_t header_rows;
    bool columns_given;
    int32_t data_columns;
    bool noneg;
  } kCases[] = {
      {{"in.dat"}, "in.dat", -1, false, 0, false},
      {{"in.dat", "-1"}, "in.dat", -1, false, 0, false},
      {{"in.dat", "auto"}, "in.dat", 0, false, 0, false},
      {{"in.dat", "3", "7"}, "in.dat", 3, true, 7, false},
      // Four positions: the column count is detected.
      {{"in.dat", "3", "7", "noneg"}, "in.dat", 3, false, 0, true},
      {{"in.dat", "noneg"}, "in.dat", 0, false, 0, true},
      {{"in.dat", "-1", "noneg"}, "in.dat", -1, true, 0, true},
      {{"in.dat", "-1", "0", "noneg"}, "in.dat", -1, false, 0, true},
      {{"noneg"}, "noneg", -1, false, 0, true},
      // Only the exact word counts, in any position.
      {{"in.dat", "2", "5", "x", "NONEG", "noneg "},
       "in.dat",
       2,
       false,
       0,
       false},
      // Positions are counted after the options and a "--" that ends them.
      {{"--quiet", "in.dat", "3", "7"}, "in.dat", 3, true, 7, false},
      {{"--", "--odd.out", "2"}, "--odd.out", 2, false, 0, false},
      {{"--strict", "--", "noneg"}, "noneg", -1, false, 0, true},
      {{"--out=x.out", "-"}, "-", -1, false, 0, false},
      {{"-x", "-h"}, "-x", 0, false, 0, false},
  };
  for (const auto& c : kCases) {
    const ParsedCommandLine parsed = Parse(c.args);
    const std::string row = c.args.back();
    ASSERT_EQ(Kind::kRun, parsed.kind) << row << parsed.message;
    const CommandLine& line = parsed.command_line;
    EXPECT_EQ(c.input, line.input) << row;
    EXPECT_EQ(c.header_rows, line.header_rows) << row;
    EXPECT_EQ(c.columns_given, line.columns_given) << row;
    EXPECT_EQ(c.data_columns, line.data_columns) << row;
    EXPECT_EQ(c.noneg, line.noneg) << row;
  }
}

TEST(ParseCommandLineTest, AnswersOrRefusesWithTheFirstFault) {
  const struct {
    std::vector<std::string> args;
    Kind kind;
    std::string message;
  } kCases[] = {
      {{}, Kind::kUsageError, ""},
      {{"--quiet"}, Kind::kUsageError, ""},
      {{"--quiet", "--"}, Kind::kUsageError, ""},
      {{"-h"}, Kind::kHelp, ""},
      // Help and version come first, help before version.
      {{"--bogus", "--version", "--help"}, Kind::kHelp, ""},
      {{"--version", "--yearly=13"}, Kind::kVersion, ""},
      {{"--version", "--", "--help"}, Kind::kVersion, ""},
      {{"--help=x", "in"}, Kind::kUsageError, "bad option --help=x\n"},
      // Options from left to right, before the positions.
      {{"--Quiet", "--yearly=0"},
       Kind::kUsageError,
       "unknown option --Quiet\n"},
      {{"--yearly=0", "--Quiet"}, Kind::kUsageError, "bad option --yearly=0\n"},
      {{"--qu", "in"}, Kind::kUsageError, "unknown option --qu\n"},
      {{"--=1", "in"}, Kind::kUsageError, "unknown option --=1\n"},
      {{"--quiet", "--quiet", "in"}, Kind::kUsageError, "bad option --quiet\n"},
      {{"--yearly", "--yearly=2", "in"},
       Kind::kUsageError,
       "bad option --yearly=2\n"},
      // Then a missing results file, then a later position that looks like
      // an option, then standard input without --out.
      {{"--out=-"}, Kind::kUsageError, ""},
      {{"in", "2", "--strict", "--x"},
       Kind::kUsageError,
       "options go before the results file: --strict\n"},
      {{"-", "--"},
       Kind::kUsageError,
       "options go before the results file: --\n"},
      {{"-"}, Kind::kUsageError, "reading standard input needs --out=NAME\n"},
      {{"--", "-", "noneg"},
       Kind::kUsageError,
       "reading standard input needs --out=NAME\n"},
      {{"in", "-h"}, Kind::kRun, ""},
  };
  for (const auto& c : kCases) {
    const ParsedCommandLine parsed = Parse(c.args);
    const std::string row = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(c.kind, parsed.kind) << row;
    EXPECT_EQ(c.message, parsed.message) << row;
  }
}

TEST(ParseCommandLineTest, ReadsEachOptionsValue) {
  const struct {
    std::string arg;
    bool good;
  } kCases[] = {
      {"--quiet", true},
      {"--quiet=", false},
      {"--csv=x", false},
      {"--out=a.out", true},
      {"--out=", false},
      {"--out", false},
      {"--summary=s.json", true},
      {"--summary=", false},
      {"--step=hourly", true},
      {"--step=daily", true},
      {"--step=Hourly", false},
      {"--step", false},
      {"--yearly", true},
      {"--yearly=12", true},
      {"--yearly=010", true},
      {"--yearly=", false},
      {"--yearly=0", false},
      {"--yearly=13", false},
      {"--yearly=+1", false},
      {"--mean=all", true},
      {"--mean=1,1-3", true},
      {"--min=0", false},
      {"--max=3-2", false},
      {"--max=1-", false},
      {"--max=1,", false},
      {"--max=,1", false},
      {"--mean=2147483647", true},
      {"--mean=2147483648", false},
      {"--mean=ALL", false},
      {"--mean=1 ", false},
      {"--missing=NA,-99,1.#QNAN", true},
      {"--missing=", false},
      {"--missing=NA,,x", false},
      {"--missing=N A", false},
      {"--missing", false},
  };
  for (const auto& c : kCases) {
    const ParsedCommandLine parsed = Parse({c.arg, "in"});
    EXPECT_EQ(c.good, parsed.kind == Kind::kRun) << c.arg;
    EXPECT_EQ(c.good ? "" : "bad option " + c.arg + "\n", parsed.message);
  }
}

TEST(ParseCommandLineTest, KeepsTheValuesRead) {
  const ParsedCommandLine parsed = Parse(
      {"--quiet", "--out=o.x", "--summary=s=1", "--step=daily", "--yearly=010",
       "--mean=4-5,2", "--max=3", "--csv", "--missing=NA,-99", "in"});
  ASSERT_EQ(Kind::kRun, parsed.kind);
  const Options& o = parsed.command_line.options;
  EXPECT_TRUE(o.quiet);
  EXPECT_FALSE(o.strict);
  EXPECT_EQ("o.x", o.out);
  EXPECT_EQ("s=1", o.summary);  // split at the first "=" only
  EXPECT_EQ(Step::kDaily, o.step);
  EXPECT_EQ(10, o.yearly_start);
  EXPECT_TRUE(o.csv);
  EXPECT_EQ((std::vector<std::string>{"NA", "-99"}), o.missing);
  for (int32_t column = 1; column <= 6; ++column) {
    EXPECT_EQ(column == 2 || column == 4 || column == 5,
              InRanges(o.mean, column))
        << column;
    EXPECT_EQ(column == 3, InRanges(o.max, column)) << column;
    EXPECT_FALSE(InRanges(o.min, column)) << column;
  }
  EXPECT_EQ(0, Parse({"in"}).command_line.options.yearly_start);
  EXPECT_EQ(1, Parse({"--yearly", "in"}).command_line.options.yearly_start);
}

TEST(ParseCommandLineTest, AColumnBelongsToOneStatistic) {
  const struct {
    std::vector<std::string> args;
    std::string refused;  // empty: accepted
  } kCases[] = {
      {{"--mean=1-3", "--min=4", "--max=5-9"}, ""},
      {{"--mean=1-3", "--min=3-4"}, "--min=3-4"},
      {{"--max=7", "--mean=1,2,5-9"}, "--mean=1,2,5-9"},
      {{"--min=2147483647", "--max=all"}, "--max=all"},
      {{"--mean=all", "--min=1", "--max=5"}, "--min=1"},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args = c.args;
    args.push_back("in");
    const ParsedCommandLine parsed = Parse(args);
    EXPECT_EQ(c.refused.empty() ? "" : "bad option " + c.refused + "\n",
              parsed.message)
        << c.args[1];
  }
}

// The "no column" error names the first item beyond the count in the order
// typed, and the smallest number of that item above the count.
TEST(FirstColumnBeyondTest, NamesTheFirstItemTypedBeyondTheCount) {
  const struct {
    std::vector<std::string> args;
    int32_t columns;
    int32_t beyond;
  } kCases[] = {{{"--mean=2-6", "r"}, 3, 4},
                {{"--mean=1,3", "r"}, 3, 0},
                {{"--max=9", "--mean=5", "r"}, 3, 9},
                {{"--mean=5", "--max=9", "r"}, 3, 5},
                {{"--min=8,1-2147483647", "r"}, 3, 8},
                {{"--min=all", "r"}, 3, 0},
                {{"--min=all", "r"}, 0, 0},
                {{"--min=1", "r"}, -2, 1},
                {{"--quiet", "--max=2", "--", "r"}, 1, 2}};
  for (const auto& c : kCases) {
    const ParsedCommandLine parsed = Parse(c.args);
    ASSERT_EQ(Kind::kRun, parsed.kind) << c.args[0];
    EXPECT_EQ(c.beyond, FirstColumnBeyond(parsed.command_line, c.columns))
        << c.args[0] << " on " << c.columns;
  }
}

}  // namespace
}  // namespace vostrel
