// Fault runs of the built vostrel binary: outputs that cannot be written,
// results files that cannot be opened or read, output names that reach the
// results file, column counts the run refuses, and very large hostile inputs.
// Each case runs the binary in a fresh temporary directory and checks the
// console text, the exit status, the directory listing afterwards, and that
// the results file is unchanged.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr char kBanner[] = "aggregating model results\r\n";
constexpr char kNoDataLine[] =
    "no valid line found for analyzing the columns structure (first data "
    "line must begin with a number)\r\n";

// One daily record that closes February 2001 (28 days): one daily line, one
// monthly line whose count (1 of 28) is incomplete, and 2.5 in the totals.
constexpr char kResults[] = "head line\n2001 2 28 24 2.5\n";
constexpr char kConsoleOk[] =
    "aggregating model results\r\n1 columns \r\n.2/2001\r\n\r\nready..\r\n";

struct RunResult {
  std::string console;
  int status = -1;
  long max_rss_kib = 0;  // the child's own peak, from wait4
  // getrusage(RUSAGE_CHILDREN) before and after: the peak of all children
  // waited for, so an upper bound for this one while `before` is small.
  long children_max_rss_before_kib = 0;
  long children_max_rss_kib = 0;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl =
        (fs::path(::testing::TempDir()) / "vostrel_fault_XXXXXX");
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr) << std::strerror(errno);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  // Runs the binary in the temporary directory with `args` after the
  // program name.
  RunResult Run(const std::vector<std::string>& args) {
    RunResult result;
    struct rusage before {};
    getrusage(RUSAGE_CHILDREN, &before);
    result.children_max_rss_before_kib = before.ru_maxrss;
    int out[2];
    if (pipe(out) != 0) {
      ADD_FAILURE() << "pipe: " << std::strerror(errno);
      return result;
    }
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      if (chdir(dir_.c_str()) != 0) _exit(126);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(VOSTREL_BINARY));
      for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(VOSTREL_BINARY, argv.data());
      _exit(127);
    }
    close(out[1]);
    char buf[4096];
    for (;;) {
      const ssize_t n = read(out[0], buf, sizeof buf);
      if (n > 0) {
        result.console.append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    close(out[0]);
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) {
      ADD_FAILURE() << "wait4: " << std::strerror(errno);
      return result;
    }
    result.status =
        WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.max_rss_kib = usage.ru_maxrss;
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

  fs::path dir_;
};

std::string Expected(const std::string& first_line_prefix,
                     const std::string& name, const std::string& value) {
  return first_line_prefix + " sums from " + name + " : head line\r\n" +
         "2001\t2\t28\t24\t" + value + "\r\n0\t0\t0\t0\t2.5\r\n";
}

// A name with spaces, UTF-8 and a lone Latin-1 byte is only bytes: the run
// works as with any other name.
TEST_F(FaultTest, NameWithSpacesAndNonAsciiBytesWorks) {
  const std::string name = "my run \xc3\xa4 \xe9.out";
  const std::string daily = "my run \xc3\xa4 \xe9.tut";
  const std::string monthly = "my run \xc3\xa4 \xe9.mut";
  WriteFile(Path(name), kResults);
  const RunResult r = Run({name});
  EXPECT_EQ(kConsoleOk, r.console);
  EXPECT_EQ(0, r.status);
  EXPECT_EQ((std::set<std::string>{name, daily, monthly}), Listing());
  EXPECT_EQ(Expected("daily", name, "2.5"), ReadFile(Path(daily)));
  EXPECT_EQ(Expected("monthly", name, "-9999"), ReadFile(Path(monthly)));
  EXPECT_EQ(kResults, ReadFile(Path(name)));
}

// Writing to /dev/full fails with "no space" at the latest when the file is
// closed; the run must not report success over a lost output.
TEST_F(FaultTest, DailyFileOnFullDiskIsAWriteError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteFile(Path("run1.out"), kResults);
  fs::create_symlink("/dev/full", Path("run1.tut"));
  const RunResult r = Run({"run1.out"});
  EXPECT_EQ(std::string(kBanner) + "1 columns \r\n.2/2001\r\n" +
                "error writing run1.tut\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut", "run1.mut"}),
            Listing());
  EXPECT_TRUE(fs::is_symlink(Path("run1.tut")));
  EXPECT_EQ(kResults, ReadFile(Path("run1.out")));
}

TEST_F(FaultTest, MonthlyFileOnFullDiskIsAWriteError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteFile(Path("run1.out"), kResults);
  fs::create_symlink("/dev/full", Path("run1.mut"));
  const RunResult r = Run({"run1.out"});
  EXPECT_EQ(std::string(kBanner) + "1 columns \r\n.2/2001\r\n" +
                "error writing run1.mut\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut", "run1.mut"}),
            Listing());
  // The daily file is complete; only the monthly one was lost.
  EXPECT_EQ(Expected("daily", "run1.out", "2.5"), ReadFile(Path("run1.tut")));
  EXPECT_EQ(kResults, ReadFile(Path("run1.out")));
}

// Enough daily lines to fill the output buffer, so the write fails while the
// records are still being read rather than at the close.
TEST_F(FaultTest, DailyFileFillingUpMidRunIsAWriteError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  constexpr int kDays = 8000;
  std::string results;
  for (int i = 0; i < kDays; ++i) results += "2001 1 1 24 1.5\n";
  WriteFile(Path("run1.out"), results);
  fs::create_symlink("/dev/full", Path("run1.tut"));
  const RunResult r = Run({"run1.out"});
  EXPECT_EQ(std::string(kBanner) + "0 head rows..\r\n\r\n1 columns \r\n" +
                std::string(kDays, '.') + "error writing run1.tut\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut", "run1.mut"}),
            Listing());
  EXPECT_EQ(results, ReadFile(Path("run1.out")));
}

// Reading the process's own memory at offset 0 fails with an I/O error,
// which is a read error on an open results file.
TEST_F(FaultTest, ReadErrorOnTheResultsFile) {
  if (!fs::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem";
  fs::create_symlink("/proc/self/mem", Path("mem.out"));
  const RunResult r = Run({"mem.out"});
  EXPECT_EQ(std::string(kBanner) + "error reading mem.out\r\n", r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"mem.out", "mem.tut", "mem.mut"}),
            Listing());
}

// A FIFO opens and reads, but cannot be rewound for the header copy: that is
// a read error, reported after the column count.
TEST_F(FaultTest, ResultsFileThatCannotBeRewound) {
  ASSERT_EQ(0, mkfifo(Path("fifo.out").c_str(), 0644));
  std::thread writer([this] {
    // Blocks until the run opens the FIFO for reading.
    std::ofstream out(Path("fifo.out"), std::ios::binary);
    out << kResults;
  });
  const RunResult r = Run({"fifo.out"});
  writer.join();
  EXPECT_EQ(std::string(kBanner) + "1 columns \r\nerror reading fifo.out\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"fifo.out", "fifo.tut", "fifo.mut"}),
            Listing());
  EXPECT_EQ("", ReadFile(Path("fifo.tut")));
  EXPECT_EQ("", ReadFile(Path("fifo.mut")));
}

struct OpenFailure {
  const char* label;
  std::string name;
};

TEST_F(FaultTest, ResultsFileThatCannotBeOpened) {
  fs::create_directory(Path("indir.out"));
  fs::create_symlink("nowhere.out", Path("dangling.out"));
  const std::string long_name = std::string(5000, 'a') + ".out";
  const OpenFailure kCases[] = {
      {"directory", "indir.out"},
      {"missing", "missing.out"},
      {"dangling symlink", "dangling.out"},
      {"name beyond the system limit", long_name},
  };
  for (const OpenFailure& c : kCases) {
    const RunResult r = Run({c.name});
    EXPECT_EQ(std::string(kBanner) + "error opening " + c.name + "\r\n",
              r.console)
        << c.label;
    EXPECT_EQ(2, r.status) << c.label;
    EXPECT_EQ((std::set<std::string>{"indir.out", "dangling.out"}), Listing())
        << c.label;
  }
  EXPECT_TRUE(fs::is_directory(Path("indir.out")));
  EXPECT_TRUE(fs::is_empty(Path("indir.out")));
}

// "dir.v2/run1" names its outputs "dir.t2/run1" and "dir.m2/run1": the dot
// of the directory counts, and that directory does not exist.
TEST_F(FaultTest, OutputDirectoryMissing) {
  fs::create_directory(Path("dir.v2"));
  WriteFile(Path("dir.v2/run1"), kResults);
  const RunResult r = Run({"dir.v2/run1"});
  EXPECT_EQ(std::string(kBanner) + "error opening dir.t2/run1\r\n", r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"dir.v2"}), Listing());
  EXPECT_EQ(kResults, ReadFile(Path("dir.v2/run1")));
}

TEST_F(FaultTest, DailyNameIsAnExistingDirectory) {
  WriteFile(Path("run1.out"), kResults);
  fs::create_directory(Path("run1.tut"));
  const RunResult r = Run({"run1.out"});
  EXPECT_EQ(std::string(kBanner) + "error opening run1.tut\r\n", r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut"}), Listing());
  EXPECT_TRUE(fs::is_empty(Path("run1.tut")));
  EXPECT_EQ(kResults, ReadFile(Path("run1.out")));
}

// The daily file is created first and stays behind, empty.
TEST_F(FaultTest, MonthlyNameIsAnExistingDirectory) {
  WriteFile(Path("run1.out"), kResults);
  fs::create_directory(Path("run1.mut"));
  const RunResult r = Run({"run1.out"});
  EXPECT_EQ(std::string(kBanner) + "error opening run1.mut\r\n", r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut", "run1.mut"}),
            Listing());
  EXPECT_EQ("", ReadFile(Path("run1.tut")));
  EXPECT_EQ(kResults, ReadFile(Path("run1.out")));
}

// Creating an output empties it, so an output name that reaches the results
// file must be refused before anything is created.
TEST_F(FaultTest, DailyNameEqualToTheResultsFileIsRefused) {
  WriteFile(Path("run1.txt"), kResults);
  const RunResult r = Run({"run1.txt"});
  EXPECT_EQ(std::string(kBanner) +
                "refusing to overwrite the results file with run1.txt\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.txt"}), Listing());
  EXPECT_EQ(kResults, ReadFile(Path("run1.txt")));
}

TEST_F(FaultTest, MonthlyNameEqualToTheResultsFileIsRefused) {
  WriteFile(Path("run1.mat"), kResults);
  const RunResult r = Run({"run1.mat"});
  EXPECT_EQ(std::string(kBanner) +
                "refusing to overwrite the results file with run1.mat\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.mat"}), Listing());
  EXPECT_EQ(kResults, ReadFile(Path("run1.mat")));
}

TEST_F(FaultTest, DailyNameSymlinkedToTheResultsFileIsRefused) {
  WriteFile(Path("run1.out"), kResults);
  fs::create_symlink("run1.out", Path("run1.tut"));
  const RunResult r = Run({"run1.out"});
  EXPECT_EQ(std::string(kBanner) +
                "refusing to overwrite the results file with run1.tut\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut"}), Listing());
  EXPECT_TRUE(fs::is_symlink(Path("run1.tut")));
  EXPECT_EQ(kResults, ReadFile(Path("run1.out")));
}

// The results file is reached through a symlink whose target is the monthly
// name.
TEST_F(FaultTest, ResultsFileSymlinkToTheMonthlyNameIsRefused) {
  WriteFile(Path("link.mut"), kResults);
  fs::create_symlink("link.mut", Path("link.out"));
  const RunResult r = Run({"link.out"});
  EXPECT_EQ(std::string(kBanner) +
                "refusing to overwrite the results file with link.mut\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"link.out", "link.mut"}), Listing());
  EXPECT_EQ(kResults, ReadFile(Path("link.mut")));
}

TEST_F(FaultTest, DailyNameHardLinkedToTheResultsFileIsRefused) {
  WriteFile(Path("run1.out"), kResults);
  fs::create_hard_link(Path("run1.out"), Path("run1.tut"));
  const RunResult r = Run({"run1.out"});
  EXPECT_EQ(std::string(kBanner) +
                "refusing to overwrite the results file with run1.tut\r\n",
            r.console);
  EXPECT_EQ(2, r.status);
  EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut"}), Listing());
  EXPECT_EQ(kResults, ReadFile(Path("run1.out")));
  EXPECT_EQ(kResults, ReadFile(Path("run1.tut")));
}

// The column count from the command line is shown (with the base name), then
// refused before any accumulator or output line exists; both outputs have
// been created and stay empty.
TEST_F(FaultTest, TooManyColumnsFromTheCommandLineAreRefused) {
  const struct {
    const char* argument;
    const char* shown;
  } kCases[] = {
      {"1000001", "1000001"},
      {"2147483647", "2147483647"},
      {"99999999999", "2147483647"},  // clamps
  };
  WriteFile(Path("run1.out"), kResults);
  for (const auto& c : kCases) {
    const RunResult r = Run({"run1.out", "1", c.argument});
    EXPECT_EQ(std::string(kBanner) + c.shown + " columns run1\r\n" +
                  "too many data columns: " + c.shown + "\r\n",
              r.console)
        << c.argument;
    EXPECT_EQ(1, r.status) << c.argument;
    EXPECT_EQ((std::set<std::string>{"run1.out", "run1.tut", "run1.mut"}),
              Listing())
        << c.argument;
    EXPECT_EQ("", ReadFile(Path("run1.tut"))) << c.argument;
    EXPECT_EQ("", ReadFile(Path("run1.mut"))) << c.argument;
    EXPECT_EQ(kResults, ReadFile(Path("run1.out"))) << c.argument;
  }
}

// The largest accepted count runs: the one value fills column 1 and every
// other column's scan meets the end of the input.
TEST_F(FaultTest, MillionColumnsFromTheCommandLineRun) {
  WriteFile(Path("run1.out"), kResults);
  const RunResult r = Run({"run1.out", "1", "1000000"});
  EXPECT_EQ(std::string(kBanner) + "1000000 columns run1\r\n\r\nready..\r\n",
            r.console);
  EXPECT_EQ(0, r.status);
  // The record's scans fail after the first value, so no line is written and
  // nothing reaches the totals.
  std::string totals = "0\t0\t0\t0";
  for (int i = 0; i < 1000000; ++i) totals += "\t0";
  totals += "\r\n";
  EXPECT_EQ("daily sums from run1.out : head line\r\n" + totals,
            ReadFile(Path("run1.tut")));
  EXPECT_EQ("monthly sums from run1.out : head line\r\n" + totals,
            ReadFile(Path("run1.mut")));
}

// Hostile inputs of 200 MB. Each ends without a data line, so the run ends
// with status 1 and two empty outputs; it must get there in one pass, with
// memory that does not grow with the file.
class HugeInputTest : public FaultTest {
 protected:
  static constexpr size_t kSize = size_t{200} << 20;
  static constexpr long kMaxRssKib = 16 * 1024;

  void MakeFile(const std::string& name, char byte, size_t size) {
    const int fd = open(Path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string chunk(size_t{1} << 20, byte);
    for (size_t done = 0; done < size; done += chunk.size()) {
      ASSERT_EQ(static_cast<ssize_t>(chunk.size()),
                write(fd, chunk.data(), chunk.size()));
    }
    ASSERT_EQ(0, close(fd));
  }

  void RunWithoutDataLine(const std::string& name, char byte) {
    MakeFile(name, byte, kSize);
    const RunResult r = Run({name});
    EXPECT_EQ(std::string(kBanner) + kNoDataLine, r.console);
    EXPECT_EQ(1, r.status);
    const std::string stem = name.substr(0, name.find('.'));
    EXPECT_EQ((std::set<std::string>{name, stem + ".tut", stem + ".mut"}),
              Listing());
    EXPECT_EQ(0u, fs::file_size(Path(stem + ".tut")));
    EXPECT_EQ(0u, fs::file_size(Path(stem + ".mut")));
    // The input is unchanged: same size, and every byte still `byte`.
    EXPECT_EQ(kSize, fs::file_size(Path(name)));
    std::ifstream in(Path(name), std::ios::binary);
    std::string chunk(size_t{1} << 20, '\0');
    bool same = true;
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
           in.gcount() > 0) {
      same = same &&
             chunk.find_first_not_of(byte) >= static_cast<size_t>(in.gcount());
    }
    EXPECT_TRUE(same);
#ifndef VOSTREL_SANITIZED_BINARY
    EXPECT_LT(r.max_rss_kib, kMaxRssKib);
    if (r.children_max_rss_before_kib < kMaxRssKib) {
      EXPECT_LT(r.children_max_rss_kib, kMaxRssKib);
    }
#endif
    RecordProperty("max_rss_kib", static_cast<int>(r.max_rss_kib));
    std::printf("peak RSS of the run: %ld KiB\n", r.max_rss_kib);
  }
};

TEST_F(HugeInputTest, OneLineWithoutLineFeed) {
  RunWithoutDataLine("line.out", 'x');
}

// NUL ends a line's text, so the whole file is one line with empty text.
TEST_F(HugeInputTest, NulBytes) { RunWithoutDataLine("nul.out", '\0'); }

// The first byte ends the input.
TEST_F(HugeInputTest, EndOfFileBytes) { RunWithoutDataLine("eof.out", '\x1a'); }

}  // namespace
