// One-off exhaustive-ish check of the number rendering, not run by CI:
// compares vostrel::AppendNumber with the test-only reference
// (src/render_reference.h) on many doubles and prints the counts.
//
//   render_check N [FILE...]
//
// N random doubles (seed 1), in turn: random bit patterns; decimals of 1 to 8
// significant digits at decimal exponents from -330 to 310, read with strtod
// as the tool reads its input; sums of 2 to 48 such decimals at one scale, as
// a column sum is; and six-digit halfway points (a 7th digit of 5) at every
// decimal exponent, nudged by up to 4 ulps. Then every number in each FILE
// (a results file: whitespace-separated tokens read with strtod, others
// skipped), and per token position on the line the sum over blocks of 24
// lines and the running sum from the start of the file, as the daily and
// total lines hold them. Exit status 1 on any mismatch.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render.h"
#include "render_reference.h"

namespace {

struct Counts {
  uint64_t checked = 0;
  uint64_t mismatches = 0;
  uint64_t near_ties = 0;  // 17-digit expansion within 1e-9 of a tie
};

// True when the expansion's digits 7 to 16 read 5000000000 or 4999999999,
// the values whose six-digit rounding is decided close to a halfway point.
bool NearTie(double value) {
  if (!std::isfinite(value) || value == 0) return false;
  char text[64];
  std::snprintf(text, sizeof text, "%.16e", std::fabs(value));
  const char* rest = text + 7;  // "d.ddddd" then the 7th digit
  return std::strncmp(rest, "5000000000", 10) == 0 ||
         std::strncmp(rest, "4999999999", 10) == 0;
}

void Check(double value, Counts& counts) {
  ++counts.checked;
  if (NearTie(value)) ++counts.near_ties;
  std::string got;
  vostrel::AppendNumber(got, value);
  const std::string want = vostrel::ReferenceNumber(value);
  if (got == want) return;
  if (++counts.mismatches <= 20) {
    std::printf("MISMATCH %a (%.17g): got %s, want %s\n", value, value,
                got.c_str(), want.c_str());
  }
}

double Decimal(std::mt19937_64& rng, int exponent) {
  const int digits = 1 + static_cast<int>(rng() % 8);
  uint64_t limit = 1;
  for (int i = 0; i < digits; ++i) limit *= 10;
  char text[64];
  std::snprintf(text, sizeof text, "%llue%d",
                static_cast<unsigned long long>(rng() % limit), exponent);
  return std::strtod(text, nullptr);
}

void CheckRandom(uint64_t n, Counts& counts) {
  std::mt19937_64 rng(1);
  for (uint64_t i = 0; i < n; ++i) {
    double value = 0;
    switch (i % 4) {
      case 0:
        value = std::bit_cast<double>(rng());
        break;
      case 1:
        value = Decimal(rng, static_cast<int>(rng() % 641) - 330);
        break;
      case 2: {
        // Mostly at the scales model output has, now and then anywhere.
        const int exponent = (rng() % 8 == 0)
                                 ? static_cast<int>(rng() % 601) - 300
                                 : static_cast<int>(rng() % 13) - 8;
        const int terms = 2 + static_cast<int>(rng() % 47);
        for (int t = 0; t < terms; ++t) value += Decimal(rng, exponent);
        break;
      }
      default: {
        char text[64];
        std::snprintf(text, sizeof text, "%llu5e%d",
                      static_cast<unsigned long long>(100000 + rng() % 900000),
                      static_cast<int>(rng() % 629) - 326);
        value = std::strtod(text, nullptr);
        for (int s = static_cast<int>(rng() % 9) - 4; s != 0;
             s += s > 0 ? -1 : 1) {
          value = std::nextafter(value, s > 0 ? HUGE_VAL : 0.0);
        }
        break;
      }
    }
    if ((rng() & 1) != 0) value = -value;
    Check(value, counts);
  }
}

bool CheckFile(const char* name, Counts& counts) {
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    std::printf("cannot open %s\n", name);
    return false;
  }
  std::vector<double> block_sums;
  std::vector<double> total_sums;
  std::string line;
  uint64_t line_number = 0;
  while (std::getline(in, line)) {
    if (line_number++ % 24 == 0) block_sums.assign(block_sums.size(), 0.0);
    std::istringstream fields(line);
    std::string token;
    size_t position = 0;
    while (fields >> token) {
      char* end = nullptr;
      const double value = std::strtod(token.c_str(), &end);
      if (end == token.c_str()) continue;
      if (position >= block_sums.size()) {
        block_sums.resize(position + 1, 0.0);
        total_sums.resize(position + 1, 0.0);
      }
      block_sums[position] += value;
      total_sums[position] += value;
      Check(value, counts);
      Check(block_sums[position], counts);
      Check(total_sums[position], counts);
      ++position;
    }
  }
  return true;
}

void Report(const char* what, const Counts& counts) {
  std::printf("%s: %llu checked, %llu near ties, %llu mismatches\n", what,
              static_cast<unsigned long long>(counts.checked),
              static_cast<unsigned long long>(counts.near_ties),
              static_cast<unsigned long long>(counts.mismatches));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: render_check N [FILE...]\n");
    return 2;
  }
  uint64_t mismatches = 0;
  Counts random;
  CheckRandom(std::strtoull(argv[1], nullptr, 10), random);
  Report("random", random);
  mismatches += random.mismatches;
  for (int i = 2; i < argc; ++i) {
    Counts file;
    if (!CheckFile(argv[i], file)) return 2;
    Report(argv[i], file);
    mismatches += file.mismatches;
  }
  return mismatches == 0 ? 0 : 1;
}
