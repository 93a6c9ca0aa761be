// Fuzz target for whole runs of Main: writes the input to a results file in
// a temporary directory and runs Main on the disk, then runs it again over
// the same bytes in memory, and once more in memory with a read or write
// fault. The disk and the memory run must agree byte for byte (console, exit
// status, both output files) and leave the results file unchanged. A faulty
// run must either end with status 2 or give exactly the fault-free run; after
// a write fault, the output it did write is a prefix of the fault-free one.
// A line saying where reading stopped must quote text from that line.
//
// Input layout: byte 0 the argument count (1 to 4, bits 0-1) and the fault
// (bits 2-3: none, a read fault, a daily or a monthly write fault), byte 1
// the header-row argument, byte 2 the column argument, byte 3 the fourth
// argument (bits 0-1) and the byte count at which the fault strikes (bits
// 2-7, in steps of 13). Byte 2 over the column table's size also picks an
// option before the results file (none, or one of --yearly, --step, --mean,
// --min, --max, --csv, --missing), whose other outputs must agree too. The
// rest is the results file.
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
#include "file_system.h"
#include "memory_file_system.h"
#include "string_io.h"
#include "text_io.h"

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
// Options before the results file, picked by byte 2 over the column table's
// size; "" is none.
constexpr const char* kOptionArgs[] = {"",
                                       "--yearly",
                                       "--yearly=10",
                                       "--step=hourly",
                                       "--step=daily",
                                       "--mean=all",
                                       "--min=1,3",
                                       "--max=2-4",
                                       "--csv",
                                       "--missing=NA,-99",
                                       "--missing=1.#QNAN,---,1e3,x",
                                       "--yearly=2"};
// The outputs besides the daily and monthly files that options create.
constexpr const char* kOtherOutputs[] = {"/run.yut", "/run.tut.csv",
                                         "/run.mut.csv", "/run.yut.csv"};

template <size_t N>
const char* Pick(const char* const (&table)[N], uint8_t byte) {
  return table[byte % N];
}

struct Outcome {
  vostrel::ExitStatus status;
  std::string console, daily, monthly;
  std::string others;  // the other outputs, each after its name
};

template <typename Read>
std::string OtherOutputs(Read read) {
  std::string others;
  for (const char* name : kOtherOutputs) others += name + read(dir + name);
  return others;
}

// Runs Main over `bytes` in memory under the disk run's names, with `fault`
// applied first.
template <typename Fault>
Outcome RunInMemory(const std::vector<std::string>& args,
                    const std::string& bytes, Fault fault) {
  vostrel::MemoryFileSystem files;
  files.AddFile(dir + "/run.out", bytes);
  fault(files);
  vostrel::StringOutput console;
  const vostrel::ExitStatus status = vostrel::Main(args, console, files);
  console.Flush();
  Check(*files.File(dir + "/run.out") == bytes,
        "results file changed in memory");
  const std::string* daily = files.File(dir + "/run.tut");
  const std::string* monthly = files.File(dir + "/run.mut");
  return {status, console.bytes(), daily ? *daily : "<none>",
          monthly ? *monthly : "<none>",
          OtherOutputs([&files](const std::string& name) {
            const std::string* bytes = files.File(name);
            return bytes ? *bytes : std::string("<none>");
          })};
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// When the console says where reading stopped, the text it quotes must stand
// on that line of the results file as the tool reads it (CR LF folded, cut
// at 0x1A), and must not begin a number.
void CheckStopLine(const std::string& console, const std::string& bytes) {
  const std::string kLead = "\r\nstopped reading at line ";
  const size_t at = console.find(kLead);
  if (at == std::string::npos) return;
  const char* p = console.c_str() + at + kLead.size();
  char* end = nullptr;
  const long long line = std::strtoll(p, &end, 10);
  Check(line >= 1 && std::string(end, 3) == ": \"", "stop line's number");
  const size_t close = console.find("\" is not a number\r\n", at);
  Check(close != std::string::npos, "stop line's end");
  const std::string text(const_cast<const char*>(end) + 3,
                         console.c_str() + close);
  Check(text.size() <= 40, "stop text longer than 40 bytes");
  std::string folded = bytes.substr(0, bytes.find('\x1a'));
  for (size_t cr; (cr = folded.find("\r\n")) != std::string::npos;) {
    folded.erase(cr, 1);
  }
  size_t start = 0;
  for (long long n = 1; n < line; ++n) {
    start = folded.find('\n', start);
    Check(start != std::string::npos, "stop line past the end of the file");
    ++start;
  }
  const std::string row =
      folded.substr(start, folded.find('\n', start) - start);
  Check(row.find(text) != std::string::npos, "stop text not on its line");
  const char c = text.empty() ? '\0' : text[0];
  Check(!(c >= '0' && c <= '9'), "stop text begins with a digit");
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
    for (const char* name : kOtherOutputs) unlink((dir + name).c_str());
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
  for (const char* name : kOtherOutputs) unlink((dir + name).c_str());

  std::vector<std::string> args = {"vostrel"};
  const char* option = Pick(kOptionArgs, data[2] / std::size(kColumnArgs));
  if (*option != '\0') args.push_back(option);
  args.push_back(path);
  const size_t count = 1 + (data[0] & 3);
  if (count >= 2) args.push_back(Pick(kRowArgs, data[1]));
  if (count >= 3) args.push_back(Pick(kColumnArgs, data[2]));
  if (count >= 4) args.push_back(Pick(kFourthArgs, data[3]));

  vostrel::StringOutput console;
  vostrel::DiskFileSystem disk;
  const vostrel::ExitStatus status = vostrel::Main(args, console, disk);
  console.Flush();
  const Outcome want =
      RunInMemory(args, bytes, [](vostrel::MemoryFileSystem&) {});
  Check(status == want.status, "exit status");
  Check(console.bytes() == want.console, "console text");
  Check(ReadFile(dir + "/run.tut") == want.daily, "daily file");
  Check(ReadFile(dir + "/run.mut") == want.monthly, "monthly file");
  Check(OtherOutputs([](const std::string& name) {
          return std::filesystem::exists(name) ? ReadFile(name)
                                               : std::string("<none>");
        }) == want.others,
        "yearly or CSV file");
  Check(ReadFile(path) == bytes, "results file changed");
  CheckStopLine(want.console, bytes);

  const size_t at = size_t{13} * (data[3] >> 2);
  const int kind = (data[0] >> 2) & 3;
  if (kind == 0) return 0;
  const Outcome got =
      RunInMemory(args, bytes, [kind, at](vostrel::MemoryFileSystem& f) {
        if (kind == 1) f.FailReadAfter(dir + "/run.out", at);
        if (kind == 2) f.FailWriteAfter(dir + "/run.tut", at);
        if (kind == 3) f.FailWriteAfter(dir + "/run.mut", at);
      });
  if (got.status != vostrel::ExitStatus::kFileError) {
    Check(got.status == want.status && got.console == want.console &&
              got.daily == want.daily && got.monthly == want.monthly &&
              got.others == want.others,
          "a fault that did not end the run changed its result");
  } else if (kind != 1) {
    // A read fault can change what the layout phase saw, and so everything
    // after; a write fault only cuts the output short.
    Check(StartsWith(got.daily, "<none>") || StartsWith(want.daily, got.daily),
          "faulty run's daily file is no prefix of the fault-free one");
    Check(StartsWith(want.monthly, got.monthly) || got.monthly == "<none>",
          "faulty run's monthly file is no prefix of the fault-free one");
  }
  return 0;
}
