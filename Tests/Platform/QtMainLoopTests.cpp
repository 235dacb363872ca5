#include <gtest/gtest.h>

#include "Platform/Qt/QtMainLoop.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

// Recency is kept by the loop's clock: the wall clock set back an hour (a correction from the
// network) must not put a later activation before an earlier one; the clock starts at the wall
// clock's time, so dates stored by one run keep their meaning in the next.
TEST(QtMainLoop, ItsClockNeverGoesBackWhenTheWallClockIsSetBack) {
  test::ensureQtApplication();
  double wall = 1.8e9;
  qt::QtMainLoop loop([&] { return wall; });
  const double first = loop.now();
  wall -= 3600;
  loop.runFor(0.01);
  EXPECT_NEAR(first, 1.8e9, 1.0);
  EXPECT_GT(loop.now(), first);
}

}  // namespace
}  // namespace velvix
