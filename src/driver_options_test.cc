// Tests of whole runs with options, over files in memory: the notes and
// --strict, --quiet, --out, standard input, the refusals and the summary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace vostrel {
namespace {

using OptionRunTest = MemoryRunTest;

// Two days of two columns; the second day leaves February open.
constexpr char kTwoDays[] =
    "title\n"
    "2001 1 31 24 5 -2\n"
    "2001 2 1 24 7 3\n";

std::string Note(const std::string& text) { return "\r\n" + text + "\r\n"; }

TEST_F(OptionRunTest, NotesTellWhatWasNotSummedAndStrictFailsOnThem) {
  const struct {
    const char* name;
    std::string input;
    std::vector<std::string> args;  // before the results file
    int status;
    std::string console;  // quiet: the notes alone
  } kCases[] = {
      {"a whole file", kTwoDays, {"--strict"}, 0, ""},
      {"hours 0 to 23",
       "h\n2001 1 1 0 1\n2001 1 1 23 2\n",
       {},
       0,
       Note("no day was closed: days close at hour 24")},
      {"hours 0 to 23, strict",
       "h\n2001 1 1 0 1\n2001 1 1 23 2\n",
       {"--strict"},
       3,
       Note("no day was closed: days close at hour 24") +
           Note("the input ended inside a day at line 3")},
      {"text midway",
       "h\n2001 1 1 24 1\n2001 1 2 24 NA\n2001 1 3 24 3\n",
       {"--strict"},
       3,
       Note("stopped reading at line 3: \"NA\" is not a number")},
      {"no data columns",
       "h\n2001 1 1 24 \n",
       {"--strict"},
       3,
       Note("the file has no data columns")},
      // The second record takes its second value from the next line.
      {"a short record",
       "h\n2001 1 1 24 1 2\n2001 1 2 24 3\n4\n",
       {"--strict"},
       3,
       Note("line 3 has fewer than 2 values")},
      // Leading blanks: the hour is counted as a column, so every record
      // takes the next line's year.
      {"a fixed-width file with leading blanks",
       "h\n 2001 1 1 24 1\n 2001 1 2 24 2\n",
       {"--strict"},
       3,
       Note("line 2 has fewer than 2 values")},
      {"cut inside a record",
       "h\n2001 1 1 24 1 2\n2001 1 2 24 3",
       {"--strict"},
       3,
       Note("line 3 has fewer than 2 values")},
      {"cut inside a day",
       "h\n2001 1 1 24 1\n2001 1 2 1 1\n",
       {"--strict"},
       3,
       Note("the input ended inside a day at line 3")},
  };
  for (const auto& c : kCases) {
    WriteFile("in.dat", c.input);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--quiet");
    args.push_back("in.dat");
    EXPECT_EQ(c.status, Run(args)) << c.name;
    EXPECT_EQ(c.console, console_) << c.name;
  }
  // A header-row count past the end of the file leaves no record.
  WriteFile("in.dat", kTwoDays);
  EXPECT_EQ(3, Run({"--quiet", "--strict", "in.dat", "9"}));
  EXPECT_EQ(Note("no record was read"), console_);
}

TEST_F(OptionRunTest, QuietShowsTheBannerOnlyBeforeAFailure) {
  WriteFile("in.dat", kTwoDays);
  EXPECT_EQ(0, Run({"--quiet", "in.dat"}));
  EXPECT_EQ("", console_);
  EXPECT_EQ(2, Run({"--quiet", "missing.dat"}));
  EXPECT_EQ(std::string(kBannerText) + "error opening missing.dat\r\n",
            console_);
  EXPECT_EQ(1, Run({"--quiet", "--yearly=13", "in.dat"}));
  EXPECT_EQ(
      std::string(kBannerText) + "bad option --yearly=13\r\n" + kUsageText,
      console_);
}

TEST_F(OptionRunTest, OutNamesTheOutputsAndTheHeaderQuotesTheInput) {
  WriteFile("run1", kTwoDays);
  EXPECT_EQ(0, Run({"--out=res/x.out", "run1", "1", "2"}));
  // The base name shown is the output's.
  EXPECT_EQ(
      std::string(kBannerText) + "2 columns res/x\r\n.1/2001\r\n." + kReadyText,
      console_);
  EXPECT_EQ(
      "daily sums from run1.$$$ : title\r\n"
      "2001\t1\t31\t24\t5\t-2\r\n2001\t2\t1\t24\t7\t3\r\n"
      "0\t0\t0\t0\t5\t-2\r\n",  // February never closed
      ReadFile("res/x.tut"));
  EXPECT_TRUE(Exists("res/x.mut"));
  EXPECT_FALSE(Exists("run1.t$$"));
}

TEST_F(OptionRunTest, StandardInputGivesTheFilesOfTheFile) {
  WriteFile("in.dat", kTwoDays);
  files_.SetStandardInput(kTwoDays);
  files_.set_block_size(5);
  ASSERT_EQ(0, Run({"in.dat"}));
  const std::string console = console_;
  ASSERT_EQ(0, Run({"--out=in2.dat", "-"}));
  EXPECT_EQ(console, console_);
  for (const char* level : {"daily", "monthly"}) {
    const std::string file = level[0] == 'd' ? ".tat" : ".mat";
    std::string expected = ReadFile("in" + file);
    const std::string quoted = " sums from in.dat : ";
    expected.replace(expected.find(quoted), quoted.size(), " sums from - : ");
    EXPECT_EQ(expected, ReadFile("in2" + file)) << level;
  }
}

TEST_F(OptionRunTest, RefusesOutputsThatMeetBeforeEmptyingAny) {
  const struct {
    std::vector<std::string> args;
    std::string console;  // after the banner
  } kCases[] = {
      {{"--summary=in.tat", "in.dat"},
       "refusing to overwrite the daily file with in.tat\r\n"},
      {{"--summary=in.dat", "in.dat"},
       "refusing to overwrite the results file with in.dat\r\n"},
      {{"--out=in.dat", "in.tat"},
       "refusing to overwrite the results file with in.tat\r\n"},
      {{"--out=o.dat", "--summary=o.mat", "-"},
       "refusing to overwrite the monthly file with o.mat\r\n"},
      {{"--out=std.dat", "-"},
       "refusing to overwrite the results file with std.tat\r\n"},
      {{"--summary=locked.json", "in.dat"}, "error opening locked.json\r\n"},
  };
  for (const auto& c : kCases) {
    files_ = MemoryFileSystem();
    WriteFile("in.dat", kTwoDays);
    WriteFile("in.tat", "old daily");
    WriteFile("locked.json", "old");
    files_.FailCreate("locked.json");
    files_.SetStandardInput(kTwoDays);
    files_.AddLink("std.tat", MemoryFileSystem::kStandardInput);
    EXPECT_EQ(2, Run(c.args)) << c.console;
    EXPECT_EQ(kBannerText + c.console, console_);
    EXPECT_EQ("old daily", ReadFile("in.tat")) << c.console;
    EXPECT_FALSE(Exists("in.mat")) << c.console;
  }
}

TEST_F(OptionRunTest, SummaryTellsWhatTheRunDid) {
  const std::string head =
      std::string("{\"version\":\"") + VOSTREL_VERSION + "\",\"status\":";
  WriteFile("in.dat", "title\n2001 1 31 24 5 -2\n2001 2 1 24 NA 3\n");
  EXPECT_EQ(0, Run({"--quiet", "--summary=s.json", "in.dat"}));
  EXPECT_EQ(
      head +
          "0,\"message\":null,\"input\":\"in.dat\",\"outputs\":{\"daily\":"
          "\"in.tat\",\"monthly\":\"in.mat\",\"yearly\":null,\"csv\":[]},"
          "\"header_rows\":1,\"columns\":2,\"records\":2,"
          "\"first\":[2001,1,31,24],\"last\":[2001,2,1,24],\"days\":1,"
          "\"months\":1,\"years\":0,\"incomplete_days\":[0,0],"
          "\"incomplete_months\":[1,1],\"incomplete_years\":[0,0],"
          "\"stopped\":{\"line\":3,\"text\":\"NA\"},\"no_day_closed\":false,"
          "\"short_record\":null,\"ended_inside_day\":false,\"missing\":0}"
          "\r\n",
      ReadFile("s.json"));

  // A failure after the summary was created still fills it.
  WriteFile("in.dat", "title only\n");
  EXPECT_EQ(1, Run({"--quiet", "--summary=s.json", "in.dat"}));
  EXPECT_EQ(
      head +
          "1,\"message\":\"no valid line found for analyzing the columns "
          "structure (first data line must begin with a number)\","
          "\"input\":\"in.dat\",\"outputs\":{\"daily\":\"in.tat\","
          "\"monthly\":\"in.mat\",\"yearly\":null,\"csv\":[]},"
          "\"header_rows\":null,\"columns\":null,\"records\":0,"
          "\"first\":null,\"last\":null,\"days\":0,\"months\":0,\"years\":0,"
          "\"incomplete_days\":[],\"incomplete_months\":[],"
          "\"incomplete_years\":[],\"stopped\":null,\"no_day_closed\":false,"
          "\"short_record\":null,\"ended_inside_day\":false,\"missing\":0}"
          "\r\n",
      ReadFile("s.json"));
}

}  // namespace
}  // namespace vostrel
