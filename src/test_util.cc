// Plumbing shared by vostrel's tests.
#include "test_util.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "driver.h"
#include "scan.h"
#include "string_io.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vostrel {

namespace fs = std::filesystem;

int MemoryRunTest::Run(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"vostrel"};
  argv.insert(argv.end(), args.begin(), args.end());
  StringOutput console;
  const int status = static_cast<int>(Main(argv, console, files_));
  console.Flush();
  console_ = console.bytes();
  return status;
}

int SweepCases(int cost) {
  const char* text = std::getenv("VOSTREL_SWEEP_CASES");
  const long cases = text != nullptr ? std::atol(text) : 0;
  return static_cast<int>(std::max(1L, (cases > 0 ? cases : 10000) / cost));
}

std::string Rest(Input& in) {
  std::string all;
  std::string line;
  while (ReadLine(in, line)) all += line;
  return all;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  out.close();
  EXPECT_FALSE(out.fail()) << path;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void TempDirTest::SetUp() {
  // Unique per process and test, so parallel ctest runs do not meet.
  std::random_device random;
  dir_ = fs::path(::testing::TempDir()) /
         ("vostrel_" +
          std::string(
              ::testing::UnitTest::GetInstance()->current_test_info()->name()) +
          "_" + std::to_string(random()));
  fs::remove_all(dir_);
  fs::create_directories(dir_);
}

void TempDirTest::TearDown() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void TempDirTest::Clear() {
  fs::remove_all(dir_);
  fs::create_directories(dir_);
}

std::string ToolPath() {
  const char* tool = std::getenv("VOSTREL_TOOL");
  if (tool != nullptr && *tool != '\0') return tool;
#ifdef VOSTREL_BINARY
  return VOSTREL_BINARY;
#else
  return "vostrel";
#endif
}

bool ToolOnWindows() {
  const char* os = std::getenv("VOSTREL_TOOL_OS");
  return os != nullptr && std::string(os) == "windows";
}

#if !defined(_WIN32)

namespace {

// In the child: makes standard input a pipe fed with the bytes of `path` by
// a process of its own, so that the tool cannot rewind it.
void PipeFileToStandardInput(const fs::path& path) {
  int feed[2];
  if (pipe(feed) != 0) _exit(125);
  if (fork() == 0) {
    close(feed[0]);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) _exit(125);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, file)) > 0;) {
      if (write(feed[1], buf, n) != static_cast<ssize_t>(n)) _exit(125);
    }
    _exit(0);
  }
  close(feed[1]);
  dup2(feed[0], STDIN_FILENO);
  close(feed[0]);
}

}  // namespace

ToolRun RunTool(const fs::path& dir, const std::vector<std::string>& args,
                const fs::path& piped_input) {
  ToolRun result;
  const std::string tool = ToolPath();
  int out[2];
  if (pipe(out) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return result;
  }
  // Standard error goes to a file outside `dir`, so that the directory
  // holds only what the run made and a chatty run cannot block on a pipe.
  std::FILE* errors = std::tmpfile();
  if (errors == nullptr) {
    ADD_FAILURE() << "tmpfile: " << std::strerror(errno);
    return result;
  }
  // Nothing buffered may reach a child twice: a fork copies the buffers.
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(fileno(errors), STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    if (!piped_input.empty()) PipeFileToStandardInput(piped_input);
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(tool.c_str()));
    for (const std::string& a : args) {
      argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
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
  } else {
    result.status =
        WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.max_rss_kib = usage.ru_maxrss;
  }
  std::rewind(errors);
  for (int c = std::fgetc(errors); c != EOF; c = std::fgetc(errors)) {
    result.errors += static_cast<char>(c);
  }
  std::fclose(errors);
  return result;
}

#endif  // !defined(_WIN32)

}  // namespace vostrel
