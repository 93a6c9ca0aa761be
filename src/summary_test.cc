// Tests of the run summary's JSON strings.
#include "summary.h"

#include <gtest/gtest.h>

#include <string>

namespace vostrel {
namespace {

TEST(AppendJsonStringTest, KeepsUtf8EscapesControlsReplacesTheRest) {
  const std::string kFffd = "\xEF\xBF\xBD";
  const struct {
    std::string bytes;
    std::string json;  // between the quotes
  } kCases[] = {
      {"run1.out", "run1.out"},
      {"a\"b\\c/d", "a\\\"b\\\\c/d"},
      {std::string("\x01\b\t\n\f\r\x1f", 7), "\\u0001\\b\\t\\n\\f\\r\\u001f"},
      {"\x7f", "\\u007f"},
      {"\xC2\x85|\xC2\xA0", "\\u0085|\xC2\xA0"},  // C1 NEL; no-break space
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
       "caf\xC3\xA9 \xE2\x82\xAC "
       "\xF0\x9F\x98\x80"},
      // One U+FFFD for each maximal subpart of an ill-formed sequence.
      {"\xFF", kFffd},
      {"a\xE2\x82", "a" + kFffd},
      {"\xF0\x9F\x98x", kFffd + "x"},
      {"\xC0\xAF", kFffd + kFffd},                          // overlong
      {"\xE0\x80\x80", kFffd + kFffd + kFffd},              // overlong
      {"\xED\xA0\x80", kFffd + kFffd + kFffd},              // a surrogate
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},  // past U+10FFFF
      {"\xE2\x28\xA1", kFffd + "(" + kFffd},
  };
  for (const auto& c : kCases) {
    std::string out;
    AppendJsonString(out, c.bytes);
    EXPECT_EQ("\"" + c.json + "\"", out) << c.json;
  }
}

}  // namespace
}  // namespace vostrel
