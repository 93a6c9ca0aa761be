// vostrel's run driver. The phases run in a fixed order over the run's state;
// any failure ends the run at once with its message and status.
#include "driver.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "engine.h"
#include "layout.h"
#include "naming.h"
#include "scan.h"
#include "writers.h"

namespace vostrel {

namespace {

constexpr char kBanner[] = "aggregating model results\n";
constexpr char kUsage[] =
    "usage: vostrel <in-name> [<header rows{def=auto}>] "
    "[<data columns{def=aoto}>] [noneg]\n\n";
constexpr char kNoDataLine[] =
    "no valid line found for analyzing the columns structure (first data "
    "line must begin with a number)\n";
constexpr char kReady[] = "\nready..\n";
constexpr char kNoneg[] = "noneg";

// True when both names exist and reach one file (another spelling on a
// case-insensitive file system, a hard or symbolic link).
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// True when creating `output` would empty the results file: the name is the
// input's, or an existing file that is the results file itself.
bool WouldOverwriteInput(const std::string& output,
                         const std::string& input_name,
                         const std::string& typed_name) {
  return output == input_name || SameFile(output, typed_name);
}

class Run {
 public:
  Run(const std::vector<std::string>& args, Output& console)
      : args_(args), console_(console) {}

  ExitStatus Execute();

 private:
  // The positional argument `position` (1 for the results file).
  const std::string& Arg(size_t position) const { return args_[position]; }
  size_t ArgCount() const { return args_.empty() ? 0 : args_.size() - 1; }

  ExitStatus Fail(ExitStatus status, const std::string& message) {
    console_.Write(message);
    return status;
  }
  ExitStatus ReadError() {
    return Fail(ExitStatus::kFileError, "error reading " + Arg(1) + "\n");
  }
  ExitStatus WriteError(const std::string& name) {
    return Fail(ExitStatus::kFileError, "error writing " + name + "\n");
  }
  // The first output that failed, if any; checked after every phase that
  // writes.
  const std::string* FailedOutput() const {
    if (!daily_->ok()) return &names_.daily;
    if (!monthly_->ok()) return &names_.monthly;
    return nullptr;
  }

  ExitStatus OpenFiles();
  ExitStatus SettleLayout();
  ExitStatus Aggregate();
  ExitStatus Finish();

  const std::vector<std::string>& args_;
  Output& console_;
  RunSettings settings_;
  OutputNames names_;
  std::unique_ptr<FileInput> input_;
  std::unique_ptr<FileOutput> daily_;
  std::unique_ptr<FileOutput> monthly_;
  std::vector<ColumnSums> columns_;
};

ExitStatus Run::Execute() {
  console_.Write(kBanner);
  if (ArgCount() == 0) return Fail(ExitStatus::kUsage, kUsage);
  settings_.header_rows = ArgCount() >= 2 ? ParseCount(Arg(2)) : -1;
  for (size_t i = 1; i <= ArgCount(); ++i) {
    if (Arg(i) == kNoneg) settings_.noneg = true;
  }
  for (auto phase :
       {&Run::OpenFiles, &Run::SettleLayout, &Run::Aggregate, &Run::Finish}) {
    const ExitStatus status = (this->*phase)();
    if (status != ExitStatus::kSuccess) return status;
  }
  return ExitStatus::kSuccess;
}

ExitStatus Run::OpenFiles() {
  input_ = FileInput::Open(Arg(1));
  if (input_ == nullptr) {
    return Fail(ExitStatus::kFileError, "error opening " + Arg(1) + "\n");
  }
  names_ = DeriveOutputNames(Arg(1));
  settings_.input_name = names_.input_name;
  // Creating an output empties it, so a name that reaches the results file
  // must be refused before either output exists.
  for (const std::string* name : {&names_.daily, &names_.monthly}) {
    if (WouldOverwriteInput(*name, settings_.input_name, Arg(1))) {
      return Fail(
          ExitStatus::kFileError,
          "refusing to overwrite the results file with " + *name + "\n");
    }
  }
  // Two names of one file (a hard link, a symbolic link) would leave only
  // the monthly lines in it.
  if (SameFile(names_.daily, names_.monthly)) {
    return Fail(
        ExitStatus::kFileError,
        "refusing to overwrite the daily file with " + names_.monthly + "\n");
  }
  daily_ = FileOutput::Create(names_.daily);
  if (daily_ == nullptr) {
    return Fail(ExitStatus::kFileError, "error opening " + names_.daily + "\n");
  }
  monthly_ = FileOutput::Create(names_.monthly);
  if (monthly_ == nullptr) {
    return Fail(ExitStatus::kFileError,
                "error opening " + names_.monthly + "\n");
  }
  return ExitStatus::kSuccess;
}

ExitStatus Run::SettleLayout() {
  int32_t detected_rows = 0;
  std::string first_line;
  // The first data line is looked for on every run, whatever the command
  // line gives: a file without one has nothing to aggregate.
  if (!FindFirstDataLine(*input_, detected_rows, first_line)) {
    if (input_->error()) return ReadError();
    return Fail(ExitStatus::kUsage, kNoDataLine);
  }
  if (settings_.header_rows < 0) settings_.header_rows = detected_rows;
  if (settings_.header_rows == 0) console_.Write("0 head rows..\n\n");

  // The text shown after the count is what the counting left of the line,
  // or the base name when the count comes from the command line.
  std::string shown;
  if (ArgCount() == 3) {
    settings_.data_columns = ParseCount(Arg(3));
    shown = names_.base;
  } else {
    settings_.data_columns = CountColumns(first_line);
    shown = first_line;
  }
  console_.Write(std::to_string(settings_.data_columns) + " columns " + shown +
                 "\n");
  if (settings_.data_columns > kMaxDataColumns) {
    return Fail(ExitStatus::kUsage, "too many data columns: " +
                                        std::to_string(settings_.data_columns) +
                                        "\n");
  }
  columns_.resize(static_cast<size_t>(std::max(settings_.data_columns, 0)));
  return ExitStatus::kSuccess;
}

ExitStatus Run::Aggregate() {
  if (!input_->Rewind()) return ReadError();
  WriteHeaderBlock(*input_, settings_.header_rows, settings_.input_name,
                   *daily_, *monthly_);
  RunRecordLoop(*input_, settings_.noneg, columns_, *daily_, *monthly_,
                console_);
  if (input_->error()) return ReadError();
  if (const std::string* name = FailedOutput()) return WriteError(*name);
  return ExitStatus::kSuccess;
}

ExitStatus Run::Finish() {
  std::vector<double> totals;
  totals.reserve(columns_.size());
  for (const ColumnSums& c : columns_) totals.push_back(c.total_sum);
  columns_.clear();
  WriteTotalsLine(*daily_, totals);
  WriteTotalsLine(*monthly_, totals);
  input_->Close();
  // Both outputs are closed whatever happens to the first, and success is
  // reported only when every byte reached both files.
  const bool daily_closed = daily_->Close();
  const bool monthly_closed = monthly_->Close();
  if (!daily_closed) return WriteError(names_.daily);
  if (!monthly_closed) return WriteError(names_.monthly);
  console_.Write(kReady);
  return ExitStatus::kSuccess;
}

}  // namespace

int32_t ParseCount(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate the magnitude, stopping once it is past any int32_t.
  constexpr int64_t kCap = int64_t{1} << 32;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(kCap, magnitude * 10 + (text[i] - '0'));
  }
  const int64_t value = negative ? -magnitude : magnitude;
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max()));
}

ExitStatus Main(const std::vector<std::string>& args, Output& console) {
  return Run(args, console).Execute();
}

}  // namespace vostrel
