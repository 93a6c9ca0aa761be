// vostrel's missing-value codes of --missing: numeric codes, matched by
// value, and words, matched by their text before the number scan.
#ifndef VOSTREL_MISSING_H_
#define VOSTREL_MISSING_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text_io.h"

namespace vostrel {

// The items of --missing, sorted by kind.
struct MissingCodes {
  // Items that the number scan converts whole ("-99", "1e30"): a value equal
  // to one of them (by ==) is missing.
  std::vector<double> numbers;
  // Every other item ("NA", "---", "1.#QNAN"): a field of exactly its text
  // is missing.
  std::vector<std::string> words;
  size_t longest_word = 0;

  bool empty() const { return numbers.empty() && words.empty(); }
  bool IsNumber(double value) const;
};

// A word longer than this never matches: a field is matched inside the
// input's window, which must hold the word and one byte more.
inline constexpr size_t kMaxMissingWord = 4096;

// Sorts `items` (none empty, none holding white space or a NUL) by kind,
// leaving out words longer than kMaxMissingWord.
MissingCodes ClassifyMissing(const std::vector<std::string>& items);

// At the first character of a value field (white space already skipped):
// when the text from there up to the next white space, NUL or end of input
// is one of `codes.words`, consumes it and returns true; otherwise consumes
// nothing and returns false. The input's block must hold kMaxMissingWord + 2
// bytes, or the longest word + 2.
bool ConsumeMissingWord(Input& in, const MissingCodes& codes);

// True when `text` begins, after white space, with a field that is exactly
// one of `items` (as far as the next white space or the end of `text`).
bool BeginsWithItem(std::string_view text,
                    const std::vector<std::string>& items);

}  // namespace vostrel

#endif  // VOSTREL_MISSING_H_
