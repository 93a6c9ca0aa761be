// The run's failures, as every phase reports them.
#include "run_state.h"

#include <utility>

namespace vostrel {

ExitStatus Fail(RunState& run, RunConsole& console, ExitStatus status,
                std::string message) {
  console.Failure(message);
  run.message = std::move(message);
  return status;
}

ExitStatus ReadError(RunState& run, RunConsole& console) {
  return Fail(run, console, ExitStatus::kFileError,
              "error reading " + run.command_line.input + "\n");
}

ExitStatus WriteError(RunState& run, OutputSlot slot, RunConsole& console) {
  return Fail(run, console, ExitStatus::kFileError,
              "error writing " + run.outputs[slot].name + "\n");
}

ExitStatus CheckOutputs(RunState& run, RunConsole& console) {
  for (size_t slot = 0; slot < kOutputSlots; ++slot) {
    const RunOutput& out = run.outputs[slot];
    if (out.file != nullptr && !out.file->ok()) {
      return WriteError(run, static_cast<OutputSlot>(slot), console);
    }
  }
  return ExitStatus::kSuccess;
}

}  // namespace vostrel
