// vostrel's output file names, derived from the results file's name.
#ifndef VOSTREL_NAMING_H_
#define VOSTREL_NAMING_H_

#include <string>

namespace vostrel {

struct OutputNames {
  // The name the header block quotes: the input name, with ".$$$" appended
  // when it has no dot or its first dot is its first character.
  std::string input_name;
  // Everything before the last dot of the name as typed (the whole name when
  // ".$$$" was appended).
  std::string base;
  std::string daily;    // base + ".t" + the extension without its first char
  std::string monthly;  // base + ".m" + the same
  std::string yearly;   // base + ".y" + the same, written with --yearly
};

// Derives the output names from the results file's name as typed. Every dot
// counts, directory parts included; no path syntax is interpreted.
OutputNames DeriveOutputNames(const std::string& typed_name);

}  // namespace vostrel

#endif  // VOSTREL_NAMING_H_
