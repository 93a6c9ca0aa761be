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

// The room WriteNumber needs: its longest text is 13 bytes ("-1.23457e-308"),
// and it stores whole words that may reach past the text.
inline constexpr size_t kMaxNumberText = 16;

// Writes the text AppendNumber appends at `p`, which has room for
// kMaxNumberText bytes, and returns its end; the bytes after the end may
// have changed.
char* WriteNumber(char* p, double value);

}  // namespace vostrel

#endif  // VOSTREL_RENDER_H_
