// Tests for the output file names derived from the results file's name.
#include "naming.h"

#include <gtest/gtest.h>

namespace vostrel {
namespace {

struct NamingCase {
  const char* typed;
  const char* input_name;  // the name the header block quotes
  const char* base;
  const char* daily;
  const char* monthly;
};

void ExpectNames(const NamingCase& c) {
  const OutputNames names = DeriveOutputNames(c.typed);
  EXPECT_EQ(c.input_name, names.input_name) << "case " << c.typed;
  EXPECT_EQ(c.base, names.base) << "case " << c.typed;
  EXPECT_EQ(c.daily, names.daily) << "case " << c.typed;
  EXPECT_EQ(c.monthly, names.monthly) << "case " << c.typed;
}

// The yearly file follows the same rule with ".y".
TEST(DeriveOutputNamesTest, NamesTheYearlyFileLikeTheOthers) {
  EXPECT_EQ("run1.yut", DeriveOutputNames("run1.out").yearly);
  EXPECT_EQ("run1.y$$", DeriveOutputNames("run1").yearly);
  EXPECT_EQ("run1.y", DeriveOutputNames("run1.x").yearly);
}

TEST(DeriveOutputNamesTest, ReplacesTheExtensionsFirstCharacter) {
  const NamingCase kCases[] = {
      {"run1.out", "run1.out", "run1", "run1.tut", "run1.mut"},
      {"run1.x", "run1.x", "run1", "run1.t", "run1.m"},
      {"run1.", "run1.", "run1", "run1.t", "run1.m"},
      {"run1.output", "run1.output", "run1", "run1.tutput", "run1.mutput"},
      {"my run.out", "my run.out", "my run", "my run.tut", "my run.mut"},
  };
  for (const NamingCase& c : kCases) ExpectNames(c);
}

TEST(DeriveOutputNamesTest, OnlyTheLastDotStartsTheExtension) {
  const NamingCase kCases[] = {
      {"a.b.csv", "a.b.csv", "a.b", "a.b.tsv", "a.b.msv"},
      {"res.out.bak", "res.out.bak", "res.out", "res.out.tak", "res.out.mak"},
      {"run.1.2", "run.1.2", "run.1", "run.1.t", "run.1.m"},
      {"x..y", "x..y", "x.", "x..t", "x..m"},
      {"run1.x.", "run1.x.", "run1.x", "run1.x.t", "run1.x.m"},
  };
  for (const NamingCase& c : kCases) ExpectNames(c);
}

// ".$$$" goes onto the quoted name only; the base stays the name as typed,
// so the output names end in "$$".
TEST(DeriveOutputNamesTest, NameWithoutUsableDotGetsDollarExtension) {
  const NamingCase kCases[] = {
      {"run1", "run1.$$$", "run1", "run1.t$$", "run1.m$$"},
      {"./run1.out", "./run1.out.$$$", "./run1.out", "./run1.out.t$$",
       "./run1.out.m$$"},
      {"../data/run1", "../data/run1.$$$", "../data/run1", "../data/run1.t$$",
       "../data/run1.m$$"},
      {".hidden", ".hidden.$$$", ".hidden", ".hidden.t$$", ".hidden.m$$"},
      {"..", "...$$$", "..", "...t$$", "...m$$"},
      {".", "..$$$", ".", "..t$$", "..m$$"},
      {"", ".$$$", "", ".t$$", ".m$$"},
  };
  for (const NamingCase& c : kCases) ExpectNames(c);
}

// No path syntax: a dot in a directory part is the last dot when the file
// part has none, and the outputs then name another directory.
TEST(DeriveOutputNamesTest, DotInDirectoryPartCountsLikeAnyOther) {
  const NamingCase kCases[] = {
      {"dir.v2/run1", "dir.v2/run1", "dir", "dir.t2/run1", "dir.m2/run1"},
      {"a.t/b", "a.t/b", "a", "a.t/b", "a.m/b"},
      {"d.x\\run1", "d.x\\run1", "d", "d.t\\run1", "d.m\\run1"},
  };
  for (const NamingCase& c : kCases) ExpectNames(c);
}

}  // namespace
}  // namespace vostrel
