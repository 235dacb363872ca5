#include <gtest/gtest.h>

#include "Support/RunningApps.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

TEST(RunningApps, RemembersTheLastInstanceWhileTheListLagsAndForgetsItOnceGone) {
  TestWorld world;
  EXPECT_FALSE(world.runningApps().first("com.example.never"));
  auto pid = world.desktop.launch({.bundleID = "com.example.app", .name = "App"});
  ASSERT_EQ(world.runningApps().first("com.example.app")->pid, pid);

  // The workspace momentarily lists nothing for the identifier, but the process lives.
  world.desktop.app(pid)->bundleID = "com.example.relaunching";
  EXPECT_EQ(world.runningApps().first("com.example.app")->pid, pid);

  // The process is gone: forgotten for good.
  world.desktop.terminate(pid);
  EXPECT_FALSE(world.runningApps().first("com.example.app"));
  world.desktop.app(pid)->terminated = false;  // even if the process came back under that pid
  EXPECT_FALSE(world.runningApps().first("com.example.app"));
}

TEST(RunningApps, SharedAnswersHoldTheFirstAnswerUntilTheLastScopeEnds) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.app", .name = "App"});
  {
    RunningApps::SharedAnswers outer(world.runningApps());
    EXPECT_FALSE(world.runningApps().first("com.example.later"));
    ASSERT_EQ(world.runningApps().first("com.example.app")->pid, pid);
    world.desktop.terminate(pid);
    auto later = world.desktop.launch({.bundleID = "com.example.later", .name = "Later"});
    {
      RunningApps::SharedAnswers inner(world.runningApps());
      EXPECT_EQ(world.runningApps().first("com.example.app")->pid, pid);
    }
    EXPECT_FALSE(world.runningApps().first("com.example.later"));
    EXPECT_TRUE(world.runningApps().first("com.example.app"));
    (void)later;
  }
  EXPECT_FALSE(world.runningApps().first("com.example.app"));
  EXPECT_TRUE(world.runningApps().first("com.example.later"));
}

TEST(RunningApps, AProcessOfAnotherUserStillCounts) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.app", .name = "App"});
  ASSERT_TRUE(world.runningApps().first("com.example.app"));
  world.desktop.app(pid)->bundleID.reset();
  world.desktop.processes().add(pid, {.otherUser = true});
  EXPECT_EQ(world.runningApps().first("com.example.app")->pid, pid);
  world.desktop.processes().add(pid, {.alive = false});
  EXPECT_FALSE(world.runningApps().first("com.example.app"));
}

}  // namespace
}  // namespace velvix
