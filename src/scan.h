// vostrel's scans over an Input: the number scan, the date-field scan and
// the line read.
#ifndef VOSTREL_SCAN_H_
#define VOSTREL_SCAN_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "text_io.h"

namespace vostrel {

// The outcome of a scan.
enum class Scan {
  kNumber,      // a number was converted
  kNoNumber,    // the next character cannot start a number
  kEndOfInput,  // the input ended before anything was matched
};

// Returns true for the white space the scans skip: space, tab, LF, VT, FF, CR.
inline bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Number scan. Skips white space, line ends included, then consumes the
// longest text of the form [+-] digits [. digits] [(e|E) [+-] digits], with at
// least one mantissa digit; an exponent letter and sign without digits are
// consumed and ignored. What matched is consumed even when it is no number
// ("-x" leaves "x"). Sets `value` only on kNumber, to the nearest double
// (beyond the range: infinity of the sign; below it: zero or a subnormal).
// kEndOfInput when the input ends before a digit, also after a lone sign or
// point.
Scan ScanNumber(Input& in, double& value);

// Date-field scan: white space, an optional sign and decimal digits, the value
// wrapping modulo 2^32 into a signed 32-bit integer. Consumes like ScanNumber
// (a lone sign is consumed); sets `value` only on kNumber.
Scan ScanDate(Input& in, int32_t& value);

// Skips scan white space, line ends included, and tells in `line_end`
// whether an LF was among it. Returns false when the input ends first.
bool SkipScanSpace(Input& in, bool& line_end);

// Line read: takes the characters up to and including the next LF, however
// many, or what is left of the input. Returns false, with `line` empty, when
// the input has ended before any character, or when it ends inside a line
// longer than its limit (in.line_too_long(); what was taken of that line is
// consumed and dropped). The text may hold NUL bytes; consumers that treat
// it as text stop at the first one.
bool ReadLine(Input& in, std::string& line);
// The same read, discarding the text.
bool SkipLine(Input& in);

// The text of a line read as far as its first NUL byte.
std::string_view LineText(const std::string& line);

// A place in the input, as a person finds it in an editor.
struct TextPlace {
  int64_t line = 1;  // counted from 1; each LF (a folded CR LF) ends a line
  std::string text;  // the text found there
};

// Rewinds `in` and counts the lines up to folded offset `offset`: `line` is
// the line, counted from 1, of the character there (or of the end of the
// input, when it ends first). Leaves `in` at that offset. Returns false when
// `in` cannot be rewound or a read fails.
bool FindLineAt(Input& in, uint64_t offset, int64_t& line);

// Rewinds `in` and finds the first character at or after folded offset
// `offset` that is not white space: its line, and the text from it up to the
// next white space, NUL byte or end of input, at most `max_text` bytes (empty
// when the character is a NUL, or when the input ends first). Leaves `in`
// somewhere after that text. Returns false when `in` cannot be rewound or a
// read fails.
bool FindTextAt(Input& in, uint64_t offset, size_t max_text, TextPlace& place);

}  // namespace vostrel

#endif  // VOSTREL_SCAN_H_
