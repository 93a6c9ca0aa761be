// Fuzz target for the results-file reader: arbitrary bytes go through
// ScanNumber, ScanDate, ReadLine and SkipLine in an order chosen by the input,
// read in small blocks so that tokens and CR LF pairs straddle block ends.
// Every call is checked against a plain reference scanner over the folded
// bytes (cut at the first 0x1A, then CR LF folded to LF): the result, the
// bytes consumed, the converted value (compared with strtod of the consumed
// token) and the line text.
//
// Input layout: byte 0 picks the block size, byte 1 the order of operations
// (four 2-bit codes, repeated), byte 2 a flag (low five bits all set: repeat
// the data past 20000 bytes, so that lines longer than a block are read).
// The rest is the results file.
#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scan.h"
#include "string_io.h"
#include "text_io.h"
#include "vostrel.h"

namespace {

using vostrel::Scan;

[[noreturn]] void Fail(const char* what, size_t pos) {
  std::fprintf(stderr, "fuzz_scans: %s (at folded offset %zu)\n", what, pos);
  std::abort();
}

void Check(bool ok, const char* what, size_t pos) {
  if (!ok) Fail(what, pos);
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The input as the scans must see it.
std::string Fold(const std::string& raw) {
  std::string cut = raw.substr(0, raw.find('\x1a'));
  std::string folded;
  folded.reserve(cut.size());
  for (size_t i = 0; i < cut.size(); ++i) {
    if (cut[i] == '\r' && i + 1 < cut.size() && cut[i + 1] == '\n') continue;
    folded += cut[i];
  }
  return folded;
}

struct RefResult {
  Scan result;
  size_t next;        // position after the scan
  std::string token;  // the number's text, a dangling exponent removed
};

RefResult RefNumber(const std::string& f, size_t pos) {
  const size_t n = f.size();
  while (pos < n && IsSpace(f[pos])) ++pos;
  if (pos == n) return {Scan::kEndOfInput, pos, {}};
  const size_t start = pos;
  if (f[pos] == '+' || f[pos] == '-') ++pos;
  bool any_digit = false;
  while (pos < n && IsDigit(f[pos])) ++pos, any_digit = true;
  if (pos < n && f[pos] == '.') {
    ++pos;
    while (pos < n && IsDigit(f[pos])) ++pos, any_digit = true;
  }
  if (!any_digit) {
    return {pos == n ? Scan::kEndOfInput : Scan::kNoNumber, pos, {}};
  }
  size_t token_end = pos;
  if (pos < n && (f[pos] == 'e' || f[pos] == 'E')) {
    ++pos;
    if (pos < n && (f[pos] == '+' || f[pos] == '-')) ++pos;
    const size_t digits = pos;
    while (pos < n && IsDigit(f[pos])) ++pos;
    if (pos > digits) token_end = pos;
  }
  return {Scan::kNumber, pos, f.substr(start, token_end - start)};
}

RefResult RefDate(const std::string& f, size_t pos, int32_t& value) {
  const size_t n = f.size();
  while (pos < n && IsSpace(f[pos])) ++pos;
  if (pos == n) return {Scan::kEndOfInput, pos, {}};
  bool negative = false;
  if (f[pos] == '+' || f[pos] == '-') negative = f[pos++] == '-';
  if (pos == n) return {Scan::kEndOfInput, pos, {}};
  if (!IsDigit(f[pos])) return {Scan::kNoNumber, pos, {}};
  uint32_t v = 0;
  while (pos < n && IsDigit(f[pos])) {
    v = v * 10u + static_cast<uint32_t>(f[pos++] - '0');
  }
  if (negative) v = 0u - v;
  value = static_cast<int32_t>(v);
  return {Scan::kNumber, pos, {}};
}

size_t RefLineEnd(const std::string& f, size_t pos) {
  const void* lf = std::memchr(f.data() + pos, '\n', f.size() - pos);
  return lf != nullptr
             ? static_cast<size_t>(static_cast<const char*>(lf) - f.data()) + 1
             : f.size();
}

bool ValidScan(Scan s) {
  return s == Scan::kNumber || s == Scan::kNoNumber || s == Scan::kEndOfInput;
}

// The unconsumed window must be the folded input from the expected position.
void CheckWindow(const vostrel::Input& in, const std::string& f, size_t pos) {
  const size_t len = static_cast<size_t>(in.end() - in.begin());
  Check(pos + len <= f.size(), "window reaches past the input", pos);
  Check(len == 0 || std::memcmp(in.begin(), f.data() + pos, len) == 0,
        "window does not continue at the expected byte", pos);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t block_size =
      data[0] == 0xff ? size_t{1} << 16 : 1 + data[0] % 64;
  const uint8_t order = data[1];
  const bool repeat = (data[2] & 31) == 31;
  std::string raw(reinterpret_cast<const char*>(data + 3), size - 3);
  if (repeat && !raw.empty()) {
    const std::string unit = raw;
    while (raw.size() <= 20000) raw += unit;
  }
  const std::string f = Fold(raw);
  vostrel::StringInput in(raw, block_size);

  size_t pos = 0;
  size_t stuck = 0;  // operations in a row that consumed nothing
  const size_t max_ops = 4 * f.size() + 16;
  for (size_t op = 0; op < max_ops && stuck < 8; ++op) {
    const size_t before = pos;
    bool ended = false;
    switch ((order >> (2 * (op % 4))) & 3) {
      case 0: {
        const double kUntouched = -12345.678;
        double value = kUntouched;
        const Scan got = vostrel::ScanNumber(in, value);
        const RefResult want = RefNumber(f, pos);
        Check(ValidScan(got), "ScanNumber result out of range", pos);
        Check(got == want.result, "ScanNumber result", pos);
        if (got == Scan::kNumber) {
          const double expected = std::strtod(want.token.c_str(), nullptr);
          Check(SameBits(value, expected), "ScanNumber value != strtod", pos);
        } else {
          Check(SameBits(value, kUntouched), "ScanNumber set its target", pos);
        }
        pos = want.next;
        ended = got == Scan::kEndOfInput;
        break;
      }
      case 1: {
        const int32_t kUntouched = -777;
        int32_t value = kUntouched;
        int32_t expected = kUntouched;
        const Scan got = vostrel::ScanDate(in, value);
        const RefResult want = RefDate(f, pos, expected);
        Check(ValidScan(got), "ScanDate result out of range", pos);
        Check(got == want.result, "ScanDate result", pos);
        Check(value == expected, "ScanDate value", pos);
        pos = want.next;
        ended = got == Scan::kEndOfInput;
        break;
      }
      case 2: {
        std::string line = "stale";
        const bool got = vostrel::ReadLine(in, line);
        Check(got == (pos < f.size()), "ReadLine result", pos);
        const size_t next = got ? RefLineEnd(f, pos) : pos;
        Check(line.size() == next - pos &&
                  std::memcmp(line.data(), f.data() + pos, line.size()) == 0,
              "ReadLine text", pos);
        pos = next;
        ended = !got;
        break;
      }
      case 3: {
        const bool got = vostrel::SkipLine(in);
        Check(got == (pos < f.size()), "SkipLine result", pos);
        if (got) pos = RefLineEnd(f, pos);
        ended = !got;
        break;
      }
    }
    CheckWindow(in, f, pos);
    if (ended && pos == f.size()) break;
    stuck = pos == before ? stuck + 1 : 0;
  }

  // Whatever is left must be exactly the rest of the folded input, and then
  // the input stays ended (nothing after a 0x1A is ever seen).
  std::string rest(in.begin(), in.end());
  in.Advance(in.end());
  while (in.Refill()) {
    rest.append(in.begin(), in.end());
    in.Advance(in.end());
  }
  Check(rest == f.substr(pos), "rest of the input", pos);
  Check(!in.Refill(), "input resumed after its end", f.size());
  Check(!in.error(), "string input reported a read error", f.size());

  // A rewind starts again at the first byte.
  Check(in.Rewind(), "Rewind failed", 0);
  std::string line;
  const bool got = vostrel::ReadLine(in, line);
  Check(got == !f.empty(), "ReadLine after Rewind", 0);
  Check(line == f.substr(0, got ? RefLineEnd(f, 0) : 0),
        "first line after Rewind", 0);
  return 0;
}
