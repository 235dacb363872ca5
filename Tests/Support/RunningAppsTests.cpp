#include <gtest/gtest.h>

#include "Core/ChordSnapshot.hpp"
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

// A chord's start asks whether each browser runs once: its snapshot keeps the first answer, and
// the next chord's snapshot asks again.
TEST(RunningApps, AChordSnapshotKeepsItsFirstAnswerAndTheNextAsksAgain) {
  TestWorld world;
  auto chrome = world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  const ChordSnapshot snapshot(world.windowList(), world.runningApps());
  EXPECT_FALSE(snapshot.runningBrowser(Browser::brave));
  ASSERT_TRUE(snapshot.runningBrowser(Browser::chrome));
  EXPECT_EQ(snapshot.runningBrowser(Browser::chrome)->pid, chrome);
  world.desktop.terminate(chrome);
  auto brave = world.desktop.launch({.bundleID = "com.brave.Browser", .name = "Brave Browser"});
  EXPECT_EQ(snapshot.runningBrowser(Browser::chrome)->pid, chrome);
  EXPECT_FALSE(snapshot.runningBrowser(Browser::brave));

  const ChordSnapshot next(world.windowList(), world.runningApps());
  EXPECT_FALSE(next.runningBrowser(Browser::chrome));
  ASSERT_TRUE(next.runningBrowser(Browser::brave));
  EXPECT_EQ(next.runningBrowser(Browser::brave)->pid, brave);
  EXPECT_FALSE(world.runningApps().first("com.google.Chrome"));
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
