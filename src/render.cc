// vostrel's number rendering: the "\t%lg" fields of the output files, by
// the tool's own rule.
#include "render.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vostrel {

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

}  // namespace vostrel
