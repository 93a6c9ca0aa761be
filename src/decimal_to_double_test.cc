// Tests of the general decimal-to-double conversion on the hard cases of
// correct rounding: exact halfway points, sticky tails, the ends of the range.
#include "decimal_to_double.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "test_util.h"

namespace vostrel {
namespace {

// The decimal digits of odd x 5^fives x 2^twos, by schoolbook arithmetic in
// base 10^9, independently of the code under test. A halfway point between
// two doubles is (2m + 1) x 2^f, and for f < 0 that is (2m + 1) x 5^-f x
// 10^f: these digits with the decimal exponent f.
std::string Digits(uint64_t odd, int fives, int twos) {
  std::vector<uint64_t> limbs = {odd % 1000000000,
                                 odd / 1000000000 % 1000000000,
                                 odd / 1000000000 / 1000000000};
  auto multiply = [&limbs](uint64_t factor) {
    uint64_t carry = 0;
    for (uint64_t& limb : limbs) {
      const uint64_t t = limb * factor + carry;
      limb = t % 1000000000;
      carry = t / 1000000000;
    }
    while (carry != 0) {
      limbs.push_back(carry % 1000000000);
      carry /= 1000000000;
    }
  };
  for (; fives >= 13; fives -= 13) multiply(1220703125);  // 5^13
  for (; fives > 0; --fives) multiply(5);
  for (; twos >= 30; twos -= 30) multiply(uint64_t{1} << 30);
  for (; twos > 0; --twos) multiply(2);
  while (limbs.size() > 1 && limbs.back() == 0) limbs.pop_back();
  std::string text = std::to_string(limbs.back());
  for (size_t i = limbs.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(limbs[i]);
    text += std::string(9 - part.size(), '0') + part;
  }
  return text;
}

// `digits` with zeros appended up to `length` digits.
std::string Padded(std::string digits, size_t length) {
  digits.resize(length, '0');
  return digits;
}

constexpr uint64_t k2To53 = uint64_t{1} << 53;

TEST(DecimalToDoubleTest, RoundsTheHardCasesCorrectly) {
  const double inf = HUGE_VAL;
  // Halfway between 2^-67 = 2^52 x 2^-119 and the next double up:
  // (2^53 + 1) x 2^-120 = (2^53 + 1) x 5^120 x 10^-120, 100 digits.
  const std::string half_even_100 = Digits(k2To53 + 1, 120, 0);
  // Halfway between (2^52 + 1) x 2^-119 (odd) and (2^52 + 2) x 2^-119:
  // (2^53 + 3) x 5^120 x 10^-120, 100 digits.
  const std::string half_odd_100 = Digits(k2To53 + 3, 120, 0);
  // The same with its last digit (a 5, the value being odd x 5^120) one
  // less and nines after it to 800 digits, and a nonzero tail: still below.
  std::string below_half_odd_800 = half_odd_100;
  below_half_odd_800.back() = '4';
  below_half_odd_800.resize(800, '9');
  // Halfway between 0 and the smallest subnormal 2^-1074: 2^-1075 = 5^1075
  // x 10^-1075, 752 digits; and between 2^-1074 (odd) and 2 x 2^-1074:
  // 3 x 5^1075 x 10^-1075, 752 digits. Both padded to 800 digits.
  const std::string half_zero_800 = Padded(Digits(1, 1075, 0), 800);
  const std::string half_odd_800 = Padded(Digits(3, 1075, 0), 800);
  // Halfway between the largest double (2^53 - 1) x 2^971 and 2^1024:
  // (2^54 - 1) x 2^970, an integer of 309 digits; a tie whose even side is
  // 2^1024, so it overflows.
  const std::string half_past_largest_exact =
      Digits((uint64_t{1} << 54) - 1, 0, 970);
  const std::string two_to_1024 = Digits(1, 0, 1024);
  // 10^27 times the halfway point between (2^53 - 1) x 2^970 and 2^1023,
  // plus one, at 10^-27: just above it, so 2^1023. Its leading 64 bits over
  // those of 5^27 give a guess below the point, and the walk up enters the
  // top binade.
  std::string above_half_below_top = Digits((uint64_t{1} << 54) - 1, 27, 996);
  above_half_below_top.back() = '1';  // the digits end in zeros
  // 2^-1022 less 3/8 of the subnormals' step 2^-1074: (2^55 - 3) x 2^-1077,
  // 770 digits. Above the halfway point beneath the smallest normal, whose
  // next double down is the largest subnormal, (2^52 - 1) x 2^-1074.
  const std::string below_smallest_normal =
      Digits((uint64_t{1} << 55) - 3, 1077, 0);
  std::string below_half_past_largest = half_past_largest_exact;
  below_half_past_largest.back() = static_cast<char>(
      below_half_past_largest.back() - 1);  // the last digit of 2^k is even

  const struct {
    const char* name;
    std::string digits;
    bool sticky;
    int64_t exponent;
    double expected;
  } kCases[] = {
      // 2^64 + 2048 (20 digits) is halfway between 2^64 (mantissa 2^52,
      // even) and 2^64 + 4096 (odd): down. 2^64 + 14336 is halfway between
      // 2^64 + 3 x 4096 (odd) and 2^64 + 4 x 4096 = 2^64 (1 + 2^-50): up.
      // 2^53 + 1 lies between 2^53 and 2^53 + 2 (mantissa 2^52 + 1, odd),
      // 2^53 + 3 between that and 2^53 + 4; 2^52 + 0.5 between 2^52 and
      // 2^52 + 1 (odd), 2^52 + 1.5 between that and 2^52 + 2; 2^63 + 1024
      // between 2^63 and 2^63 + 2048 (odd). At most 19 digits each.
      {"16 digits, tie down", "9007199254740993", false, 0, 0x1p53},
      {"16 digits, tie up", "9007199254740995", false, 0, 0x1.0000000000002p53},
      {"17 digits, a fraction, tie down", "45035996273704965", false, -1,
       0x1p52},
      {"17 digits, a fraction, tie up", "45035996273704975", false, -1,
       0x1.0000000000002p52},
      {"19 digits, tie down", "9223372036854776832", false, 0, 0x1p63},
      {"20 digits, tie down", "18446744073709553664", false, 0, 0x1p64},
      {"20 digits, tie up", "18446744073709565952", false, 0,
       0x1.0000000000004p64},
      {"100 digits, tie down", half_even_100, false, -120, 0x1p-67},
      {"100 digits, tie up", half_odd_100, false, -120, 0x1.0000000000002p-67},
      // The tie-down case padded to 800 digits, then a nonzero digit past
      // them: just above the halfway point, so up.
      {"800 digits, one past the tie", Padded(half_even_100, 800), true,
       -120 - 700, 0x1.0000000000001p-67},
      {"800 digits, just below the tie", below_half_odd_800, true, -120 - 700,
       0x1.0000000000001p-67},
      {"800 digits, tie up", half_odd_800, false, -1075 - 48, 0x1p-1073},
      // Underflow to zero: the tie between 0 and 2^-1074 goes to 0 (even);
      // anything above it to 2^-1074.
      {"800 digits, tie to zero", half_zero_800, false, -1075 - 48, 0.0},
      {"800 digits, past the tie to zero", half_zero_800, true, -1075 - 48,
       0x1p-1074},
      // 2^-1074 = 4.9406564584124654...e-324; nearest to any value between
      // 2^-1075 (2.47e-324) and 3 x 2^-1075 (1.48e-323).
      {"just below the smallest normal", below_smallest_normal, false, -1077,
       0x1p-1022},
      {"smallest subnormal", "49406564584124654", false, -340, 0x1p-1074},
      {"above half the smallest subnormal", "25", false, -325, 0x1p-1074},
      {"below half the smallest subnormal", "24", false, -325, 0.0},
      {"far below the smallest subnormal", "1", false, -400, 0.0},
      {"past any double", "1", false, -401, 0.0},
      // (2^53 - 1) x 2^971 = 1.7976931348623157081...e308: the 17-digit text
      // is within 1e291, the doubles there 2^971 (2e292) apart.
      {"just above the tie below 2^1023", above_half_below_top, false, -27,
       0x1p1023},
      {"largest finite", "17976931348623157", false, 292,
       0x1.fffffffffffffp1023},
      {"one below the overflow tie", below_half_past_largest, false, 0,
       0x1.fffffffffffffp1023},
      {"the overflow tie", half_past_largest_exact, false, 0, inf},
      {"2^1024", two_to_1024, false, 0, inf},
      {"overflow", "1", false, 309, inf},
      {"far past overflow", "1", false, 401, inf},
      {"zero", "", false, 0, 0.0},
      // The largest integers the conversion builds: 800 nines and a sticky
      // tail just inside the cut-offs at 10^-400 and 10^401.
      {"800 nines at 10^-400", std::string(800, '9'), true, -1199, 0.0},
      {"800 nines at 10^400", std::string(800, '9'), true, -399, inf},
      {"400 nines at 10^400", std::string(400, '9'), false, 1, inf},
  };
  for (const auto& c : kCases) {
    const double value = DecimalToDouble(c.digits, c.sticky, c.exponent);
    EXPECT_EQ(std::bit_cast<uint64_t>(c.expected),
              std::bit_cast<uint64_t>(value))
        << c.name << ": " << std::hexfloat << value;
  }
  // The lengths the cases claim.
  EXPECT_EQ(100u, half_even_100.size());
  EXPECT_EQ(100u, half_odd_100.size());
  EXPECT_EQ(752u, Digits(3, 1075, 0).size());
  EXPECT_EQ(309u, half_past_largest_exact.size());
}

// The exact halfway points around random doubles of every magnitude, and
// the decimals just off them, against the C library's conversion of the same
// text: the tie rule and the comparison's two sides meet only here.
TEST(DecimalToDoubleTest, AgreesWithTheCLibraryAroundHalfwayPoints) {
  std::mt19937_64 rng(14);
  for (int i = 0; i < SweepCases(100); ++i) {
    const uint64_t bits = 1 + rng() % 0x7fefffffffffffffu;  // finite, > 0
    const double low = std::bit_cast<double>(bits);
    // low = m x 2^e exactly; the halfway point above is (2m + 1) x 2^(e-1).
    int e = 0;
    const double fraction = std::frexp(low, &e);
    auto m = static_cast<uint64_t>(std::ldexp(fraction, 53));
    e -= 53;
    if (e < -1074) {  // subnormal: m x 2^-1074
      m >>= -1074 - e;
      e = -1074;
    }
    const int f = e - 1;
    std::string digits =
        f < 0 ? Digits(2 * m + 1, -f, 0) : Digits(2 * m + 1, 0, f);
    const int64_t exponent = f < 0 ? f : 0;
    // Exact, one unit of the last digit less, and a nonzero tail after.
    std::string less = digits;
    size_t last = less.size() - 1;
    for (; less[last] == '0'; --last) less[last] = '9';
    --less[last];
    if (less[0] == '0') less.erase(0, 1);
    const struct {
      std::string digits;
      bool sticky;
      int64_t exponent;
    } kVariants[] = {
        {digits, false, exponent},
        {less, false, exponent},
        {Padded(digits, 800), true,
         exponent - static_cast<int64_t>(800 - digits.size())},
    };
    for (const auto& v : kVariants) {
      const std::string text = v.digits + (v.sticky ? "1" : "") + "e" +
                               std::to_string(v.exponent - (v.sticky ? 1 : 0));
      ASSERT_EQ(std::bit_cast<uint64_t>(std::strtod(text.c_str(), nullptr)),
                std::bit_cast<uint64_t>(
                    DecimalToDouble(v.digits, v.sticky, v.exponent)))
          << text;
    }
  }
}

}  // namespace
}  // namespace vostrel
