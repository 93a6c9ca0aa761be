// bare_sum: lower bound for reading a results file.
//
// Reads the file with read(2) in 1 MiB chunks, skips HEADER_ROWS lines, then
// parses every field with std::from_chars: the first four fields of a line
// (year, month, day, hour) as integers, every further field as a double that
// is added to the sum of its column (column = field index after the four date
// fields). There is no day or month logic, no validity test and no output
// formatting beyond printing the column sums at the end, which keeps the
// compiler from dropping the work.
//
// Usage: bare_sum FILE HEADER_ROWS

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

struct State {
  long header_left;
  std::vector<double> sums;
  std::uint64_t records = 0;
  std::uint64_t date_check = 0;  // sum of all date fields
  std::uint64_t bad_fields = 0;  // text that is not a number
};

inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Parses the complete lines in [p, end); end[-1] is '\n'.
void parse_lines(const char* p, const char* end, State& st) {
  while (st.header_left > 0 && p < end) {
    const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    p = static_cast<const char*>(nl) + 1;
    --st.header_left;
  }
  std::size_t field = 0;
  while (p < end) {
    const char c = *p;
    if (c == '\n') {
      if (field != 0) ++st.records;
      field = 0;
      ++p;
      continue;
    }
    if (is_blank(c)) {
      ++p;
      continue;
    }
    if (field < 4) {
      int v = 0;
      auto r = std::from_chars(p, end, v);
      if (r.ec == std::errc()) {
        st.date_check += static_cast<std::uint64_t>(v);
        p = r.ptr;
      } else {
        ++st.bad_fields;
        ++p;
      }
    } else {
      double v = 0;
      auto r = std::from_chars(p, end, v);
      if (r.ec == std::errc()) {
        const std::size_t col = field - 4;
        if (col >= st.sums.size()) st.sums.resize(col + 1, 0.0);
        st.sums[col] += v;
        p = r.ptr;
      } else {
        ++st.bad_fields;
        ++p;
      }
    }
    ++field;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_sum FILE HEADER_ROWS\n");
    return 1;
  }
  const int fd = ::open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 2;
  }
  State st;
  st.header_left = std::strtol(argv[2], nullptr, 10);

  // buf holds an unfinished line from the previous read, then the new chunk.
  std::vector<char> buf(2 * kChunk + 1);
  std::size_t have = 0;
  for (;;) {
    if (buf.size() - have < kChunk + 1) buf.resize(have + kChunk + 1);
    ssize_t n = ::read(fd, buf.data() + have, kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::perror("read");
      return 2;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
    // Parse up to the last line end; keep the rest for the next round.
    const char* base = buf.data();
    const void* last = nullptr;
    for (std::size_t i = have; i > 0; --i) {
      if (base[i - 1] == '\n') {
        last = base + i - 1;
        break;
      }
    }
    if (!last) continue;  // no line end yet: read more
    const char* cut = static_cast<const char*>(last) + 1;
    parse_lines(base, cut, st);
    const std::size_t rest = have - static_cast<std::size_t>(cut - base);
    std::memmove(buf.data(), cut, rest);
    have = rest;
  }
  ::close(fd);
  if (have > 0) {  // last line without line end
    buf[have] = '\n';
    parse_lines(buf.data(), buf.data() + have + 1, st);
  }

  std::printf("records %llu date_check %llu bad_fields %llu columns %zu\n",
              static_cast<unsigned long long>(st.records),
              static_cast<unsigned long long>(st.date_check),
              static_cast<unsigned long long>(st.bad_fields), st.sums.size());
  for (std::size_t c = 0; c < st.sums.size(); ++c) {
    std::printf("%zu\t%.17g\n", c + 1, st.sums[c]);
  }
  return 0;
}
