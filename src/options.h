// vostrel's command line: the leading options, then the positional arguments
// (results file, header rows, columns, "noneg").
#ifndef VOSTREL_OPTIONS_H_
#define VOSTREL_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace vostrel {

// Columns first to last, both included, numbered from 1.
struct ColumnRange {
  int32_t first = 1;
  int32_t last = 1;
};

// The time step a file declares, which narrows what a complete period is.
enum class Step { kEither, kHourly, kDaily };

// What the options ask for. Each holds its default when the option is absent.
struct Options {
  bool quiet = false;
  bool strict = false;
  std::string out;      // --out=NAME; empty: names derive from the input
  std::string summary;  // --summary=FILE; empty: no summary
  Step step = Step::kEither;
  int32_t yearly_start = 0;  // first month of a year 1..12; 0: no yearly file
  // The columns that show a mean, a minimum or a maximum in place of the
  // sum; ranges may overlap within one list, never across the three.
  std::vector<ColumnRange> mean;
  std::vector<ColumnRange> min;
  std::vector<ColumnRange> max;
  bool csv = false;
  std::vector<std::string> missing;  // --missing items, as typed
};

// What the command line asks for. Positions are counted after the options
// and keep their meaning whatever words stand in them: "noneg" in position 2
// is a header-row count of 0.
struct CommandLine {
  std::vector<std::string> args;  // as typed, the program name first
  Options options;
  std::string input;         // position 1; "-" reads standard input
  int32_t header_rows = -1;  // position 2 when given; negative: detect
  // Position 3, taken only when there are exactly three positions.
  bool columns_given = false;
  int32_t data_columns = 0;
  bool noneg = false;  // any position equal to "noneg"
};

// What a command line comes to.
struct ParsedCommandLine {
  enum class Kind {
    kHelp,        // print the usage text, status 0
    kVersion,     // print the version, status 0
    kUsageError,  // print `message` (may be empty) and the usage text, status 1
    kRun,
  };
  Kind kind = Kind::kUsageError;
  std::string message;  // for kUsageError, ending in LF unless empty
  CommandLine command_line;
};

// A count from the command line: leading white space, an optional sign, then
// decimal digits up to the first non-digit. No digits give 0; values beyond
// the int32_t range clamp to its ends.
int32_t ParseCount(const std::string& text);

// Reads `args` (the program name first). Options are the leading arguments
// that begin with "--"; an argument that is exactly "--" ends them and is
// dropped. "--help" and "--version" among the options answer first; then the
// options are checked left to right, then that a results file is given, then
// that no later position begins with "--", then that "-" comes with --out.
// The first fault found is the answer.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The first column number above `columns` (below 0 counts as 0) that an item
// of --mean, --min or --max names, items taken in the order typed: the
// smallest number of the first range that reaches past `columns`. 0 when
// every item lies within 1 to `columns`.
int32_t FirstColumnBeyond(const CommandLine& line, int32_t columns);

// True when `column` lies in one of `ranges`.
bool InRanges(const std::vector<ColumnRange>& ranges, int32_t column);

}  // namespace vostrel

#endif  // VOSTREL_OPTIONS_H_
