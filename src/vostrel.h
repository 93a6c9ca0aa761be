// vostrel: the settings, limits and exit statuses that every part of a run
// shares.
#ifndef VOSTREL_VOSTREL_H_
#define VOSTREL_VOSTREL_H_

#include <cstdint>

namespace vostrel {

// The process exit status of a run.
enum class ExitStatus : int {
  kSuccess = 0,
  // No argument (usage), no data line in the results file, a data-column
  // count the run refuses to allocate, or a line longer than kMaxLineLength.
  kUsage = 1,
  // A file cannot be opened, created, read or written, or an output name would
  // overwrite the results file.
  kFileError = 2,
  // With --strict: the outputs are complete for what was read, but part of
  // the input was not summed into days.
  kIncomplete = 3,
};

// The longest line of the results file a run reads, in folded characters
// before its LF. Lines are read whole up to this length; a longer one ends
// the run when the run reaches it, so that one line cannot take all memory.
inline constexpr uint64_t kMaxLineLength = uint64_t{64} * 1024 * 1024;

// The largest data-column count a run accepts, whether the command line gives
// it or layout analysis counts it on a long first data line.
inline constexpr int32_t kMaxDataColumns = 1000000;

}  // namespace vostrel

#endif  // VOSTREL_VOSTREL_H_
