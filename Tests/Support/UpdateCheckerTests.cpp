#include <gtest/gtest.h>

#include "App/AppDelegate.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

TEST(UpdateChecker, StartsAtLaunchChecksOnRequestAndLearnsOfTheRelaunch) {
  test::TestWorld world;
  AppDelegate delegate(world.services());
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(world.updaterFramework().starts, 1);
  EXPECT_EQ(world.updaterFramework().checks, 0);
  delegate.checkForUpdatesMenuItem();
  EXPECT_EQ(world.updaterFramework().checks, 1);

  EXPECT_FALSE(world.updateChecker().isRelaunchingForUpdate());
  world.updaterFramework().announceRelaunch();
  world.loop.runUntilIdle();
  EXPECT_TRUE(world.updateChecker().isRelaunchingForUpdate());
}

}  // namespace
}  // namespace velvix
