#include <gtest/gtest.h>

#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

std::vector<platform::Pid> pidsOf(const std::vector<platform::RunningApplication>& apps) {
  std::vector<platform::Pid> pids;
  for (const auto& app : apps) pids.push_back(app.pid);
  return pids;
}

// The workspace's lookups follow launches and quits, also a launch under a pid already used.
TEST(SimWorkspace, FindsRunningApplicationsByBundleAndPidAsTheyLaunchAndQuit) {
  test::TestWorld world;
  auto& workspace = world.desktop.workspace();
  world.desktop.launch({.bundleID = "com.example.other", .name = "Other", .pid = 700});
  world.desktop.launch({.bundleID = "com.example.app", .name = "Late", .pid = 650});
  world.desktop.launch({.bundleID = "com.example.app", .name = "Early", .pid = 640});
  EXPECT_EQ(pidsOf(workspace.runningApplications("com.example.app")), (std::vector<platform::Pid>{640, 650}));
  EXPECT_TRUE(workspace.runningApplications("com.example.none").empty());

  world.desktop.terminate(640);
  EXPECT_EQ(pidsOf(workspace.runningApplications("com.example.app")), (std::vector<platform::Pid>{650}));
  EXPECT_TRUE(workspace.isTerminated(640));
  EXPECT_FALSE(workspace.application(640));

  // A new process under pid 650 replaces the application that ran there.
  world.desktop.launch({.bundleID = "com.example.new", .name = "New", .pid = 650});
  EXPECT_TRUE(workspace.runningApplications("com.example.app").empty());
  EXPECT_EQ(pidsOf(workspace.runningApplications("com.example.new")), (std::vector<platform::Pid>{650}));
  EXPECT_EQ(workspace.application(650)->localizedName, "New");
  EXPECT_TRUE(workspace.isTerminated(999));
}

}  // namespace
}  // namespace velvix
