// Tests of the header block copy and the record and totals lines.
#include "writers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "scan.h"
#include "string_io.h"
#include "test_util.h"
#include "vostrel.h"

namespace vostrel {
namespace {

class HeaderBlockTest : public ::testing::Test {
 protected:
  // Copies `rows` header rows of `text`; returns what is left of the input.
  std::string Copy(const std::string& text, int32_t rows,
                   const std::string& name = "run1.out") {
    StringInput in(text, 3);
    WriteHeaderBlock(in, rows, name, daily_, monthly_);
    return Rest(in);
  }
  StringOutput daily_;
  StringOutput monthly_;
};

TEST_F(HeaderBlockTest, QuotesTheNameAndFirstLineThenCopiesTheRest) {
  EXPECT_EQ("2001 1 1 1 5\n", Copy("model\r\nrun\r7\n2001 1 1 1 5\n", 2));
  EXPECT_EQ("daily sums from run1.out : model\r\nrun\r7\r\n", daily_.bytes());
  EXPECT_EQ("monthly sums from run1.out : model\r\nrun\r7\r\n",
            monthly_.bytes());
}

TEST_F(HeaderBlockTest, NoRowsWritesNothing) {
  EXPECT_EQ("a\nb\n", Copy("a\nb\n", 0));
  EXPECT_EQ("", daily_.bytes());
  EXPECT_EQ("", monthly_.bytes());
}

TEST_F(HeaderBlockTest, StopsQuietlyAtTheEndOfTheInput) {
  EXPECT_EQ("", Copy("only\n", 2147483647, "x.$$$"));
  EXPECT_EQ("daily sums from x.$$$ : only\r\n", daily_.bytes());
  EXPECT_EQ("monthly sums from x.$$$ : only\r\n", monthly_.bytes());
}

TEST_F(HeaderBlockTest, TextStopsAtNul) {
  Copy(std::string("he\0ad\nnext\n", 11), 2);
  // The NUL cuts the row's line end too, so the next row continues it.
  EXPECT_EQ("daily sums from run1.out : henext\r\n", daily_.bytes());
}

// Lines of 19999 characters and more were once copied in pieces, one header
// row each.
TEST_F(HeaderBlockTest, LongLineIsOneRow) {
  const std::string long_line(20001, 'h');
  EXPECT_EQ("2001\n", Copy(long_line + "\nrest\n2001\n", 2, "n"));
  EXPECT_EQ("daily sums from n : " + long_line + "\r\nrest\r\n",
            daily_.bytes());
  EXPECT_EQ("monthly sums from n : " + long_line + "\r\nrest\r\n",
            monthly_.bytes());
}

TEST_F(HeaderBlockTest, StopsBeforeALineOverTheLimit) {
  StringInput in("title\n0123456789x\nrest\n", 3);
  in.set_max_line_length(10);
  WriteHeaderBlock(in, 3, "n", daily_, monthly_);
  EXPECT_EQ("daily sums from n : title\r\n", daily_.bytes());
  EXPECT_EQ("monthly sums from n : title\r\n", monthly_.bytes());
  EXPECT_TRUE(in.line_too_long());
}

TEST(RecordLineTest, WritesDateFieldsThenOneNumberPerColumn) {
  StringOutput out;
  std::string scratch = "left over";
  WriteRecordLine(out, 2001, 2, 28, 24, {1.5, -9999.0, 0.0}, scratch);
  WriteRecordLine(out, -1, 0, 0, 24, {}, scratch);
  WriteTotalsLine(out, {1e6, 0.5}, scratch);
  EXPECT_EQ(
      "2001\t2\t28\t24\t1.5\t-9999\t0\r\n"
      "-1\t0\t0\t24\r\n"
      "0\t0\t0\t0\t1e+006\t0.5\r\n",
      out.bytes());
}

// A CSV row holds the text file's numbers, an empty field for an incomplete
// value, and spellings of infinity and NaN that pandas and R read; the same
// whether it renders the line or starts from a text writer's.
TEST(CsvLineTest, WritesTheTextFilesNumbersBetweenCommas) {
  for (const bool after_text : {false, true}) {
    StringOutput out;
    StringOutput text_out;
    CsvLineWriter writer(out);
    TextLineWriter text_writer(text_out);
    const auto write = [&](const LevelLine& line) {
      if (after_text) text_writer.WriteLine(line);
      writer.WriteLine(line);
    };
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> values = {1.2345678, -9999.0,      -9999.0, inf,
                                        -inf,      std::nan(""), 1e6};
    constexpr Completeness kYes = Completeness::kComplete;
    const std::vector<Completeness> complete = {
        kYes, kYes, Completeness::kIncomplete, kYes, kYes, kYes, kYes};
    write(LevelLine{{2001, 2, 28, 24}, values, complete});
    const std::vector<double> finite = {0.5, -9999.0};
    write(LevelLine{{2001, 3, 1, 24}, finite, {kYes, kYes}});
    const std::vector<double> none;
    const std::vector<Completeness> no_flags;
    write(LevelLine{{-1, 0, 0, 24}, none, no_flags});
    EXPECT_EQ(
        "2001,2,28,24,1.23457,-9999,,Inf,-Inf,NaN,1e+006\r\n"
        "2001,3,1,24,0.5,-9999\r\n"
        "-1,0,0,24\r\n",
        out.bytes())
        << (after_text ? "after a text writer" : "alone");
  }
}

TEST(CsvHeaderTest, NamesColumnsAfterTheLastHeaderLine) {
  const struct {
    const char* name;
    bool has_header;
    const char* last_header;
    int32_t columns;
    const char* row;
  } kCases[] = {
      {"N + 4 words", true, "yr mo dy hr flow temp\n", 2, ",flow,temp"},
      {"tabs and blank ends", true, " \tyr\tmo dy  hr\tq \n", 1, ",q"},
      {"too few words", true, "yr mo dy hr flow\n", 2, ",c1,c2"},
      {"too many words", true, "a yr mo dy hr flow temp\n", 2, ",c1,c2"},
      {"no header rows", false, "yr mo dy hr flow temp", 2, ",c1,c2"},
      {"no columns", true, "yr mo dy hr\n", 0, ""},
      {"quoted names", true, "y m d h a,b \"q\" c\r\n", 3,
       ",\"a,b\",\"\"\"q\"\"\",\"c\r\""}};
  for (const auto& c : kCases) {
    StringOutput out;
    WriteCsvHeader(out, c.has_header, c.last_header, c.columns);
    // Every LF written becomes CR LF, the one inside a quoted name too.
    std::string row = std::string("year,month,day,hour") + c.row + "\r\n";
    EXPECT_EQ(row, out.bytes()) << "case " << c.name;
  }
}

}  // namespace
}  // namespace vostrel
