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
  // `piece` holds the last line read; a read that finds the input ended
  // must not take it away, so the next read goes to `next`.
  std::string piece;
  std::string next;
  int32_t lines_before = 0;
  for (;;) {
    if (!ReadLine(in, piece)) return false;
    const bool data_line = BeginsWithNumber(LineText(piece));
    // A NUL ends a line's text, LF included, so the line after it is taken
    // in, and the last line taken is the one whose columns count.
    while (!EndsWithLf(LineText(piece)) && ReadLine(in, next)) piece.swap(next);
    if (in.line_too_long()) return false;
    if (data_line) {
      header_rows = lines_before;
      piece.resize(LineText(piece).size());
      line.swap(piece);
      return true;
    }
    if (lines_before < std::numeric_limits<int32_t>::max()) ++lines_before;
  }
}

namespace {

// Cuts one field off the front of `line`'s text from `pos` on: from the
// earlier of its first space and first tab (from `pos` when it has neither),
// then past every space and tab that follows. Returns where the rest starts.
size_t CutField(std::string_view line, size_t pos) {
  size_t cut = line.find_first_of(" \t", pos);
  if (cut == std::string_view::npos) cut = pos;
  return std::min(line.find_first_not_of(" \t", cut), line.size());
}

}  // namespace

int32_t CountColumns(std::string& line,
                     const std::vector<std::string>& missing) {
  // Each cut moves a position instead of copying the rest of the line, so a
  // line of many columns costs time in proportion to its length.
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) pos = CutField(line, pos);
  line += '\t';
  int32_t count = 0;
  for (;;) {
    const std::string_view rest = std::string_view(line).substr(pos);
    const bool number = BeginsWithNumber(rest) ||
                        (!missing.empty() && BeginsWithItem(rest, missing));
    pos = CutField(line, pos);
    if (!number) break;
    ++count;
  }
  line.erase(0, pos);
  return count;
}

}  // namespace vostrel
