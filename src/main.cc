// The vostrel executable: the run itself lives in the library.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "driver.h"
#include "file_system.h"
#include "text_io.h"

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A console piped into a reader that quits early must not end the run
  // before the output files are complete: console write errors are ignored.
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef _WIN32
  // vostrel writes its own CR LF; the C runtime's text mode would make the
  // console show CR CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
  // Standard input is read as bytes, as a file is: its CR LF and 0x1A are
  // the tool's to read.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  vostrel::FileOutput console(stdout);
  // The banner, the column line and each month line show as they are
  // written, and the dots of a long month at least every second.
  console.FlushLinesAndEvery(std::chrono::seconds(1));
  vostrel::DiskFileSystem files;
  const vostrel::ExitStatus status = vostrel::Main(
      std::vector<std::string>(argv, argv + argc), console, files);
  console.Close();
  return static_cast<int>(status);
}
