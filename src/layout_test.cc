// Tests for finding the first data line of a results file and counting the
// data columns on it.
#include "layout.h"

#include <gtest/gtest.h>

#include <string>

#include "string_io.h"
#include "text_io.h"
#include "vostrel.h"

namespace vostrel {
namespace {

using std::string_literals::operator""s;

TEST(CutFieldTest, CutsAtTheFirstBlankAndSkipsTheBlanksAfterIt) {
  const struct {
    const char* name;
    const char* line;
    const char* rest;
  } kCases[] = {
      {"space", "a b", "b"},
      {"tab", "a\tb", "b"},
      {"run of spaces and tabs", "a \t  b c", "b c"},
      {"space before tab", "a b\tc", "b\tc"},
      {"tab before space", "a\tb c", "b c"},
      {"leading blank cuts only the blank", " a b", "a b"},
      {"no blank leaves the line", "abc\n", "abc\n"},
      {"line end is no separator", "a\nb c", "c"},
      {"trailing blanks", "a  ", ""},
      {"semicolons", "1;2;3", "1;2;3"},
      {"empty", "", ""},
  };
  for (const auto& c : kCases) {
    std::string line = c.line;
    CutField(line);
    EXPECT_EQ(c.rest, line) << "case " << c.name;
  }
}

TEST(CountColumnsTest, CountsTheNumbersAfterTheFourDateFields) {
  const struct {
    const char* name;
    const char* line;
    int32_t count;
    const char* rest;
  } kCases[] = {
      {"spaces", "2001 1 1 24 1.5 2 -999\n", 3, ""},
      {"tabs", "2001\t1\t1\t24\t1.5\t2\n", 2, ""},
      {"runs of blanks", "2001  1 \t 1 24   1.5  2   \n", 2, ""},
      {"no line end", "2001 1 1 24 1.5 2", 2, ""},
      // The first cut takes only the leading blank, so the hour is counted.
      {"leading space", " 2001 1 1 24 1.5 2\n", 3, ""},
      {"leading tab", "\t2001 1 1 24 1.5 2\n", 3, ""},
      // The fourth cut finds no blank after the hour and leaves it.
      {"date fields only", "2001 1 1 24\n", 1, ""},
      {"date fields and a blank", "2001 1 1 24 \n", 0, ""},
      {"text token", "2001 1 1 24 1.5 n/a 7 8\n", 1, "7 8\n\t"},
      {"text token last", "2001 1 1 24 1.5 2 end\n", 2, ""},
      {"lone sign", "2001 1 1 24 5 - 6\n", 1, "6\n\t"},
      // Each field only has to begin with a number.
      {"number glued to text", "2001 1 1 24 12abc 3\n", 2, ""},
      {"decimal comma", "2001 1 1 24 1,5 2,5\n", 2, ""},
      {"semicolons", "2001;1;1;24;1.5;2\n", 1, ""},
  };
  for (const auto& c : kCases) {
    std::string line = c.line;
    EXPECT_EQ(c.count, CountColumns(line)) << "case " << c.name;
    EXPECT_EQ(c.rest, line) << "case " << c.name;
  }
}

// A word of --missing on the first data line is a column like a number.
TEST(CountColumnsTest, CountsMissingWordsAsColumns) {
  std::string line = "2001 1 1 24 1.5 NA 7 NAN 8\n";
  EXPECT_EQ(3, CountColumns(line, {"NA", "-99"}));
  EXPECT_EQ("8\n\t", line);
}

struct FindCase {
  std::string name;
  std::string input;
  bool found;
  int32_t header_rows;
  std::string line;
};

class FindFirstDataLineTest : public ::testing::Test {
 protected:
  static void Check(const FindCase& c) {
    StringInput in(c.input);
    int32_t header_rows = -7;
    std::string line = "stale";
    const bool found = FindFirstDataLine(in, header_rows, line);
    ASSERT_EQ(c.found, found) << "case " << c.name;
    if (!found) return;
    EXPECT_EQ(c.header_rows, header_rows) << "case " << c.name;
    EXPECT_EQ(c.line, line) << "case " << c.name;
  }
};

TEST_F(FindFirstDataLineTest, FirstLineBeginningWithANumberIsData) {
  const FindCase kCases[] = {
      {"no header", "2001 1 1 24 5\n2001 1 2 24 6\n", true, 0,
       "2001 1 1 24 5\n"},
      {"CR LF header", "model run 7\r\ncols: a b\r\n2001 1 1 24 5\r\n", true, 2,
       "2001 1 1 24 5\n"},
      {"header beginning with a year", "title\n2001 scenario B\n2001 1 1 1 5\n",
       true, 1, "2001 scenario B\n"},
      {"signed number", "title\n-3 x\n", true, 1, "-3 x\n"},
      {"blanks before the number", "title\n  \t2001 1 1 24 5\n", true, 1,
       "  \t2001 1 1 24 5\n"},
      {"sign without digits", "- 1\n+x\n2001 1 1 24 5\n", true, 2,
       "2001 1 1 24 5\n"},
      // Each line is tested on its own text: a blank line does not reach
      // the number on the next one.
      {"empty and blank lines", "\n   \n\t\r\n2001 1 1 24 5\n", true, 3,
       "2001 1 1 24 5\n"},
      {"last line without LF", "title\n2001 1 1 24 5", true, 1,
       "2001 1 1 24 5"},
      {"lone CR is text", "a\rb\n7\n", true, 1, "7\n"},
      // A point or a sign and a point count only when a digit follows.
      {"points and signs", ".\n+.\n-.e5\n.x1\n+.5 a\n", true, 4, "+.5 a\n"},
      {"point and digit", "- .5\n.5\n", true, 1, ".5\n"},
  };
  for (const FindCase& c : kCases) Check(c);
}

TEST_F(FindFirstDataLineTest, InputWithoutDataLineFails) {
  const FindCase kCases[] = {
      {"empty", "", false, 0, ""},
      {"header lines only", "title\r\nmore text\r\n", false, 0, ""},
      {"blank lines only", "\n \n\t", false, 0, ""},
      {"data after 0x1A",
       "title\n\x1a"
       "2001 1 1 24 5\n",
       false, 0, ""},
  };
  for (const FindCase& c : kCases) Check(c);
}

// A whole line may take several reads; only the first read is tested, and
// the line left behind is the last read.
TEST_F(FindFirstDataLineTest, LongLineIsOneLineOfSeveralReads) {
  const std::string long_text(kMaxLineRead, 'x');
  const std::string data_start =
      "2001 1 1 24" + std::string(kMaxLineRead - 11, ' ');
  const FindCase kCases[] = {
      {"long header line", long_text + "yyyy\n2001 1 1 24 5\n", true, 1,
       "2001 1 1 24 5\n"},
      {"number in a later read", long_text + "2001 x\n2001 1 1 24 5\n", true, 1,
       "2001 1 1 24 5\n"},
      {"long data line", "title\n" + data_start + "7 8\n2001\n", true, 1,
       "7 8\n"},
      {"line of exactly one read",
       std::string(kMaxLineRead - 1, 'x') + "\n2001 1 1 24 5\n", true, 1,
       "2001 1 1 24 5\n"},
  };
  for (const FindCase& c : kCases) Check(c);
}

// A NUL ends the text of a read, LF included, so the line takes in the next.
TEST_F(FindFirstDataLineTest, NulJoinsTheNextLine) {
  const FindCase kCases[] = {
      {"NUL in a header line", "title\0more\n2001 1 1 24 5\n2002 1 1 24 6\n"s,
       true, 1, "2002 1 1 24 6\n"},
      {"NUL first",
       "\0"
       "2001 1 1 24 5\n2002 1 1 24 6\n3\n"s,
       true, 1, "3\n"},
      {"NUL in the data line", "2001 1 1 24 5\0junk\n2002 1 1 24 6 7\n3\n"s,
       true, 0, "2002 1 1 24 6 7\n"},
      {"NUL in two reads", "2001 1 1 24 5\0a\n2002 6\0b\n3 4\n"s, true, 0,
       "3 4\n"},
      {"NUL in the last line", "title\n2001 1 1 24 5\0\n"s, true, 1,
       "2001 1 1 24 5"},
  };
  for (const FindCase& c : kCases) Check(c);
}

TEST_F(FindFirstDataLineTest, ColumnsAreCountedOnTheLineFound) {
  const struct {
    const char* name;
    std::string input;
    int32_t count;
  } kCases[] = {
      {"CR LF line", "head\r\n2001 1 1 24 1 2 3\r\n", 3},
      {"last read of a long line",
       "2001" + std::string(kMaxLineRead - 4, ' ') + "1 1 24 5 6\n", 1},
  };
  for (const auto& c : kCases) {
    StringInput in(c.input);
    int32_t header_rows = 0;
    std::string line;
    ASSERT_TRUE(FindFirstDataLine(in, header_rows, line)) << "case " << c.name;
    EXPECT_EQ(c.count, CountColumns(line)) << "case " << c.name;
  }
}

}  // namespace
}  // namespace vostrel
