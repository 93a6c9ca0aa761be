// vostrel's run driver. The phases run in a fixed order over the run's state;
// any failure ends the run at once with its message and status.
#include "driver.h"

#include <algorithm>
#include <string_view>

#include "engine.h"
#include "layout.h"
#include "outputs.h"
#include "record_fast.h"
#include "run_state.h"
#include "scan.h"
#include "summary.h"
#include "writers.h"

namespace vostrel {

namespace {

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
// The longest piece of the text that stopped the record loop shown to the
// user.
constexpr size_t kMaxStopText = 40;

// A line longer than the input takes ends the run once a phase has met it,
// before anything of it is written. Its line is counted only now, so that a
// run without one pays nothing for it.
ExitStatus CheckLineLength(RunState& run, RunConsole& console) {
  Input& in = *run.input;
  if (!in.line_too_long()) return ExitStatus::kSuccess;
  const uint64_t offset = in.long_line_offset();
  if (run.end.at_text && run.end.offset < offset) {
    // The summary still tells of text that stopped the records before it.
    TextPlace place;
    if (FindTextAt(in, run.end.offset, kMaxStopText, place)) {
      run.stopped = std::move(place);
    }
  }
  int64_t line = 0;
  if (!FindLineAt(in, offset, line)) {
    return ReadError(run, console);
  }
  return Fail(run, console, ExitStatus::kUsage,
              "line " + std::to_string(line) + " is longer than 64 MiB\n");
}

ExitStatus SettleLayout(RunState& run, RunConsole& console) {
  int32_t detected_rows = 0;
  std::string first_line;
  // The first data line is looked for on every run, whatever the command
  // line gives: a file without one has nothing to aggregate.
  if (!FindFirstDataLine(*run.input, detected_rows, first_line)) {
    if (run.input->error()) return ReadError(run, console);
    const ExitStatus status = CheckLineLength(run, console);
    if (status != ExitStatus::kSuccess) return status;
    return Fail(run, console, ExitStatus::kUsage, kNoDataLine);
  }
  const CommandLine& line = run.command_line;
  run.header_rows = line.header_rows < 0 ? detected_rows : line.header_rows;
  if (run.header_rows == 0) console.Progress("0 head rows..\n\n");

  // The text shown after the count is what the counting left of the line,
  // or the base name when the count comes from the command line.
  const std::string* shown = &first_line;
  if (line.columns_given) {
    run.data_columns = line.data_columns;
    shown = &run.names.base;
  } else {
    run.data_columns = CountColumns(first_line, run.options().missing);
  }
  run.layout_settled = true;
  console.Progress(std::to_string(run.data_columns) + " columns " + *shown +
                   "\n");
  if (run.data_columns > kMaxDataColumns) {
    return Fail(
        run, console, ExitStatus::kUsage,
        "too many data columns: " + std::to_string(run.data_columns) + "\n");
  }
  // A --mean, --min or --max item beyond the count names a column the file
  // does not have.
  const int32_t beyond = FirstColumnBeyond(line, run.data_columns);
  if (beyond != 0) {
    return Fail(run, console, ExitStatus::kUsage,
                "no column " + std::to_string(beyond) + ": the file has " +
                    std::to_string(run.data_columns) + " data columns\n");
  }
  return ExitStatus::kSuccess;
}

// The line of folded offset `place`; false on a read failure.
bool LineOf(RunState& run, uint64_t place, int64_t& line) {
  return FindLineAt(*run.input, place, line);
}

// Tells what part of the input did not reach the sums: always where text
// stopped the records and when no day was closed; with --strict also the
// rest, and then any of them makes the status kIncomplete.
ExitStatus WriteNotes(RunState& run, RunConsole& console) {
  const RecordLoopEnd& end = run.end;
  bool incomplete = false;
  // The line is counted only now, so that a run that reads to the end pays
  // nothing for it.
  if (end.at_text) {
    TextPlace place;
    if (!FindTextAt(*run.input, end.offset, kMaxStopText, place)) {
      return ReadError(run, console);
    }
    console.Note("\nstopped reading at line " + std::to_string(place.line) +
                 ": \"" + place.text + "\" is not a number\n");
    run.stopped = std::move(place);
    incomplete = true;
  }
  if (end.hour_read && end.days.lines == 0) {
    console.Note("\nno day was closed: days close at hour 24\n");
    incomplete = true;
  }
  // The summary tells of a short record with or without --strict.
  const bool strict = run.options().strict;
  if (end.short_record && (strict || !run.options().summary.empty())) {
    int64_t line = 0;
    if (!LineOf(run, end.short_record_place, line)) {
      return ReadError(run, console);
    }
    run.short_record_line = line;
  }
  if (!strict) return ExitStatus::kSuccess;
  std::string notes;
  if (run.data_columns <= 0) notes += "\nthe file has no data columns\n";
  if (end.records == 0) notes += "\nno record was read\n";
  if (end.short_record) {
    notes += "\nline " + std::to_string(*run.short_record_line) +
             " has fewer than " + std::to_string(run.data_columns) +
             " values\n";
  }
  int64_t line = 0;
  if (end.hour_read && end.last_hour != kHoursPerDay) {
    if (!LineOf(run, end.last_hour_place, line)) {
      return ReadError(run, console);
    }
    notes +=
        "\nthe input ended inside a day at line " + std::to_string(line) + "\n";
  }
  console.Note(notes);
  return incomplete || !notes.empty() ? ExitStatus::kIncomplete
                                      : ExitStatus::kSuccess;
}

ExitStatus Aggregate(RunState& run, RunConsole& console) {
  if (!run.input->Rewind()) return ReadError(run, console);
  const Options& options = run.options();
  std::string last_header;
  Output* yearly =
      run.outputs[kYearly].file ? run.outputs[kYearly].file.get() : nullptr;
  WriteHeaderBlock(*run.input, run.header_rows, run.quoted_name,
                   run.output(kDaily), run.output(kMonthly), yearly,
                   &last_header);
  // A header line too long to copy ends the run before the CSV files get
  // their header rows.
  ExitStatus status = CheckLineLength(run, console);
  if (status != ExitStatus::kSuccess) return status;
  const int32_t columns = std::max(run.data_columns, 0);
  for (const OutputSlot csv : {kDailyCsv, kMonthlyCsv, kYearlyCsv}) {
    if (run.outputs[csv].file != nullptr) {
      WriteCsvHeader(run.output(csv), run.header_rows > 0, last_header,
                     columns);
    }
  }
  LoopSettings loop;
  loop.noneg = run.command_line.noneg;
  loop.step = options.step;
  loop.yearly_start = options.yearly_start;
  loop.statistics = ColumnStatistics(options, columns);
  loop.missing = options.missing;
  loop.keep_marks = options.csv || !options.summary.empty();
  const LevelOutputs outputs = MakeLevelOutputs(run);
  run.end =
      RunRecordLoop(*run.input, loop, static_cast<size_t>(columns),
                    outputs.levels, console.progress(), DefaultRecordPath());
  if (run.input->error()) return ReadError(run, console);
  status = CheckLineLength(run, console);
  if (status != ExitStatus::kSuccess) return status;
  status = CheckOutputs(run, console);
  if (status != ExitStatus::kSuccess) return status;
  run.loop_finished = true;
  return WriteNotes(run, console);
}

ExitStatus Finish(RunState& run, RunConsole& console) {
  std::string scratch;
  for (const OutputSlot text : {kDaily, kMonthly, kYearly}) {
    if (run.outputs[text].file != nullptr) {
      WriteTotalsLine(run.output(text), run.end.totals, scratch);
    }
  }
  run.input->Close();
  // Every output is closed whatever happens to the others, and success is
  // reported only when every byte reached them all.
  std::optional<OutputSlot> failed;
  for (size_t slot = 0; slot < kSummary; ++slot) {
    RunOutput& out = run.outputs[slot];
    if (out.file != nullptr && !out.file->Close() && !failed) {
      failed = static_cast<OutputSlot>(slot);
    }
  }
  if (failed) return WriteError(run, *failed, console);
  return ExitStatus::kSuccess;
}

// Counts per column, or none while the count is unsettled or out of range.
std::vector<uint64_t> ColumnCounts(const RunState& run,
                                   const std::vector<uint64_t>& counts) {
  if (!run.layout_settled || run.data_columns < 1 ||
      run.data_columns > kMaxDataColumns) {
    return {};
  }
  if (counts.size() != static_cast<size_t>(run.data_columns)) {
    return std::vector<uint64_t>(static_cast<size_t>(run.data_columns), 0);
  }
  return counts;
}

RunSummary Summarize(const RunState& run, ExitStatus status) {
  RunSummary s;
  s.status = static_cast<int>(status);
  if (status == ExitStatus::kUsage || status == ExitStatus::kFileError) {
    s.message = run.message.substr(0, run.message.size() - 1);
  }
  s.input = run.command_line.input;
  s.daily = run.outputs[kDaily].name;
  s.monthly = run.outputs[kMonthly].name;
  if (!run.outputs[kYearly].name.empty()) s.yearly = run.outputs[kYearly].name;
  for (const OutputSlot csv : {kDailyCsv, kMonthlyCsv, kYearlyCsv}) {
    if (!run.outputs[csv].name.empty()) s.csv.push_back(run.outputs[csv].name);
  }
  if (run.layout_settled) {
    s.header_rows = run.header_rows;
    s.columns = run.data_columns;
  }
  const RecordLoopEnd& end = run.end;
  s.records = end.records;
  if (end.records > 0) {
    s.first = {end.first.year, end.first.month, end.first.day, end.first.hour};
    s.last = {end.last.year, end.last.month, end.last.day, end.last.hour};
  }
  s.days = end.days.lines;
  s.months = end.months.lines;
  s.incomplete_days = ColumnCounts(run, end.days.incomplete);
  s.years = end.years.lines;
  s.incomplete_months = ColumnCounts(run, end.months.incomplete);
  s.incomplete_years = ColumnCounts(run, end.years.incomplete);
  s.missing = end.missing;
  if (run.stopped) {
    s.stopped_line = run.stopped->line;
    s.stopped_text = run.stopped->text;
  }
  if (run.loop_finished) {
    s.no_day_closed = end.hour_read && end.days.lines == 0;
    s.ended_inside_day = end.hour_read && end.last_hour != kHoursPerDay;
    s.short_record = run.short_record_line;
  }
  return s;
}

// Writes the summary, when the run made one, whatever the status so far.
ExitStatus WriteSummary(RunState& run, ExitStatus status, RunConsole& console) {
  RunOutput& out = run.outputs[kSummary];
  if (out.file == nullptr) return status;
  out.file->Write(SummaryJson(Summarize(run, status)));
  if (!out.file->Close()) return WriteError(run, kSummary, console);
  return status;
}

ExitStatus RunPhases(FileSystem& files, RunState& run, RunConsole& console) {
  ExitStatus status = OpenFiles(files, run, console);
  if (status != ExitStatus::kSuccess) return status;
  status = SettleLayout(run, console);
  if (status != ExitStatus::kSuccess) return status;
  status = Aggregate(run, console);
  if (status != ExitStatus::kSuccess && status != ExitStatus::kIncomplete) {
    return status;
  }
  const ExitStatus finished = Finish(run, console);
  return finished != ExitStatus::kSuccess ? finished : status;
}

}  // namespace

ExitStatus Main(const std::vector<std::string>& args, Output& console,
                FileSystem& files) {
  ParsedCommandLine parsed = ParseCommandLine(args);
  if (parsed.kind != ParsedCommandLine::Kind::kRun) {
    console.Write(kBanner);
    switch (parsed.kind) {
      case ParsedCommandLine::Kind::kHelp:
        console.Write(kUsage);
        return ExitStatus::kSuccess;
      case ParsedCommandLine::Kind::kVersion:
        console.Write(std::string("vostrel ") + VOSTREL_VERSION + "\n");
        return ExitStatus::kSuccess;
      default:
        console.Write(parsed.message + kUsage);
        return ExitStatus::kUsage;
    }
  }
  RunState run(std::move(parsed.command_line));
  RunConsole run_console(console, run.options().quiet);
  ExitStatus status = RunPhases(files, run, run_console);
  status = WriteSummary(run, status, run_console);
  if (status == ExitStatus::kSuccess || status == ExitStatus::kIncomplete) {
    run_console.Progress(kReady);
  }
  return status;
}

}  // namespace vostrel
