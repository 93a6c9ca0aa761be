// vostrel's writers of the daily and monthly files: the header block copy,
// record lines and the totals line.
#ifndef VOSTREL_WRITERS_H_
#define VOSTREL_WRITERS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "text_io.h"

namespace vostrel {

// Header copy. Takes `header_rows` lines (stopping quietly at the end of the
// input, or before a line that is too long, see in.line_too_long()) from
// `in`, which must be at its first byte. Row 1 is written as
// "daily sums from NAME : LINE" to `daily` and "monthly sums from NAME : LINE"
// to `monthly`; every further row is copied to both. Each line's text ends at
// its first NUL byte.
void WriteHeaderBlock(Input& in, int32_t header_rows,
                      const std::string& input_name, Output& daily,
                      Output& monthly);

// Record line: "%d\t%d\t%d\t%d", then a tab and a rendered number per value,
// then LF. The line is assembled in `scratch`, which the caller keeps between
// lines so that a run of many lines allocates once.
void WriteRecordLine(Output& out, int32_t year, int32_t month, int32_t day,
                     int32_t hour, const std::vector<double>& values,
                     std::string& scratch);

// Totals line: a record line with four zero date fields.
void WriteTotalsLine(Output& out, const std::vector<double>& totals,
                     std::string& scratch);

}  // namespace vostrel

#endif  // VOSTREL_WRITERS_H_
