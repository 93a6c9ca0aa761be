// vostrel's number rendering, the tool's own rule whatever the host's
// formatting does.
#ifndef VOSTREL_RENDER_H_
#define VOSTREL_RENDER_H_

#include <cstddef>
#include <string>

namespace vostrel {

// A number as written in the output files: six significant digits after
// rounding the 17-digit expansion half up; fixed form for decimal exponents
// from -4 to 5 and exponent form (1e+006, 1.234e-005) otherwise, trailing
// zeros dropped; infinities as 1.#INF and -1.#INF, NaN as -1.#IND.
void AppendNumber(std::string& out, double value);

// The longest text AppendNumber writes ("-1.23457e-308"), rounded up.
inline constexpr size_t kMaxNumberText = 16;

// Writes the text AppendNumber appends at `p`, which has room for
// kMaxNumberText bytes; returns its end.
char* WriteNumber(char* p, double value);

// WriteNumber for a value known to be the double nearest to a decimal with
// k <= 22 fraction digits (a mantissa divided by 10^k, correctly rounded, as
// the number scans read "12.345"), given `power_of_ten` = 10^k: the same
// text, taken from the decimal's digits where they decide it, which is
// faster. Any other `value` may give other text.
char* WriteScannedNumber(char* p, double value, double power_of_ten);

}  // namespace vostrel

#endif  // VOSTREL_RENDER_H_
