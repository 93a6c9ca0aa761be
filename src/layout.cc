// vostrel's layout analysis. Column counting works on the text of one line
// with deliberately simple cuts: files written years ago were counted this
// way, and their odd counts (a leading blank, semicolons) are kept.
#include "layout.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "missing.h"
#include "scan.h"

namespace vostrel {

namespace {

// True when a number scan at the start of `text` converts a number: after
// white space, an optional sign, then a digit, or a point and a digit. Every
// longer token of the number form starts so, and nothing else converts.
bool BeginsWithNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

bool EndsWithLf(std::string_view text) {
  return !text.empty() && text.back() == '\n';
}

}  // namespace

bool FindFirstDataLine(Input& in, int32_t& header_rows, std::string& line) {
  // `piece` holds the last read of the current line; a read that finds the
  // input ended must not take it away, so the next read goes to `next`.
  std::string piece;
  std::string next;
  int32_t lines_before = 0;
  for (;;) {
    if (!ReadLine(in, piece)) return false;
    // Only the first read of a line is tested; a NUL ends its text.
    const bool data_line = BeginsWithNumber(LineText(piece));
    while (!EndsWithLf(LineText(piece)) && ReadLine(in, next)) piece.swap(next);
    if (data_line) {
      header_rows = lines_before;
      line.assign(LineText(piece));
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

int32_t CountColumns(std::string& line,
                     const std::vector<std::string>& missing) {
  for (int i = 0; i < 4; ++i) CutField(line);
  line += '\t';
  int32_t count = 0;
  for (;;) {
    const bool number = BeginsWithNumber(line) ||
                        (!missing.empty() && BeginsWithItem(line, missing));
    CutField(line);
    if (!number) return count;
    ++count;
  }
}

}  // namespace vostrel
