#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "host/runtime_error.h"
#include "test_support.h"
#include "schedule/shift.h"

namespace addin {
namespace {

using test::ErrorOf;

TEST(Shift, MaskTable) {
  EXPECT_EQ(kMaskTable[0], 1);
  EXPECT_EQ(kMaskTable[1], 3);
  EXPECT_EQ(kMaskTable[2], 7);
  EXPECT_EQ(kMaskTable[3], 15);
  EXPECT_EQ(kMaskTable[29], (1 << 30) - 1);
  EXPECT_EQ(kMaskTable[30], 2147483647);
  EXPECT_EQ(kMaskTable[31], -1);
}

TEST(Shift, KnownValues) {
  const struct {
    std::int32_t value;
    std::int16_t count;
    std::int32_t left, right;
  } cases[] = {
      {1, 1, 2, 0},
      {5, 3, 40, 0},
      {24, 3, 192, 3},
      {25, 1, 50, 12},
      {0x40000000, 1, INT32_MIN, 0x20000000},
      {0x7FFFFFFF, 1, -2, 0x3FFFFFFF},
      {-1, 7, -128, 0x01FFFFFF},
      {-2, 1, -4, 2147483647},
      {-1, 30, static_cast<std::int32_t>(0xC0000000U), 3},
      {INT32_MIN, 1, 0, 0x40000000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShiftLeft(c.value, c.count), c.left) << c.value << " << " << c.count;
    EXPECT_EQ(ShiftRight(c.value, c.count), c.right) << c.value << " >> " << c.count;
  }
}

// For every supported count and many values, the shifts are the 32-bit two's-complement left
// shift and the logical right shift of the same bit pattern.
TEST(Shift, EqualsTheBitPatternShifts) {
  std::mt19937 random(20261209);
  std::vector<std::int32_t> values = {0, 1, -1, 2, -2, INT32_MIN, INT32_MAX, 0x55555555, -0x55555555};
  for (int k = 0; k < 32; ++k) values.insert(values.end(), {1 << k, static_cast<std::int32_t>((1U << k) - 1)});
  for (int i = 0; i < 20000; ++i) values.push_back(static_cast<std::int32_t>(random()));
  for (std::int16_t n = 1; n <= 30; ++n) {
    for (std::int32_t v : values) {
      const auto bits = static_cast<std::uint32_t>(v);
      ASSERT_EQ(ShiftLeft(v, n), static_cast<std::int32_t>(bits << n)) << v << " << " << n;
      ASSERT_EQ(ShiftRight(v, n), static_cast<std::int32_t>(bits >> n)) << v << " >> " << n;
    }
  }
}

TEST(Shift, CountsOutsideOneToThirtyFail) {
  const struct {
    std::int32_t value;
    std::int16_t count;
    int left, right;  // error numbers; -1: a value (0)
  } cases[] = {
      {5, 0, kOverflow, kDivisionByZero},      {-5, 0, kOverflow, kDivisionByZero},
      {6, 31, -1, kOverflow},                  {5, 31, kSubscriptOutOfRange, kOverflow},
      {5, 32, kSubscriptOutOfRange, kOverflow}, {5, -1, kOverflow, kDivisionByZero},
      {5, 32767, kSubscriptOutOfRange, kOverflow}, {5, -32768, kOverflow, kDivisionByZero},
  };
  for (const auto& c : cases) {
    std::int32_t got = 99;
    EXPECT_EQ(ErrorOf([&] { got = ShiftLeft(c.value, c.count); }), c.left == -1 ? 0 : c.left) << c.count;
    if (c.left == -1) {
      EXPECT_EQ(got, 0);
    }
    EXPECT_EQ(ErrorOf([&] { ShiftRight(c.value, c.count); }), c.right) << c.count;
  }
}

}  // namespace
}  // namespace addin
