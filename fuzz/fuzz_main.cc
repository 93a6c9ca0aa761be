// Fuzz target for the driver over real files: writes the input to a results
// file in a temporary directory, runs Main with a command line picked by the
// first bytes, and compares the console text, the exit status and both output
// files byte for byte with the same run composed in memory from the parts
// (StringInput and StringOutput) by the command-line rules: header rows from
// position 2 (negative: detected), columns from position 3 only with exactly
// three arguments (else counted), "noneg" in any position, the "0 head rows"
// and "N columns TEXT" lines, the column limit, the progress marks and the
// totals lines.
//
// Input layout: byte 0 the argument count (1 to 4, low two bits), byte 1 the
// header-row argument, byte 2 the column argument, byte 3 the fourth argument.
// The rest is the results file.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver.h"
#include "engine.h"
#include "layout.h"
#include "naming.h"
#include "scan.h"
#include "text_io.h"
#include "vostrel.h"
#include "writers.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_main: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

std::string dir;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr const char* kRowArgs[] = {"-1",   "0",     "1",   "2", "3",
                                    "auto", "noneg", " +2", "7", "-5"};
constexpr const char* kColumnArgs[] = {"0",       "1",   "2",          "3",
                                       "7",       "300", "-1",         "noneg",
                                       "1000001", "x",   "99999999999"};
constexpr const char* kFourthArgs[] = {"noneg", "x", "NONEG", "noneg "};

template <size_t N>
const char* Pick(const char* const (&table)[N], uint8_t byte) {
  return table[byte % N];
}

struct Expected {
  vostrel::ExitStatus status;
  std::string console, daily, monthly;
};

// The run as the parts compose it.
Expected Compose(const std::vector<std::string>& args,
                 const std::string& bytes) {
  const size_t count = args.size() - 1;
  vostrel::StringOutput console, daily, monthly;
  console.Write("aggregating model results\n");
  int32_t rows = count >= 2 ? vostrel::ParseCount(args[2]) : -1;
  bool noneg = false;
  for (size_t i = 1; i <= count; ++i) noneg = noneg || args[i] == "noneg";
  const vostrel::OutputNames names = vostrel::DeriveOutputNames(args[1]);
  vostrel::StringInput in(bytes);
  int32_t detected = 0;
  std::string line;
  if (!vostrel::FindFirstDataLine(in, detected, line)) {
    console.Write(
        "no valid line found for analyzing the columns structure (first data "
        "line must begin with a number)\n");
    return {vostrel::ExitStatus::kUsage, console.bytes(), "", ""};
  }
  if (rows < 0) rows = detected;
  if (rows == 0) console.Write("0 head rows..\n\n");
  int32_t columns;
  std::string shown;
  if (count == 3) {
    columns = vostrel::ParseCount(args[3]);
    shown = names.base;
  } else {
    columns = vostrel::CountColumns(line);
    shown = line;
  }
  console.Write(std::to_string(columns) + " columns " + shown + "\n");
  if (columns > vostrel::kMaxDataColumns) {
    console.Write("too many data columns: " + std::to_string(columns) + "\n");
    return {vostrel::ExitStatus::kUsage, console.bytes(), "", ""};
  }
  std::vector<vostrel::ColumnSums> sums(
      static_cast<size_t>(columns < 0 ? 0 : columns));
  Check(in.Rewind(), "rewind");
  vostrel::WriteHeaderBlock(in, rows, names.input_name, daily, monthly);
  vostrel::RunRecordLoop(in, noneg, sums, daily, monthly, console);
  std::vector<double> totals;
  for (const vostrel::ColumnSums& c : sums) totals.push_back(c.total_sum);
  std::string scratch;
  vostrel::WriteTotalsLine(daily, totals, scratch);
  vostrel::WriteTotalsLine(monthly, totals, scratch);
  console.Write("\nready..\n");
  return {vostrel::ExitStatus::kSuccess, console.bytes(), daily.bytes(),
          monthly.bytes()};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string tmpl =
      (std::filesystem::temp_directory_path() / "vostrel_fuzz_main_XXXXXX")
          .string();
  if (mkdtemp(tmpl.data()) == nullptr) Fail("mkdtemp");
  dir = tmpl;
  std::atexit([] {
    for (const char* name : {"/run.out", "/run.tut", "/run.mut"}) {
      unlink((dir + name).c_str());
    }
    rmdir(dir.c_str());
  });
  // No dot may reach the directory part: the output names are derived from
  // every dot of the path.
  Check(dir.find('.') == std::string::npos,
        "dot in the temporary directory's path (set TMPDIR)");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const std::string path = dir + "/run.out";
  const std::string bytes(reinterpret_cast<const char*>(data + 4), size - 4);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    Check(out.good(), "writing the results file");
  }
  unlink((dir + "/run.tut").c_str());
  unlink((dir + "/run.mut").c_str());

  std::vector<std::string> args = {"vostrel", path};
  const size_t count = 1 + (data[0] & 3);
  if (count >= 2) args.push_back(Pick(kRowArgs, data[1]));
  if (count >= 3) args.push_back(Pick(kColumnArgs, data[2]));
  if (count >= 4) args.push_back(Pick(kFourthArgs, data[3]));

  vostrel::StringOutput console;
  const vostrel::ExitStatus status = vostrel::Main(args, console);
  const Expected want = Compose(args, bytes);
  Check(status == want.status, "exit status");
  Check(console.bytes() == want.console, "console text");
  Check(access((dir + "/run.tut").c_str(), F_OK) == 0, "daily file missing");
  Check(access((dir + "/run.mut").c_str(), F_OK) == 0, "monthly file missing");
  Check(ReadFile(dir + "/run.tut") == want.daily, "daily file");
  Check(ReadFile(dir + "/run.mut") == want.monthly, "monthly file");
  Check(ReadFile(path) == bytes, "results file changed");
  return 0;
}
