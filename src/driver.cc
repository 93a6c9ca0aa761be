// vostrel's run driver. The phases run in a fixed order over the run's state;
// any failure ends the run at once with its message and status.
#include "driver.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string_view>

#include "engine.h"
#include "layout.h"
#include "naming.h"
#include "record_fast.h"
#include "scan.h"
#include "writers.h"

namespace vostrel {

namespace {

constexpr char kBanner[] = "aggregating model results\n";
constexpr char kUsage[] =
    "usage: vostrel <in-name> [<header rows{def=auto}>] "
    "[<data columns{def=aoto}>] [noneg]\n"
    "options: --quiet --strict --out=NAME --summary=FILE "
    "--step=hourly|daily --yearly[=MONTH] --mean=COLS --min=COLS --max=COLS "
    "--csv --missing=LIST\n\n";
constexpr char kNoDataLine[] =
    "no valid line found for analyzing the columns structure (first data "
    "line must begin with a number)\n";
constexpr char kReady[] = "\nready..\n";
constexpr char kNoneg[] = "noneg";
// The longest piece of the text that stopped the record loop shown to the
// user.
constexpr size_t kMaxStopText = 40;

// The state of one run, from the open files to the column sums.
struct RunState {
  CommandLine command_line;
  RunSettings settings;
  OutputNames names;
  std::unique_ptr<Input> input;
  std::unique_ptr<Output> daily;
  std::unique_ptr<Output> monthly;
  std::vector<ColumnSums> columns;
};

ExitStatus Fail(Output& console, ExitStatus status, std::string_view message) {
  console.Write(message);
  return status;
}

ExitStatus ReadError(const RunState& run, Output& console) {
  return Fail(console, ExitStatus::kFileError,
              "error reading " + run.command_line.input + "\n");
}

ExitStatus WriteError(const std::string& name, Output& console) {
  return Fail(console, ExitStatus::kFileError, "error writing " + name + "\n");
}

// The first output that failed, if any, reported as a write error.
ExitStatus CheckOutputs(const RunState& run, Output& console) {
  if (!run.daily->ok()) return WriteError(run.names.daily, console);
  if (!run.monthly->ok()) return WriteError(run.names.monthly, console);
  return ExitStatus::kSuccess;
}

ExitStatus RefuseToOverwriteDaily(const RunState& run, Output& console) {
  return Fail(
      console, ExitStatus::kFileError,
      "refusing to overwrite the daily file with " + run.names.monthly + "\n");
}

// Creates (or empties) the output `name` into `output`.
ExitStatus CreateOutput(FileSystem& files, const std::string& name,
                        std::unique_ptr<Output>& output, Output& console) {
  output = files.Create(name);
  if (output != nullptr) return ExitStatus::kSuccess;
  return Fail(console, ExitStatus::kFileError, "error opening " + name + "\n");
}

ExitStatus OpenFiles(FileSystem& files, RunState& run, Output& console) {
  const std::string& typed = run.command_line.input;
  run.input = files.OpenForReading(typed);
  if (run.input == nullptr) {
    return Fail(console, ExitStatus::kFileError,
                "error opening " + typed + "\n");
  }
  run.names = DeriveOutputNames(typed);
  run.settings.input_name = run.names.input_name;
  // Creating an output empties it, so a name that reaches the results file
  // must be refused before either output exists.
  for (const std::string* name : {&run.names.daily, &run.names.monthly}) {
    if (*name == run.settings.input_name || files.SameFile(*name, typed)) {
      return Fail(
          console, ExitStatus::kFileError,
          "refusing to overwrite the results file with " + *name + "\n");
    }
  }
  // Two names of one file would leave only the monthly lines in it.
  if (files.SameFile(run.names.daily, run.names.monthly)) {
    return RefuseToOverwriteDaily(run, console);
  }
  // An output that cannot be written (locked by a spreadsheet, read-only, a
  // directory) must fail the run before the other output's last good
  // contents are emptied.
  for (const std::string* name : {&run.names.daily, &run.names.monthly}) {
    if (!files.CheckWritable(*name)) {
      return Fail(console, ExitStatus::kFileError,
                  "error opening " + *name + "\n");
    }
  }
  const ExitStatus status =
      CreateOutput(files, run.names.daily, run.daily, console);
  if (status != ExitStatus::kSuccess) return status;
  // A link from one output name to the other's missing file reaches a file
  // only now that the daily one exists.
  if (files.SameFile(run.names.daily, run.names.monthly)) {
    return RefuseToOverwriteDaily(run, console);
  }
  return CreateOutput(files, run.names.monthly, run.monthly, console);
}

ExitStatus SettleLayout(RunState& run, Output& console) {
  int32_t detected_rows = 0;
  std::string first_line;
  // The first data line is looked for on every run, whatever the command
  // line gives: a file without one has nothing to aggregate.
  if (!FindFirstDataLine(*run.input, detected_rows, first_line)) {
    if (run.input->error()) return ReadError(run, console);
    return Fail(console, ExitStatus::kUsage, kNoDataLine);
  }
  if (run.settings.header_rows < 0) run.settings.header_rows = detected_rows;
  if (run.settings.header_rows == 0) console.Write("0 head rows..\n\n");

  // The text shown after the count is what the counting left of the line,
  // or the base name when the count comes from the command line.
  const std::string* shown = &first_line;
  if (run.command_line.columns_given) {
    run.settings.data_columns = run.command_line.data_columns;
    shown = &run.names.base;
  } else {
    run.settings.data_columns = CountColumns(first_line);
  }
  console.Write(std::to_string(run.settings.data_columns) + " columns " +
                *shown + "\n");
  if (run.settings.data_columns > kMaxDataColumns) {
    return Fail(console, ExitStatus::kUsage,
                "too many data columns: " +
                    std::to_string(run.settings.data_columns) + "\n");
  }
  run.columns.resize(
      static_cast<size_t>(std::max(run.settings.data_columns, 0)));
  return ExitStatus::kSuccess;
}

ExitStatus Aggregate(RunState& run, Output& console) {
  if (!run.input->Rewind()) return ReadError(run, console);
  WriteHeaderBlock(*run.input, run.settings.header_rows,
                   run.settings.input_name, *run.daily, *run.monthly);
  const RecordLoopEnd end =
      RunRecordLoop(*run.input, run.settings.noneg, run.columns, *run.daily,
                    *run.monthly, console, DefaultRecordPath());
  if (run.input->error()) return ReadError(run, console);
  // The loop also ends at text that is not a number; the outputs are
  // complete as far as the records went, but the user must learn that the
  // rest of the file was never read. The line is counted only now, so that
  // a run that reads to the end pays nothing for it.
  if (end.at_text) {
    TextPlace place;
    if (!FindTextAt(*run.input, end.offset, kMaxStopText, place)) {
      return ReadError(run, console);
    }
    console.Write("\nstopped reading at line " + std::to_string(place.line) +
                  ": \"" + place.text + "\" is not a number\n");
  }
  return CheckOutputs(run, console);
}

ExitStatus Finish(RunState& run, Output& console) {
  std::vector<double> totals;
  totals.reserve(run.columns.size());
  for (const ColumnSums& c : run.columns) totals.push_back(c.total_sum);
  run.columns.clear();
  std::string scratch;
  WriteTotalsLine(*run.daily, totals, scratch);
  WriteTotalsLine(*run.monthly, totals, scratch);
  run.input->Close();
  // Both outputs are closed whatever happens to the first, and success is
  // reported only when every byte reached both files.
  const bool daily_closed = run.daily->Close();
  const bool monthly_closed = run.monthly->Close();
  if (!daily_closed) return WriteError(run.names.daily, console);
  if (!monthly_closed) return WriteError(run.names.monthly, console);
  console.Write(kReady);
  return ExitStatus::kSuccess;
}

}  // namespace

ExitStatus Main(const std::vector<std::string>& args, Output& console,
                FileSystem& files) {
  ParsedCommandLine parsed = ParseCommandLine(args);
  console.Write(kBanner);
  switch (parsed.kind) {
    case ParsedCommandLine::Kind::kHelp:
      console.Write(kUsage);
      return ExitStatus::kSuccess;
    case ParsedCommandLine::Kind::kVersion:
      console.Write(std::string("vostrel ") + VOSTREL_VERSION + "\n");
      return ExitStatus::kSuccess;
    case ParsedCommandLine::Kind::kUsageError:
      return Fail(console, ExitStatus::kUsage, parsed.message + kUsage);
    case ParsedCommandLine::Kind::kRun:
      break;
  }
  RunState run;
  run.command_line = std::move(parsed.command_line);
  run.settings.header_rows = run.command_line.header_rows;
  run.settings.noneg = run.command_line.noneg;

  ExitStatus status = OpenFiles(files, run, console);
  if (status != ExitStatus::kSuccess) return status;
  status = SettleLayout(run, console);
  if (status != ExitStatus::kSuccess) return status;
  status = Aggregate(run, console);
  if (status != ExitStatus::kSuccess) return status;
  return Finish(run, console);
}

}  // namespace vostrel
