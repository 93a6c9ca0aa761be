// Micro-benchmarks of the scans, the line skip and the number rendering: the
// work vostrel does per value, per record and per written field.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "render.h"
#include "scan.h"
#include "string_io.h"
#include "text_io.h"

namespace {

// Values as model output has them: many zeros, up to six decimals, now and
// then a missing value.
std::string ValueText(size_t count) {
  std::mt19937_64 rng(1);
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t r = rng() % 1000;
    if (r < 400) {
      text += "0";
    } else if (r < 405) {
      text += "-9999";
    } else {
      const double v = static_cast<double>(rng() % 5000000000) / 1e6;
      text += std::to_string(v).substr(0, 3 + rng() % 8);
    }
    text += '\t';
  }
  return text;
}

void BM_ScanNumber(benchmark::State& state) {
  const size_t kCount = 100000;
  const std::string text = ValueText(kCount);
  for (auto _ : state) {
    vostrel::StringInput in(text);
    double value = 0;
    double sum = 0;
    while (vostrel::ScanNumber(in, value) == vostrel::Scan::kNumber) {
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ScanNumber);

void BM_ScanDate(benchmark::State& state) {
  std::string text;
  const size_t kRecords = 50000;
  for (size_t i = 0; i < kRecords; ++i) {
    text += "1995\t" + std::to_string(1 + i % 12) + "\t" +
            std::to_string(1 + i % 28) + "\t" + std::to_string(1 + i % 24) +
            "\t";
  }
  for (auto _ : state) {
    vostrel::StringInput in(text);
    int32_t value = 0;
    int64_t sum = 0;
    while (vostrel::ScanDate(in, value) == vostrel::Scan::kNumber) sum += value;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(
      static_cast<int64_t>(state.iterations() * kRecords * 4));
}
BENCHMARK(BM_ScanDate);

void BM_SkipLine(benchmark::State& state) {
  std::string text;
  const size_t kLines = 20000;
  const std::string line = ValueText(20) + "\n";
  for (size_t i = 0; i < kLines; ++i) text += line;
  for (auto _ : state) {
    vostrel::StringInput in(text);
    size_t lines = 0;
    while (vostrel::SkipLine(in)) ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kLines));
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_SkipLine);

// Renders every value of `values` per iteration, one after the other into a
// buffer with room for the longest, as a record line is written.
void RenderAll(benchmark::State& state, const std::vector<double>& values) {
  std::string out(values.size() * (vostrel::kMaxNumberText + 1), '\0');
  for (auto _ : state) {
    char* p = out.data();
    for (double v : values) {
      p = vostrel::WriteNumber(p, v);
      *p++ = '\t';
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(
      static_cast<int64_t>(state.iterations() * values.size()));
}

void BM_WriteNumber(benchmark::State& state) {
  // Sums of 24 hourly values, as a daily line holds them.
  std::mt19937_64 rng(2);
  std::vector<double> values(4096);
  for (double& v : values) {
    v = 0;
    for (int h = 0; h < 24; ++h) {
      v += static_cast<double>(rng() % 5000000) / 1e3;
    }
  }
  RenderAll(state, values);
}
BENCHMARK(BM_WriteNumber);

// The fields of daily and monthly lines: the generator's mix of values (40%
// zeros, some -9999, 0 to 6 decimals between 0.001 and 5000, 1% negative) as
// a daily file from daily input shows them, and sums of 24 and of 720 such
// values as daily and monthly lines from hourly input hold them.
void BM_WriteNumberMix(benchmark::State& state) {
  std::mt19937_64 rng(3);
  auto value = [&rng] {
    const uint64_t r = rng() % 1000;
    if (r < 400) return 0.0;
    if (r < 405) return -9999.0;
    const double magnitude = std::pow(10.0, static_cast<double>(rng() % 5) - 3);
    const double scale = std::pow(10.0, static_cast<double>(rng() % 7));
    const double v = std::round(static_cast<double>(rng() % 10000) * magnitude /
                                10 * scale) /
                     scale;
    return r < 415 ? -v : v;
  };
  std::vector<double> values(4096);
  for (size_t i = 0; i < values.size(); ++i) {
    const int terms = i % 4 < 2 ? 1 : i % 4 == 2 ? 24 : 720;
    double sum = 0;
    for (int t = 0; t < terms; ++t) {
      const double v = value();
      if (v > -998) sum += v;
    }
    values[i] = terms == 1 ? value() : sum;
  }
  RenderAll(state, values);
}
BENCHMARK(BM_WriteNumberMix);

}  // namespace

BENCHMARK_MAIN();
