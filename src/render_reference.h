// Test-only reference for the output number form, built from the C library's
// exact decimal expansion and none of the tool's rendering code. Linked into
// vostrel_test, the fuzz_render target and bench/render_check, never into the
// tool's library.
#ifndef VOSTREL_RENDER_REFERENCE_H_
#define VOSTREL_RENDER_REFERENCE_H_

#include <string>

namespace vostrel {

// The text AppendNumber must write for `value`, any double: the 17-digit
// expansion as glibc's "%.16e" prints it (exact, correctly rounded), rounded
// half up to six digits (a 7th digit of 5 to 9 raises the 6th, with carry),
// then the fixed or exponent form of the rule, trailing zeros dropped;
// 1.#INF, -1.#INF and -1.#IND for infinities and NaN. Slow (one snprintf and
// a few string operations); needs the "C" numeric locale.
std::string ReferenceNumber(double value);

}  // namespace vostrel

#endif  // VOSTREL_RENDER_REFERENCE_H_
