// Fault runs of the built vostrel binary: outputs that cannot be written,
// results files that cannot be opened or read, output names that reach the
// results file through the file system, and very large hostile inputs.
// Each case runs the binary in a fresh temporary directory and checks the
// console text, the exit status, the directory listing afterwards, and that
// the results file is unchanged. Related cases are the rows of one table.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"
#include "vostrel.h"

namespace vostrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBanner = kBannerText;
constexpr const char* kNoDataLine = kNoDataLineText;

// One daily record that closes February 2001 (28 days): one daily line, one
// monthly line whose count (1 of 28) is incomplete, and 2.5 in the totals.
constexpr char kResults[] = "head line\n2001 2 28 24 2.5\n";

struct RunResult : ToolRun {
  // getrusage(RUSAGE_CHILDREN) before and after: the peak of all children
  // waited for, so an upper bound for this one while `before` is small.
  long children_max_rss_before_kib = 0;
  long children_max_rss_kib = 0;
};

// What a name holds after the run: its bytes, or the kind of entry it is.
constexpr char kSymlink[] = "<symlink>";
constexpr char kEmptyDir[] = "<empty directory>";
std::string Describe(const fs::path& path) {
  if (fs::is_symlink(path)) return kSymlink;
  if (fs::is_directory(path)) {
    return fs::is_empty(path) ? kEmptyDir : "<directory>";
  }
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One entry a case makes before the run: a file or a FIFO holding `what`, a
// directory, or a link to `what`. A writer fills the FIFO once the run opens
// it for reading.
enum Make { kFile, kDir, kLink, kHardLink, kFifo };
struct Step {
  Make make;
  std::string name;
  std::string what = kResults;
};

// One row of a table.
struct Case {
  std::string name;
  std::vector<Step> setup = {};
  std::vector<std::string> args = {};  // after the program name
  std::string console = {};            // after the banner
  int status = 0;
  std::set<std::string> listing = {};  // the directory afterwards
  // Names and what Describe() gives for them, beyond the row's own files.
  std::map<std::string, std::string> after = {};
  const char* needs = nullptr;  // a path without which the row is skipped
};

const std::set<std::string> kRun1 = {"run1.out", "run1.tut", "run1.mut"};

std::string Expected(const std::string& first_line_prefix,
                     const std::string& name, const std::string& value) {
  return first_line_prefix + " sums from " + name + " : head line\r\n" +
         "2001\t2\t28\t24\t" + value + "\r\n0\t0\t0\t0\t2.5\r\n";
}

class FaultTest : public TempDirTest {
 protected:
  // Runs the tool in the temporary directory with `args` after the program
  // name.
  RunResult Run(const std::vector<std::string>& args) {
    RunResult result;
    struct rusage before {};
    getrusage(RUSAGE_CHILDREN, &before);
    result.children_max_rss_before_kib = before.ru_maxrss;
    static_cast<ToolRun&>(result) = RunTool(dir_, args);
    EXPECT_EQ("", result.errors) << "nothing goes to standard error";
    struct rusage children {};
    getrusage(RUSAGE_CHILDREN, &children);
    result.children_max_rss_kib = children.ru_maxrss;
    return result;
  }

  // The names in the temporary directory.
  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // Makes the row's entries, runs it and checks everything it expects.
  RunResult Check(const Case& c) {
    // std::thread joined by hand: older libc++ has no std::jthread.
    std::thread writer;
    for (const Step& s : c.setup) {
      const fs::path p = Path(s.name);
      if (s.make == kFile) WriteFile(p, s.what);
      if (s.make == kDir) fs::create_directory(p);
      if (s.make == kLink) fs::create_symlink(s.what, p);
      if (s.make == kHardLink) fs::create_hard_link(Path(s.what), p);
      if (s.make == kFifo) {
        EXPECT_EQ(0, mkfifo(p.c_str(), 0644)) << "case " << c.name;
        // Blocks until the run opens the FIFO for reading.
        writer = std::thread(
            [p, what = s.what] { std::ofstream(p, std::ios::binary) << what; });
      }
    }
    RunResult r = Run(c.args);
    if (writer.joinable()) writer.join();
    EXPECT_EQ(kBanner + c.console, r.console) << "case " << c.name;
    EXPECT_EQ(c.status, r.status) << "case " << c.name;
    EXPECT_EQ(c.listing, Listing()) << "case " << c.name;
    // Every file the row wrote still holds its bytes: the run never changes
    // its results file.
    std::map<std::string, std::string> expected = c.after, after;
    for (const Step& s : c.setup) {
      if (s.make == kFile) expected.emplace(s.name, s.what);
    }
    for (const auto& [name, _] : expected) after[name] = Describe(Path(name));
    EXPECT_EQ(expected, after) << "case " << c.name;
    return r;
  }

  // What a row needs that a tool running on Windows does not have: device
  // files and symbolic links or FIFOs made from this side; nullptr if
  // nothing.
  static const char* NeedsPosix(const Case& c) {
    if (c.needs != nullptr) return c.needs;
    for (const Step& s : c.setup) {
      if (s.make == kLink) return "a symbolic link";
      if (s.make == kFifo) return "a FIFO";
    }
    return nullptr;
  }

  // Checks each row in an emptied directory. A row whose `needs` is missing
  // is skipped, and then so is the test, after the other rows.
  void CheckAll(const std::vector<Case>& cases) {
    std::string skipped;
    for (const Case& c : cases) {
      if (c.needs != nullptr && !fs::exists(c.needs)) {
        skipped += " [" + c.name + ": no " + c.needs + "]";
        continue;
      }
      if (ToolOnWindows() && NeedsPosix(c)) {
        skipped += " [" + c.name + ": needs " + NeedsPosix(c) + "]";
        continue;
      }
      Clear();
      Check(c);
    }
    if (!skipped.empty()) GTEST_SKIP() << "skipped" << skipped;
  }
};

// A name with spaces, UTF-8 and a lone Latin-1 byte is only bytes. (On
// Windows a program's narrow command line and file names are in the ANSI code
// page, so bytes that are not one of its characters cannot reach the tool
// unchanged: there the name has spaces only.) The largest accepted column
// count runs: the one value fills column 1 and every other column's scan
// meets the end of the input, so no line is written and nothing reaches the
// totals.
TEST_F(FaultTest, UnusualRunsThatWork) {
  const std::string stem =
      ToolOnWindows() ? "my run  1" : "my run \xc3\xa4 \xe9";
  const std::string name = stem + ".out";
  const std::string daily = stem + ".tut";
  const std::string monthly = stem + ".mut";
  std::string totals = "0\t0\t0\t0";
  for (int i = 0; i < 1000000; ++i) totals += "\t0";
  totals += "\r\n";
  CheckAll({
      {.name = "name with spaces and non-ASCII bytes",
       .setup = {{kFile, name}},
       .args = {name},
       .console = "1 columns \r\n.2/2001\r\n\r\nready..\r\n",
       .listing = {name, daily, monthly},
       .after = {{daily, Expected("daily", name, "2.5")},
                 {monthly, Expected("monthly", name, "-9999")}}},
      {.name = "a million columns from the command line",
       .setup = {{kFile, "run1.out"}},
       .args = {"run1.out", "1", "1000000"},
       .console = "1000000 columns run1\r\n\r\nno day was closed: days "
                  "close at hour 24\r\n\r\nready..\r\n",
       .listing = kRun1,
       .after = {{"run1.tut",
                  "daily sums from run1.out : head line\r\n" + totals},
                 {"run1.mut",
                  "monthly sums from run1.out : head line\r\n" + totals}}},
  });
}

// Writing to /dev/full fails with "no space" at the latest when the file is
// closed; the run must not report success over a lost output. When only the
// monthly file is lost the daily one is complete. With enough daily lines to
// fill the output buffer the write fails while the records are still being
// read rather than at the close.
TEST_F(FaultTest, OutputOnAFullDiskIsAWriteError) {
  std::string days;
  for (int i = 0; i < 8000; ++i) days += "2001 1 1 24 1.5\n";
  CheckAll({
      {.name = "daily file",
       .setup = {{kFile, "run1.out"}, {kLink, "run1.tut", "/dev/full"}},
       .args = {"run1.out"},
       .console = "1 columns \r\n.2/2001\r\nerror writing run1.tut\r\n",
       .status = 2,
       .listing = kRun1,
       .after = {{"run1.tut", kSymlink}},
       .needs = "/dev/full"},
      {.name = "monthly file",
       .setup = {{kFile, "run1.out"}, {kLink, "run1.mut", "/dev/full"}},
       .args = {"run1.out"},
       .console = "1 columns \r\n.2/2001\r\nerror writing run1.mut\r\n",
       .status = 2,
       .listing = kRun1,
       .after = {{"run1.tut", Expected("daily", "run1.out", "2.5")}},
       .needs = "/dev/full"},
      {.name = "daily file filling up mid-run",
       .setup = {{kFile, "run1.out", days}, {kLink, "run1.tut", "/dev/full"}},
       .args = {"run1.out"},
       .console = "0 head rows..\r\n\r\n1 columns \r\n" +
                  std::string(8000, '.') + "error writing run1.tut\r\n",
       .status = 2,
       .listing = kRun1,
       .needs = "/dev/full"},
  });
}

// Reading the process's own memory at offset 0 fails with an I/O error on an
// open results file. A FIFO opens and reads, but cannot be rewound for the
// header copy: a read error too, reported after the column count.
TEST_F(FaultTest, ResultsFileThatCannotBeRead) {
  CheckAll({
      {.name = "read error",
       .setup = {{kLink, "mem.out", "/proc/self/mem"}},
       .args = {"mem.out"},
       .console = "error reading mem.out\r\n",
       .status = 2,
       .listing = {"mem.out", "mem.tut", "mem.mut"},
       .needs = "/proc/self/mem"},
      {.name = "FIFO that cannot be rewound",
       .setup = {{kFifo, "fifo.out"}},
       .args = {"fifo.out"},
       .console = "1 columns \r\nerror reading fifo.out\r\n",
       .status = 2,
       .listing = {"fifo.out", "fifo.tut", "fifo.mut"},
       .after = {{"fifo.tut", ""}, {"fifo.mut", ""}}},
  });
}

// A directory opens for reading on some systems, a dangling link and a name
// past the system's limit on none.
TEST_F(FaultTest, ResultsFileThatCannotBeOpened) {
  const std::string long_name = std::string(5000, 'a') + ".out";
  CheckAll({
      {.name = "directory",
       .setup = {{kDir, "indir.out"}},
       .args = {"indir.out"},
       .console = "error opening indir.out\r\n",
       .status = 2,
       .listing = {"indir.out"},
       .after = {{"indir.out", kEmptyDir}}},
      {.name = "dangling symlink",
       .setup = {{kLink, "dangling.out", "nowhere.out"}},
       .args = {"dangling.out"},
       .console = "error opening dangling.out\r\n",
       .status = 2,
       .listing = {"dangling.out"}},
      {.name = "name beyond the system limit",
       .args = {long_name},
       .console = "error opening " + long_name + "\r\n",
       .status = 2},
  });
}

// "dir.v2/run1" names its outputs "dir.t2/run1" and "dir.m2/run1": the dot of
// the directory counts, and that directory does not exist. An output name
// that is a directory cannot be opened either, and is found out before
// either output is created, so a daily file from an earlier run keeps its
// contents.
TEST_F(FaultTest, OutputThatCannotBeOpened) {
  CheckAll({
      {.name = "output directory missing",
       .setup = {{kDir, "dir.v2"}, {kFile, "dir.v2/run1"}},
       .args = {"dir.v2/run1"},
       .console = "error opening dir.t2/run1\r\n",
       .status = 2,
       .listing = {"dir.v2"}},
      {.name = "daily name is a directory",
       .setup = {{kFile, "run1.out"}, {kDir, "run1.tut"}},
       .args = {"run1.out"},
       .console = "error opening run1.tut\r\n",
       .status = 2,
       .listing = {"run1.out", "run1.tut"},
       .after = {{"run1.tut", kEmptyDir}}},
      {.name = "monthly name is a directory, daily file kept",
       .setup = {{kFile, "run1.out"},
                 {kFile, "run1.tut", "last good daily\r\n"},
                 {kDir, "run1.mut"}},
       .args = {"run1.out"},
       .console = "error opening run1.mut\r\n",
       .status = 2,
       .listing = kRun1,
       .after = {{"run1.mut", kEmptyDir}}},
  });
}

// Waits up to twenty seconds for `path` to exist (or, with `exists` false, to
// be gone); returns whether it came to be so.
bool Await(const fs::path& path, bool exists) {
  for (int i = 0; i < 2000; ++i) {
    if (fs::exists(path) == exists) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Regression: with the monthly file open in a spreadsheet, which locks it,
// the Windows build emptied the daily file of the last good run and only
// then failed.
TEST_F(FaultTest, LockedOutputKeepsTheOtherOutput) {
  const char* holder = std::getenv("VOSTREL_HOLD_FILE");
  if (!ToolOnWindows() || holder == nullptr) {
    GTEST_SKIP() << "needs the Windows build and VOSTREL_HOLD_FILE";
  }
  WriteFile(Path("run1.out"), kResults);
  WriteFile(Path("run1.tut"), "last good daily\r\n");
  WriteFile(Path("run1.mut"), "last good monthly\r\n");
  // The holder runs under the same wrapper as the tool.
  const std::string command =
      "cd '" + dir_.string() + "' && VOSTREL_WINDOWS_EXE='" + holder + "' '" +
      ToolPath() + "' run1.mut held release > /dev/null 2>&1 &";
  ASSERT_EQ(0, std::system(command.c_str()));
  ASSERT_TRUE(Await(Path("held"), true)) << "the holder did not start";
  const RunResult r = Run({"run1.out"});
  WriteFile(Path("release"), "");
  EXPECT_TRUE(Await(Path("held"), false)) << "the holder did not let go";
  EXPECT_EQ(kBanner + std::string("error opening run1.mut\r\n"), r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ("last good daily\r\n", ReadFile(Path("run1.tut")));
  EXPECT_EQ("last good monthly\r\n", ReadFile(Path("run1.mut")));
}

// A monthly file that cannot be written (read-only here; locked on Windows,
// above) fails the run before the daily file from an earlier run is
// emptied.
TEST_F(FaultTest, ReadOnlyOutputKeepsTheOtherOutput) {
  // wine maps the read-only attribute to the file's mode, which the
  // superuser's processes pass too.
  if (geteuid() == 0) {
    GTEST_SKIP() << "the superuser may write to a read-only file";
  }
  WriteFile(Path("run1.out"), kResults);
  WriteFile(Path("run1.tut"), "last good daily\r\n");
  WriteFile(Path("run1.mut"), "last good monthly\r\n");
  fs::permissions(Path("run1.mut"), fs::perms::owner_read);
  const RunResult r = Run({"run1.out"});
  fs::permissions(Path("run1.mut"), fs::perms::owner_all);
  EXPECT_EQ(kBanner + std::string("error opening run1.mut\r\n"), r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ("last good daily\r\n", ReadFile(Path("run1.tut")));
  EXPECT_EQ("last good monthly\r\n", ReadFile(Path("run1.mut")));
}

// Creating an output empties it, so an output name that reaches the results
// file through a symlink either way or as a hard link must be refused before
// anything is created.
TEST_F(FaultTest, OutputNameReachingTheResultsFileIsRefused) {
  const std::string refused = "refusing to overwrite the results file with ";
  CheckAll({
      {.name = "daily name symlinked",
       .setup = {{kFile, "run1.out"}, {kLink, "run1.tut", "run1.out"}},
       .args = {"run1.out"},
       .console = refused + "run1.tut\r\n",
       .status = 2,
       .listing = {"run1.out", "run1.tut"},
       .after = {{"run1.tut", kSymlink}}},
      {.name = "results file a symlink to the monthly name",
       .setup = {{kFile, "link.mut"}, {kLink, "link.out", "link.mut"}},
       .args = {"link.out"},
       .console = refused + "link.mut\r\n",
       .status = 2,
       .listing = {"link.out", "link.mut"}},
      {.name = "daily name hard-linked",
       .setup = {{kFile, "run1.out"}, {kHardLink, "run1.tut", "run1.out"}},
       .args = {"run1.out"},
       .console = refused + "run1.tut\r\n",
       .status = 2,
       .listing = {"run1.out", "run1.tut"},
       .after = {{"run1.tut", kResults}}},
  });
}

// Windows names ignore letter case, so there "run1.Tut" and its daily name
// "run1.tut" are one file and the run must refuse; elsewhere they are two.
TEST_F(FaultTest, OutputNameDifferingOnlyInCase) {
  if (ToolOnWindows()) {
    CheckAll(
        {{.name = "refused",
          .setup = {{kFile, "run1.Tut"}},
          .args = {"run1.Tut"},
          .console = "refusing to overwrite the results file with run1.tut\r\n",
          .status = 2,
          .listing = {"run1.Tut"}}});
    return;
  }
  CheckAll(
      {{.name = "two files",
        .setup = {{kFile, "run1.Tut"}},
        .args = {"run1.Tut"},
        .console = "1 columns \r\n.2/2001\r\n\r\nready..\r\n",
        .listing = {"run1.Tut", "run1.tut", "run1.mut"},
        .after = {{"run1.tut", Expected("daily", "run1.Tut", "2.5")},
                  {"run1.mut", Expected("monthly", "run1.Tut", "-9999")}}}});
}

// Hostile inputs of 200 MB, each of one line. The run must get through them
// in one pass, with memory that does not grow with the file: a line is held
// whole only up to its 64 MiB limit, and reading ends there with status 1
// and two empty outputs.
class HugeInputTest : public FaultTest {
 protected:
  static constexpr size_t kSize = size_t{200} << 20;
  static constexpr long kMaxRssKib = 16L * 1024;

  // `message` is what the run prints after the banner; `max_rss_kib` bounds
  // its peak memory.
  void RunOneLine(const std::string& name, char byte,
                  const std::string& message,
                  [[maybe_unused]] long max_rss_kib) {
    {
      std::ofstream out(Path(name), std::ios::binary);
      const std::string chunk(size_t{1} << 20, byte);
      for (size_t done = 0; done < kSize; done += chunk.size()) out << chunk;
      out.close();
      ASSERT_FALSE(out.fail()) << name;
    }
    const std::string stem = name.substr(0, name.find('.'));
    const RunResult r =
        Check({.name = name,
               .args = {name},
               .console = message,
               .status = 1,
               .listing = {name, stem + ".tut", stem + ".mut"},
               .after = {{stem + ".tut", ""}, {stem + ".mut", ""}}});
#ifndef VOSTREL_SANITIZED_BINARY
    // Another tool (a wrapper, an emulator) has a peak of its own.
    if (ToolPath() != VOSTREL_BINARY) return;
    EXPECT_LT(r.max_rss_kib, max_rss_kib);
    if (r.children_max_rss_before_kib < max_rss_kib) {
      EXPECT_LT(r.children_max_rss_kib, max_rss_kib);
    }
#endif
    RecordProperty("max_rss_kib", static_cast<int>(r.max_rss_kib));
    std::printf("peak RSS of the run: %ld KiB\n", r.max_rss_kib);
  }

  // A line held whole up to its limit, and what a run holds besides.
  static constexpr long kLongLineRssKib =
      static_cast<long>(kMaxLineLength / 1024) + kMaxRssKib;
};

constexpr char kLineOneTooLong[] = "line 1 is longer than 64 MiB\r\n";

TEST_F(HugeInputTest, OneLineWithoutLineFeed) {
  RunOneLine("line.out", 'x', kLineOneTooLong, kLongLineRssKib);
}

// NUL ends a line's text, but not the line: the whole file is one line.
// ("nul", whatever its extension, is the null device on Windows.)
TEST_F(HugeInputTest, NulBytes) {
  RunOneLine("zeros.out", '\0', kLineOneTooLong, kLongLineRssKib);
}

// The first byte ends the input.
TEST_F(HugeInputTest, EndOfFileBytes) {
  RunOneLine("eof.out", '\x1a', kNoDataLine, kMaxRssKib);
}

}  // namespace
}  // namespace vostrel
