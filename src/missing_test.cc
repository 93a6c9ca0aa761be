// Tests of the --missing items: which are numeric codes and which words.
// How the record loop drops them is tested with the loop.
#include "missing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vostrel {
namespace {

TEST(ClassifyMissingTest, ItemsTheNumberScanConvertsWholeAreNumbers) {
  const struct {
    const char* item;
    bool number;
    double value;
  } kCases[] = {
      {"-99", true, -99.0}, {"-99.0", true, -99.0}, {"1e30", true, 1e30},
      {".5", true, 0.5},    {"1e", true, 1.0},      {"NA", false, 0},
      {"---", false, 0},    {"1.#QNAN", false, 0},  {"-", false, 0},
      {"12abc", false, 0},  {"1.2.3", false, 0},    {"inf", false, 0}};
  for (const auto& c : kCases) {
    const MissingCodes codes = ClassifyMissing({c.item});
    if (c.number) {
      ASSERT_EQ(1u, codes.numbers.size()) << c.item;
      EXPECT_EQ(c.value, codes.numbers[0]) << c.item;
    } else {
      EXPECT_EQ(std::vector<std::string>{c.item}, codes.words) << c.item;
    }
  }
}

TEST(BeginsWithItemTest, MatchesAWholeFieldExactly) {
  const std::vector<std::string> items = {"NA", "-99"};
  const struct {
    const char* text;
    bool match;
  } kCases[] = {{"NA 1\t", true},   {"  NA\t", true}, {"NAN 1", false},
                {"na 1", false},    {"N", false},     {"-99\t", true},
                {"-99.0 1", false}, {"", false}};
  for (const auto& c : kCases) {
    EXPECT_EQ(c.match, BeginsWithItem(c.text, items)) << c.text;
  }
}

}  // namespace
}  // namespace vostrel
