// Tests of the reader and the writer: CR LF folding, the end byte, LF written
// as CR LF and failures. Expected texts follow from the text rules by hand.
#include "text_io.h"

#include <gtest/gtest.h>

#include <string>

#include "string_io.h"
#include "test_util.h"

namespace vostrel {
namespace {

TEST(InputTest, FoldsCrLfAndStopsAtEndOfFileByte) {
  const struct {
    const char* name;
    std::string raw;
    std::string seen;
  } kCases[] = {
      {"crlf", "a\r\nb\r\n", "a\nb\n"},
      {"lone cr is data", "a\rb\r", "a\rb\r"},
      {"cr before crlf", "a\r\r\nb", "a\r\nb"},
      {"cr cr lf lf", "\r\r\n\n", "\r\n\n"},
      {"end byte",
       std::string("ab\x1a"
                   "cd\r\n"),
       "ab"},
      {"cr then end byte", std::string("ab\r\x1a\n"), "ab\r"},
      {"end byte first",
       std::string("\x1a"
                   "abc"),
       ""},
      {"empty", "", ""},
  };
  for (const auto& c : kCases) {
    // Small blocks put every pair across a block boundary somewhere.
    for (size_t block : {2u, 3u, 5u, 64u}) {
      StringInput in(c.raw, block);
      EXPECT_EQ(c.seen, Rest(in)) << "case " << c.name << ", block " << block;
      ASSERT_TRUE(in.Rewind());
      EXPECT_EQ(c.seen, Rest(in))
          << "case " << c.name << " after rewind, block " << block;
    }
  }
}

TEST(OutputTest, WritesEachLfAsCrLf) {
  StringOutput out;
  out.Write("a\nb");
  out.Write("\n\n");
  out.Write("c\rd");
  EXPECT_TRUE(out.Flush());
  EXPECT_EQ("a\r\nb\r\n\r\nc\rd", out.bytes());
}

TEST(OutputTest, WritesNothingAfterTheFirstFailure) {
  StringOutput out;
  out.FailAfter(4);
  out.Write("ab\n");  // four bytes with the CR
  EXPECT_TRUE(out.ok());
  out.Write("c");
  EXPECT_FALSE(out.ok());
  out.FailAfter(100);
  out.Write("d");
  EXPECT_FALSE(out.Flush());
  EXPECT_EQ("ab\r\n", out.bytes());
}

}  // namespace
}  // namespace vostrel
