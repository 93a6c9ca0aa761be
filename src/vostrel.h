// vostrel: the settings, limits and exit statuses that every part of a run
// shares.
#ifndef VOSTREL_VOSTREL_H_
#define VOSTREL_VOSTREL_H_

#include <cstdint>

namespace vostrel {

// The process exit status of a run.
enum class ExitStatus : int {
  kSuccess = 0,
  // No argument (usage), no data line in the results file, or a data-column
  // count the run refuses to allocate.
  kUsage = 1,
  // A file cannot be opened, created, read or written, or an output name would
  // overwrite the results file.
  kFileError = 2,
  // With --strict: the outputs are complete for what was read, but part of
  // the input was not summed into days.
  kIncomplete = 3,
};

// One read of the results file takes at most this many characters, its LF
// included. Longer lines are read in pieces, and the pieces shape the output
// (each is a header row of its own in the header copy), so this is part of
// the file format and not a buffer size.
inline constexpr int kMaxLineRead = 19999;

// The largest data-column count a run accepts. Only the command line can ask
// for more; a detected count is bounded by the line read.
inline constexpr int32_t kMaxDataColumns = 1000000;

}  // namespace vostrel

#endif  // VOSTREL_VOSTREL_H_
