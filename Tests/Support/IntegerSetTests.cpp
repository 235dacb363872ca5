#include "Support/IntegerSet.hpp"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace velvix {
namespace {

TEST(IntegerSet, HoldsEachValueOnceThroughGrowthAndTheExtremes) {
  IntegerSet set;
  EXPECT_TRUE(set.empty());
  EXPECT_FALSE(set.contains(0));
  const std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
  const std::int64_t highest = std::numeric_limits<std::int64_t>::max();
  EXPECT_TRUE(set.insert(lowest));
  EXPECT_FALSE(set.insert(lowest));
  EXPECT_TRUE(set.contains(lowest));
  // Runs of neighbouring values and multiples of large powers of two, well past the first table.
  for (std::int64_t v = -500; v < 3000; ++v) EXPECT_TRUE(set.insert(v * 3));
  for (std::int64_t v = 1; v <= 40; ++v) EXPECT_TRUE(set.insert(v << 20));
  EXPECT_TRUE(set.insert(highest));
  EXPECT_FALSE(set.insert(2997));
  EXPECT_EQ(set.size(), 1u + 3500u + 40u + 1u);
  for (std::int64_t v = -1600; v < 9100; ++v)
    EXPECT_EQ(set.contains(v), v % 3 == 0 && v >= -1500 && v < 9000) << v;
  EXPECT_TRUE(set.contains(highest) && set.contains(lowest) && set.contains(5ll << 20));
  EXPECT_FALSE(set.contains(highest - 1));
}

}  // namespace
}  // namespace velvix
