// vostrel's outputs: names, refusals, creation and line writers.
#include "outputs.h"

#include <string>

namespace vostrel {

namespace {

ExitStatus RefuseToOverwrite(RunState& run, size_t earlier,
                             const std::string& name, RunConsole& console) {
  return Fail(run, console, ExitStatus::kFileError,
              std::string("refusing to overwrite the ") +
                  kOutputKinds[earlier] + " file with " + name + "\n");
}

void NameOutputs(RunState& run) {
  const Options& options = run.options();
  const std::string& typed = run.command_line.input;
  run.names = DeriveOutputNames(options.out.empty() ? typed : options.out);
  run.quoted_name =
      run.from_standard_input() ? typed : DeriveOutputNames(typed).input_name;
  run.outputs[kDaily].name = run.names.daily;
  run.outputs[kMonthly].name = run.names.monthly;
  if (options.yearly_start != 0) run.outputs[kYearly].name = run.names.yearly;
  if (options.csv) {
    for (const OutputSlot text : {kDaily, kMonthly, kYearly}) {
      const std::string& name = run.outputs[text].name;
      if (!name.empty()) run.outputs[text + 1].name = name + ".csv";
    }
  }
  run.outputs[kSummary].name = options.summary;
}

// True when output `name` would reach the results file.
bool ReachesResults(FileSystem& files, const RunState& run,
                    const std::string& name) {
  if (run.from_standard_input()) return files.SameAsStandardInput(name);
  return name == run.quoted_name ||
         files.SameFile(name, run.command_line.input);
}

}  // namespace

ExitStatus OpenFiles(FileSystem& files, RunState& run, RunConsole& console) {
  const std::string& typed = run.command_line.input;
  run.input = run.from_standard_input() ? files.OpenStandardInput()
                                        : files.OpenForReading(typed);
  if (run.input == nullptr) {
    return Fail(run, console, ExitStatus::kFileError,
                "error opening " + typed + "\n");
  }
  NameOutputs(run);
  // Creating an output empties it, so a name that reaches the results file,
  // or another output, must be refused before any output exists.
  for (const RunOutput& out : run.outputs) {
    if (!out.name.empty() && ReachesResults(files, run, out.name)) {
      return Fail(
          run, console, ExitStatus::kFileError,
          "refusing to overwrite the results file with " + out.name + "\n");
    }
  }
  for (size_t later = 0; later < kOutputSlots; ++later) {
    const std::string& name = run.outputs[later].name;
    if (name.empty()) continue;
    for (size_t earlier = 0; earlier < later; ++earlier) {
      const std::string& other = run.outputs[earlier].name;
      if (!other.empty() && (other == name || files.SameFile(other, name))) {
        return RefuseToOverwrite(run, earlier, name, console);
      }
    }
  }
  // An output that cannot be written (locked by a spreadsheet, read-only, a
  // directory) must fail the run before the last good contents of any other
  // output are emptied.
  for (const RunOutput& out : run.outputs) {
    if (!out.name.empty() && !files.CheckWritable(out.name)) {
      return Fail(run, console, ExitStatus::kFileError,
                  "error opening " + out.name + "\n");
    }
  }
  for (size_t slot = 0; slot < kOutputSlots; ++slot) {
    RunOutput& out = run.outputs[slot];
    if (out.name.empty()) continue;
    // A link from this name to an earlier output's missing file reaches a
    // file only now that the earlier one exists.
    for (size_t earlier = 0; earlier < slot; ++earlier) {
      if (run.outputs[earlier].file != nullptr &&
          files.SameFile(run.outputs[earlier].name, out.name)) {
        return RefuseToOverwrite(run, earlier, out.name, console);
      }
    }
    out.file = files.Create(out.name);
    if (out.file == nullptr) {
      return Fail(run, console, ExitStatus::kFileError,
                  "error opening " + out.name + "\n");
    }
  }
  return ExitStatus::kSuccess;
}

LevelOutputs MakeLevelOutputs(RunState& run) {
  LevelOutputs out;
  std::vector<LineWriter*>* levels[] = {&out.levels.day, &out.levels.month,
                                        &out.levels.year};
  const OutputSlot texts[] = {kDaily, kMonthly, kYearly};
  for (size_t i = 0; i < 3; ++i) {
    const OutputSlot text = texts[i];
    const auto csv = static_cast<OutputSlot>(text + 1);
    if (run.outputs[text].file != nullptr) {
      out.owned.push_back(std::make_unique<TextLineWriter>(run.output(text)));
      levels[i]->push_back(out.owned.back().get());
    }
    if (run.outputs[csv].file != nullptr) {
      out.owned.push_back(std::make_unique<CsvLineWriter>(run.output(csv)));
      levels[i]->push_back(out.owned.back().get());
    }
  }
  return out;
}

}  // namespace vostrel
