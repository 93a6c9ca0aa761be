// Tests for finding the first data line of a results file and counting the
// data columns on it.
#include "layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "string_io.h"
#include "text_io.h"
#include "vostrel.h"

namespace vostrel {
namespace {

using std::string_literals::operator""s;

// A record of 3000 values, 27,000 characters and more, as a distributed model
// writes one value per grid cell.
std::string ThreeThousandColumns() {
  std::string line = "2001 1 1 24";
  for (int i = 0; i < 3000; ++i) line += " -0.12345";
  return line + "\n";
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
      // A field ends at the earlier of its first space and first tab; a line
      // end is no blank.
      {"tab before space", "2001 1 1 24\t5 6\n", 2, ""},
      {"line end inside", "2001 1 1\n24 5 6\n", 1, ""},
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

// Lines of 19999 characters and more were once read in pieces; each is one
// line now, tested and kept whole.
TEST_F(FindFirstDataLineTest, LongLineIsOneLine) {
  const std::string long_text(20000, 'x');
  const std::string data_line =
      "2001 1 1 24" + std::string(19990, ' ') + "7 8\n";
  const FindCase kCases[] = {
      {"long header line", long_text + "\n2001 1 1 24 5\n", true, 1,
       "2001 1 1 24 5\n"},
      {"number far into a header line", long_text + "2001 x\n2001 1 1 24 5\n",
       true, 1, "2001 1 1 24 5\n"},
      {"long data line", "title\n" + data_line + "2001\n", true, 1, data_line},
      {"NUL in a long data line",
       "2001 1 1 24 5\0"s + long_text + "\n2002 1 1 24 6 7\n", true, 0,
       "2002 1 1 24 6 7\n"},
  };
  for (const FindCase& c : kCases) Check(c);
}

TEST_F(FindFirstDataLineTest, LineOverTheLimitEndsTheSearch) {
  const struct {
    const char* name;
    std::string input;
    bool found;
    uint64_t long_line_offset;
  } kCases[] = {
      {"header line of the limit", "title\n0123456789\n1\n", true, 0},
      {"header line over the limit", "title\n0123456789x\n1\n", false, 6},
      {"CR LF not counted", "0123456789\r\n1\n", true, 0},
      {"data line over the limit", "title\n1 345678901\n", false, 6},
      {"last line over the limit", "1 3456789012", false, 0},
      {"line taken in by a NUL", "1\0\n0123456789x\n"s, false, 3},
  };
  for (const auto& c : kCases) {
    StringInput in(c.input, 4);
    in.set_max_line_length(10);
    int32_t header_rows = 0;
    std::string line;
    EXPECT_EQ(c.found, FindFirstDataLine(in, header_rows, line))
        << "case " << c.name;
    EXPECT_EQ(!c.found, in.line_too_long()) << "case " << c.name;
    if (!c.found) {
      EXPECT_EQ(c.long_line_offset, in.long_line_offset()) << "case " << c.name;
    }
  }
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
      {"long line, counted whole",
       "2001" + std::string(19995, ' ') + "1 1 24 5 6\n", 2},
      {"3000 columns", ThreeThousandColumns(), 3000},
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
