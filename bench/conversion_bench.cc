// Micro-benchmarks of the exact number conversions that the fast paths leave
// to big-integer arithmetic, next to the standard library's conversions they
// replace (std::from_chars and std::to_chars for double, which only a recent
// libstdc++ or libc++ provides; fine here, in a benchmark):
// - decimal to double on the tokens the general scan hands over: long
//   mantissas, large exponents, the 800 kept digits with a sticky tail;
// - the exact 17-digit expansion of doubles far outside the rendering's
//   fast range.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decimal_to_double.h"
#include "exact_digits.h"

namespace {

// What the general scan hands over: the significant digits, the sticky flag
// and the decimal exponent.
struct Token {
  std::string digits;
  bool sticky;
  int64_t exponent;
};

// kinds: 0 = 17 digits from 1e-3 to 1e3 (full-precision "%.17g" output
// above 2^53), 1 = 20 to 25 digits near 1, 2 = 1 to 17 digits with exponents
// from -300 to 290, 3 = 50 digits, 4 = 800 digits and a sticky tail.
std::vector<Token> Tokens(int kind) {
  std::mt19937_64 rng(static_cast<uint64_t>(kind) + 1);
  auto digits = [&rng](size_t n) {
    std::string d(1, static_cast<char>('1' + rng() % 9));
    while (d.size() < n) d += static_cast<char>('0' + rng() % 10);
    return d;
  };
  std::vector<Token> tokens;
  for (int i = 0; i < 256; ++i) {
    const auto offset = [&rng](int span) {
      return static_cast<int64_t>(rng() % static_cast<uint64_t>(span));
    };
    switch (kind) {
      case 0:
        tokens.push_back({"9" + digits(16), false, offset(7) - 19});
        break;
      case 1: {
        const size_t n = 20 + rng() % 6;
        tokens.push_back(
            {digits(n), false, 1 - static_cast<int64_t>(n) + offset(7) - 3});
        break;
      }
      case 2:
        tokens.push_back({digits(1 + rng() % 17), false, offset(591) - 300});
        break;
      case 3:
        tokens.push_back({digits(50), false, offset(201) - 150});
        break;
      default:
        tokens.push_back({digits(800), true, offset(61) - 830});
        break;
    }
  }
  return tokens;
}

// The conversion as the scan did it before: the digits, a sticky 1 and the
// exponent as text, read by std::from_chars.
double FromChars(const Token& t) {
  char text[vostrel::kMaxDecimalDigits + 32];
  size_t n = t.digits.size();
  std::memcpy(text, t.digits.data(), n);
  int64_t exponent = t.exponent;
  if (t.sticky) {
    text[n++] = '1';
    --exponent;
  }
  text[n++] = 'e';
  char* end = std::to_chars(text + n, text + sizeof text, exponent).ptr;
  double value = 0;
  std::from_chars(text, end, value);
  return value;
}

void BM_DecimalFromChars(benchmark::State& state) {
  const std::vector<Token> tokens = Tokens(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const Token& t : tokens) benchmark::DoNotOptimize(FromChars(t));
  }
  state.SetItemsProcessed(
      static_cast<int64_t>(state.iterations() * tokens.size()));
}
BENCHMARK(BM_DecimalFromChars)->DenseRange(0, 4);

void BM_DecimalToDouble(benchmark::State& state) {
  const std::vector<Token> tokens = Tokens(static_cast<int>(state.range(0)));
  for (const Token& t : tokens) {
    if (vostrel::DecimalToDouble(t.digits, t.sticky, t.exponent) !=
        FromChars(t)) {
      state.SkipWithError("the conversions differ");
      return;
    }
  }
  for (auto _ : state) {
    for (const Token& t : tokens) {
      benchmark::DoNotOptimize(
          vostrel::DecimalToDouble(t.digits, t.sticky, t.exponent));
    }
  }
  state.SetItemsProcessed(
      static_cast<int64_t>(state.iterations() * tokens.size()));
}
BENCHMARK(BM_DecimalToDouble)->DenseRange(0, 4);

// Doubles of decimal exponents from -300 to 300 but outside the rendering's
// fast range (1e-17 to 1e27).
std::vector<double> FarValues() {
  std::mt19937_64 rng(5);
  std::vector<double> values;
  while (values.size() < 256) {
    const double v = std::bit_cast<double>(rng() & 0x7fefffffffffffffu);
    if ((v > 1e-300 && v < 1e-17) || (v > 1e27 && v < 1e300)) {
      values.push_back(v);
    }
  }
  return values;
}

void BM_DigitsToChars(benchmark::State& state) {
  const std::vector<double> values = FarValues();
  char text[40];
  for (auto _ : state) {
    for (double v : values) {
      benchmark::DoNotOptimize(std::to_chars(text, text + sizeof text, v,
                                             std::chars_format::scientific, 16)
                                   .ptr);
    }
  }
  state.SetItemsProcessed(
      static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_DigitsToChars);

void BM_ExactDigits(benchmark::State& state) {
  const std::vector<double> values = FarValues();
  char digits[vostrel::kExactDigits];
  for (auto _ : state) {
    for (double v : values) {
      benchmark::DoNotOptimize(vostrel::ExactDigits(v, digits));
    }
  }
  state.SetItemsProcessed(
      static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_ExactDigits);

}  // namespace

BENCHMARK_MAIN();
