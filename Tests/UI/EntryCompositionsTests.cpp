#include <gtest/gtest.h>
#include <QPixmap>
#include <QPixmapCache>

#include "TestSupport/QtTestApplication.hpp"
#include "UI/EntryCompositions.hpp"

namespace velvix {
namespace {

// A window taken again on every chord must not leave the compositions of its earlier stills in
// the pixmap cache, and slots whose composition the cache dropped are not remembered without end.
TEST(EntryCompositionsTest, ASlotKeepsOnlyItsNewestCompositionAndDroppedOnesAreForgotten) {
  test::ensureQtApplication();
  QPixmapCache::clear();
  EntryCompositions stills;
  QPixmap first(8, 8), second(8, 8);
  first.fill(Qt::red);
  second.fill(Qt::blue);
  stills.keep("win:7", "still.1", first);
  EXPECT_FALSE(first.isDetached());  // the cache holds it too
  EXPECT_EQ(stills.find("win:7", "still.1").cacheKey(), first.cacheKey());
  stills.keep("win:7", "still.2", second);
  EXPECT_TRUE(first.isDetached());
  EXPECT_TRUE(stills.find("win:7", "still.1").isNull());
  EXPECT_EQ(stills.find("win:7", "still.2").cacheKey(), second.cacheKey());
  EXPECT_TRUE(stills.find("win:8", "still.2").isNull());

  QPixmapCache::clear();
  for (std::size_t i = 0; i < EntryCompositions::kForgetAbove; ++i)
    stills.keep("win:" + std::to_string(100 + i), "still", first);
  EXPECT_EQ(stills.size(), EntryCompositions::kForgetAbove);  // win:7 went with the cache's contents
}

}  // namespace
}  // namespace velvix
