// Tests of the exact 17-digit expansion of a double.
#include "exact_digits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "test_util.h"

namespace vostrel {
namespace {

TEST(ExactDigitsTest, RoundsTheExactValueToSeventeenDigits) {
  // Each exact value is the double's binary value written out in decimal;
  // a bar marks the 17th digit.
  const struct {
    double value;
    const char* digits;
    int exponent;
  } kCases[] = {
      {1.0, "10000000000000000", 0},
      // 0.10000000000000000|555...: above the tie, up.
      {0.1, "10000000000000001", -1},
      // 1 + 2^-17 = 1.0000076293945312|5 exactly: a tie, the even 2 stays.
      {1.0 + 0x1p-17, "10000076293945312", 0},
      // 1 + 3 x 2^-17 = 1.0000228881835937|5: a tie, the odd 7 goes up.
      {1.0 + 0x3p-17, "10000228881835938", 0},
      // The double nearest 1e-305 is 9.9999999999999999|6282...e-306: up,
      // with a carry into the next decade.
      {1e-305, "10000000000000000", -305},
      // 2^63 = 9223372036854775808: digits dropped below the 18th.
      {0x1p63, "92233720368547758", 18},
      // 2^1023 = 8.9884656743115795|386...e307.
      {0x1p1023, "89884656743115795", 307},
      // (2^53 - 1) x 2^971 = 1.7976931348623157|081...e308, the largest.
      {0x1.fffffffffffffp1023, "17976931348623157", 308},
      // 2^-1074 = 4.9406564584124654|418...e-324, the smallest.
      {0x1p-1074, "49406564584124654", -324},
  };
  for (const auto& c : kCases) {
    char digits[kExactDigits];
    const int exponent = ExactDigits(c.value, digits);
    EXPECT_EQ(c.digits, std::string(digits, kExactDigits)) << c.value;
    EXPECT_EQ(c.exponent, exponent) << c.value;
  }
}

// Random doubles of every magnitude against the C library's exact "%.16e"
// (which rounds ties to even too).
TEST(ExactDigitsTest, AgreesWithTheCLibraryOnRandomDoubles) {
  std::mt19937_64 rng(17);
  for (int i = 0; i < SweepCases(10); ++i) {
    const double value = std::bit_cast<double>(1 + rng() % 0x7fefffffffffffffu);
    char text[40];
    std::snprintf(text, sizeof text, "%.16e", value);
    std::string expected(1, text[0]);
    expected.append(text + 2, 16);
    char digits[kExactDigits];
    const int exponent = ExactDigits(value, digits);
    ASSERT_EQ(expected, std::string(digits, kExactDigits)) << text;
    ASSERT_EQ(std::atoi(std::strchr(text, 'e') + 1), exponent) << text;
  }
}

}  // namespace
}  // namespace vostrel
