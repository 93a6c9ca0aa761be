// gen_results: seeded generator of synthetic model results files for
// benchmarking vostrel.
//
// Output layout:
//   3 free-text header lines (model name, run description, column names),
//   then one record per line: year, month, day, hour, then one value per
//   column, separated by tabs (default) or single spaces, LF line ends.
//
// Hourly data carry hours 1..24 for every day, daily data one record per day
// at hour 24. The calendar is the Gregorian one, leap years included.
//
// Value mix per column (all driven by one seeded PRNG, so the same options
// always give byte-identical output):
//   - about 40% exact zeros, written as "0";
//   - about 0.5% missing values, written as "-9999", in short bursts of
//     1..23 consecutive records per column (as a model that drops out for a
//     few hours would write them);
//   - about 1% negative values (see --neg-percent);
//   - the rest positive values of varying magnitude, roughly 0.001..5000
//     (each column has its own typical magnitude, each value varies by up to
//     a factor of ten around it), written with 0 to 6 decimals.
//
// With --realistic the values are shaped like a catchment model's output
// instead: each column is one kind of quantity, written with that kind's
// fixed decimals as a model's "%.6f" or "%.2f" would write it (runoff like
// 0.139134, temperature like -2.01, soil water like 155.740246, rain like
// 0.4), with state variables written at full precision among them (a soil
// temperature like -12.3456789, a groundwater storage like 5157.616801),
// zeros (dry hours, nights without evaporation, no snow) come in runs,
// about a third of the hourly fields and 30% of the daily ones are zeros,
// and the value fields average about 5.1 bytes hourly and 6.1 bytes daily.
//
// Usage:
//   gen_results [--years N] [--columns C] [--start-year Y] [--daily]
//               [--seed S] [--target-bytes B] [--sep tab|space]
//               [--neg-percent P] [--realistic] [-o FILE]
//
// --target-bytes B stops after the first whole day at which at least B bytes
// have been written (the header counts). Without --years it is the only
// limit; with both, whichever is reached first ends the file.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

// xoshiro256** seeded through splitmix64: small, fast and identical on every
// platform (unlike the std:: distributions).
class Rng {
 public:
  explicit Rng(std::uint64_t seed) {
    for (auto& w : s_) {
      seed += 0x9e3779b97f4a7c15ULL;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      w = z ^ (z >> 31);
    }
  }
  std::uint64_t next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }
  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  // Uniform integer in [0, n).
  std::uint32_t below(std::uint32_t n) {
    return static_cast<std::uint32_t>((next() >> 32) * n >> 32);
  }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
  }
  std::uint64_t s_[4];
};

class Writer {
 public:
  explicit Writer(int fd) : fd_(fd) { buf_.resize(kCapacity); }
  ~Writer() { flush(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Room for at least n more bytes.
  char* reserve(std::size_t n) {
    if (len_ + n > buf_.size()) {
      flush();
      if (n > buf_.size()) buf_.resize(n);
    }
    return buf_.data() + len_;
  }
  void commit(char* end) { len_ = static_cast<std::size_t>(end - buf_.data()); }
  void put(std::string_view s) {
    char* p = reserve(s.size());
    std::memcpy(p, s.data(), s.size());
    commit(p + s.size());
  }
  void flush() {
    std::size_t off = 0;
    while (off < len_) {
      ssize_t n = ::write(fd_, buf_.data() + off, len_ - off);
      if (n < 0) {
        if (errno == EINTR) continue;
        std::perror("gen_results: write");
        std::exit(2);
      }
      off += static_cast<std::size_t>(n);
    }
    written_ += len_;
    len_ = 0;
  }
  std::uint64_t bytes() const { return written_ + len_; }

 private:
  static constexpr std::size_t kCapacity = std::size_t{1} << 22;
  int fd_;
  std::vector<char> buf_;
  std::size_t len_ = 0;
  std::uint64_t written_ = 0;
};

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m) {
  static constexpr int kDays[13] = {0,  31, 28, 31, 30, 31, 30,
                                    31, 31, 30, 31, 30, 31};
  return (m == 2 && is_leap(y)) ? 29 : kDays[m];
}

struct Options {
  long years = -1;  // -1: not given
  int columns = 20;
  int start_year = 1991;
  bool daily = false;
  std::uint64_t seed = 1;
  std::uint64_t target_bytes = 0;  // 0: no byte limit
  char sep = '\t';
  double neg_percent = 1.0;
  bool realistic = false;
  std::string out;  // empty: stdout
};

[[noreturn]] void usage(const char* msg) {
  if (msg) std::fprintf(stderr, "gen_results: %s\n", msg);
  std::fprintf(stderr,
               "usage: gen_results [--years N] [--columns C] [--start-year Y] "
               "[--daily]\n"
               "                   [--seed S] [--target-bytes B] "
               "[--sep tab|space]\n"
               "                   [--neg-percent P] [--realistic] "
               "[-o FILE]\n");
  std::exit(1);
}

template <typename T>
T parse_num(const char* opt, const char* s) {
  T v{};
  const char* end = s + std::strlen(s);
  auto [p, ec] = std::from_chars(s, end, v);
  if (ec != std::errc() || p != end) {
    std::fprintf(stderr, "gen_results: bad number for %s: %s\n", opt, s);
    std::exit(1);
  }
  return v;
}

Options parse_args(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) usage("missing value after option");
      return argv[++i];
    };
    if (a == "--years") {
      o.years = parse_num<long>("--years", value());
      if (o.years < 1) usage("--years must be at least 1");
    } else if (a == "--columns") {
      o.columns = parse_num<int>("--columns", value());
    } else if (a == "--start-year") {
      o.start_year = parse_num<int>("--start-year", value());
    } else if (a == "--daily") {
      o.daily = true;
    } else if (a == "--seed") {
      o.seed = parse_num<std::uint64_t>("--seed", value());
    } else if (a == "--target-bytes") {
      // Accept plain integers and forms like 1e9.
      o.target_bytes = static_cast<std::uint64_t>(
          parse_num<double>("--target-bytes", value()));
    } else if (a == "--sep") {
      std::string_view s = value();
      if (s == "tab") {
        o.sep = '\t';
      } else if (s == "space") {
        o.sep = ' ';
      } else {
        usage("--sep takes tab or space");
      }
    } else if (a == "--neg-percent") {
      o.neg_percent = parse_num<double>("--neg-percent", value());
    } else if (a == "--realistic") {
      o.realistic = true;
    } else if (a == "-o") {
      o.out = value();
    } else if (a == "-h" || a == "--help") {
      usage(nullptr);
    } else {
      usage("unknown argument");
    }
  }
  if (o.columns < 1) usage("--columns must be at least 1");
  if (o.years < 0 && o.target_bytes == 0) o.years = 30;
  if (o.neg_percent < 0 || o.neg_percent > 50)
    usage("--neg-percent out of range");
  return o;
}

// Per-column character of the generated series.
struct Column {
  double log_scale;      // log10 of the column's typical magnitude
  int missing_left = 0;  // records still to be written as missing
};

constexpr double kZeroShare = 0.40;
constexpr double kMissingShare = 0.005;
constexpr int kMaxBurst = 23;  // missing bursts are 1..23 records long
constexpr double kBurstStart = kMissingShare / ((1.0 + kMaxBurst) / 2.0);

// Writes one value field (without separator) at p, returns the new end.
char* write_value(char* p, Rng& rng, Column& col, double neg_share) {
  if (col.missing_left == 0 && rng.uniform() < kBurstStart) {
    col.missing_left = 1 + static_cast<int>(rng.below(kMaxBurst));
  }
  if (col.missing_left > 0) {
    --col.missing_left;
    std::memcpy(p, "-9999", 5);
    return p + 5;
  }
  const double u = rng.uniform();
  if (u < kZeroShare) {
    *p = '0';
    return p + 1;
  }
  // Magnitude: the column's scale times a factor between 0.1 and 10; the
  // scales are drawn so that this stays within 0.001..5000.
  double lg = col.log_scale + (rng.uniform() * 2.0 - 1.0);
  lg = std::fmin(std::fmax(lg, -3.0), std::log10(5000.0));
  double v = std::pow(10.0, lg);
  int decimals = static_cast<int>(rng.below(7));
  // Enough decimals that the value does not print as zero.
  double scaled = v;
  for (int d = 0; d < decimals; ++d) scaled *= 10.0;
  while (decimals < 6 && scaled < 1.0) {
    ++decimals;
    scaled *= 10.0;
  }
  if (u < kZeroShare + neg_share) v = -v;
  auto r = std::to_chars(p, p + 32, v, std::chars_format::fixed, decimals);
  return r.ptr;
}

// The kinds of quantity a realistic column holds. Magnitudes are drawn
// log-uniformly between lo and hi (or uniformly with `linear`), hourly and
// daily ranges apart since a day's value sums or averages its hours.
struct Kind {
  int decimals;
  bool linear;
  double lo_hourly, hi_hourly;
  double lo_daily, hi_daily;
  double zero_hourly, zero_daily;  // share of zeros
  double mean_run;                 // mean length of a run of zeros
};

// runoff, temperature, soil water, rain, evaporation, snow water, and two
// state variables written at full precision: a soil temperature like
// -12.3456789 and a groundwater storage like 1557.402461 (9 to 10
// significant digits)
constexpr Kind kKinds[] = {
    {6, false, 0.005, 0.9, 0.05, 30.0, 0.40, 0.45, 48},
    {2, true, -12.0, 25.0, -12.0, 25.0, 0.0, 0.0, 1},
    {6, true, 40.0, 320.0, 40.0, 320.0, 0.0, 0.0, 1},
    {1, false, 0.1, 6.0, 0.1, 40.0, 0.60, 0.50, 6},
    {6, false, 0.002, 0.4, 0.05, 6.0, 0.50, 0.05, 11},
    {6, false, 0.5, 150.0, 0.5, 150.0, 0.70, 0.60, 400},
    {7, true, -15.0, 25.0, -15.0, 25.0, 0.0, 0.0, 1},
    {6, true, 1000.0, 9000.0, 1000.0, 9000.0, 0.0, 0.0, 1},
};
// The kind of each column in turn: an hourly file holds more of the short
// temperatures and rain amounts, a daily file of many subcatchments more
// runoff and storage columns; both mix the state variables in among the
// fluxes.
constexpr int kHourlyKinds[] = {0, 1, 3, 6, 4, 0, 1, 2, 3, 5,
                                0, 7, 3, 1, 4, 0, 6, 1, 3, 5};
constexpr int kDailyKinds[] = {0, 1, 3, 0, 4, 6, 2, 7, 3, 5};

struct RealisticColumn {
  const Kind* kind;
  bool zero = false;  // in a run of zeros
};

char* write_realistic(char* p, Rng& rng, RealisticColumn& col, bool daily,
                      Column& missing) {
  if (missing.missing_left == 0 && rng.uniform() < kBurstStart / 4) {
    missing.missing_left = 1 + static_cast<int>(rng.below(kMaxBurst));
  }
  if (missing.missing_left > 0) {
    --missing.missing_left;
    std::memcpy(p, "-9999", 5);
    return p + 5;
  }
  const Kind& k = *col.kind;
  // Runs of zeros alternate with runs of values: a zero run ends with
  // probability 1 / mean_run per record, a value run with the probability
  // that makes zeros the kind's share of the records.
  const double zero_share = daily ? k.zero_daily : k.zero_hourly;
  if (zero_share > 0) {
    const double leave_zero = 1.0 / k.mean_run;
    const double leave_value = leave_zero * zero_share / (1 - zero_share);
    if (rng.uniform() < (col.zero ? leave_zero : leave_value)) {
      col.zero = !col.zero;
    }
  }
  if (col.zero) {
    *p = '0';
    return p + 1;
  }
  const double lo = daily ? k.lo_daily : k.lo_hourly;
  const double hi = daily ? k.hi_daily : k.hi_hourly;
  const double v = k.linear ? lo + (hi - lo) * rng.uniform()
                            : lo * std::pow(hi / lo, rng.uniform());
  return std::to_chars(p, p + 32, v, std::chars_format::fixed, k.decimals).ptr;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse_args(argc, argv);

  int fd = STDOUT_FILENO;
  if (!o.out.empty()) {
    fd = ::open(o.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
      std::perror(("gen_results: " + o.out).c_str());
      return 2;
    }
  }

  Rng rng(o.seed);
  std::vector<Column> cols(static_cast<std::size_t>(o.columns));
  // Column scales between 0.01 and 500, so that values stay in 0.001..5000.
  const double lo = -2.0, hi = std::log10(500.0);
  for (auto& c : cols) c.log_scale = lo + (hi - lo) * rng.uniform();
  std::vector<RealisticColumn> kinds;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    const int kind = o.daily ? kDailyKinds[i % std::size(kDailyKinds)]
                             : kHourlyKinds[i % std::size(kHourlyKinds)];
    kinds.push_back({&kKinds[kind]});
  }

  const char sep = o.sep;
  {
    Writer w(fd);
    std::string h;
    h += "synthetic catchment model, benchmark data set (generated)\n";
    h += "run ";
    h += std::to_string(o.seed);
    h += ": start year ";
    h += std::to_string(o.start_year);
    h += o.daily ? ", daily" : ", hourly";
    h += " values, ";
    h += std::to_string(o.columns);
    h += " columns\n";
    h += "year";
    h += sep;
    h += "month";
    h += sep;
    h += "day";
    h += sep;
    h += "hour";
    for (int c = 1; c <= o.columns; ++c) {
      char name[16];
      std::snprintf(name, sizeof name, "%cQ%03d", sep, c);
      h += name;
    }
    h += '\n';
    w.put(h);

    const double neg_share = o.neg_percent / 100.0;
    // Longest possible line: date fields plus per value a separator, a sign,
    // 4 integer digits, a point and 6 decimals; generous margin.
    const std::size_t max_line = 64 + static_cast<std::size_t>(o.columns) * 24;
    const int first_hour = o.daily ? 24 : 1;

    bool done = false;
    for (long yi = 0; !done && (o.years < 0 || yi < o.years); ++yi) {
      const int year = o.start_year + static_cast<int>(yi);
      for (int month = 1; !done && month <= 12; ++month) {
        const int ndays = days_in_month(year, month);
        for (int day = 1; day <= ndays; ++day) {
          for (int hour = first_hour; hour <= 24; ++hour) {
            char* p = w.reserve(max_line);
            p = std::to_chars(p, p + 12, year).ptr;
            *p++ = sep;
            p = std::to_chars(p, p + 12, month).ptr;
            *p++ = sep;
            p = std::to_chars(p, p + 12, day).ptr;
            *p++ = sep;
            p = std::to_chars(p, p + 12, hour).ptr;
            for (std::size_t i = 0; i < cols.size(); ++i) {
              *p++ = sep;
              p = o.realistic
                      ? write_realistic(p, rng, kinds[i], o.daily, cols[i])
                      : write_value(p, rng, cols[i], neg_share);
            }
            *p++ = '\n';
            w.commit(p);
          }
          if (o.target_bytes != 0 && w.bytes() >= o.target_bytes) {
            done = true;
            break;
          }
        }
      }
    }
  }  // Writer flushes here.

  if (fd != STDOUT_FILENO && ::close(fd) != 0) {
    std::perror("gen_results: close");
    return 2;
  }
  return 0;
}
