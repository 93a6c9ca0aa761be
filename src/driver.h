// vostrel's run driver: the command line and the phases of a run, in order.
#ifndef VOSTREL_DRIVER_H_
#define VOSTREL_DRIVER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "text_io.h"
#include "vostrel.h"

namespace vostrel {

// A count from the command line: leading white space, an optional sign, then
// decimal digits up to the first non-digit. No digits give 0; values beyond
// the int32_t range clamp to its ends.
int32_t ParseCount(const std::string& text);

// Runs vostrel. `args` is the command line with the program name first.
// Writes every message to `console` (the caller flushes it) and returns the
// exit status; files created before a failure stay behind.
ExitStatus Main(const std::vector<std::string>& args, Output& console);

}  // namespace vostrel

#endif  // VOSTREL_DRIVER_H_
