// vostrel's layout analysis: where the records of a results file begin and
// how many value columns the first of them has.
#ifndef VOSTREL_LAYOUT_H_
#define VOSTREL_LAYOUT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "text_io.h"

namespace vostrel {

// Reads whole lines from `in` (at its first byte) until one begins with a
// number: the first data line. A whole line is joined from line reads until a
// read's text (as far as its first NUL) ends with LF or the input ends; only
// the first read's text is tested. On success returns true, sets
// `header_rows` to the number of whole lines before it (saturating at the
// largest int32_t) and `line` to the text of its last read, as far as the
// first NUL. Returns false when the input ends before such a line.
bool FindFirstDataLine(Input& in, int32_t& header_rows, std::string& line);

// Cuts one field off the front of `line`: from the earlier of its first space
// and first tab (from the start of the line when it has neither), then past
// every space and tab that follows.
void CutField(std::string& line);

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
