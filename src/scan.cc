// vostrel's scans: the number scan, the date-field scan and the line read,
// over the folded window of an Input.
#include "scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "decimal_to_double.h"
#include "digit_reading.h"
#include "number_rules.h"

namespace vostrel {

namespace {

// A scanned decimal: value = digits x 10^exponent, with `digits` the
// significant digits (no leading zeros). Past kMaxDigits digits the rest only
// sets `sticky` when one is nonzero, which cannot move the nearest double.
struct Decimal {
  static constexpr int kMaxDigits = kMaxDecimalDigits;
  bool negative = false;
  bool sticky = false;
  int num_digits = 0;
  int64_t exponent = 0;
  uint64_t leading = 0;  // the first min(num_digits, 19) digits as a number
  char digits[kMaxDigits];
};

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
    if (d.num_digits < static_cast<int>(kMaxExactDigits)) {
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

// The general conversion, correctly rounded whatever the number of digits.
double DecimalToDoubleGeneral(const Decimal& d) {
  const double magnitude = vostrel::DecimalToDouble(
      std::string_view(d.digits, static_cast<size_t>(d.num_digits)), d.sticky,
      d.exponent);
  return d.negative ? -magnitude : magnitude;
}

double DecimalToDouble(const Decimal& d) {
  double value;
  if (!d.sticky && d.num_digits <= static_cast<int>(kMaxExactDigits) &&
      ExactDecimalToDouble(d.leading, d.exponent, d.negative, value)) {
    return value;
  }
  return DecimalToDoubleGeneral(d);
}

// Consumes the run of digits at `p`, appending them to `mantissa` (which
// wraps past 19 digits; the caller then rejects the token) and counting them.
inline void ScanDigitRun(const char*& p, const char* e, uint64_t& mantissa,
                         ptrdiff_t& count) {
  while (e - p >= 8) {
    const size_t n = LeadingDigitCount(p);
    mantissa = mantissa * kIntegerPowersOfTen[n] + DigitsOfEight(p, n);
    p += n;
    count += static_cast<ptrdiff_t>(n);
    if (n < 8) return;
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
  if (p < e && *p == '.' && digits <= static_cast<ptrdiff_t>(kMaxExactDigits)) {
    ++p;
    ScanDigitRun(p, e, mantissa, fraction);
    digits += fraction;
  }
  if (p == e || *p == 'e' || *p == 'E' || digits == 0 ||
      digits > static_cast<ptrdiff_t>(kMaxExactDigits) ||
      !ExactDecimalToDouble(mantissa, -fraction, negative, value)) {
    return false;
  }
  in.Advance(p);
  return true;
}

// Keeps a function out of line: MSVC spells it its own way and warns of
// attributes of other compilers.
#if defined(_MSC_VER)
#define VOSTREL_NOINLINE __declspec(noinline)
#else
#define VOSTREL_NOINLINE [[gnu::noinline]]
#endif

// The general scan, byte by byte across block boundaries, for whatever the
// short path leaves. Kept out of line so the common path stays small.
VOSTREL_NOINLINE Scan ScanGeneralNumber(Input& in, double& value) {
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
  bool taken = false;
  for (;;) {
    if (in.begin() == in.end() && !in.Refill()) break;
    const char* p = in.begin();
    const size_t avail = static_cast<size_t>(in.end() - p);
    const void* lf = std::memchr(p, '\n', avail);
    const size_t n =
        lf != nullptr
            ? static_cast<size_t>(static_cast<const char*>(lf) - p) + 1
            : avail;
    if (line != nullptr) line->append(p, n);
    in.Advance(p + n);
    taken = true;
    if (lf != nullptr) return true;
  }
  // The input ends inside a line that is too long: none of it is a line.
  if (in.line_too_long()) {
    if (line != nullptr) line->clear();
    return false;
  }
  return taken;
}

}  // namespace

bool SkipScanSpace(Input& in, bool& line_end) {
  line_end = false;
  for (;;) {
    const char* p = in.begin();
    const char* e = in.end();
    while (p < e && IsScanSpace(*p)) line_end |= *p++ == '\n';
    in.Advance(p);
    if (p < e) return true;
    if (!in.Refill()) return false;
  }
}

bool ReadLine(Input& in, std::string& line) {
  line.clear();
  return ReadLineInto(in, &line);
}

bool SkipLine(Input& in) { return ReadLineInto(in, nullptr); }

std::string_view LineText(const std::string& line) {
  return std::string_view(line.c_str());
}

bool FindLineAt(Input& in, uint64_t offset, int64_t& line) {
  line = 1;
  if (!in.Rewind()) return false;
  // Count the line ends before `offset` a window at a time.
  while (in.offset() < offset) {
    if (in.begin() == in.end() && !in.Refill()) return !in.error();
    const uint64_t left = offset - in.offset();
    const size_t avail = static_cast<size_t>(in.end() - in.begin());
    const char* stop = in.begin() + (left < avail ? left : avail);
    line += std::count(in.begin(), stop, '\n');
    in.Advance(stop);
  }
  return !in.error();
}

bool FindTextAt(Input& in, uint64_t offset, size_t max_text, TextPlace& place) {
  place = TextPlace();
  if (!FindLineAt(in, offset, place.line)) return false;
  int c;
  while ((c = Peek(in)) >= 0 && IsScanSpace(static_cast<char>(c))) {
    if (c == '\n') ++place.line;
    Next(in);
  }
  while ((c = Peek(in)) > 0 && !IsScanSpace(static_cast<char>(c)) &&
         place.text.size() < max_text) {
    place.text.push_back(static_cast<char>(c));
    Next(in);
  }
  return !in.error();
}

}  // namespace vostrel
