// Plumbing shared by vostrel's tests: the console texts, a temporary
// directory per test, file helpers, and the one way to run the built tool.
#ifndef VOSTREL_TEST_UTIL_H_
#define VOSTREL_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "text_io.h"

namespace vostrel {

// The console texts as they reach the console, each LF as CR LF.
inline constexpr char kBannerText[] = "aggregating model results\r\n";
inline constexpr char kUsageText[] =
    "usage: vostrel <in-name> [<header rows{def=auto}>] "
    "[<data columns{def=aoto}>] [noneg]\r\n"
    "options: --quiet --strict --out=NAME --summary=FILE "
    "--step=hourly|daily --yearly[=MONTH] --mean=COLS --min=COLS --max=COLS "
    "--csv --missing=LIST\r\n\r\n";
inline constexpr char kNoDataLineText[] =
    "no valid line found for analyzing the columns structure (first data "
    "line must begin with a number)\r\n";
inline constexpr char kReadyText[] = "\r\nready..\r\n";

// The cases a random sweep runs: VOSTREL_SWEEP_CASES when it is set to a
// positive number (CI runs the unit tests once with the full sweeps), else
// 10,000, divided by `cost`, how many cheap cases one of the sweep's cases
// weighs; at least 1.
int SweepCases(int cost = 1);

// Everything left in `in`, read with line reads.
std::string Rest(Input& in);

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The bytes of `path`; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// A fresh, empty directory for each test, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path Path(const std::string& name) const {
    return dir_ / name;
  }
  // Empties the directory again.
  void Clear();

  std::filesystem::path dir_;
};

// Whole runs of vostrel::Main over files in memory.
class MemoryRunTest : public ::testing::Test {
 protected:
  void WriteFile(const std::string& name, const std::string& bytes) {
    files_.AddFile(name, bytes);
  }
  // The bytes of `name`; "<none>" when no file has that name.
  std::string ReadFile(const std::string& name) const {
    const std::string* bytes = files_.File(name);
    return bytes == nullptr ? "<none>" : *bytes;
  }
  bool Exists(const std::string& name) const {
    return files_.File(name) != nullptr;
  }
  // Runs vostrel with `args` after the program name; returns the status and
  // keeps the console bytes.
  int Run(const std::vector<std::string>& args);

  MemoryFileSystem files_;
  std::string console_;
};

// What a run of the tool as a process left.
struct ToolRun {
  std::string console;   // standard output
  std::string errors;    // standard error
  int status = -1;       // exit status, or 128 + the signal that ended it
  long max_rss_kib = 0;  // the process's own peak resident size
};

// The program the end-to-end tests run: the VOSTREL_TOOL environment
// variable when it is set (another build of the tool, or a wrapper that runs
// one under an emulator), else the tool built with the tests.
std::string ToolPath();
// True when VOSTREL_TOOL_OS says the tool runs on Windows, whose file
// system has no FIFOs, no /dev/full and no symbolic links made from here,
// and whose names ignore letter case.
bool ToolOnWindows();

// Runs ToolPath() in `dir` with `args` after the program name. With a
// `piped_input`, standard input is a pipe that carries that file's bytes.
ToolRun RunTool(const std::filesystem::path& dir,
                const std::vector<std::string>& args,
                const std::filesystem::path& piped_input = {});

}  // namespace vostrel

#endif  // VOSTREL_TEST_UTIL_H_
