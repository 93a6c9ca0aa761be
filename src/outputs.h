// The outputs of a run: their names, the refusals that keep a run from
// emptying a file it must not, their creation, and the writers of each
// level's lines.
#ifndef VOSTREL_OUTPUTS_H_
#define VOSTREL_OUTPUTS_H_

#include <memory>
#include <vector>

#include "engine.h"
#include "file_system.h"
#include "run_state.h"
#include "writers.h"

namespace vostrel {

// Opens the results file (or standard input), names the outputs and creates
// them in slot order, after every refusal: an output that reaches the
// results file or another output, or that cannot be written.
ExitStatus OpenFiles(FileSystem& files, RunState& run, RunConsole& console);

// Where a level's lines go: its text file and, with --csv, its CSV file.
struct LevelOutputs {
  std::vector<std::unique_ptr<LineWriter>> owned;
  LevelWriters levels;
};

LevelOutputs MakeLevelOutputs(RunState& run);

}  // namespace vostrel

#endif  // VOSTREL_OUTPUTS_H_
