// Tests of the command line and of whole runs of the driver in a temporary
// directory, comparing the console and both output files byte for byte.
#include "driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vostrel {
namespace {

namespace fs = std::filesystem;

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

// Runs Main in a fresh temporary directory, which is the working directory
// for the duration of the test.
class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    dir_ =
        fs::temp_directory_path() /
        ("vostrel_driver_test_" +
         std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  static void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  // Runs vostrel with `args` after the program name; returns the status and
  // keeps the console bytes.
  int Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"vostrel"};
    argv.insert(argv.end(), args.begin(), args.end());
    StringOutput console;
    const int status = static_cast<int>(Main(argv, console));
    console.Flush();
    console_ = console.bytes();
    return status;
  }

  std::string console_;

 private:
  fs::path previous_;
  fs::path dir_;
};

constexpr char kBanner[] = "aggregating model results\r\n";
constexpr char kReady[] = "\r\nready..\r\n";

// One header line and two daily records with two values each: the first
// closes January (incomplete: one day of 31), the second is a day of
// February, which the input then leaves open.
constexpr char kSmallInput[] =
    "title\n"
    "2001 1 31 24 5 -2\n"
    "2001 2 1 24 7 3\n";

TEST_F(RunTest, NoArgumentPrintsUsage) {
  EXPECT_EQ(1, Run({}));
  EXPECT_EQ(std::string(kBanner) +
                "usage: vostrel <in-name> [<header rows{def=auto}>] "
                "[<data columns{def=aoto}>] [noneg]\r\n\r\n",
            console_);
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
  EXPECT_EQ(
      std::string(kBanner) + "0 head rows..\r\n\r\n2 columns \r\n" + kReady,
      console_);
  // The first record scan meets "title" and the loop ends at once.
  EXPECT_EQ("0\t0\t0\t0\t0\t0\r\n", ReadFile("in.tat"));
  EXPECT_EQ("0\t0\t0\t0\t0\t0\r\n", ReadFile("in.mat"));
}

TEST_F(RunTest, NoDataLineLeavesEmptyOutputs) {
  WriteFile("in.dat", "only\nheader lines\n\n");
  EXPECT_EQ(1, Run({"in.dat", "2", "3"}));
  EXPECT_EQ(std::string(kBanner) +
                "no valid line found for analyzing the columns structure "
                "(first data line must begin with a number)\r\n",
            console_);
  EXPECT_EQ("", ReadFile("in.tat"));
  EXPECT_EQ("", ReadFile("in.mat"));
}

TEST_F(RunTest, RefusesFilesItCannotOpenOrMustNotOverwrite) {
  WriteFile("run1.txt", kSmallInput);
  WriteFile("run1.mout", kSmallInput);
  fs::create_directory("adir");
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
  EXPECT_FALSE(fs::exists("run1.mxt"));
  EXPECT_FALSE(fs::exists("run1.tout"));
  EXPECT_FALSE(fs::exists("missing.tut"));
  EXPECT_EQ(kSmallInput, ReadFile("run1.txt"));
  EXPECT_EQ(kSmallInput, ReadFile("run1.mout"));
}

// Regression: daily and monthly names linked to one file used to leave only
// the monthly lines in it, and the run reported success.
TEST_F(RunTest, RefusesOutputNamesOfOneFile) {
  WriteFile("in.dat", kSmallInput);
  WriteFile("in.tat", "old daily\n");
  fs::create_hard_link("in.tat", "in.mat");
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
  fs::create_directory("dir.v2");
  WriteFile("dir.v2/run1", kSmallInput);
  EXPECT_EQ(2, Run({"dir.v2/run1"}));
  EXPECT_EQ(std::string(kBanner) + "error opening dir.t2/run1\r\n", console_);
}

}  // namespace
}  // namespace vostrel
