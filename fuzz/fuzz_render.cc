// Fuzz target for the output number form: doubles go through AppendNumber and
// the text is compared with a reference rendering built from the exact
// decimal expansion (printf with enough digits to be exact): rounded half up
// to 17 significant digits, then half up to 6; exponent form when the decimal
// exponent of the result is below -4 or at least 6, with at least three
// exponent digits; trailing zeros and a bare point dropped. The text of a
// normal value must also read back (strtod) to a double whose own six-digit
// rounding is the same.
//
// The input is cut into 8-byte chunks. Each chunk is used twice: as the bits
// of a double, and as a six-digit decimal with a 7th digit of 5 (a halfway
// point of the six-digit rounding), a decimal exponent and a small step in
// units of the last place, so that ties and near-ties are common.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render.h"
#include "text_io.h"

namespace {

[[noreturn]] void Fail(const char* what, double value, const std::string& got,
                       const std::string& want) {
  std::fprintf(stderr, "fuzz_render: %s for %a: got \"%s\", want \"%s\"\n",
               what, value, got.c_str(), want.c_str());
  std::abort();
}

// Six significant digits and the decimal exponent of the first one.
struct SixDigits {
  std::string digits;
  int exponent;
};

// Rounds the digit string `d` half up to `keep` digits; returns true when the
// carry ran out of the first digit (the result is then 1 followed by zeros,
// one decade higher).
bool RoundHalfUp(std::string& d, size_t keep) {
  const bool up = d.size() > keep && d[keep] >= '5';
  d.resize(keep, '0');
  if (!up) return false;
  for (size_t i = keep; i-- > 0;) {
    if (d[i] != '9') {
      ++d[i];
      return false;
    }
    d[i] = '0';
  }
  d[0] = '1';
  return true;
}

// `magnitude` is finite and positive.
SixDigits RoundToSix(double magnitude) {
  // Doubles have at most 767 significant decimal digits, so this is exact.
  static char text[1200];
  std::snprintf(text, sizeof text, "%.800e", magnitude);
  const char* e = std::strchr(text, 'e');
  std::string digits(1, text[0]);
  digits.append(text + 2, static_cast<size_t>(e - (text + 2)));
  int exponent = std::atoi(e + 1);
  if (RoundHalfUp(digits, 17)) ++exponent;
  if (RoundHalfUp(digits, 6)) ++exponent;
  return {digits, exponent};
}

std::string Render(double value) {
  if (std::isnan(value)) return "-1.#IND";
  std::string out = std::signbit(value) ? "-" : "";
  const double magnitude = std::fabs(value);
  if (std::isinf(magnitude)) return out + "1.#INF";
  if (magnitude == 0) return out + "0";
  const SixDigits six = RoundToSix(magnitude);
  std::string d = six.digits;
  const int x = six.exponent;
  auto trim = [](std::string s) {
    if (s.find('.') == std::string::npos) return s;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
  };
  if (x < -4 || x >= 6) {
    std::string mantissa = trim(d.substr(0, 1) + "." + d.substr(1));
    std::string exp_digits = std::to_string(x < 0 ? -x : x);
    while (exp_digits.size() < 3) exp_digits.insert(0, "0");
    return out + mantissa + "e" + (x < 0 ? "-" : "+") + exp_digits;
  }
  if (x < 0) {
    return out + trim("0." + std::string(static_cast<size_t>(-x - 1), '0') + d);
  }
  const size_t integer_digits = static_cast<size_t>(x) + 1;
  return out +
         trim(d.substr(0, integer_digits) + "." + d.substr(integer_digits));
}

void CheckValue(double value) {
  std::string got = "<";  // AppendNumber appends: keep what was there
  vostrel::AppendNumber(got, value);
  if (got.compare(0, 1, "<") != 0) Fail("prefix overwritten", value, got, "<");
  got.erase(0, 1);
  const std::string want = Render(value);
  if (got != want) Fail("rendering differs", value, got, want);
  if (std::isnan(value) || std::isinf(value)) return;

  char* end = nullptr;
  const double back = std::strtod(got.c_str(), &end);
  if (end != got.c_str() + got.size())
    Fail("text does not parse", value, got, want);
  if (std::signbit(back) != std::signbit(value))
    Fail("sign lost", value, got, want);
  if (value == 0) {
    if (back != 0) Fail("zero reads back nonzero", value, got, want);
    return;
  }
  // Below the normal range the doubles are too sparse: the nearest one to a
  // six-digit text can lie more than half a sixth-digit unit away from it.
  if (!std::isnormal(value)) return;
  const SixDigits a = RoundToSix(std::fabs(value));
  const SixDigits b = RoundToSix(std::fabs(back));
  if (a.digits != b.digits || a.exponent != b.exponent) {
    Fail("reads back to other six digits", value, got, want);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reference rendering is slow; a few values per input keep the
  // executions fast.
  size = std::min(size, size_t{8 * 16});
  for (size_t i = 0; i + 8 <= size; i += 8) {
    double bits;
    std::memcpy(&bits, data + i, sizeof bits);
    CheckValue(bits);

    // A halfway point of the six-digit rounding, nudged by a few ulps.
    uint32_t mantissa;
    std::memcpy(&mantissa, data + i, sizeof mantissa);
    const int exponent = static_cast<int8_t>(data[i + 4]) * 3 - 5 +
                         static_cast<int>(data[i + 5] % 3);
    const int steps = static_cast<int8_t>(data[i + 6]) % 4;
    char text[64];
    std::snprintf(text, sizeof text, "%s%06u5e%d", (data[i + 7] & 1) ? "-" : "",
                  100000u + mantissa % 900000u, exponent);
    double tie = std::strtod(text, nullptr);
    for (int s = 0; s < steps; ++s) tie = std::nextafter(tie, HUGE_VAL);
    for (int s = 0; s > steps; --s) tie = std::nextafter(tie, -HUGE_VAL);
    CheckValue(tie);
  }
  return 0;
}
