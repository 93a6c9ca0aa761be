// vostrel's number rendering, the tool's own rule whatever the host's
// formatting does.
#ifndef VOSTREL_RENDER_H_
#define VOSTREL_RENDER_H_

#include <string>

namespace vostrel {

// A number as written in the output files: six significant digits after
// rounding the 17-digit expansion half up; fixed form for decimal exponents
// from -4 to 5 and exponent form (1e+006, 1.234e-005) otherwise, trailing
// zeros dropped; infinities as 1.#INF and -1.#INF, NaN as -1.#IND.
void AppendNumber(std::string& out, double value);

}  // namespace vostrel

#endif  // VOSTREL_RENDER_H_
