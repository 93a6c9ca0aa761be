// Tests of the 128-bit shift, at the edges where its formula changes.
#include "number_rules.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vostrel {
namespace {

TEST(WideTest, ShiftsLeftAcrossTheHalves) {
  const struct {
    Wide value;
    int bits;
    Wide shifted;
  } kCases[] = {
      {{0, 0x8000000000000001u}, 0, {0, 0x8000000000000001u}},
      {{1, 0x8000000000000001u}, 1, {3, 2}},
      {{0, 0x8000000000000001u},
       63,
       {0x4000000000000000u, 0x8000000000000000u}},
      {{0, 0x8000000000000001u}, 64, {0x8000000000000001u, 0}},
      {{0, 3}, 126, {0xC000000000000000u, 0}},
  };
  for (const auto& c : kCases) {
    const Wide shifted = ShiftLeft(c.value, c.bits);
    EXPECT_EQ(c.shifted.high, shifted.high) << c.bits;
    EXPECT_EQ(c.shifted.low, shifted.low) << c.bits;
  }
}

}  // namespace
}  // namespace vostrel
