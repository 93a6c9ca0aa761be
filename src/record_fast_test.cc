// Tests for the record fast path: which lines each path takes, with which
// dates and values, and which it leaves to the exact scans.
#include "record_fast.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "vostrel.h"

namespace vostrel {
namespace {

bool SameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

class RecordPathTest : public ::testing::TestWithParam<RecordPath> {
 protected:
  void SetUp() override {
    if (!RecordPathSupported(GetParam())) {
      GTEST_SKIP() << "this CPU has no " << RecordPathName(GetParam())
                   << " path";
    }
  }
};

struct Accepted {
  const char* name;
  std::string line;  // the window; the line read ends at its first LF
  size_t columns;
  int32_t date[4];
  std::vector<double> values;
};

TEST_P(RecordPathTest, TakesFastLinesWithTheScansValues) {
  const std::string near_limit =
      "1 2 3 4 5" + std::string(kMaxFastLine - 10, ' ') + "\n";
  // The date, then blanks up to byte `n`: a field after it starts there, so
  // that bytes 63 and 64 fall where a test needs them.
  const auto date_to = [](size_t n) {
    return "1 1 1 1" + std::string(n - 7, ' ');
  };
  const Accepted kCases[] = {
      {"plain", "2001 1 2 24 1.5 10\n", 2, {2001, 1, 2, 24}, {1.5, 10.0}},
      {"tabs and blanks around",
       "\t 1991\t1\t1\t1\t0\t0.256\t-0\t+7 \t\n",
       4,
       {1991, 1, 1, 1},
       {0.0, 0.256, -0.0, 7.0}},
      {"leading zeros",
       "0002001 01 02 024 007.50 -0.000\n",
       2,
       {2001, 1, 2, 24},
       {7.5, -0.0}},
      {"nine-digit date",
       "123456789 0 0 0 5\n",
       1,
       {123456789, 0, 0, 0},
       {5.0}},
      {"no value columns", "2001 1 31 24\n", 0, {2001, 1, 31, 24}, {}},
      {"missing and negative values",
       "2001 1 1 1 -9999 -997.5 -0.25\n",
       3,
       {2001, 1, 1, 1},
       {-9999.0, -997.5, -0.25}},
      {"15-byte field",
       "1 1 1 1 -1234567.890123\n",
       1,
       {1, 1, 1, 1},
       {-1234567.890123}},
      {"16-byte field",
       "1 1 1 1 12345678.9012345\n",
       1,
       {1, 1, 1, 1},
       {12345678.9012345}},
      {"mantissa 2^53",
       "1 1 1 1 9007199254740992 900719925474099.2\n",
       2,
       {1, 1, 1, 1},
       {9007199254740992.0, 900719925474099.2}},
      {"19 digits",
       "1 1 1 1 0000000000000000001 0.000000000000000001\n",
       2,
       {1, 1, 1, 1},
       {1.0, 1e-18}},
      {"bytes after the LF", "1 2 3 4 5\nxyz", 1, {1, 2, 3, 4}, {5.0}},
      {"line of the longest fast length", near_limit, 1, {1, 2, 3, 4}, {5.0}},
      {"point first in a chunk",
       date_to(62) + "12.5\n",
       1,
       {1, 1, 1, 1},
       {12.5}},
      {"field ending a chunk",
       date_to(63) + "7 8\n",
       2,
       {1, 1, 1, 1},
       {7.0, 8.0}},
  };
  for (const Accepted& c : kCases) {
    RecordReader reader(c.columns, GetParam());
    int32_t date[4] = {-1, -1, -1, -1};
    const char* begin = c.line.data();
    const char* next = reader.Read(begin, begin + c.line.size(), date);
    ASSERT_NE(nullptr, next) << "case " << c.name;
    EXPECT_EQ(c.line.find('\n') + 1, static_cast<size_t>(next - begin))
        << "case " << c.name;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(c.date[i], date[i]) << "case " << c.name << " field " << i;
    }
    for (size_t i = 0; i < c.values.size(); ++i) {
      EXPECT_TRUE(SameBits(c.values[i], reader.values()[i]))
          << "case " << c.name << " value " << i << ": " << reader.values()[i]
          << " instead of " << c.values[i];
    }
  }
}

TEST_P(RecordPathTest, LeavesOtherLinesToTheExactScans) {
  const struct {
    const char* name;
    std::string line;
    size_t columns;
  } kCases[] = {
      {"exponent", "2001 1 1 24 1e3\n", 1},
      {"capital exponent", "2001 1 1 24 1E3\n", 1},
      {"mantissa above 2^53", "2001 1 1 24 9007199254740993\n", 1},
      {"20 digits", "2001 1 1 24 00000000000000000001\n", 1},
      {"23 fraction digits", "2001 1 1 24 0.00000000000000000000001\n", 1},
      {"two points", "2001 1 1 24 1.2.3\n", 1},
      {"two signs", "2001 1 1 24 +-3\n", 1},
      {"sign inside", "2001 1 1 24 5-3\n", 1},
      {"point last", "2001 1 1 24 1.\n", 1},
      {"point first", "2001 1 1 24 .5\n", 1},
      {"point after sign", "2001 1 1 24 -.5\n", 1},
      {"lone sign", "2001 1 1 24 -\n", 1},
      {"lone point", "2001 1 1 24 .\n", 1},
      {"letters", "2001 1 1 24 abc\n", 1},
      {"decimal comma", "2001 1 1 24 1,5\n", 1},
      {"CR", "2001 1 1 24 5\r\n", 1},
      {"NUL", std::string("2001 1 1 24 5\0\n", 15), 1},
      {"0x1A", "2001 1 1 24 5\x1a\n", 1},
      {"VT", "2001 1 1 24\v5\n", 1},
      {"FF", "2001 1 1 24\f5\n", 1},
      {"too few fields", "2001 1 1 24\n", 1},
      {"too many fields", "2001 1 1 24 5 6\n", 1},
      {"blank line", " \t\n", 0},
      {"empty line", "\n", 0},
      {"no LF", "2001 1 1 24 5", 1},
      {"line past the longest fast length",
       "1 2 3 4 5" + std::string(kMaxFastLine - 9, ' ') + "\n", 1},
      {"minus in a date", "-2001 1 1 24 5\n", 1},
      {"plus in a date", "2001 +1 1 24 5\n", 1},
      {"ten-digit date", "1234567890 1 1 24 5\n", 1},
      {"point in a date", "2001 1.0 1 24 5\n", 1},
      {"point first in a field and a chunk",
       "1 1 1 1" + std::string(57, ' ') + ".5\n", 1},
      {"point last in a chunk", "1 1 1 1" + std::string(55, ' ') + "1.\n", 1},
  };
  for (const auto& c : kCases) {
    RecordReader reader(c.columns, GetParam());
    int32_t date[4] = {-7, -7, -7, -7};
    const char* begin = c.line.data();
    EXPECT_EQ(nullptr, reader.Read(begin, begin + c.line.size(), date))
        << "case " << c.name;
    EXPECT_EQ(-7, date[0]) << "case " << c.name;
  }
}

// The window may end inside a line (a block boundary): such a line is the
// exact scans', whatever part of it the window holds.
TEST_P(RecordPathTest, LeavesLinesCutByTheWindowEnd) {
  std::string line = "1991\t1\t1\t1";
  for (int i = 0; i < 30; ++i) line += "\t123.456";
  line += "\n";
  RecordReader reader(30, GetParam());
  int32_t date[4];
  for (size_t end = 0; end < line.size(); ++end) {
    EXPECT_EQ(nullptr, reader.Read(line.data(), line.data() + end, date))
        << "window of " << end << " bytes";
  }
  EXPECT_NE(nullptr, reader.Read(line.data(), line.data() + line.size(), date));
}

INSTANTIATE_TEST_SUITE_P(Paths, RecordPathTest,
                         ::testing::Values(RecordPath::kPortable,
                                           RecordPath::kSse41,
                                           RecordPath::kAvx2),
                         [](const ::testing::TestParamInfo<RecordPath>& param) {
                           return std::string(RecordPathName(param.param));
                         });

TEST(RecordPathChoiceTest, OffAndPortableAlwaysWork) {
  EXPECT_TRUE(RecordPathSupported(RecordPath::kOff));
  EXPECT_TRUE(RecordPathSupported(RecordPath::kPortable));
  EXPECT_TRUE(RecordPathSupported(DefaultRecordPath()));
  EXPECT_FALSE(RecordReader(1, RecordPath::kOff).enabled());
  EXPECT_TRUE(RecordReader(1, RecordPath::kPortable).enabled());
  // No fast line holds this many fields.
  EXPECT_FALSE(RecordReader(kMaxFastLine, RecordPath::kPortable).enabled());
  // A path the CPU lacks reads nothing rather than faulting.
  for (RecordPath path : {RecordPath::kSse41, RecordPath::kAvx2}) {
    if (!RecordPathSupported(path)) {
      EXPECT_FALSE(RecordReader(1, path).enabled());
    }
  }
}

}  // namespace
}  // namespace vostrel
