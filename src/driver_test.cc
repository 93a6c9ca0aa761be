// Tests of the command line and of whole runs of the driver over files in
// memory, comparing the console and both output files byte for byte.
#include "driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file_system.h"
#include "memory_file_system.h"
#include "string_io.h"
#include "test_util.h"
#include "vostrel.h"

namespace vostrel {
namespace {

using RunTest = MemoryRunTest;

constexpr const char* kBanner = kBannerText;
constexpr const char* kReady = kReadyText;

// One header line and two daily records with two values each: the first
// closes January (incomplete: one day of 31), the second is a day of
// February, which the input then leaves open.
constexpr char kSmallInput[] =
    "title\n"
    "2001 1 31 24 5 -2\n"
    "2001 2 1 24 7 3\n";

TEST_F(RunTest, NoArgumentPrintsUsage) {
  EXPECT_EQ(1, Run({}));
  EXPECT_EQ(std::string(kBanner) + kUsageText, console_);
}

TEST_F(RunTest, DetectsHeaderRowsAndColumns) {
  WriteFile("in.dat", kSmallInput);
  EXPECT_EQ(0, Run({"in.dat"}));
  EXPECT_EQ(std::string(kBanner) + "2 columns \r\n.1/2001\r\n." + kReady,
            console_);
  EXPECT_EQ(
      "daily sums from in.dat : title\r\n"
      "2001\t1\t31\t24\t5\t-2\r\n"
      "2001\t2\t1\t24\t7\t3\r\n"
      "0\t0\t0\t0\t5\t-2\r\n",
      ReadFile("in.tat"));
  EXPECT_EQ(
      "monthly sums from in.dat : title\r\n"
      "2001\t1\t31\t24\t-9999\t-9999\r\n"
      "0\t0\t0\t0\t5\t-2\r\n",
      ReadFile("in.mat"));
  EXPECT_EQ(kSmallInput, ReadFile("in.dat"));
}

TEST_F(RunTest, PositionsKeepTheirMeaningAroundNoneg) {
  WriteFile("in.dat", kSmallInput);
  const struct {
    std::vector<std::string> args;
    const char* console;  // between banner and ready
    const char* daily;    // after the header block
  } kCases[] = {
      // Four arguments: the column count is detected; noneg drops -2.
      {{"in.dat", "1", "7", "noneg"},
       "2 columns \r\n.1/2001\r\n.",
       "2001\t1\t31\t24\t5\t-9999\r\n2001\t2\t1\t24\t7\t3\r\n"
       "0\t0\t0\t0\t5\t0\r\n"},
      // The word in position 3 of three is a column count of 0: the values
      // are read as date fields of nothing, lines hold dates only.
      {{"in.dat", "-1", "noneg"},
       "0 columns in\r\n.1/2001\r\n.",
       "2001\t1\t31\t24\r\n2001\t2\t1\t24\r\n0\t0\t0\t0\r\n"},
      // Three columns from the command line: the third value comes from the
      // next line, whose record is lost.
      {{"in.dat", "1", "3"},
       "3 columns in\r\n.1/2001\r\n",
       "2001\t1\t31\t24\t5\t-2\t2001\r\n0\t0\t0\t0\t5\t-2\t2001\r\n"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(0, Run(c.args)) << c.args.size() << " arguments";
    EXPECT_EQ(std::string(kBanner) + c.console + kReady, console_)
        << c.args.size() << " arguments, " << c.args.back();
    EXPECT_EQ(std::string("daily sums from in.dat : title\r\n") + c.daily,
              ReadFile("in.tat"))
        << c.args.size() << " arguments, " << c.args.back();
  }
}

TEST_F(RunTest, NonegInPositionTwoReadsTheHeaderAsRecords) {
  WriteFile("in.dat", kSmallInput);
  EXPECT_EQ(0, Run({"in.dat", "noneg"}));
  // The first record scan meets "title" and the loop ends at once.
  EXPECT_EQ(std::string(kBanner) +
                "0 head rows..\r\n\r\n2 columns \r\n"
                "\r\nstopped reading at line 1: \"title\" is not a number\r\n" +
                kReady,
            console_);
  EXPECT_EQ("0\t0\t0\t0\t0\t0\r\n", ReadFile("in.tat"));
  EXPECT_EQ("0\t0\t0\t0\t0\t0\r\n", ReadFile("in.mat"));
}

TEST_F(RunTest, NoDataLineLeavesEmptyOutputs) {
  WriteFile("in.dat", "only\nheader lines\n\n");
  EXPECT_EQ(1, Run({"in.dat", "2", "3"}));
  EXPECT_EQ(std::string(kBanner) + kNoDataLineText, console_);
  EXPECT_EQ("", ReadFile("in.tat"));
  EXPECT_EQ("", ReadFile("in.mat"));
}

// A line one character over the limit ends the run in the phase that meets
// it, with nothing of that line written and what was written before it kept.
// (A limit of 100 stands for 64 MiB here, with blocks much smaller than it
// as the real blocks are; the fault tests run the real limit.)
TEST_F(RunTest, LineOverTheLimitEndsTheRun) {
  constexpr uint64_t kLimit = 100;
  files_.set_max_line_length(kLimit);
  files_.set_block_size(8);
  const std::string too_long(kLimit - 12, ' ');
  const std::string daily_head = "daily sums from in.dat : title\r\n";
  const std::string monthly_head = "monthly sums from in.dat : title\r\n";
  const struct {
    const char* name;
    std::string input;  // the long line is "2001 1 31 24" and `too_long` + 1
    std::vector<std::string> args;
    const char* console;  // between the banner and the message
    int line;
    std::string daily;
    std::string monthly;
  } kCases[] = {
      {"first data line",
       "title\n2001 1 31 24" + too_long + "5\n",
       {"in.dat"},
       "",
       2,
       "",
       ""},
      // Three header rows asked for: the copy stops before the long line.
      {"header row",
       "title\n2001 1 30 24 5\n2001 1 31 24" + too_long + "6\n2001 2 1 24 7\n",
       {"in.dat", "3"},
       "1 columns \r\n",
       3,
       daily_head + "2001 1 30 24 5\r\n",
       monthly_head + "2001 1 30 24 5\r\n"},
      {"record closing a day",
       "title\n2001 1 30 24 5\n2001 1 31 24" + too_long + "6\n2001 2 1 24 7\n",
       {"in.dat"},
       "1 columns \r\n.",
       3,
       daily_head + "2001\t1\t30\t24\t5\r\n",
       monthly_head},
  };
  for (const auto& c : kCases) {
    WriteFile("in.dat", c.input);
    EXPECT_EQ(1, Run(c.args)) << c.name;
    EXPECT_EQ(std::string(kBanner) + c.console + "line " +
                  std::to_string(c.line) + " is longer than 64 MiB\r\n",
              console_)
        << c.name;
    EXPECT_EQ(c.daily, ReadFile("in.tat")) << c.name;
    EXPECT_EQ(c.monthly, ReadFile("in.mat")) << c.name;
  }
  // A header block cut short leaves the CSV files without their header row.
  EXPECT_EQ(1, Run({"--csv", "in.dat", "3"}));
  EXPECT_EQ("", ReadFile("in.tat.csv"));
}

TEST_F(RunTest, RefusesFilesItCannotOpenOrMustNotOverwrite) {
  WriteFile("run1.txt", kSmallInput);
  WriteFile("run1.mout", kSmallInput);
  files_.AddDirectory("adir");
  const struct {
    std::vector<std::string> args;
    int status;
    const char* message;
  } kCases[] = {
      {{"missing.out"}, 2, "error opening missing.out\r\n"},
      {{"adir"}, 2, "error opening adir\r\n"},
      {{"noneg"}, 2, "error opening noneg\r\n"},
      {{"run1.txt"},
       2,
       "refusing to overwrite the results file with run1.txt\r\n"},
      {{"run1.mout"},
       2,
       "refusing to overwrite the results file with run1.mout\r\n"},
      {{"run1.txt", "1", "1000001"},
       2,
       "refusing to overwrite the results file with run1.txt\r\n"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.status, Run(c.args)) << c.args[0];
    EXPECT_EQ(std::string(kBanner) + c.message, console_) << c.args[0];
  }
  // Nothing was created and the results files are untouched.
  EXPECT_FALSE(Exists("run1.mxt"));
  EXPECT_FALSE(Exists("run1.tout"));
  EXPECT_FALSE(Exists("missing.tut"));
  EXPECT_EQ(kSmallInput, ReadFile("run1.txt"));
  EXPECT_EQ(kSmallInput, ReadFile("run1.mout"));
}

// Regression: daily and monthly names linked to one file used to leave only
// the monthly lines in it, and the run reported success.
TEST_F(RunTest, RefusesOutputNamesOfOneFile) {
  WriteFile("in.dat", kSmallInput);
  WriteFile("in.tat", "old daily\n");
  files_.AddLink("in.mat", "in.tat");
  EXPECT_EQ(2, Run({"in.dat"}));
  EXPECT_EQ(std::string(kBanner) +
                "refusing to overwrite the daily file with in.mat\r\n",
            console_);
  EXPECT_EQ("old daily\n", ReadFile("in.tat"));
}

TEST_F(RunTest, RefusesAColumnCountItWillNotAllocate) {
  WriteFile("in.dat", kSmallInput);
  EXPECT_EQ(1, Run({"in.dat", "1", "1000001"}));
  EXPECT_EQ(std::string(kBanner) +
                "1000001 columns in\r\ntoo many data columns: 1000001\r\n",
            console_);
  EXPECT_EQ("", ReadFile("in.tat"));
  EXPECT_EQ("", ReadFile("in.mat"));
}

TEST_F(RunTest, OutputInAMissingDirectoryFailsToOpen) {
  files_.AddDirectory("dir.v2");
  WriteFile("dir.v2/run1", kSmallInput);
  files_.FailCreate("dir.t2/run1");
  EXPECT_EQ(2, Run({"dir.v2/run1"}));
  EXPECT_EQ(std::string(kBanner) + "error opening dir.t2/run1\r\n", console_);
}

// Regression: a daily name linked to a monthly file that did not exist yet
// passed the check before creating; the monthly file then emptied the daily
// one, and the run reported success.
TEST_F(RunTest, RefusesAnOutputLinkedToTheOtherOutputsMissingFile) {
  for (const auto& [link, target] :
       {std::pair{"in.tat", "in.mat"}, std::pair{"in.mat", "in.tat"}}) {
    files_ = MemoryFileSystem();
    WriteFile("in.dat", kSmallInput);
    files_.AddLink(link, target);
    EXPECT_EQ(2, Run({"in.dat"})) << link;
    EXPECT_EQ(std::string(kBanner) +
                  "refusing to overwrite the daily file with in.mat\r\n",
              console_)
        << link;
    EXPECT_EQ("", ReadFile(target)) << link;
  }
}

// Regression: text that is not a number ended the records silently, and a
// run that had read a few days of a long file reported plain success. The
// outputs stay as they were; the console says where reading stopped.
TEST_F(RunTest, SaysWhereTextStoppedTheRecords) {
  const std::string first = "title\n2001 1 1 24 5\n";
  const struct {
    const char* name;
    std::string rest;  // after the title and a first record of one value
    const char* stop;  // the console's new line; empty: none
  } kCases[] = {
      {"value", "2001 1 2 24 NA\n2001 1 3 24 6\n", "line 3: \"NA\""},
      {"date field", "2001 x 2 24 7\n", "line 3: \"x\""},
      {"comma-separated date", "2001,1,2,24,7\n", "line 3: \",1,2,24,7\""},
      {"after blank CR LF lines", "\r\n\r\nn/a 1 2 24 7\r\n",
       "line 5: \"n/a\""},
      {"a sign the scan took", "2001 1 2 24 ---\n", "line 3: \"---\""},
      {"cut to 40 bytes", "2001 1 2 24 " + std::string(50, 'a') + "\n",
       "line 3: \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\""},
      {"NUL byte", std::string("2001 1 2 24 \0x\n", 15), "line 3: \"\""},
      {"value on the next line", "2001 1 2 24\n\tNaN\n", "line 4: \"NaN\""},
      {"end of input inside a record", "2001 1 2", ""},
      {"lone sign at the end", "2001 1 2 24 -", ""},
  };
  for (const auto& c : kCases) {
    // Small reads put the stopping text behind several block boundaries.
    for (size_t block : {size_t{7}, size_t{1} << 16}) {
      files_ = MemoryFileSystem();
      files_.set_block_size(block);
      WriteFile("in.dat", first + c.rest);
      EXPECT_EQ(0, Run({"in.dat"})) << c.name;
      std::string stop;
      if (*c.stop != '\0') {
        stop = "\r\nstopped reading at line " + std::string(c.stop + 5) +
               " is not a number\r\n";
      }
      EXPECT_EQ(std::string(kBanner) + "1 columns \r\n." + stop + kReady,
                console_)
          << c.name << ", block " << block;
    }
  }
}

// Regression: with the monthly file locked by another program, the run
// failed only after it had emptied the daily file of the last good run.
TEST_F(RunTest, AnOutputThatCannotBeWrittenEmptiesNothing) {
  const struct {
    std::vector<std::string> locked;
    bool monthly_is_directory;
    const char* message;
  } kCases[] = {
      {{"in.mat"}, false, "error opening in.mat\r\n"},
      {{"in.tat"}, false, "error opening in.tat\r\n"},
      {{"in.tat", "in.mat"}, false, "error opening in.tat\r\n"},
      {{}, true, "error opening in.mat\r\n"},
  };
  for (const auto& c : kCases) {
    files_ = MemoryFileSystem();
    WriteFile("in.dat", kSmallInput);
    WriteFile("in.tat", "old daily\n");
    if (c.monthly_is_directory) {
      files_.AddDirectory("in.mat");
    } else {
      WriteFile("in.mat", "old monthly\n");
    }
    for (const std::string& name : c.locked) files_.FailCreate(name);
    EXPECT_EQ(2, Run({"in.dat"})) << c.message;
    EXPECT_EQ(std::string(kBanner) + c.message, console_);
    EXPECT_EQ("old daily\n", ReadFile("in.tat")) << c.message;
    if (!c.monthly_is_directory) {
      EXPECT_EQ("old monthly\n", ReadFile("in.mat")) << c.message;
    }
  }
}

TEST_F(RunTest, AnswersHelpAndVersion) {
  WriteFile("in.dat", kSmallInput);
  const std::string version =
      std::string("vostrel ") + VOSTREL_VERSION + "\r\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string console;  // after the banner
  } kCases[] = {
      {{"--help"}, 0, kUsageText},
      {{"-h"}, 0, kUsageText},
      {{"--version"}, 0, version},
      // Among the options they answer whatever follows; "-h" only alone.
      {{"--version", "2"}, 0, version},
      {{"-h", "noneg"}, 2, "error opening -h\r\n"},
      {{"in.dat", "1", "--help", "x"},
       1,
       "options go before the results file: --help\r\n" +
           std::string(kUsageText)},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.status, Run(c.args)) << c.args[0];
    EXPECT_EQ(kBanner + c.console, console_) << c.args[0];
  }
}

// A read or write that fails anywhere in the run ends it with status 2 and
// the name of the file; what was written before stays.
TEST_F(RunTest, ReadAndWriteErrorsEndTheRun) {
  const std::string daily_header = "daily sums from in.dat : title\r\n";
  const std::string daily_lines =
      "2001\t1\t31\t24\t5\t-2\r\n2001\t2\t1\t24\t7\t3\r\n";
  const std::string monthly_before_totals =
      "monthly sums from in.dat : title\r\n2001\t1\t31\t24\t-9999\t-9999\r\n";
  const struct {
    const char* name;
    void (*fault)(MemoryFileSystem&, size_t);
    size_t at;
    const char* console;  // after the banner
    std::string daily;
  } kCases[] = {
      // Eight-byte reads: the layout phase reads only the first 24 bytes,
      // the records then fail inside the third line.
      {"read error in the records",
       [](MemoryFileSystem& f, size_t n) { f.FailReadAfter("in.dat", n); }, 30,
       "2 columns \r\n.1/2001\r\nerror reading in.dat\r\n",
       daily_header + "2001\t1\t31\t24\t5\t-2\r\n"},
      {"daily file full at the totals line",
       [](MemoryFileSystem& f, size_t n) { f.FailWriteAfter("in.tat", n); },
       daily_header.size() + daily_lines.size(),
       "2 columns \r\n.1/2001\r\n.error writing in.tat\r\n",
       daily_header + daily_lines},
      {"monthly file full at the totals line",
       [](MemoryFileSystem& f, size_t n) { f.FailWriteAfter("in.mat", n); },
       monthly_before_totals.size(),
       "2 columns \r\n.1/2001\r\n.error writing in.mat\r\n",
       daily_header + daily_lines + "0\t0\t0\t0\t5\t-2\r\n"},
  };
  for (const auto& c : kCases) {
    files_ = MemoryFileSystem();
    files_.set_block_size(8);
    WriteFile("in.dat", kSmallInput);
    c.fault(files_, c.at);
    EXPECT_EQ(2, Run({"in.dat"})) << c.name;
    EXPECT_EQ(std::string(kBanner) + c.console, console_) << c.name;
    EXPECT_EQ(c.daily, ReadFile("in.tat")) << c.name;
    EXPECT_EQ(kSmallInput, ReadFile("in.dat")) << c.name;
  }
}

// --yearly and --csv: the yearly file after the monthly one, with its own
// first header line; each CSV file beside its text file, named after the
// last header line's words, incomplete values as empty fields. Years of
// --yearly=12 close in November; December's never closes.
TEST_F(RunTest, WritesTheYearlyAndCsvFiles) {
  WriteFile("in.dat",
            "title\n"
            "y m d h flow temp\n"
            "2001 11 30 24 5 -2\n"
            "2001 12 31 24 7 3\n");
  EXPECT_EQ(0, Run({"--yearly=12", "--csv", "--max=2", "in.dat"}));
  EXPECT_EQ(
      std::string(kBanner) + "2 columns \r\n.11/2001\r\n.12/2001\r\n" + kReady,
      console_);
  const std::string header = "title\r\ny m d h flow temp\r\n";
  EXPECT_EQ("daily sums from in.dat : " + header +
                "2001\t11\t30\t24\t5\t-2\r\n2001\t12\t31\t24\t7\t3\r\n"
                "0\t0\t0\t0\t12\t3\r\n",
            ReadFile("in.tat"));
  EXPECT_EQ("yearly sums from in.dat : " + header +
                "2001\t11\t30\t24\t-9999\t-9999\r\n0\t0\t0\t0\t12\t3\r\n",
            ReadFile("in.yat"));
  const std::string row = "year,month,day,hour,flow,temp\r\n";
  EXPECT_EQ(row + "2001,11,30,24,5,-2\r\n2001,12,31,24,7,3\r\n",
            ReadFile("in.tat.csv"));
  EXPECT_EQ(row + "2001,11,30,24,,\r\n2001,12,31,24,,\r\n",
            ReadFile("in.mat.csv"));
  EXPECT_EQ(row + "2001,11,30,24,,\r\n", ReadFile("in.yat.csv"));
}

TEST_F(RunTest, RefusesAStatisticOfAColumnTheFileLacks) {
  WriteFile("in.dat", kSmallInput);
  EXPECT_EQ(1, Run({"--mean=1", "--min=3-5", "in.dat"}));
  EXPECT_EQ(std::string(kBanner) + "2 columns \r\n" +
                "no column 3: the file has 2 data columns\r\n",
            console_);
  EXPECT_EQ("", ReadFile("in.tat"));
  EXPECT_EQ("", ReadFile("in.mat"));
}

}  // namespace
}  // namespace vostrel
