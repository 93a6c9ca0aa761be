// The state of one vostrel run, which its phases share: the command line,
// the output table, the input, what layout analysis settles and what the
// record loop read; and the run's console.
#ifndef VOSTREL_RUN_STATE_H_
#define VOSTREL_RUN_STATE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine.h"
#include "naming.h"
#include "options.h"
#include "scan.h"
#include "text_io.h"
#include "vostrel.h"

namespace vostrel {

inline constexpr char kBanner[] = "aggregating model results\n";

// The outputs a run can have, in the order they are created.
enum OutputSlot : size_t {
  kDaily,
  kDailyCsv,
  kMonthly,
  kMonthlyCsv,
  kYearly,
  kYearlyCsv,
  kSummary,
  kOutputSlots,
};
// Each output's kind, as the refusals name it.
inline constexpr const char* kOutputKinds[kOutputSlots] = {
    "daily",  "daily CSV",  "monthly", "monthly CSV",
    "yearly", "yearly CSV", "summary"};

struct RunOutput {
  std::string name;  // empty: not made by this run
  std::unique_ptr<Output> file;
};

// Takes every byte and keeps none: the progress marks of a quiet run.
class DiscardOutput final : public Output {
 public:
  DiscardOutput() : Output(0) {}

 private:
  bool Put(std::string_view) override { return true; }
};

// The console of one run. Without --quiet everything shows; with it only
// the notes and a failure, the banner held back until a failure comes.
class RunConsole {
 public:
  RunConsole(Output& console, bool quiet)
      : console_(console), banner_due_(quiet) {
    if (!quiet) console_.Write(kBanner);
  }
  // Where progress goes: the console, or nowhere when quiet.
  Output& progress() { return banner_due_ ? discard_ : console_; }
  void Progress(std::string_view text) { progress().Write(text); }
  void Note(std::string_view text) { console_.Write(text); }
  void Failure(std::string_view text) {
    if (banner_due_) console_.Write(kBanner);
    banner_due_ = false;
    console_.Write(text);
  }

 private:
  Output& console_;
  DiscardOutput discard_;
  bool banner_due_;
};

// The state of one run: the command line as typed, the names derived from
// it, what layout analysis settles, the files and what the record loop read.
struct RunState {
  explicit RunState(CommandLine line) : command_line(std::move(line)) {}

  const Options& options() const { return command_line.options; }
  bool from_standard_input() const { return command_line.input == "-"; }
  Output& output(OutputSlot slot) { return *outputs[slot].file; }

  CommandLine command_line;
  OutputNames names;
  // The results file's name as the header block quotes it.
  std::string quoted_name;
  std::array<RunOutput, kOutputSlots> outputs;
  std::unique_ptr<Input> input;
  // Settled by layout analysis.
  bool layout_settled = false;
  int32_t header_rows = -1;
  int32_t data_columns = 0;
  // What the record loop read; `loop_finished` once it ran to its end
  // without a read or write failure cutting it off.
  RecordLoopEnd end;
  bool loop_finished = false;
  std::optional<TextPlace> stopped;
  std::optional<int64_t> short_record_line;
  // The failure message, for the summary.
  std::string message;
};

// Ends the run: `message` to the console (after the held-back banner) and
// into the summary; returns `status`.
ExitStatus Fail(RunState& run, RunConsole& console, ExitStatus status,
                std::string message);
// "error reading" the results file, status 2.
ExitStatus ReadError(RunState& run, RunConsole& console);
// "error writing" the output in `slot`, status 2.
ExitStatus WriteError(RunState& run, OutputSlot slot, RunConsole& console);
// The first output that failed, if any, reported as a write error.
ExitStatus CheckOutputs(RunState& run, RunConsole& console);

}  // namespace vostrel

#endif  // VOSTREL_RUN_STATE_H_
