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

class EndToEndTest : public TempDirTest {
 protected:
  void WriteFile(const std::string& name, const std::string& bytes) {
    vostrel::WriteFile(Path(name), bytes);
  }
  std::string ReadFile(const std::string& name) {
    return vostrel::ReadFile(Path(name));
  }

  // Runs the tool in the test directory with `args`; returns its exit status
  // and keeps its standard output.
  int Run(const std::vector<std::string>& args) {
    const ToolRun run = RunTool(dir_, args);
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

// The statuses Main returns reach the process's exit status.
TEST_F(EndToEndTest, FailuresReportTheirStatus) {
  EXPECT_EQ(2, Run({"nothing.out"}));
  EXPECT_EQ(1, Run({}));
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

}  // namespace
}  // namespace vostrel
