// Tests of the number rendering against the six-digit rule.
#include "render.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
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

}  // namespace
}  // namespace vostrel
