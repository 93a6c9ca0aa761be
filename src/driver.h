// vostrel's run driver: the command line and the phases of a run, in order.
#ifndef VOSTREL_DRIVER_H_
#define VOSTREL_DRIVER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"
#include "text_io.h"
#include "vostrel.h"

namespace vostrel {

// A count from the command line: leading white space, an optional sign, then
// decimal digits up to the first non-digit. No digits give 0; values beyond
// the int32_t range clamp to its ends.
int32_t ParseCount(const std::string& text);

// What the command line asks for. Positions keep their meaning whatever
// words stand in them: "noneg" in position 2 is a header-row count of 0.
struct CommandLine {
  std::string input;         // position 1
  int32_t header_rows = -1;  // position 2 when given; negative: detect
  // Position 3, taken only when there are exactly three arguments.
  bool columns_given = false;
  int32_t data_columns = 0;
  bool noneg = false;  // any argument equal to "noneg"
};

// Reads `args` (the program name first). Returns false when there is no
// argument, leaving `command_line` as it was.
bool ParseCommandLine(const std::vector<std::string>& args,
                      CommandLine& command_line);

// Runs vostrel. `args` is the command line with the program name first.
// Opens and creates files only through `files`, writes every message to
// `console` (the caller flushes it) and returns the exit status; files
// created before a failure stay behind.
ExitStatus Main(const std::vector<std::string>& args, Output& console,
                FileSystem& files);

}  // namespace vostrel

#endif  // VOSTREL_DRIVER_H_
