// Fuzz target for whole runs of Main: writes the input to a results file in
// a temporary directory and runs Main on the disk, then runs it again over
// the same bytes in memory, read in blocks of a fuzzed size, and once more
// in memory with a read or write fault. The disk and the memory run must
// agree byte for byte (console, exit status, both output files) and leave
// the results file unchanged. Every LF written is part of a CR LF. A run
// that succeeds ends both files with the same totals line ("0\t0\t0\t0" and
// N fields), and the record lines before it have 4 + N fields and match the
// progress marks on the console (one "." per daily line, one "M/Y" line per
// monthly line). A faulty run must either end with status 2 or give exactly
// the fault-free run; after a write fault, the output it did write is a
// prefix of the fault-free one. A line saying where reading stopped must
// quote text from that line.
//
// Input layout: byte 0 the argument count (1 to 4, bits 0-1), the fault
// (bits 2-3: none, a read fault, a daily or a monthly write fault) and the
// block size of the memory runs (bits 4-7, from kBlockSizes), byte 1 the
// header-row argument, byte 2 the column argument, byte 3 the fourth
// argument (bits 0-1) and the byte count at which the fault strikes (bits
// 2-7, in steps of 13), bytes 4 and 5 (little-endian) up to three options
// from kOptionArgs (bits 0-4, 5-9, 10-14; 0 for none) and whether the first
// of them comes after the results file (bit 15). The rest is the results
// file. The disk and memory runs must also agree on every further output
// (yearly, CSV and summary files).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
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
// Options, good and bad; "@" stands for the run's directory.
constexpr const char* kOptionArgs[32] = {"",
                                         "--quiet",
                                         "--strict",
                                         "--summary=@/run.json",
                                         "--out=@/run.out",
                                         "--step=hourly",
                                         "--step=daily",
                                         "--yearly",
                                         "--yearly=10",
                                         "--mean=1",
                                         "--min=2-3",
                                         "--max=all",
                                         "--csv",
                                         "--missing=NA,-99",
                                         "--missing=NaN,1.#QNAN,---,0",
                                         "--bogus",
                                         "--yearly=13",
                                         "--mean=0",
                                         "--quiet=1",
                                         "--",
                                         "--help",
                                         "--version",
                                         "--mean=1-2147483647",
                                         "--min=1,1-3",
                                         "--step=",
                                         "--out=",
                                         "--summary=",
                                         "--csv=",
                                         "--missing=",
                                         "--max=3-2",
                                         "--strict",
                                         "--quiet"};
// Every output a run may make, as named after run.out.
constexpr const char* kOutputs[] = {
    "/run.tut",     "/run.mut",     "/run.yut", "/run.tut.csv",
    "/run.mut.csv", "/run.yut.csv", "/run.json"};
// Small blocks move tokens, CR LF pairs and lines across block boundaries.
constexpr size_t kBlockSizes[] = {1,  2,  3,  4,   5,    7,    8,    13,
                                  16, 61, 64, 127, 4095, 4096, 4097, 65536};

template <size_t N>
const char* Pick(const char* const (&table)[N], uint8_t byte) {
  return table[byte % N];
}

struct Outcome {
  vostrel::ExitStatus status;
  std::string console, daily, monthly;
  std::vector<std::string> others;  // the rest of kOutputs
};

// The bytes of the file `name` in the run's directory, or "<none>".
std::string OnDisk(const char* name) {
  const std::string path = dir + name;
  return std::filesystem::exists(path) ? ReadFile(path) : "<none>";
}

// The bytes of `name`, or "<none>".
std::string Contents(const std::string* bytes) {
  return bytes != nullptr ? *bytes : "<none>";
}

// Runs Main over `bytes` in memory under the disk run's names, with `fault`
// applied first.
template <typename Fault>
Outcome RunInMemory(const std::vector<std::string>& args,
                    const std::string& bytes, size_t block_size, Fault fault) {
  vostrel::MemoryFileSystem files;
  files.set_block_size(block_size);
  files.AddFile(dir + "/run.out", bytes);
  fault(files);
  vostrel::StringOutput console;
  const vostrel::ExitStatus status = vostrel::Main(args, console, files);
  console.Flush();
  Check(*files.File(dir + "/run.out") == bytes,
        "results file changed in memory");
  Outcome outcome{status,
                  console.bytes(),
                  Contents(files.File(dir + "/run.tut")),
                  Contents(files.File(dir + "/run.mut")),
                  {}};
  for (const char* name : kOutputs) {
    outcome.others.push_back(Contents(files.File(dir + name)));
  }
  return outcome;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string_view> Split(std::string_view text,
                                    std::string_view sep) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t at = text.find(sep);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + sep.size());
  }
}

bool IsInteger(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  return !s.empty() && s.find_first_not_of("0123456789") == s.npos;
}

// A field of the output number form.
bool IsRendered(std::string_view s) {
  if (s == "1.#INF" || s == "-1.#INF" || s == "-1.#IND") return true;
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  return !s.empty() && s[0] >= '0' && s[0] <= '9' &&
         s.find_first_not_of("0123456789.e+-") == s.npos;
}

void CheckLineEnds(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      Check(i > 0 && bytes[i - 1] == '\r', "bare LF written");
    }
  }
}

// Counts the progress marks at the end of `text`, the longest tail of dots
// (a daily line each) and "M/Y" lines (a monthly line each). What the
// console shows before them ends in a space, a tab or a name's letter.
void CountProgress(std::string_view text, size_t& dots, size_t& months) {
  for (;;) {
    if (!text.empty() && text.back() == '.') {
      ++dots;
      text.remove_suffix(1);
      continue;
    }
    if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return;
    const std::string_view line = text.substr(0, text.size() - 2);
    const size_t start = line.find_last_not_of("0123456789/-");
    const std::string_view mark =
        start == line.npos ? line : line.substr(start + 1);
    const std::vector<std::string_view> parts = Split(mark, "/");
    if (parts.size() != 2 || !IsInteger(parts[0]) || !IsInteger(parts[1])) {
      return;
    }
    ++months;
    text.remove_suffix(mark.size() + 2);
  }
}

// Checks the `count` record lines and the totals line that end `file`:
// 4 + `columns` fields each, four dates (the totals' all 0), then rendered
// numbers; sets `header_lines` to the lines before them and returns the
// totals line's fields after its first. The first line after the header
// block may carry the text of a header line that a NUL byte cut (the copy
// then writes no LF): only its last 4 + `columns` fields are its own, and
// the first of them may follow that text.
std::vector<std::string_view> CheckRecordLines(const std::string& file,
                                               size_t count, size_t columns,
                                               size_t& header_lines) {
  Check(file.size() >= 2 && file.substr(file.size() - 2) == "\r\n",
        "output does not end with CR LF");
  const std::vector<std::string_view> lines =
      Split(std::string_view(file).substr(0, file.size() - 2), "\r\n");
  Check(lines.size() >= count + 1, "fewer record lines than progress marks");
  const size_t first = lines.size() - 1 - count;
  header_lines = first;
  std::vector<std::string_view> fields;
  for (size_t i = first; i < lines.size(); ++i) {
    fields = Split(lines[i], "\t");
    Check(i == first ? fields.size() >= 4 + columns
                     : fields.size() == 4 + columns,
          "record line field count");
    const size_t own = fields.size() - 4 - columns;
    for (size_t f = own + (i == first ? 1 : 0); f < own + 4; ++f) {
      Check(IsInteger(fields[f]) && (i + 1 < lines.size() || fields[f] == "0"),
            "date field");
    }
    for (size_t f = own + 4; f < fields.size(); ++f) {
      Check(IsRendered(fields[f]), "value field");
    }
  }
  return {fields.end() - static_cast<ptrdiff_t>(3 + columns), fields.end()};
}

// The checks on the form of a run's outputs.
void CheckForm(const Outcome& run) {
  CheckLineEnds(run.console);
  CheckLineEnds(run.daily);
  CheckLineEnds(run.monthly);
  if (run.status != vostrel::ExitStatus::kSuccess) return;
  // "N columns ..." on a line of its own.
  const size_t shown = run.console.find(" columns ");
  Check(shown != std::string::npos, "no column count");
  const long long count = std::strtoll(
      run.console.c_str() + run.console.rfind('\n', shown) + 1, nullptr, 10);
  const auto columns = static_cast<size_t>(count > 0 ? count : 0);
  const std::string kReady = "\r\nready..\r\n";
  Check(run.console.size() >= kReady.size() &&
            run.console.substr(run.console.size() - kReady.size()) == kReady,
        "no ready line");
  size_t end = run.console.rfind("\r\nstopped reading at line ");
  if (end == std::string::npos) end = run.console.size() - kReady.size();
  size_t dots = 0;
  size_t months = 0;
  CountProgress(std::string_view(run.console).substr(0, end), dots, months);
  size_t daily_header = 0;
  size_t monthly_header = 0;
  Check(CheckRecordLines(run.daily, dots, columns, daily_header) ==
            CheckRecordLines(run.monthly, months, columns, monthly_header),
        "totals lines differ");
  // Both files copy the same header block, which is empty when the console
  // says there are no header rows.
  Check(daily_header == monthly_header, "progress marks and lines differ");
  if (run.console.find("0 head rows..\r\n\r\n") != std::string::npos) {
    Check(daily_header == 0, "header lines without header rows");
  }
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
    unlink((dir + "/run.out").c_str());
    for (const char* name : kOutputs) unlink((dir + name).c_str());
    rmdir(dir.c_str());
  });
  // No dot may reach the directory part: the output names are derived from
  // every dot of the path.
  Check(dir.find('.') == std::string::npos,
        "dot in the temporary directory's path (set TMPDIR)");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 6;
  if (size < kHeader) return 0;
  const std::string path = dir + "/run.out";
  const std::string bytes(reinterpret_cast<const char*>(data + kHeader),
                          size - kHeader);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    Check(out.good(), "writing the results file");
  }
  for (const char* name : kOutputs) unlink((dir + name).c_str());

  const unsigned options = data[4] | unsigned{data[5]} << 8;
  std::vector<std::string> picked;
  for (int shift = 0; shift < 15; shift += 5) {
    std::string option = kOptionArgs[(options >> shift) & 31];
    if (option.empty()) continue;
    if (const size_t at = option.find('@'); at != std::string::npos) {
      option.replace(at, 1, dir);
    }
    picked.push_back(option);
  }
  const bool option_after = (options >> 15) != 0 && !picked.empty();
  std::vector<std::string> args = {"vostrel"};
  args.insert(args.end(), picked.begin() + (option_after ? 1 : 0),
              picked.end());
  args.push_back(path);
  if (option_after) args.push_back(picked.front());
  const size_t count = 1 + (data[0] & 3);
  if (count >= 2) args.push_back(Pick(kRowArgs, data[1]));
  if (count >= 3) args.push_back(Pick(kColumnArgs, data[2]));
  if (count >= 4) args.push_back(Pick(kFourthArgs, data[3]));
  // Quiet runs show no progress, and help and version no run.
  const bool shows_progress =
      std::none_of(picked.begin(), picked.end(), [](const std::string& o) {
        return o == "--quiet" || o == "--help" || o == "--version";
      });

  vostrel::StringOutput console;
  vostrel::DiskFileSystem disk;
  const vostrel::ExitStatus status = vostrel::Main(args, console, disk);
  console.Flush();
  const size_t block_size = kBlockSizes[data[0] >> 4];
  const Outcome want =
      RunInMemory(args, bytes, block_size, [](vostrel::MemoryFileSystem&) {});
  Check(status == want.status, "exit status");
  Check(console.bytes() == want.console, "console text");
  Check(OnDisk("/run.tut") == want.daily, "daily file");
  Check(OnDisk("/run.mut") == want.monthly, "monthly file");
  for (size_t i = 0; i < std::size(kOutputs); ++i) {
    Check(OnDisk(kOutputs[i]) == want.others[i], "a further output");
  }
  Check(ReadFile(path) == bytes, "results file changed");
  CheckStopLine(want.console, bytes);
  if (shows_progress) CheckForm(want);

  const size_t at = size_t{13} * (data[3] >> 2);
  const int kind = (data[0] >> 2) & 3;
  if (kind == 0) return 0;
  const Outcome got = RunInMemory(args, bytes, block_size,
                                  [kind, at](vostrel::MemoryFileSystem& f) {
                                    if (kind == 1)
                                      f.FailReadAfter(dir + "/run.out", at);
                                    if (kind == 2)
                                      f.FailWriteAfter(dir + "/run.tut", at);
                                    if (kind == 3)
                                      f.FailWriteAfter(dir + "/run.mut", at);
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
