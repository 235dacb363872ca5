#include <gtest/gtest.h>

#include "TestSupport/QtTestApplication.hpp"
#include "UI/EntryCompositions.hpp"

namespace velvix {
namespace {

// A still taken again on every chord leaves no earlier compositions in the pixmap cache, and slots
// the cache dropped are forgotten.
TEST(EntryCompositionsTest, ASlotKeepsOnlyItsNewestCompositionAndDroppedOnesAreForgotten) {
  test::ensureQtApplication();
  QPixmapCache::clear();
  EntryCompositions compositions;
  QPixmap first(8, 8), second(8, 8);
  compositions.keep("win:7|still", "still.1", first);
  EXPECT_FALSE(first.isDetached());  // the cache holds it too
  compositions.keep("win:7|still", "still.2", second);
  EXPECT_TRUE(first.isDetached());
  EXPECT_EQ(compositions.find("win:7|still", "still.2").cacheKey(), second.cacheKey());
  QPixmapCache::clear();
  for (std::size_t i = 0; i < EntryCompositions::kForgetAbove; ++i)
    compositions.keep("win:" + std::to_string(100 + i), "still", first);
  EXPECT_EQ(compositions.size(), EntryCompositions::kForgetAbove);  // win:7 went with the cache's contents
}

}  // namespace
}  // namespace velvix
