// Tests of the number rendering against the six-digit rule.
#include "render.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "render_reference.h"
#include "test_util.h"

namespace vostrel {
namespace {

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
      // A NaN's sign bit adds no second sign.
      {-std::numeric_limits<double>::quiet_NaN(), "-1.#IND"},
  };
  for (const auto& c : kCases) {
    std::string out = "x";
    AppendNumber(out, c.value);
    EXPECT_EQ(std::string("x") + c.text, out) << "value " << c.value;
  }
}

TEST(AppendNumberTest, MatchesTheRuleOnManyValues) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < SweepCases(); ++i) {
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

// Checks `value` and its negative against the reference.
void ExpectMatches(double value) {
  for (double v : {value, -value}) {
    std::string out;
    AppendNumber(out, v);
    ASSERT_EQ(ReferenceNumber(v), out)
        << std::hexfloat << v << std::defaultfloat << " (" << v << ")";
  }
}

// Checks `value` (finite) and the doubles up to `ulps` steps away on either
// side, and their negatives.
void ExpectMatchesNear(double value, int ulps) {
  ExpectMatches(value);
  double below = value;
  double above = value;
  for (int step = 0; step < ulps; ++step) {
    below = std::nextafter(below, 0.0);
    above = std::nextafter(above, HUGE_VAL);
    ExpectMatches(below);
    ExpectMatches(above);
  }
}

// The nearest double to the decimal `digits` * 10^exponent.
double Decimal(uint64_t digits, int exponent) {
  return std::strtod(
      (std::to_string(digits) + "e" + std::to_string(exponent)).c_str(),
      nullptr);
}

// The fast path decides by the scaled value's distance from a halfway point
// of the six-digit rounding and hands the close ones to the exact path; both
// break in different ways at the decade boundaries and at the carry of
// 999999.5. So: halfway points (a 7th digit of 5) at every decimal exponent,
// the carry, the powers of ten, each with its neighbouring doubles.
TEST(AppendNumberTest, MatchesTheRuleNearHalfwayPointsAndDecadeBounds) {
  std::mt19937_64 rng(7);
  for (int exponent = -323; exponent <= 308; ++exponent) {
    ExpectMatchesNear(Decimal(1, exponent), 4);  // the decade's first double
    // Below 1e-320 the doubles are too sparse for six-digit points.
    if (exponent < -320) continue;
    // The largest double is 1.79769e+308.
    const uint64_t largest = exponent < 308 ? 999999 : 179768;
    ExpectMatchesNear(Decimal(largest * 10 + 5, exponent - 6), 4);  // carry
    ExpectMatchesNear(Decimal(1000005, exponent - 6), 4);
    for (int k = 0; k < SweepCases(60000); ++k) {
      const uint64_t six = 100000 + rng() % (largest - 99999);
      ExpectMatchesNear(Decimal(six * 10 + 5, exponent - 6), 4);
    }
  }
}

// Where the fast path takes over from the exact one: scaled values around
// the edges of its halfway window (2^-30 from n + 0.5), at the decades it
// handles and a few beyond.
TEST(AppendNumberTest, MatchesTheRuleAtTheEdgesOfTheHalfwayWindow) {
  std::mt19937_64 rng(8);
  for (int exponent = -19; exponent <= 29; ++exponent) {
    for (int k = 0; k < 40; ++k) {
      const double half = static_cast<double>(100000 + rng() % 900000) + 0.5;
      // 2^-31 to 2^-29.6 away, on either side.
      const double offset =
          std::ldexp(static_cast<double>(rng() % 64) + 32, -36);
      const double scaled = (rng() & 1) != 0 ? half + offset : half - offset;
      const double value = exponent >= 5
                               ? scaled * std::pow(10.0, exponent - 5)
                               : scaled / std::pow(10.0, 5 - exponent);
      ExpectMatchesNear(value, 1);
    }
  }
}

// Integers, the counts and markers the files hold most, and random doubles
// of the magnitudes the fast path handles.
TEST(AppendNumberTest, MatchesTheRuleOnIntegersAndFastRangeBits) {
  for (int i = 0; i <= 2000; ++i) ExpectMatches(i);
  for (int i = 999990; i <= 1000010; ++i) ExpectMatches(i);
  std::mt19937_64 rng(9);
  for (int i = 0; i < SweepCases(40); ++i) {
    const uint64_t bits = rng();
    ExpectMatches(static_cast<double>(bits >> (rng() % 64)));
  }
  for (int i = 0; i < SweepCases(10); ++i) {
    // Binary exponents -60 to 95: about 1e-18 to 4e28.
    const uint64_t bits = (rng() & 0x800fffffffffffff) |
                          (uint64_t{1023 - 60 + rng() % 156} << 52);
    ExpectMatches(std::bit_cast<double>(bits));
  }
}

}  // namespace
}  // namespace vostrel
