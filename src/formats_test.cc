// Tests of the reader, the scans, the line read, number rendering and the
// writers. Expected texts follow from the format rules by hand.
#include "formats.h"

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

#include "vostrel.h"

namespace vostrel {
namespace {

// Everything left in `in`, read with line reads.
std::string Rest(Input& in) {
  std::string all;
  std::string line;
  while (ReadLine(in, line)) all += line;
  return all;
}

TEST(InputTest, FoldsCrLfAndStopsAtEndOfFileByte) {
  const struct {
    const char* name;
    std::string raw;
    std::string seen;
  } kCases[] = {
      {"crlf", "a\r\nb\r\n", "a\nb\n"},
      {"lone cr is data", "a\rb\r", "a\rb\r"},
      {"cr before crlf", "a\r\r\nb", "a\r\nb"},
      {"cr cr lf lf", "\r\r\n\n", "\r\n\n"},
      {"end byte",
       std::string("ab\x1a"
                   "cd\r\n"),
       "ab"},
      {"cr then end byte", std::string("ab\r\x1a\n"), "ab\r"},
      {"end byte first",
       std::string("\x1a"
                   "abc"),
       ""},
      {"empty", "", ""},
  };
  for (const auto& c : kCases) {
    // Small blocks put every pair across a block boundary somewhere.
    for (size_t block : {2u, 3u, 5u, 64u}) {
      StringInput in(c.raw, block);
      EXPECT_EQ(c.seen, Rest(in)) << "case " << c.name << ", block " << block;
      ASSERT_TRUE(in.Rewind());
      EXPECT_EQ(c.seen, Rest(in))
          << "case " << c.name << " after rewind, block " << block;
    }
  }
}

TEST(LineReadTest, TakesUpToLfOrTheReadLimit) {
  const size_t limit = static_cast<size_t>(kMaxLineRead);
  const struct {
    const char* name;
    std::string raw;
    std::vector<size_t> reads;  // the length of each read, in order
  } kCases[] = {
      {"short lines", "ab\ncd\n", {3, 3}},
      {"last line without lf", "ab\ncd", {3, 2}},
      {"line of limit - 1 plus lf",
       std::string(limit - 1, 'x') + "\n",
       {limit}},
      {"crlf counts as one", std::string(limit - 1, 'x') + "\r\n", {limit}},
      {"line of limit plus lf", std::string(limit, 'x') + "\n", {limit, 1}},
      {"long line in pieces",
       std::string(2 * limit + 5, 'x') + "\n",
       {limit, limit, 6}},
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
  }
}

TEST(LineReadTest, SkipLineConsumesWhatReadLineWouldTake) {
  StringInput in(std::string(kMaxLineRead + 3, 'y') + "\nz\n", 1000);
  ASSERT_TRUE(SkipLine(in));
  EXPECT_EQ("yyy\nz\n", Rest(in));
}

TEST(LineTextTest, EndsAtFirstNul) {
  EXPECT_EQ("he", LineText(std::string("he\0ad\n", 6)));
  EXPECT_EQ("head\n", LineText("head\n"));
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

TEST(ScanNumberFastPathTest, AgreesWithTheGeneralConversion) {
  // Exercises the exact short path on values it takes, and a few it must
  // leave to the general one.
  const char* kTexts[] = {"0.1",      "123.456789", "9007199254740992",
                          "1e22",     "1e23",       "4.35",
                          "0.000001", "999999.5",   "9007199254740993",
                          "1.5e-22",  "17.0000001", "123456789012345678"};
  for (const char* text : kTexts) {
    StringInput in(text);
    double scanned = 0;
    ASSERT_EQ(Scan::kNumber, ScanNumber(in, scanned)) << text;
    EXPECT_EQ(std::strtod(text, nullptr), scanned) << text;
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
  for (int i = 0; i < 200000; ++i) {
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

TEST(DecimalToDoubleTest, ExactArithmeticMatchesTheGeneralConversion) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 100000; ++i) {
    Decimal d;
    d.negative = (rng() & 1) != 0;
    const uint64_t mantissa = rng() >> (rng() % 64);
    const std::string text = std::to_string(mantissa);
    if (mantissa == 0) continue;
    d.num_digits = static_cast<int>(text.size());
    std::copy(text.begin(), text.end(), d.digits);
    d.leading = mantissa;
    d.exponent = static_cast<int64_t>(rng() % 61) - 30;
    ASSERT_EQ(std::bit_cast<uint64_t>(DecimalToDoubleGeneral(d)),
              std::bit_cast<uint64_t>(DecimalToDouble(d)))
        << text << "e" << d.exponent;
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

TEST(AppendNumberTest, WritesSixSignificantDigitsInTheOutputForm) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    const char* text;
  } kCases[] = {
      {-9999.0, "-9999"},
      {0.0, "0"},
      {-0.0, "-0"},
      {1.5, "1.5"},
      {100.0, "100"},
      {12.5, "12.5"},
      {0.1, "0.1"},
      {-0.25, "-0.25"},
      {123456.0, "123456"},
      {999999.4, "999999"},
      {1234567.0, "1.23457e+006"},
      {1e6, "1e+006"},
      {1e100, "1e+100"},
      {-2.5e10, "-2.5e+010"},
      // Fixed form reaches down to an exponent of -4.
      {0.0001, "0.0001"},
      {0.00012345678, "0.000123457"},
      {0.00001, "1e-005"},
      {0.00001234, "1.234e-005"},
      {1e-300, "1e-300"},
      // The carry can move a value into exponent form.
      {999999.5, "1e+006"},
      {0.000099999951, "0.0001"},
      {9.9999951e-5, "0.0001"},
      // Exact ties at the seventh digit round up, away from zero.
      {123456.5, "123457"},
      {-123456.5, "-123457"},
      {1.015625, "1.01563"},
      {0.0009765625, "0.000976563"},
      {1234565.0, "1.23457e+006"},
      // The nearest doubles lie just below these ties, but their 17-digit
      // expansions end in 5000..., which rounds up.
      {0.1234565, "0.123457"},
      {12.345675, "12.3457"},
      // Just below a tie even at 17 digits.
      {99999.95, "99999.9"},
      {4.0000005, "4"},
      {std::numeric_limits<double>::max(), "1.79769e+308"},
      {std::numeric_limits<double>::denorm_min(), "4.94066e-324"},
      {inf, "1.#INF"},
      {-inf, "-1.#INF"},
      {std::numeric_limits<double>::quiet_NaN(), "-1.#IND"},
  };
  for (const auto& c : kCases) {
    std::string out = "x";
    AppendNumber(out, c.value);
    EXPECT_EQ(std::string("x") + c.text, out) << "value " << c.value;
  }
}

// The output form worked out from the 17-digit expansion that the C library
// prints exactly (glibc's %.16e), independently of the tool's own code.
std::string ReferenceNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.16e", std::fabs(value));
  std::string digits(1, text[0]);
  digits.append(text + 2, 16);
  int exponent = std::atoi(std::strchr(text, 'e') + 1);
  long six = std::stol(digits.substr(0, 6)) + (digits[6] >= '5' ? 1 : 0);
  if (six == 1000000) {
    six = 100000;
    ++exponent;
  }
  std::string d = std::to_string(six);
  while (d.size() > 1 && d.back() == '0') d.pop_back();
  std::string out = std::signbit(value) ? "-" : "";
  if (exponent < -4 || exponent >= 6) {
    out += d.substr(0, 1);
    if (d.size() > 1) out.append(".").append(d, 1);
    char e[16];
    std::snprintf(e, sizeof e, "e%c%03d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    return out + e;
  }
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    return out + d;
  }
  const size_t integer_digits = static_cast<size_t>(exponent) + 1;
  if (d.size() < integer_digits) d.append(integer_digits - d.size(), '0');
  out += d.substr(0, integer_digits);
  if (d.size() > integer_digits) out.append(".").append(d, integer_digits);
  return out;
}

TEST(AppendNumberTest, MatchesTheRuleOnManyValues) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 300000; ++i) {
    double value;
    switch (i % 4) {
      case 0:  // any finite double, subnormals included
        do {
          value = std::bit_cast<double>(rng());
        } while (!std::isfinite(value) || value == 0);
        break;
      case 1:  // a few ulps from a halfway point at the seventh digit
        value = (static_cast<double>(1000000 + rng() % 9000000) + 0.5) *
                std::pow(10.0, static_cast<int>(rng() % 40) - 20);
        for (int steps = static_cast<int>(rng() % 7) - 3; steps != 0;
             steps += steps > 0 ? -1 : 1) {
          value = std::nextafter(value, steps > 0 ? HUGE_VAL : 0.0);
        }
        break;
      case 2:  // sums of short decimals, as a column of model output makes
        value = 0;
        for (int k = 0; k < 24; ++k) {
          value += std::round(unit(rng) * 1e6) / 1e3;
        }
        break;
      default:  // short decimals of every magnitude
        value = std::round(unit(rng) * 1e7) *
                std::pow(10.0, static_cast<int>(rng() % 30) - 15);
        break;
    }
    if ((rng() & 1) != 0) value = -value;
    std::string out;
    AppendNumber(out, value);
    ASSERT_EQ(ReferenceNumber(value), out)
        << std::hexfloat << value << std::defaultfloat;
  }
}

TEST(OutputTest, WritesEachLfAsCrLf) {
  StringOutput out;
  out.Write("a\nb");
  out.Write("\n\n");
  out.Write("c\rd");
  EXPECT_TRUE(out.Flush());
  EXPECT_EQ("a\r\nb\r\n\r\nc\rd", out.bytes());
}

TEST(OutputTest, WritesNothingAfterTheFirstFailure) {
  StringOutput out;
  out.FailAfter(4);
  out.Write("ab\n");  // four bytes with the CR
  EXPECT_TRUE(out.ok());
  out.Write("c");
  EXPECT_FALSE(out.ok());
  out.FailAfter(100);
  out.Write("d");
  EXPECT_FALSE(out.Flush());
  EXPECT_EQ("ab\r\n", out.bytes());
}

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

TEST_F(HeaderBlockTest, TextStopsAtNulAndLongLinesTakeSeveralRows) {
  Copy(std::string("he\0ad\nnext\n", 11), 2);
  // The NUL cuts the row's line end too, so the next row continues it.
  EXPECT_EQ("daily sums from run1.out : henext\r\n", daily_.bytes());

  StringOutput daily;
  StringOutput monthly;
  StringInput in(std::string(kMaxLineRead + 2, 'h') + "\nrest\n");
  WriteHeaderBlock(in, 2, "n", daily, monthly);
  EXPECT_EQ(
      "daily sums from n : " + std::string(kMaxLineRead + 2, 'h') + "\r\n",
      daily.bytes());
  EXPECT_EQ("rest\n", Rest(in));
}

TEST(RecordLineTest, WritesDateFieldsThenOneNumberPerColumn) {
  StringOutput out;
  WriteRecordLine(out, 2001, 2, 28, 24, {1.5, -9999.0, 0.0});
  WriteRecordLine(out, -1, 0, 0, 24, {});
  WriteTotalsLine(out, {1e6, 0.5});
  EXPECT_EQ(
      "2001\t2\t28\t24\t1.5\t-9999\t0\r\n"
      "-1\t0\t0\t24\r\n"
      "0\t0\t0\t0\t1e+006\t0.5\r\n",
      out.bytes());
}

}  // namespace
}  // namespace vostrel
