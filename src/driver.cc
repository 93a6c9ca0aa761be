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
  std::unique_ptr<Output> yearly;  // with --yearly
  // With --csv, one a text output: daily, monthly, yearly.
  std::unique_ptr<Output> csv[3];
  std::vector<double> totals;  // what the totals lines show
};

// One output of the run, in the order outputs are created.
struct PlannedOutput {
  const char* kind;  // as the overwrite refusal names it
  const std::string* name;
  std::unique_ptr<Output>* output;
  std::string csv_name;  // for a CSV output, its name; `name` points here
};

// Every output of the run in creation order: daily, daily CSV, monthly,
// monthly CSV, then with --yearly yearly and yearly CSV.
std::vector<PlannedOutput> PlanOutputs(RunState& run) {
  const Options& options = run.command_line.options;
  std::vector<PlannedOutput> plan;
  plan.reserve(6);
  const struct {
    const char* kind;
    const char* csv_kind;
    const std::string* name;
    std::unique_ptr<Output>* output;
    std::unique_ptr<Output>* csv;
  } kLevels[] = {
      {"daily", "daily CSV", &run.names.daily, &run.daily, &run.csv[0]},
      {"monthly", "monthly CSV", &run.names.monthly, &run.monthly, &run.csv[1]},
      {"yearly", "yearly CSV", &run.names.yearly, &run.yearly, &run.csv[2]}};
  for (const auto& level : kLevels) {
    if (level.output == &run.yearly && options.yearly_start == 0) break;
    plan.push_back({level.kind, level.name, level.output, {}});
    if (options.csv) {
      plan.push_back(
          {level.csv_kind, nullptr, level.csv, *level.name + ".csv"});
    }
  }
  for (PlannedOutput& p : plan) {
    if (p.name == nullptr) p.name = &p.csv_name;
  }
  return plan;
}

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
ExitStatus CheckOutputs(RunState& run, Output& console) {
  for (const PlannedOutput& p : PlanOutputs(run)) {
    if (!(*p.output)->ok()) return WriteError(*p.name, console);
  }
  return ExitStatus::kSuccess;
}

ExitStatus RefuseToOverwrite(const PlannedOutput& earlier,
                             const PlannedOutput& later, Output& console) {
  return Fail(console, ExitStatus::kFileError,
              std::string("refusing to overwrite the ") + earlier.kind +
                  " file with " + *later.name + "\n");
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
  // must be refused before any output exists.
  const std::vector<PlannedOutput> plan = PlanOutputs(run);
  for (const PlannedOutput& p : plan) {
    if (*p.name == run.settings.input_name || files.SameFile(*p.name, typed)) {
      return Fail(
          console, ExitStatus::kFileError,
          "refusing to overwrite the results file with " + *p.name + "\n");
    }
  }
  // Two names of one file would leave only the later lines in it.
  for (size_t later = 1; later < plan.size(); ++later) {
    for (size_t earlier = 0; earlier < later; ++earlier) {
      if (files.SameFile(*plan[earlier].name, *plan[later].name)) {
        return RefuseToOverwrite(plan[earlier], plan[later], console);
      }
    }
  }
  // An output that cannot be written (locked by a spreadsheet, read-only, a
  // directory) must fail the run before the other outputs' last good
  // contents are emptied.
  for (const PlannedOutput& p : plan) {
    if (!files.CheckWritable(*p.name)) {
      return Fail(console, ExitStatus::kFileError,
                  "error opening " + *p.name + "\n");
    }
  }
  for (size_t later = 0; later < plan.size(); ++later) {
    // A link from a later output's name to an earlier one's missing file
    // reaches a file only once that one exists.
    for (size_t earlier = 0; earlier < later; ++earlier) {
      if (files.SameFile(*plan[earlier].name, *plan[later].name)) {
        return RefuseToOverwrite(plan[earlier], plan[later], console);
      }
    }
    const ExitStatus status =
        CreateOutput(files, *plan[later].name, *plan[later].output, console);
    if (status != ExitStatus::kSuccess) return status;
  }
  return ExitStatus::kSuccess;
}

// A --mean, --min or --max item beyond the settled column count names a
// column the file does not have.
ExitStatus CheckStatisticColumns(const RunState& run, Output& console) {
  const int32_t columns = run.settings.data_columns;
  const int32_t beyond = FirstColumnBeyond(run.command_line, columns);
  if (beyond == 0) return ExitStatus::kSuccess;
  return Fail(console, ExitStatus::kUsage,
              "no column " + std::to_string(beyond) + ": the file has " +
                  std::to_string(columns) + " data columns\n");
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
    run.settings.data_columns =
        CountColumns(first_line, run.command_line.options.missing);
  }
  console.Write(std::to_string(run.settings.data_columns) + " columns " +
                *shown + "\n");
  if (run.settings.data_columns > kMaxDataColumns) {
    return Fail(console, ExitStatus::kUsage,
                "too many data columns: " +
                    std::to_string(run.settings.data_columns) + "\n");
  }
  return CheckStatisticColumns(run, console);
}

ExitStatus Aggregate(RunState& run, Output& console) {
  if (!run.input->Rewind()) return ReadError(run, console);
  std::string last_header;
  WriteHeaderBlock(*run.input, run.settings.header_rows,
                   run.settings.input_name, *run.daily, *run.monthly,
                   run.yearly.get(), &last_header);
  const Options& options = run.command_line.options;
  const int32_t columns = std::max(run.settings.data_columns, 0);
  for (const std::unique_ptr<Output>& csv : run.csv) {
    if (csv != nullptr) {
      WriteCsvHeader(*csv, run.settings.header_rows > 0, last_header, columns);
    }
  }
  LoopSettings loop;
  loop.noneg = run.settings.noneg;
  loop.step = options.step;
  loop.yearly_start = options.yearly_start;
  loop.statistics = ColumnStatistics(options, columns);
  loop.missing = options.missing;
  // A level writes its line to its text file and, with --csv, its CSV file.
  std::vector<std::unique_ptr<LineWriter>> writers;
  LevelWriters levels;
  std::vector<LineWriter*>* level_writers[] = {&levels.day, &levels.month,
                                               &levels.year};
  const std::unique_ptr<Output>* text[] = {&run.daily, &run.monthly,
                                           &run.yearly};
  for (size_t i = 0; i < 3; ++i) {
    if (*text[i] != nullptr) {
      writers.push_back(std::make_unique<TextLineWriter>(**text[i]));
      level_writers[i]->push_back(writers.back().get());
    }
    if (run.csv[i] != nullptr) {
      writers.push_back(std::make_unique<CsvLineWriter>(*run.csv[i]));
      level_writers[i]->push_back(writers.back().get());
    }
  }
  RecordLoopEnd end =
      RunRecordLoop(*run.input, loop, static_cast<size_t>(columns), levels,
                    console, DefaultRecordPath());
  run.totals = std::move(end.totals);
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
  std::string scratch;
  for (Output* text : {run.daily.get(), run.monthly.get(), run.yearly.get()}) {
    if (text != nullptr) WriteTotalsLine(*text, run.totals, scratch);
  }
  run.input->Close();
  // Every output is closed whatever happens to the others, and success is
  // reported only when every byte reached every file.
  const std::vector<PlannedOutput> plan = PlanOutputs(run);
  const PlannedOutput* failed = nullptr;
  for (const PlannedOutput& p : plan) {
    if (!(*p.output)->Close() && failed == nullptr) failed = &p;
  }
  if (failed != nullptr) return WriteError(*failed->name, console);
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
