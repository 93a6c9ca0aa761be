// Tests of the reader and the writer: CR LF folding, the end byte, LF written
// as CR LF and failures. Expected texts follow from the text rules by hand.
#include "text_io.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

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

// Extend keeps what is not yet consumed and folds what it reads on, a CR
// held at a block's end included; it stops where the block is full.
TEST(InputTest, ExtendReadsOnKeepingTheWindow) {
  const auto window = [](const Input& in) {
    return std::string(in.begin(), in.end());
  };
  StringInput in(
      "abc\r\nd\x1a"
      "e",
      4);
  ASSERT_TRUE(in.Refill());
  EXPECT_EQ("abc", window(in));  // the CR waits for what follows
  in.Advance(in.begin() + 1);
  EXPECT_TRUE(in.Extend(3));
  EXPECT_EQ("bc\n", window(in));
  EXPECT_EQ(1u, in.offset());
  EXPECT_FALSE(in.Extend(4));  // "bc\n" and a byte more fill no block of 4
  in.Advance(in.begin() + 2);
  EXPECT_FALSE(in.Extend(3));  // the 0x1A ends the input after "d"
  EXPECT_EQ("\nd", window(in));
  EXPECT_EQ(3u, in.offset());
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

// Keeps each piece handed on separately, with a clock the test sets.
class PieceOutput : public Output {
 public:
  PieceOutput() : Output(size_t{64} * 1024) {}
  std::vector<std::string> pieces;
  std::chrono::steady_clock::time_point now{};

 private:
  bool Put(std::string_view bytes) override {
    pieces.emplace_back(bytes);
    return true;
  }
  std::chrono::steady_clock::time_point Now() const override { return now; }
};

TEST(OutputTest, HandsOnEachLineAndWhatWaitedASecond) {
  using std::chrono::milliseconds;
  PieceOutput out;
  out.Write("kept back\n");  // before the console is set up: buffered
  out.FlushLinesAndEvery(milliseconds(1000));
  const struct {
    const char* text;
    int ms_later;  // the clock's advance before this write
  } kWrites[] = {{"a", 0},   {"1/2001\n", 10},
                 {".", 999}, {".", 1},  // a second since the last piece
                 {".", 500}, {"\nready..\n", 0}};
  for (const auto& w : kWrites) {
    out.now += milliseconds(w.ms_later);
    out.Write(w.text);
  }
  const std::vector<std::string> expected = {"kept back\r\na1/2001\r\n", "..",
                                             ".\r\nready..\r\n"};
  EXPECT_EQ(expected, out.pieces);
}

// A line longer than the buffer goes to the sink as it is, after what was
// buffered before it, so that the buffer does not grow to its length.
TEST(OutputTest, HandsOnALongLineWhole) {
  PieceOutput out;
  const std::string long_line(70000, 'x');
  out.Write("head ");
  out.Write(long_line + "\nend\n");
  EXPECT_TRUE(out.Flush());
  const std::vector<std::string> expected = {"head ", long_line, "\r\nend\r\n"};
  EXPECT_EQ(expected, out.pieces);
}

// A console written through a file stream reaches the system at every piece
// handed on, not when stdio's own buffer fills.
TEST_F(TempDirTest, ConsoleOutputReachesTheFileAtOnce) {
  std::FILE* file = std::fopen(Path("console").string().c_str(), "wb");
  ASSERT_NE(nullptr, file);
  {
    FileOutput console(file);
    console.FlushLinesAndEvery(std::chrono::hours(1));
    console.Write("banner\n.");
    EXPECT_EQ("banner\r\n.", ReadFile(Path("console")));
  }
  std::fclose(file);
}

}  // namespace
}  // namespace vostrel
