// Tests of the line read and the scans. Expected values and what each scan
// leaves follow from the number forms by hand.
#include "scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "string_io.h"
#include "test_util.h"
#include "vostrel.h"

namespace vostrel {
namespace {

// Lines of 19999 characters and more were once read in pieces; every line
// is read whole now, up to the input's line-length limit.
TEST(LineReadTest, TakesWholeLines) {
  const struct {
    const char* name;
    std::string raw;
    std::vector<size_t> reads;  // the length of each read, in order
  } kCases[] = {
      {"short lines", "ab\ncd\n", {3, 3}},
      {"last line without lf", "ab\ncd", {3, 2}},
      {"crlf counts as one", "ab\r\ncd\r\n", {3, 3}},
      {"line of 19999 and lf", std::string(19999, 'x') + "\n", {20000}},
      {"line across many blocks",
       std::string(3 * 4096 + 5, 'x') + "\nab",
       {3 * 4096 + 6, 2}},
      {"nul is data", std::string("a\0b\n", 4), {4}},
      {"empty input", "", {}},
  };
  for (const auto& c : kCases) {
    StringInput in(c.raw, 4096);
    std::string line;
    for (size_t want : c.reads) {
      ASSERT_TRUE(ReadLine(in, line)) << "case " << c.name;
      EXPECT_EQ(want, line.size()) << "case " << c.name;
    }
    EXPECT_FALSE(ReadLine(in, line)) << "case " << c.name;
    EXPECT_TRUE(line.empty()) << "case " << c.name;
    EXPECT_FALSE(SkipLine(in)) << "case " << c.name;
    EXPECT_FALSE(in.line_too_long()) << "case " << c.name;
  }
}

TEST(LineReadTest, SkipLineConsumesWhatReadLineWouldTake) {
  StringInput in(std::string(20003, 'y') + "\nz\n", 1000);
  ASSERT_TRUE(SkipLine(in));
  EXPECT_EQ("z\n", Rest(in));
}

// A line longer than the limit, its LF not counted, ends the input where it
// passes the limit; the reads that meet it report no line.
TEST(LineReadTest, LineOverTheLimitEndsTheInput) {
  const struct {
    const char* name;
    std::string raw;
    size_t good_lines;     // lines read before the long one
    uint64_t line_offset;  // where the long line starts
  } kCases[] = {
      {"first line", "0123456789x\nab\n", 0, 0},
      {"after a line", "ab\n0123456789x\nab\n", 1, 3},
      {"last line without lf", "ab\n0123456789x", 1, 3},
      {"lone cr is data", "0123456789\r\n012345678\r9\n", 1, 11},
      {"after a line of the limit", "0123456789\n0123456789ab\n", 1, 11},
  };
  for (const bool skip : {false, true}) {
    for (const auto& c : kCases) {
      for (const size_t block : {size_t{3}, size_t{4096}}) {
        const std::string what = std::string(c.name) + " block " +
                                 std::to_string(block) +
                                 (skip ? " skip" : " read");
        StringInput in(c.raw, block);
        in.set_max_line_length(10);
        std::string line;
        for (size_t i = 0; i < c.good_lines; ++i) {
          ASSERT_TRUE(skip ? SkipLine(in) : ReadLine(in, line)) << what;
        }
        EXPECT_FALSE(skip ? SkipLine(in) : ReadLine(in, line)) << what;
        EXPECT_TRUE(line.empty()) << what;
        EXPECT_TRUE(in.line_too_long()) << what;
        EXPECT_FALSE(in.error()) << what;
        EXPECT_EQ(c.line_offset, in.long_line_offset()) << what;
        EXPECT_FALSE(SkipLine(in)) << what;
        // Rewinding starts the input and the count of lines again.
        ASSERT_TRUE(in.Rewind()) << what;
        EXPECT_FALSE(in.line_too_long()) << what;
      }
    }
  }
}

constexpr double kUnset = 12345.0;

struct NumberCase {
  const char* text;
  Scan result;
  double value;  // kUnset when the scan must leave it alone
  const char* rest;
};

class ScanNumberTest : public ::testing::Test {
 protected:
  static void Check(const NumberCase& c) {
    for (size_t block : {1u, 3u, 4096u}) {
      StringInput in(c.text, block);
      double value = kUnset;
      EXPECT_EQ(c.result, ScanNumber(in, value))
          << "text \"" << c.text << "\", block " << block;
      if (std::isnan(c.value)) {
        EXPECT_TRUE(std::isnan(value)) << "text " << c.text;
      } else {
        EXPECT_EQ(c.value, value) << "text \"" << c.text << "\"";
        EXPECT_EQ(std::signbit(c.value), std::signbit(value))
            << "text \"" << c.text << "\"";
      }
      EXPECT_EQ(c.rest, Rest(in)) << "text \"" << c.text << "\"";
    }
  }
};

TEST_F(ScanNumberTest, ConsumesTheLongestTextOfTheNumberForm) {
  const double inf = std::numeric_limits<double>::infinity();
  const NumberCase kCases[] = {
      {"  12.5 x", Scan::kNumber, 12.5, " x"},
      {"\r\n\t\v\f-3\n", Scan::kNumber, -3.0, "\n"},
      {"+7", Scan::kNumber, 7.0, ""},
      {"1e", Scan::kNumber, 1.0, ""},
      {"1e+", Scan::kNumber, 1.0, ""},
      {"1e-x", Scan::kNumber, 1.0, "x"},
      {"1E5", Scan::kNumber, 1e5, ""},
      {"2.5e-3,", Scan::kNumber, 0.0025, ","},
      {"5.", Scan::kNumber, 5.0, ""},
      {".5", Scan::kNumber, 0.5, ""},
      {"-.5e1", Scan::kNumber, -5.0, ""},
      {"1,5", Scan::kNumber, 1.0, ",5"},
      {"12abc", Scan::kNumber, 12.0, "abc"},
      {"1e5.3", Scan::kNumber, 1e5, ".3"},
      {"0x1A", Scan::kNumber, 0.0, "x1A"},
      {"-0", Scan::kNumber, -0.0, ""},
      {"007.50", Scan::kNumber, 7.5, ""},
      {"0.000", Scan::kNumber, 0.0, ""},
      {"-998", Scan::kNumber, -998.0, ""},
      // What matched is consumed even when it is no number.
      {"-x", Scan::kNoNumber, kUnset, "x"},
      {"+-3", Scan::kNoNumber, kUnset, "-3"},
      {".x", Scan::kNoNumber, kUnset, "x"},
      {"-.e5", Scan::kNoNumber, kUnset, "e5"},
      {"abc", Scan::kNoNumber, kUnset, "abc"},
      {"inf", Scan::kNoNumber, kUnset, "inf"},
      {"nan", Scan::kNoNumber, kUnset, "nan"},
      {"e5", Scan::kNoNumber, kUnset, "e5"},
      // The input ending before a digit is the end of input.
      {"", Scan::kEndOfInput, kUnset, ""},
      {" \n\t ", Scan::kEndOfInput, kUnset, ""},
      {"-", Scan::kEndOfInput, kUnset, ""},
      {" +.", Scan::kEndOfInput, kUnset, ""},
      // Beyond the range of doubles: infinity of the sign, or zero.
      {"1e400", Scan::kNumber, inf, ""},
      {"-1e400", Scan::kNumber, -inf, ""},
      {"1e-400", Scan::kNumber, 0.0, ""},
      {"-1e-400", Scan::kNumber, -0.0, ""},
      {"1e99999999999999999999999999", Scan::kNumber, inf, ""},
      {"1e-99999999999999999999999999", Scan::kNumber, 0.0, ""},
      {"1.7976931348623157e308", Scan::kNumber,
       std::numeric_limits<double>::max(), ""},
      {"4.9406564584124654e-324", Scan::kNumber,
       std::numeric_limits<double>::denorm_min(), ""},
      // 2^53 + 1 lies halfway between two doubles: ties go to even, and
      // any later nonzero digit decides upward.
      {"9007199254740993", Scan::kNumber, 9007199254740992.0, ""},
      {"9007199254740993.000000000000000000001", Scan::kNumber,
       9007199254740994.0, ""},
  };
  for (const auto& c : kCases) Check(c);
}

TEST_F(ScanNumberTest, LongDigitStringsKeepTheirValue) {
  const std::string zeros(1000, '0');
  const struct {
    std::string text;
    double value;
  } kCases[] = {
      // Integer digits past the kept ones still scale the value.
      {"1" + zeros + "e-1000", 1.0},
      // Leading zeros after the point shift it down.
      {"0." + zeros + "1e1001", 1.0},
      // A nonzero digit far past the halfway point still rounds up.
      {"9007199254740993." + zeros + "1", 9007199254740994.0},
      {"9007199254740993." + zeros, 9007199254740992.0},
      {zeros + "42", 42.0},
  };
  for (const auto& c : kCases) {
    StringInput in(c.text, 7);
    double value = kUnset;
    ASSERT_EQ(Scan::kNumber, ScanNumber(in, value)) << c.text.size();
    EXPECT_EQ(c.value, value) << "text of " << c.text.size() << " chars";
    EXPECT_EQ("", Rest(in));
  }
}

// A token of the kinds the short path takes and of those it must leave to
// the general scan: signs, points, exponents, long mantissas, leading zeros,
// values near halfway points, subnormals and overflow.
std::string RandomToken(std::mt19937_64& rng) {
  auto pick = [&rng](int n) {
    return static_cast<int>(rng() % static_cast<uint64_t>(n));
  };
  auto coin = [&rng] { return (rng() & 1) != 0; };
  auto digits = [&](int n) {
    std::string d;
    for (int i = 0; i < n; ++i) d += static_cast<char>('0' + pick(10));
    return d;
  };
  std::string t;
  if (pick(3) == 0) t += coin() ? '-' : '+';
  switch (pick(6)) {
    case 0:  // the common short decimal
      t += digits(1 + pick(6));
      t += '.';
      t += digits(pick(7));
      break;
    case 1:  // near and past the 19-digit and 2^53 limits
      t += digits(15 + pick(6));
      if (coin()) {
        t += '.';
        t += digits(pick(5));
      }
      break;
    case 2:  // 2^53 + 1 and friends: halfway between doubles
      t += "900719925474099";
      t += digits(1);
      if (coin()) {
        t += '.';
        t.append(static_cast<size_t>(pick(30)), '0');
        t += digits(1);
      }
      break;
    case 3:  // exponents, subnormals, overflow
      t += digits(1 + pick(20));
      t += coin() ? "e-" : "e";
      t += std::to_string(pick(340));
      break;
    case 4:  // leading zeros and long fractions
      t.append(static_cast<size_t>(pick(25)), '0');
      t += '.';
      t += digits(1 + pick(40));
      break;
    default:  // grammar corners: a lone point, dangling exponent letters
      if (coin()) t += '.';
      t += digits(pick(3));
      t += coin() ? 'e' : 'E';
      if (coin()) t += '+';
      break;
  }
  return t;
}

TEST(ScanNumberFastPathTest, ShortAndGeneralScansAgreeBitForBit) {
  std::mt19937_64 rng(20261208);
  for (int i = 0; i < SweepCases(); ++i) {
    const std::string token = RandomToken(rng);
    const std::string text = token + (i % 2 != 0 ? " 7" : "\tx");
    // A one-byte window never holds a whole token, so this scan always takes
    // the general path; the large window takes the short one when it can.
    StringInput general_in(text, 1);
    StringInput short_in(text);
    double general = kUnset;
    double fast = kUnset;
    const Scan general_result = ScanNumber(general_in, general);
    ASSERT_EQ(general_result, ScanNumber(short_in, fast)) << token;
    ASSERT_EQ(std::bit_cast<uint64_t>(general), std::bit_cast<uint64_t>(fast))
        << token;
    ASSERT_EQ(Rest(general_in), Rest(short_in)) << token;
    // The nearest double, as the C library finds it for the same token
    // (without a dangling exponent letter and sign).
    if (general_result == Scan::kNumber) {
      std::string plain = token;
      while (!plain.empty() && (plain.back() == 'e' || plain.back() == 'E' ||
                                plain.back() == '+')) {
        plain.pop_back();
      }
      ASSERT_EQ(std::bit_cast<uint64_t>(std::strtod(plain.c_str(), nullptr)),
                std::bit_cast<uint64_t>(general))
          << token;
    }
  }
}

// Integers times powers of ten near the limits of the exact arithmetic (2^53,
// 10^22), written with an exponent so that the general scan converts them;
// the nearest double is what the C library finds for the same text.
TEST(ScanNumberExactTest, GivesTheNearestDouble) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < SweepCases(2); ++i) {
    const uint64_t mantissa = rng() >> (rng() % 64);
    if (mantissa == 0) continue;
    std::string text = (rng() & 1) != 0 ? "-" : "+";
    text += std::to_string(mantissa);
    text += 'e';
    text += std::to_string(static_cast<int>(rng() % 61) - 30);
    StringInput in(text, 1);
    double value = kUnset;
    ASSERT_EQ(Scan::kNumber, ScanNumber(in, value)) << text;
    ASSERT_EQ(std::bit_cast<uint64_t>(std::strtod(text.c_str(), nullptr)),
              std::bit_cast<uint64_t>(value))
        << text;
  }
}

TEST(ScanDateTest, ReadsSignedDigitsWrappingAt32Bits) {
  const struct {
    const char* text;
    Scan result;
    int32_t value;
    const char* rest;
  } kCases[] = {
      {" 2001\t", Scan::kNumber, 2001, "\t"},
      {"\n-5x", Scan::kNumber, -5, "x"},
      {"+7", Scan::kNumber, 7, ""},
      {"12.5", Scan::kNumber, 12, ".5"},
      {"2147483647", Scan::kNumber, 2147483647, ""},
      {"2147483648", Scan::kNumber, -2147483647 - 1, ""},
      {"4294967297", Scan::kNumber, 1, ""},
      {"-2147483649", Scan::kNumber, 2147483647, ""},
      {"00024", Scan::kNumber, 24, ""},
      {"-x", Scan::kNoNumber, 99, "x"},
      {"--5", Scan::kNoNumber, 99, "-5"},
      {"x", Scan::kNoNumber, 99, "x"},
      {".5", Scan::kNoNumber, 99, ".5"},
      {"", Scan::kEndOfInput, 99, ""},
      {"  -", Scan::kEndOfInput, 99, ""},
  };
  for (const auto& c : kCases) {
    for (size_t block : {1u, 4096u}) {
      StringInput in(c.text, block);
      int32_t value = 99;
      EXPECT_EQ(c.result, ScanDate(in, value)) << "text \"" << c.text << "\"";
      EXPECT_EQ(c.value, value) << "text \"" << c.text << "\"";
      EXPECT_EQ(c.rest, Rest(in)) << "text \"" << c.text << "\"";
    }
  }
}

}  // namespace
}  // namespace vostrel
