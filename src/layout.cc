// vostrel's layout analysis. Column counting works on the text of one line
// with deliberately simple cuts: files written years ago were counted this
// way, and their odd counts (a leading blank, semicolons) are kept.
#include "layout.h"

#include <algorithm>
#include <limits>

namespace vostrel {

namespace {

// Takes one whole line: reads until a read's text ends with LF or the input
// ends. Returns false when not one character could be read. `first` receives
// the first read's text, `last` the last read's, each as far as its first
// NUL.
bool ReadWholeLine(Input& in, std::string& first, std::string& last) {
  std::string piece;
  if (!ReadLine(in, piece)) return false;
  first = LineText(piece);
  last = first;
  while (last.empty() || last.back() != '\n') {
    if (!ReadLine(in, piece)) break;
    last = LineText(piece);
  }
  return true;
}

bool BeginsWithNumber(const std::string& text) {
  StringInput in(text, text.size() + 1);
  double value;
  return ScanNumber(in, value) == Scan::kNumber;
}

}  // namespace

bool FindFirstDataLine(Input& in, int32_t& header_rows, std::string& line) {
  std::string first;
  int32_t lines_before = 0;
  for (;;) {
    if (!ReadWholeLine(in, first, line)) return false;
    if (BeginsWithNumber(first)) {
      header_rows = lines_before;
      return true;
    }
    if (lines_before < std::numeric_limits<int32_t>::max()) ++lines_before;
  }
}

void CutField(std::string& line) {
  const size_t space = line.find(' ');
  const size_t tab = line.find('\t');
  size_t cut = std::min(space, tab);
  if (cut == std::string::npos) cut = 0;
  cut = std::min(line.find_first_not_of(" \t", cut), line.size());
  line.erase(0, cut);
}

int32_t CountColumns(std::string& line) {
  for (int i = 0; i < 4; ++i) CutField(line);
  line += '\t';
  int32_t count = 0;
  for (;;) {
    const bool number = BeginsWithNumber(line);
    CutField(line);
    if (!number) return count;
    ++count;
  }
}

}  // namespace vostrel
