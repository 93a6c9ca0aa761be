// Fuzz target for the output number form: doubles go through AppendNumber and
// the text is compared with the test-only reference rendering
// (src/render_reference.h), built from glibc's exact 17-digit expansion: six
// digits rounded half up; exponent form when the decimal exponent of the
// result is below -4 or at least 6, with at least three exponent digits;
// trailing zeros and a bare point dropped. The text of a normal value must
// also read back (strtod) to a double whose own six-digit rendering is the
// same text.
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
#include "render_reference.h"
#include "text_io.h"

namespace {

[[noreturn]] void Fail(const char* what, double value, const std::string& got,
                       const std::string& want) {
  std::fprintf(stderr, "fuzz_render: %s for %a: got \"%s\", want \"%s\"\n",
               what, value, got.c_str(), want.c_str());
  std::abort();
}

void CheckValue(double value) {
  std::string got = "<";  // AppendNumber appends: keep what was there
  vostrel::AppendNumber(got, value);
  if (got.compare(0, 1, "<") != 0) Fail("prefix overwritten", value, got, "<");
  got.erase(0, 1);
  const std::string want = vostrel::ReferenceNumber(value);
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
  if (vostrel::ReferenceNumber(back) != want) {
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
