#include <gtest/gtest.h>

#include "App/AppDelegate.hpp"
#include "Input/EventTap.hpp"
#include "Support/AppIdentity.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

TEST(AppDelegate, ARunBeginsWithLaunchedTakesTheChordAndEndsWithQuit) {
  TestWorld world;
  AppDelegate delegate(world.services());
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(world.desktop.activeActivities(), std::vector<std::string>{AppDelegate::kNoNapReason});
  ASSERT_TRUE(delegate.eventTap() && delegate.eventTap()->hasTap());
  EXPECT_EQ(delegate.statusItem().icon(), StatusItemController::Icon::healthy);
  EXPECT_FALSE(world.desktop.symbolicHotKeys().isEnabled(1));
  delegate.applicationWillTerminate();
  EXPECT_TRUE(world.desktop.symbolicHotKeys().isEnabled(1));
  auto lines = world.healthLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "launched");
  EXPECT_EQ(lines.back(), "quit");
}

TEST(AppDelegate, OlderCopyThatQuitsIsWaitedForThenTheLaunchGoesOn) {
  TestWorld world;
  auto old = world.desktop.launch({.bundleID = AppIdentity::kBundleIdentifier, .name = "Velvix", .quitDelay = 0.3});
  AppDelegate delegate(world.services());
  const double before = world.loop.elapsed();
  delegate.applicationDidFinishLaunching();
  EXPECT_TRUE(world.desktop.workspace().isTerminated(old));
  const double waited = world.loop.elapsed() - before;
  EXPECT_GE(waited, 0.3);
  EXPECT_LT(waited, 0.3 + AppDelegate::kOtherInstancesPollSlice + 1e-9);
  EXPECT_FALSE(world.desktop.workspace().isTerminated(world.desktop.selfPid()));
}

TEST(AppDelegate, OlderCopyThatIgnoresTerminationIsLeftRunningAfterTwoSeconds) {
  TestWorld world;
  auto stubborn = world.desktop.launch(
      {.bundleID = AppIdentity::kBundleIdentifier, .name = "Velvix", .ignoresTermination = true});
  AppDelegate delegate(world.services());
  const double before = world.loop.elapsed();
  delegate.applicationDidFinishLaunching();
  EXPECT_NEAR(world.loop.elapsed() - before, AppDelegate::kOtherInstancesDeadline, 0.05 + 1e-9);
  EXPECT_FALSE(world.desktop.workspace().isTerminated(stubborn));
  EXPECT_EQ(world.desktop.activeActivities().size(), 1u);  // the launch went on
}

TEST(AppDelegate, UnrelatedApplicationsAndBundlesWithoutIdentifierAreLeftAlone) {
  TestWorld world;
  auto other = world.desktop.launch({.bundleID = "com.example.other", .name = "Other"});
  world.desktop.app(world.desktop.selfPid())->bundleID.reset();
  auto nameless = world.desktop.launch({.bundleID = "", .name = "No identifier"});
  AppDelegate delegate(world.services());
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(world.loop.elapsed(), 0.0);
  EXPECT_FALSE(world.desktop.workspace().isTerminated(other));
  EXPECT_FALSE(world.desktop.workspace().isTerminated(nameless));
}

}  // namespace
}  // namespace velvix
