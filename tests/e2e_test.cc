// End-to-end runs of the built vostrel binary in a temporary directory: exit
// status, console bytes and both output files, byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

namespace vostrel {
namespace {

namespace fs = std::filesystem;

class EndToEndTest : public TempDirTest {
 protected:
  void WriteFile(const std::string& name, const std::string& bytes) {
    vostrel::WriteFile(Path(name), bytes);
  }
  std::string ReadFile(const std::string& name) {
    return vostrel::ReadFile(Path(name));
  }

  // Runs the tool in the test directory with `args`; returns its exit status
  // and keeps its standard output. With `piped_input`, standard input is a
  // pipe carrying that file.
  int Run(const std::vector<std::string>& args,
          const fs::path& piped_input = {}) {
    const ToolRun run = RunTool(dir_, args, piped_input);
    console_ = run.console;
    EXPECT_EQ("", run.errors) << "nothing goes to standard error";
    return run.status;
  }

  std::string console_;
};

// February 2004 hourly with two columns (0.5 and 1 every hour, one -999 on
// the 10th), then the first twelve hours of March 1st.
std::string LeapFebruary(const std::string& eol) {
  std::string text = "Model run" + eol + "units: mm" + eol;
  for (int day = 1; day <= 29; ++day) {
    for (int hour = 1; hour <= 24; ++hour) {
      const bool missing = day == 10 && hour == 3;
      text += "2004 2 " + std::to_string(day) + " " + std::to_string(hour) +
              " 0.5 " + (missing ? "-999" : "1") + eol;
    }
  }
  for (int hour = 1; hour <= 12; ++hour) {
    text += "2004\t3\t1\t" + std::to_string(hour) + "\t0.5\t1" + eol;
  }
  return text;
}

TEST_F(EndToEndTest, HourlyRunGivesTheSameFilesFromCrLfAndLfInput) {
  std::string daily = "daily sums from flow.out : Model run\r\nunits: mm\r\n";
  for (int day = 1; day <= 29; ++day) {
    daily += "2004\t2\t" + std::to_string(day) + "\t24\t12\t" +
             (day == 10 ? "-9999" : "24") + "\r\n";
  }
  // The open March day reaches the totals: 29 * 12 + 6 and 695 + 12.
  const std::string totals = "0\t0\t0\t0\t354\t707\r\n";
  const std::string monthly =
      "monthly sums from flow.out : Model run\r\nunits: mm\r\n"
      "2004\t2\t29\t24\t348\t-9999\r\n" +
      totals;
  const std::string console = "aggregating model results\r\n2 columns \r\n" +
                              std::string(29, '.') +
                              "2/2004\r\n\r\nready..\r\n";
  for (const char* eol : {"\r\n", "\n"}) {
    WriteFile("flow.out", LeapFebruary(eol));
    ASSERT_EQ(0, Run({"flow.out"})) << "line ends " << (eol[0] == '\r');
    EXPECT_EQ(console, console_);
    EXPECT_EQ(daily + totals, ReadFile("flow.tut"));
    EXPECT_EQ(monthly, ReadFile("flow.mut"));
  }
}

// Regression: a file of one column per grid cell, 3000 columns and 27,000
// characters a line, once showed "776 columns" (counted on the last piece of
// a line read in pieces) and stopped on its first record.
TEST_F(EndToEndTest, ThreeThousandColumnsAreCountedAndRead) {
  // Column k holds 10 + k % 10, plus 0.75 on the 30th and 0.875 on the
  // 31st, written as "13.75000" and "13.87500".
  constexpr int kColumns = 3000;
  const auto value = [](int k, int day) {
    return std::to_string(10 + k % 10) + "." + (day == 30 ? "75000" : "87500");
  };
  std::string input = "grid run\n";
  for (const int day : {30, 31}) {
    input += "2001 1 " + std::to_string(day) + " 24";
    for (int k = 0; k < kColumns; ++k) input += " " + value(k, day);
    input += "\n";
  }
  ASSERT_GT(input.size(), 2u * 27000u);
  WriteFile("grid.out", input);
  ASSERT_EQ(0, Run({"grid.out"}));
  EXPECT_EQ(
      "aggregating model results\r\n3000 columns \r\n..1/2001\r\n\r\nready.."
      "\r\n",
      console_);
  // A day's value is its one value; January has two days of 31, so it is
  // incomplete; the totals add both days: 20 + 2 * (k % 10) + 1.625.
  std::string day30 = "2001\t1\t30\t24";
  std::string day31 = "2001\t1\t31\t24";
  std::string month = "2001\t1\t31\t24";
  std::string totals = "0\t0\t0\t0";
  for (int k = 0; k < kColumns; ++k) {
    day30 += "\t" + std::to_string(10 + k % 10) + ".75";
    day31 += "\t" + std::to_string(10 + k % 10) + ".875";
    month += "\t-9999";
    totals += "\t" + std::to_string(21 + 2 * (k % 10)) + ".625";
  }
  EXPECT_EQ("daily sums from grid.out : grid run\r\n" + day30 + "\r\n" + day31 +
                "\r\n" + totals + "\r\n",
            ReadFile("grid.tut"));
  EXPECT_EQ("monthly sums from grid.out : grid run\r\n" + month + "\r\n" +
                totals + "\r\n",
            ReadFile("grid.mut"));
}

// The statuses Main returns reach the process's exit status.
TEST_F(EndToEndTest, FailuresReportTheirStatus) {
  EXPECT_EQ(2, Run({"nothing.out"}));
  EXPECT_EQ(1, Run({}));
  EXPECT_EQ(
      "aggregating model results\r\nusage: vostrel <in-name> [<header "
      "rows{def=auto}>] [<data columns{def=aoto}>] [noneg]\r\noptions: "
      "--quiet --strict --out=NAME --summary=FILE --step=hourly|daily "
      "--yearly[=MONTH] --mean=COLS --min=COLS --max=COLS --csv "
      "--missing=LIST\r\n\r\n",
      console_);
}

// Regression: a console piped into a reader that quits early used to end
// the run by SIGPIPE, leaving the output files incomplete.
TEST_F(EndToEndTest, ConsoleReaderQuittingEarlyDoesNotStopTheRun) {
  if (ToolOnWindows()) GTEST_SKIP() << "no SIGPIPE on Windows";
  // 250 years of daily records: more console text than one buffer holds.
  std::string input = "h\n";
  for (int year = 1800; year < 2050; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const int days = month == 2 ? 28 : 30;
      for (int day = 1; day <= days; ++day) {
        input += std::to_string(year) + " " + std::to_string(month) + " " +
                 std::to_string(day) + " 24 1\n";
      }
    }
  }
  WriteFile("long.out", input);
  const std::string command = "cd '" + dir_.string() + "' && ('" + ToolPath() +
                              "' long.out; echo $? > status.txt) | head -c 1 "
                              "> /dev/null";
  ASSERT_EQ(0, std::system(command.c_str()));
  EXPECT_EQ("0\n", ReadFile("status.txt"));
  // Every record wrote its daily line, and the totals line closes the file.
  const std::string daily = ReadFile("long.tut");
  EXPECT_EQ(250u * (28 + 11 * 30) + 2,
            static_cast<size_t>(std::count(daily.begin(), daily.end(), '\n')));
  EXPECT_EQ("\r\n0\t0\t0\t0\t",
            daily.substr(daily.rfind("\r\n", daily.size() - 3), 10));
}

// Regression: the console was handed on in 64 KiB pieces, so a person saw
// nothing, not even the banner, until a run of a few decades had ended.
TEST_F(EndToEndTest, ConsoleShowsProgressAsItHappens) {
  if (ToolOnWindows()) GTEST_SKIP() << "no FIFOs on Windows";
  WriteFile("run1.out", "h\n2001 1 31 24 1\n");
  // The run waits at its daily file, a FIFO, until that is opened for
  // reading; by then the banner must have reached the console's file.
  ASSERT_EQ(0, mkfifo(Path("run1.tut").c_str(), 0644));
  const std::string command = "cd '" + dir_.string() + "' && ('" + ToolPath() +
                              "' run1.out > console.txt; echo $? > "
                              "status.txt) &";
  ASSERT_EQ(0, std::system(command.c_str()));
  // Waits up to ten seconds for `name` to hold `bytes`; returns what it holds.
  const auto await = [this](const std::string& name, const std::string& bytes) {
    std::string seen;
    for (int i = 0; i < 1000 && seen != bytes; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      seen = ReadFile(name);
    }
    return seen;
  };
  EXPECT_EQ(kBannerText, await("console.txt", kBannerText));
  // Reads the FIFO to its end, which lets the run go on.
  EXPECT_EQ(
      "daily sums from run1.out : h\r\n2001\t1\t31\t24\t1\r\n"
      "0\t0\t0\t0\t1\r\n",
      ReadFile("run1.tut"));
  EXPECT_EQ("0\n", await("status.txt", "0\n"));
  EXPECT_EQ(std::string(kBannerText) + "1 columns \r\n.1/2001\r\n" + kReadyText,
            ReadFile("console.txt"));
}

// A pipe cannot be rewound, yet layout analysis and the notes read the input
// again: the files are those of the file, but for the name they quote.
TEST_F(EndToEndTest, StandardInputFromAPipeGivesTheFilesOfTheFile) {
  // A header block longer than one block of reading.
  std::string text;
  for (int i = 0; i < 12000; ++i) text += "a header line of the run\r\n";
  text += LeapFebruary("\r\n");
  text +=
      "2004 3 1 13 NA 1\r\n\x1a"
      "2004 3 1 14 1 1\r\n";
  WriteFile("run1.out", text);
  ASSERT_EQ(3, Run({"--strict", "run1.out"}));
  const std::string console = console_;
  EXPECT_NE(std::string::npos, console.find("line 12711: \"NA\""));
  EXPECT_EQ(3, Run({"--strict", "--out=run2.out", "-"}, Path("run1.out")));
  EXPECT_EQ(console, console_);
  for (const char* suffix : {".tut", ".mut"}) {
    std::string expected = ReadFile(std::string("run1") + suffix);
    const std::string quoted = " sums from run1.out : ";
    expected.replace(expected.find(quoted), quoted.size(), " sums from - : ");
    EXPECT_EQ(expected, ReadFile(std::string("run2") + suffix)) << suffix;
  }
}

// Outputs go where --out says, so a folder of results files is only read.
TEST_F(EndToEndTest, OutWritesIntoAnotherFolder) {
  fs::create_directories(dir_ / "data");
  fs::create_directories(dir_ / "results");
  WriteFile("data/run1.out", "h\n2001 1 31 24 1.5\n");
  fs::permissions(dir_ / "data", fs::perms::owner_write,
                  fs::perm_options::remove);
  EXPECT_EQ(0, Run({"--quiet", "--out=results/run1.out", "data/run1.out"}));
  fs::permissions(dir_ / "data", fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ("", console_);
  EXPECT_EQ(
      "daily sums from data/run1.out : h\r\n2001\t1\t31\t24\t1.5\r\n"
      "0\t0\t0\t0\t1.5\r\n",
      ReadFile("results/run1.tut"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_ / "data"),
                             fs::directory_iterator()));
}

}  // namespace
}  // namespace vostrel
