// vostrel's file formats: reading the results file, scanning its fields,
// rendering numbers and writing the daily and monthly files.
#include "formats.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "vostrel.h"

namespace vostrel {

namespace {

constexpr char kEndOfFileByte = 0x1A;

// Removes the CR of every CR LF pair in [b, b + n) and returns the new length.
// A CR at the very end stays; the caller decides whether an LF may follow.
size_t FoldCrLf(char* b, size_t n) {
  char* end = b + n;
  char* cr = static_cast<char*>(std::memchr(b, '\r', n));
  if (cr == nullptr) return n;
  char* out = cr;
  char* in = cr;
  while (in < end) {
    // `in` is at a CR here.
    if (in + 1 < end && in[1] == '\n') {
      ++in;  // drop the CR; the LF is copied below
    }
    char* next = static_cast<char*>(
        std::memchr(in + 1, '\r', static_cast<size_t>(end - in - 1)));
    char* stop = next != nullptr ? next : end;
    size_t len = static_cast<size_t>(stop - in);
    std::memmove(out, in, len);
    out += len;
    in = stop;
  }
  return static_cast<size_t>(out - b);
}

}  // namespace

Input::Input(size_t block_size) : block_(std::max<size_t>(block_size, 2)) {
  cur_ = lim_ = block_.data();
}

bool Input::Refill() {
  char* b = block_.data();
  cur_ = lim_ = b;
  while (!ended_) {
    size_t n = 0;
    if (held_cr_) {
      b[n++] = '\r';
      held_cr_ = false;
    }
    if (!source_end_) {
      bool failed = false;
      size_t got = ReadRaw(b + n, block_.size() - n, failed);
      if (failed) error_ = true;
      if (failed || got == 0) source_end_ = true;
      if (const void* sub = std::memchr(b + n, kEndOfFileByte, got)) {
        got = static_cast<size_t>(static_cast<const char*>(sub) - (b + n));
        source_end_ = true;
      }
      n += got;
    }
    n = FoldCrLf(b, n);
    if (n > 0 && b[n - 1] == '\r' && !source_end_) {
      held_cr_ = true;
      --n;
    }
    if (n > 0) {
      lim_ = b + n;
      return true;
    }
    if (source_end_ && !held_cr_) ended_ = true;
  }
  return false;
}

bool Input::Rewind() {
  cur_ = lim_ = block_.data();
  held_cr_ = false;
  source_end_ = false;
  ended_ = false;
  error_ = false;
  return RewindRaw();
}

StringInput::StringInput(std::string bytes, size_t block_size)
    : Input(block_size), bytes_(std::move(bytes)) {}

size_t StringInput::ReadRaw(char* buf, size_t n, bool& /*failed*/) {
  size_t take = std::min(n, bytes_.size() - offset_);
  std::memcpy(buf, bytes_.data() + offset_, take);
  offset_ += take;
  return take;
}

bool StringInput::RewindRaw() {
  offset_ = 0;
  return true;
}

namespace {
// Large enough that reading costs a few system calls per megabyte, small
// enough to stay in cache while the scans walk it.
constexpr size_t kFileBlockSize = size_t{256} * 1024;
}  // namespace

FileInput::FileInput(std::FILE* file) : Input(kFileBlockSize), file_(file) {
  // The block is our buffer; a second one in stdio would only copy.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

std::unique_ptr<FileInput> FileInput::Open(const std::string& path) {
  std::error_code ec;
  // Some systems open a directory for reading and fail only at the read.
  if (std::filesystem::is_directory(path, ec)) return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  return std::unique_ptr<FileInput>(new FileInput(file));
}

FileInput::~FileInput() { Close(); }

bool FileInput::Close() {
  if (file_ == nullptr) return true;
  bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

size_t FileInput::ReadRaw(char* buf, size_t n, bool& failed) {
  if (file_ == nullptr) return 0;
  size_t got = std::fread(buf, 1, n, file_);
  if (got < n && std::ferror(file_) != 0) failed = true;
  return got;
}

bool FileInput::RewindRaw() {
  if (file_ == nullptr) return false;
  std::clearerr(file_);
  return std::fseek(file_, 0, SEEK_SET) == 0;
}

Output::Output(size_t buffer_size) : buffer_size_(buffer_size) {
  buffer_.reserve(buffer_size + 2);
}

void Output::Write(std::string_view text) {
  if (!ok_) return;
  while (!text.empty()) {
    size_t lf = text.find('\n');
    std::string_view piece = text.substr(0, lf);
    buffer_.append(piece);
    if (lf == std::string_view::npos) {
      text = {};
    } else {
      buffer_.append("\r\n");
      text.remove_prefix(lf + 1);
    }
    if (buffer_.size() >= buffer_size_ && !Flush()) return;
  }
}

bool Output::Flush() {
  if (ok_ && !buffer_.empty()) ok_ = Put(buffer_);
  buffer_.clear();
  return ok_;
}

bool StringOutput::Put(std::string_view bytes) {
  if (bytes_.size() + bytes.size() > limit_) return false;
  bytes_.append(bytes);
  return true;
}

namespace {
constexpr size_t kFileOutputBuffer = size_t{64} * 1024;
}  // namespace

FileOutput::FileOutput(std::FILE* borrowed) : FileOutput(borrowed, false) {}

FileOutput::FileOutput(std::FILE* file, bool owned)
    : Output(kFileOutputBuffer), file_(file), owned_(owned) {}

std::unique_ptr<FileOutput> FileOutput::Create(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return nullptr;
  return std::unique_ptr<FileOutput>(new FileOutput(file, true));
}

FileOutput::~FileOutput() { Close(); }

bool FileOutput::Close() {
  if (file_ == nullptr) return ok();
  bool ok = Flush();
  if (owned_) {
    ok = (std::fclose(file_) == 0) && ok;
  } else {
    ok = (std::fflush(file_) == 0) && ok;
  }
  file_ = nullptr;
  return ok;
}

bool FileOutput::Put(std::string_view bytes) {
  if (file_ == nullptr) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

namespace {

// The next character of the input without consuming it; -1 at the end.
inline int Peek(Input& in) {
  if (in.begin() == in.end() && !in.Refill()) return -1;
  return static_cast<unsigned char>(*in.begin());
}

inline void Next(Input& in) { in.Advance(in.begin() + 1); }

inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Skips scan white space; false when the input ends first.
bool SkipSpace(Input& in) {
  for (;;) {
    const char* p = in.begin();
    const char* e = in.end();
    while (p < e && IsScanSpace(*p)) ++p;
    in.Advance(p);
    if (p < e) return true;
    if (!in.Refill()) return false;
  }
}

inline void AddDigit(Decimal& d, int c, bool fraction) {
  if (d.num_digits == 0 && c == '0') {
    // A leading zero is no significant digit; after the point it still
    // shifts the value down.
    if (fraction) --d.exponent;
    return;
  }
  if (d.num_digits < Decimal::kMaxDigits) {
    if (d.num_digits < 19) {
      d.leading = d.leading * 10 + static_cast<uint64_t>(c - '0');
    }
    d.digits[d.num_digits++] = static_cast<char>(c);
    if (fraction) --d.exponent;
  } else {
    if (c != '0') d.sticky = true;
    if (!fraction) ++d.exponent;
  }
}

// Exponent digits beyond this change nothing: the value is already zero or
// infinite. Saturating keeps the arithmetic defined for any digit string.
constexpr int64_t kExponentCap = int64_t{1} << 40;

constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

double DecimalToDoubleGeneral(const Decimal& d) {
  const double zero = d.negative ? -0.0 : 0.0;
  const double inf = d.negative ? -HUGE_VAL : HUGE_VAL;
  if (d.num_digits == 0) return zero;
  // Decimal exponent of the first significant digit.
  const int64_t lead = d.exponent + d.num_digits - 1;
  if (lead > 400) return inf;
  if (lead < -400) return zero;
  // A sticky 1 after the kept digits puts the text on the same side of every
  // halfway point between doubles as the full digit string.
  char text[Decimal::kMaxDigits + 32];
  size_t n = static_cast<size_t>(d.num_digits);
  std::memcpy(text, d.digits, n);
  int64_t exponent = d.exponent;
  if (d.sticky) {
    text[n++] = '1';
    --exponent;
  }
  text[n++] = 'e';
  char* end = std::to_chars(text + n, text + sizeof text, exponent).ptr;
  double value = 0;
  auto result = std::from_chars(text, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    return lead > 0 ? inf : zero;
  }
  return d.negative ? -value : value;
}

double DecimalToDouble(const Decimal& d) {
  // Both operands are exact doubles, so one IEEE multiplication or division
  // gives the correctly rounded result.
  if (!d.sticky && d.num_digits <= 19 && d.leading <= (uint64_t{1} << 53) &&
      d.exponent >= -22 && d.exponent <= 22) {
    double m = static_cast<double>(d.leading);
    double v = d.exponent < 0 ? m / kExactPowersOfTen[-d.exponent]
                              : m * kExactPowersOfTen[d.exponent];
    return d.negative ? -v : v;
  }
  return DecimalToDoubleGeneral(d);
}

namespace {

constexpr uint64_t kIntegerPowersOfTen[] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The number of decimal digits at the start of the eight bytes at `p` (on a
// little-endian host), with their value in `value`. Each byte less '0' is
// a digit if it is below 10; a byte below '0' borrows only from the bytes
// after it, which lie past the first non-digit and are not used.
inline int LeadingDigitsOfEight(const char* p, uint64_t& value) {
  uint64_t chunk;
  std::memcpy(&chunk, p, 8);
  const uint64_t t = chunk - 0x3030303030303030u;
  const uint64_t non_digits =
      ((t + 0x7676767676767676u) | t) & 0x8080808080808080u;
  const int n = non_digits == 0 ? 8 : std::countr_zero(non_digits) / 8;
  if (n == 0) {
    value = 0;
    return 0;
  }
  // Shifting the digits up makes the bytes below them leading zeros; then
  // pairs, quads and the eight digits are combined by multiplication.
  uint64_t v = t << (8 * (8 - n));
  v = v * 10 + (v >> 8);
  v = (((v & 0x000000FF000000FFu) * 0x000F424000000064u) +
       (((v >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
      32;
  value = v;
  return n;
}

// Consumes the run of digits at `p`, appending them to `mantissa` (which
// wraps past 19 digits; the caller then rejects the token) and counting them.
inline void ScanDigitRun(const char*& p, const char* e, uint64_t& mantissa,
                         ptrdiff_t& count) {
  if constexpr (std::endian::native == std::endian::little) {
    while (e - p >= 8) {
      uint64_t value;
      const int n = LeadingDigitsOfEight(p, value);
      mantissa = mantissa * kIntegerPowersOfTen[n] + value;
      p += n;
      count += n;
      if (n < 8) return;
    }
  }
  for (; p < e && IsDigit(*p); ++p, ++count) {
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
  }
}

// The common token, "[+-]digits[.digits]" with at most 19 digits and at most
// 22 after the point, wholly inside the window: converted in one pass with
// the same exact arithmetic as DecimalToDouble's short path, so it gives the
// same double. Returns false, consuming nothing, for anything else (an
// exponent, more digits, a token that may go on past the window); the
// general scan then starts over.
inline bool ScanShortDecimal(Input& in, double& value) {
  const char* p = in.begin();
  const char* const e = in.end();
  bool negative = false;
  if (p < e && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  uint64_t mantissa = 0;
  ptrdiff_t digits = 0;
  ScanDigitRun(p, e, mantissa, digits);
  ptrdiff_t fraction = 0;
  if (p < e && *p == '.' && digits <= 19) {
    ++p;
    ScanDigitRun(p, e, mantissa, fraction);
    digits += fraction;
  }
  if (p == e || *p == 'e' || *p == 'E' || digits == 0 || digits > 19 ||
      fraction > 22 || mantissa > (uint64_t{1} << 53)) {
    return false;
  }
  const double m = static_cast<double>(mantissa);
  // Whole numbers (zeros above all) need no division.
  const double v = fraction == 0 ? m : m / kExactPowersOfTen[fraction];
  value = negative ? -v : v;
  in.Advance(p);
  return true;
}

// The general scan, byte by byte across block boundaries, for whatever the
// short path leaves. Kept out of line so the common path stays small.
[[gnu::noinline]] Scan ScanGeneralNumber(Input& in, double& value) {
  Decimal d;
  int c = Peek(in);
  if (c == '+' || c == '-') {
    d.negative = c == '-';
    Next(in);
    c = Peek(in);
  }
  bool any_digit = false;
  for (; IsDigit(c); c = Peek(in)) {
    any_digit = true;
    AddDigit(d, c, false);
    Next(in);
  }
  if (c == '.') {
    Next(in);
    for (c = Peek(in); IsDigit(c); c = Peek(in)) {
      any_digit = true;
      AddDigit(d, c, true);
      Next(in);
    }
  }
  if (!any_digit) return c < 0 ? Scan::kEndOfInput : Scan::kNoNumber;
  if (c == 'e' || c == 'E') {
    Next(in);
    c = Peek(in);
    bool negative_exponent = false;
    if (c == '+' || c == '-') {
      negative_exponent = c == '-';
      Next(in);
      c = Peek(in);
    }
    int64_t exponent = 0;
    for (; IsDigit(c); c = Peek(in)) {
      exponent = std::min(kExponentCap, exponent * 10 + (c - '0'));
      Next(in);
    }
    d.exponent += negative_exponent ? -exponent : exponent;
  }
  value = DecimalToDouble(d);
  return Scan::kNumber;
}

}  // namespace

Scan ScanNumber(Input& in, double& value) {
  if (!SkipSpace(in)) return Scan::kEndOfInput;
  if (ScanShortDecimal(in, value)) return Scan::kNumber;
  return ScanGeneralNumber(in, value);
}

Scan ScanDate(Input& in, int32_t& value) {
  if (!SkipSpace(in)) return Scan::kEndOfInput;
  // The common field: a few digits ending inside the window.
  {
    const char* p = in.begin();
    const char* const e = in.end();
    uint32_t v = 0;
    while (p < e && IsDigit(*p)) {
      v = v * 10u + static_cast<uint32_t>(*p - '0');
      ++p;
    }
    if (p != in.begin() && p < e) {
      in.Advance(p);
      value = static_cast<int32_t>(v);
      return Scan::kNumber;
    }
  }
  int c = Peek(in);
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    Next(in);
    c = Peek(in);
  }
  if (!IsDigit(c)) return c < 0 ? Scan::kEndOfInput : Scan::kNoNumber;
  // Unsigned arithmetic wraps modulo 2^32 as the field's rule asks.
  uint32_t v = 0;
  for (; IsDigit(c); c = Peek(in)) {
    v = v * 10u + static_cast<uint32_t>(c - '0');
    Next(in);
  }
  if (negative) v = 0u - v;
  value = static_cast<int32_t>(v);
  return Scan::kNumber;
}

namespace {

// One line read; appends the text to `line` unless it is null.
bool ReadLineInto(Input& in, std::string* line) {
  size_t taken = 0;
  const size_t limit = static_cast<size_t>(kMaxLineRead);
  while (taken < limit) {
    if (in.begin() == in.end() && !in.Refill()) break;
    const char* p = in.begin();
    size_t avail = std::min(static_cast<size_t>(in.end() - p), limit - taken);
    const void* lf = std::memchr(p, '\n', avail);
    size_t n = lf != nullptr
                   ? static_cast<size_t>(static_cast<const char*>(lf) - p) + 1
                   : avail;
    if (line != nullptr) line->append(p, n);
    in.Advance(p + n);
    taken += n;
    if (lf != nullptr) break;
  }
  return taken > 0;
}

}  // namespace

bool ReadLine(Input& in, std::string& line) {
  line.clear();
  return ReadLineInto(in, &line);
}

bool SkipLine(Input& in) { return ReadLineInto(in, nullptr); }

std::string_view LineText(const std::string& line) {
  return std::string_view(line.c_str());
}

namespace {

// Rounds the 17 significant digits in `d` (ASCII) half up to six, in place.
// Returns true when the carry ran out of the first digit ("999999|5" becomes
// "100000" one decade higher).
bool RoundToSixDigits(char* d) {
  if (d[6] < '5') return false;
  for (int i = 5; i >= 0; --i) {
    if (d[i] != '9') {
      ++d[i];
      return false;
    }
    d[i] = '0';
  }
  d[0] = '1';
  return true;
}

// Writes 17 significant digits of `magnitude` (positive, finite) into
// `digits` and returns the decimal exponent of the first. `exact` gives the
// expansion correctly rounded to 17 digits; otherwise the shortest digits that
// read back as the same double, padded with zeros, which is cheaper.
int ExpandDigits(double magnitude, bool exact, char* digits) {
  char text[40];
  const auto result = exact ? std::to_chars(text, text + sizeof text, magnitude,
                                            std::chars_format::scientific, 16)
                            : std::to_chars(text, text + sizeof text, magnitude,
                                            std::chars_format::scientific);
  const char* e = static_cast<const char*>(
      std::memchr(text, 'e', static_cast<size_t>(result.ptr - text)));
  int n = 0;
  for (const char* p = text; p < e; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  std::fill(digits + n, digits + 17, '0');
  int exponent = 0;
  std::from_chars(e[1] == '+' ? e + 2 : e + 1, result.ptr, exponent);
  return exponent;
}

// For a normal double, the shortest digits and the 17-digit expansion lie
// within 1.2 units of the 16th digit of each other. They round to different
// six-digit results only when a halfway point between those (a 7th digit of 5,
// then zeros) lies that close, that is when digits 7 to 15 read 500000000 or
// 499999999. (The expansion's own tie rule, half to even where the format
// rounds half up, could only matter for a 17th digit of 9, which rounds up
// either way.)
bool NearSixDigitHalfway(const char* digits) {
  const char fill = digits[6] == '5' ? '0' : digits[6] == '4' ? '9' : '\0';
  if (fill == '\0') return false;
  return std::all_of(digits + 7, digits + 15,
                     [fill](char c) { return c == fill; });
}

}  // namespace

void AppendNumber(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "-1.#IND";
    return;
  }
  if (std::signbit(value)) out += '-';
  const double magnitude = std::fabs(value);
  if (std::isinf(magnitude)) {
    out += "1.#INF";
    return;
  }
  if (magnitude == 0) {
    out += '0';
    return;
  }
  char digits[17];
  // The shortest digits are close enough only where the spacing of doubles
  // is relative to their size, that is above the subnormal range.
  const bool normal = magnitude >= std::numeric_limits<double>::min();
  int exponent = ExpandDigits(magnitude, !normal, digits);
  if (normal && NearSixDigitHalfway(digits)) {
    exponent = ExpandDigits(magnitude, true, digits);
  }
  if (RoundToSixDigits(digits)) ++exponent;
  int kept = 6;
  while (kept > 1 && digits[kept - 1] == '0') --kept;

  if (exponent < -4 || exponent >= 6) {
    out += digits[0];
    if (kept > 1) {
      out += '.';
      out.append(digits + 1, static_cast<size_t>(kept - 1));
    }
    out += 'e';
    out += exponent < 0 ? '-' : '+';
    int magnitude_exp = exponent < 0 ? -exponent : exponent;
    char exp_text[8];
    char* exp_end = std::to_chars(exp_text, exp_text + 8, magnitude_exp).ptr;
    for (auto width = exp_end - exp_text; width < 3; ++width) out += '0';
    out.append(exp_text, exp_end);
    return;
  }
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out.append(digits, static_cast<size_t>(kept));
    return;
  }
  const int integer_digits = exponent + 1;
  out.append(digits, static_cast<size_t>(integer_digits));
  if (kept > integer_digits) {
    out += '.';
    out.append(digits + integer_digits,
               static_cast<size_t>(kept - integer_digits));
  }
}

void WriteHeaderBlock(Input& in, int32_t header_rows,
                      const std::string& input_name, Output& daily,
                      Output& monthly) {
  std::string line;
  std::string text;
  for (int64_t row = 1; row <= header_rows; ++row) {
    if (!ReadLine(in, line)) return;
    if (row == 1) {
      text = "daily sums from " + input_name + " : ";
      text += LineText(line);
      daily.Write(text);
      text = "monthly sums from " + input_name + " : ";
      text += LineText(line);
      monthly.Write(text);
    } else {
      daily.Write(LineText(line));
      monthly.Write(LineText(line));
    }
  }
}

namespace {

void AppendInt(std::string& out, int32_t value) {
  char text[16];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

void WriteRecordLine(Output& out, int32_t year, int32_t month, int32_t day,
                     int32_t hour, const std::vector<double>& values) {
  // Reused between calls: a run writes one line per day.
  thread_local std::string line;
  line.clear();
  AppendInt(line, year);
  line += '\t';
  AppendInt(line, month);
  line += '\t';
  AppendInt(line, day);
  line += '\t';
  AppendInt(line, hour);
  for (double v : values) {
    line += '\t';
    AppendNumber(line, v);
  }
  line += '\n';
  out.Write(line);
}

void WriteTotalsLine(Output& out, const std::vector<double>& totals) {
  WriteRecordLine(out, 0, 0, 0, 0, totals);
}

}  // namespace vostrel
