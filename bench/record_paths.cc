// record_paths: how vostrel's record loop reads a results file on each record
// path: the share of records the fast path took, and the fastest of a few
// in-process runs of the loop (header skipped, output discarded), in wall and
// in processor time.
//
// Usage: record_paths FILE HEADER_ROWS COLUMNS [ROUNDS] [PATH...]
// PATH is off, portable, sse41, avx2 or default (the one the tool would
// use); without a PATH, every one the CPU has.
// Prints one line per path:
//   PATH fast FAST exact EXACT share PERCENT wall SECONDS cpu SECONDS
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "engine.h"
#include "record_fast.h"
#include "scan.h"
#include "text_io.h"

namespace {

// Takes every byte and keeps none.
class NullOutput : public vostrel::Output {
 public:
  NullOutput() : Output(size_t{64} * 1024) {}

 private:
  bool Put(std::string_view /*bytes*/) override { return true; }
};

bool ParsePath(const std::string& name, vostrel::RecordPath& path) {
  for (auto p : {vostrel::RecordPath::kOff, vostrel::RecordPath::kPortable,
                 vostrel::RecordPath::kSse41, vostrel::RecordPath::kAvx2}) {
    if (name == vostrel::RecordPathName(p)) {
      path = p;
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs(
        "usage: record_paths FILE HEADER_ROWS COLUMNS [ROUNDS] [PATH...]\n",
        stderr);
    return 1;
  }
  const std::string file = argv[1];
  const long header_rows = std::strtol(argv[2], nullptr, 10);
  const size_t columns = std::strtoul(argv[3], nullptr, 10);
  const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;
  std::vector<vostrel::RecordPath> paths;
  for (int i = 5; i < argc; ++i) {
    vostrel::RecordPath p = vostrel::DefaultRecordPath();
    if (std::string(argv[i]) != "default" && !ParsePath(argv[i], p)) {
      std::fprintf(stderr, "record_paths: unknown path %s\n", argv[i]);
      return 1;
    }
    paths.push_back(p);
  }
  if (paths.empty()) {
    for (auto p : {vostrel::RecordPath::kOff, vostrel::RecordPath::kPortable,
                   vostrel::RecordPath::kSse41, vostrel::RecordPath::kAvx2}) {
      if (vostrel::RecordPathSupported(p)) paths.push_back(p);
    }
  }
  for (vostrel::RecordPath path : paths) {
    if (!vostrel::RecordPathSupported(path)) {
      std::printf("%s not supported\n", vostrel::RecordPathName(path));
      continue;
    }
    double best = 1e300;
    double best_cpu = 1e300;
    vostrel::RecordLoopStats stats;
    for (int r = 0; r < std::max(rounds, 1); ++r) {
      auto in = vostrel::FileInput::Open(file);
      if (!in) {
        std::fprintf(stderr, "record_paths: cannot open %s\n", file.c_str());
        return 2;
      }
      for (long h = 0; h < header_rows; ++h) vostrel::SkipLine(*in);
      NullOutput daily, monthly, console;
      vostrel::TextLineWriter daily_lines(daily), monthly_lines(monthly);
      vostrel::LevelWriters writers;
      writers.day = {&daily_lines};
      writers.month = {&monthly_lines};
      const std::clock_t c0 = std::clock();
      const auto t0 = std::chrono::steady_clock::now();
      vostrel::RunRecordLoop(*in, vostrel::LoopSettings(), columns, writers,
                             console, path, &stats);
      const std::chrono::duration<double> t =
          std::chrono::steady_clock::now() - t0;
      const double cpu =
          static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
      best = std::min(best, t.count());
      best_cpu = std::min(best_cpu, cpu);
    }
    const double all =
        static_cast<double>(stats.fast_records + stats.exact_records);
    std::printf(
        "%s fast %llu exact %llu share %.3f wall %.4f cpu %.4f\n",
        vostrel::RecordPathName(path),
        static_cast<unsigned long long>(stats.fast_records),
        static_cast<unsigned long long>(stats.exact_records),
        all > 0 ? 100.0 * static_cast<double>(stats.fast_records) / all : 0.0,
        best, best_cpu);
  }
  return 0;
}
