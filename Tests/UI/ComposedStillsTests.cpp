#include <gtest/gtest.h>
#include <QPixmap>
#include <QPixmapCache>

#include "TestSupport/QtTestApplication.hpp"
#include "UI/ComposedStills.hpp"

namespace velvix {
namespace {

// A window taken again on every chord must not leave the compositions of its earlier stills in
// the pixmap cache, and entries the cache has dropped are not remembered without end.
TEST(ComposedStillsTest, AnEntryKeepsOnlyItsNewestCompositionAndDroppedOnesAreForgotten) {
  test::ensureQtApplication();
  QPixmapCache::clear();
  ComposedStills stills;
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
  for (std::size_t i = 0; i < ComposedStills::kForgetAbove; ++i)
    stills.keep("win:" + std::to_string(100 + i), "still", first);
  EXPECT_EQ(stills.size(), ComposedStills::kForgetAbove);  // win:7's was dropped with the rest
}

}  // namespace
}  // namespace velvix
