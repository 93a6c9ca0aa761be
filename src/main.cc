// The vostrel executable: the run itself lives in the library.
#include <cstdio>
#include <string>
#include <vector>

#include "driver.h"
#include "formats.h"

int main(int argc, char** argv) {
  vostrel::FileOutput console(stdout);
  const vostrel::ExitStatus status =
      vostrel::Main(std::vector<std::string>(argv, argv + argc), console);
  console.Close();
  return static_cast<int>(status);
}
