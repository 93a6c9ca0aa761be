// vostrel's layout analysis: where the records of a results file begin and
// how many value columns the first of them has.
#ifndef VOSTREL_LAYOUT_H_
#define VOSTREL_LAYOUT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text_io.h"

namespace vostrel {

// Reads lines from `in` (at its first byte) until one begins with a number:
// the first data line. A line whose text (as far as its first NUL) does not
// end with LF takes in the next line, and so on until one does or the input
// ends; only the first line's text is tested. On success returns true, sets
// `header_rows` to the number of lines before it, a line and those it takes
// in counting as one (saturating at the largest int32_t), and `line` to the
// text of the last line taken, as far as its first NUL. Returns false when the
// input ends before such a line, or inside a line that is too long
// (in.line_too_long()).
bool FindFirstDataLine(Input& in, int32_t& header_rows, std::string& line);

// Counts the data columns of the first data line `line`: four cuts remove
// the date fields, a tab is appended, then each pass scans for a number at the
// start of the line and cuts one field, counting the passes whose scan
// converted, until one does not. A field that is one of `missing` (the
// --missing items) counts as a number does. Returns the count; `line` is
// left holding what the last cut left.
int32_t CountColumns(std::string& line,
                     const std::vector<std::string>& missing = {});

}  // namespace vostrel

#endif  // VOSTREL_LAYOUT_H_
