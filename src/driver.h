// vostrel's run driver: the command line and the phases of a run, in order.
#ifndef VOSTREL_DRIVER_H_
#define VOSTREL_DRIVER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"
#include "options.h"
#include "text_io.h"
#include "vostrel.h"

namespace vostrel {

// Runs vostrel. `args` is the command line with the program name first.
// Opens and creates files only through `files`, writes every message to
// `console` (the caller flushes it) and returns the exit status; files
// created before a failure stay behind.
ExitStatus Main(const std::vector<std::string>& args, Output& console,
                FileSystem& files);

}  // namespace vostrel

#endif  // VOSTREL_DRIVER_H_
