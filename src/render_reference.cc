// The output number form worked out from the 17-digit expansion that the C
// library prints exactly (glibc's %.16e), independently of the tool's code.
#include "render_reference.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vostrel {

// glibc rounds the exact value to 17 digits half to even, where the rule says
// half up at the 18th digit. The two differ only on an exact tie with an even
// 17th digit, and then only in that digit, with no carry: the six-digit
// rounding, which reads the 7th digit after any carry, comes out the same.
std::string ReferenceNumber(double value) {
  if (std::isnan(value)) return "-1.#IND";
  std::string out = std::signbit(value) ? "-" : "";
  if (std::isinf(value)) return out + "1.#INF";
  if (value == 0) return out + "0";
  char text[64];
  std::snprintf(text, sizeof text, "%.16e", std::fabs(value));
  std::string digits(1, text[0]);
  digits.append(text + 2, 16);
  int exponent = std::atoi(std::strchr(text, 'e') + 1);
  long six = std::stol(digits.substr(0, 6)) + (digits[6] >= '5' ? 1 : 0);
  if (six == 1000000) {
    six = 100000;
    ++exponent;
  }
  std::string d = std::to_string(six);
  while (d.size() > 1 && d.back() == '0') d.pop_back();
  if (exponent < -4 || exponent >= 6) {
    out += d.substr(0, 1);
    if (d.size() > 1) out.append(".").append(d, 1);
    char e[16];
    std::snprintf(e, sizeof e, "e%c%03d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    return out + e;
  }
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    return out + d;
  }
  const size_t integer_digits = static_cast<size_t>(exponent) + 1;
  if (d.size() < integer_digits) d.append(integer_digits - d.size(), '0');
  out += d.substr(0, integer_digits);
  if (d.size() > integer_digits) out.append(".").append(d, integer_digits);
  return out;
}

}  // namespace vostrel
