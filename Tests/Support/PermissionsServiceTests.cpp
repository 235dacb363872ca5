#include <gtest/gtest.h>

#include "Support/PermissionsService.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using platform::Privacy;
using test::TestWorld;

const std::string kPane = PermissionsService::kPanePrefix;

TEST(PermissionsService, FirstRequestPromptsAndTheSecondOpensThePane) {
  TestWorld world;
  world.desktop.privacy.screenCapture = false;
  PermissionsService& permissions = world.permissions();
  permissions.requestScreenRecording();
  EXPECT_EQ(world.desktop.privacy.prompts, std::vector<std::string>{"screenCapture"});
  EXPECT_TRUE(world.defaults.boolean("prompted_screenRecording"));
  EXPECT_EQ(world.desktop.application().deactivations, 1);
  EXPECT_TRUE(world.desktop.openedURLs.empty());

  permissions.requestScreenRecording();
  EXPECT_EQ(world.desktop.privacy.prompts.size(), 1u);
  EXPECT_EQ(world.desktop.openedURLs, std::vector<std::string>{kPane + "Privacy_ScreenCapture"});
}

TEST(PermissionsService, PermissionPromptedInAnEarlierRunOpensThePaneAtOnce) {
  TestWorld world;
  world.desktop.accessibilityTrusted = false;
  world.defaults.set("prompted_accessibility", true);
  world.permissions().requestAccessibility();
  EXPECT_TRUE(world.desktop.privacy.prompts.empty());
  EXPECT_EQ(world.desktop.openedURLs, std::vector<std::string>{kPane + "Privacy_Accessibility"});
}

TEST(PermissionsService, InputMonitoringAsksTheSystemWhetherItWasPrompted) {
  TestWorld world;
  world.desktop.privacy.listenEvent = platform::ListenEventAccess::undetermined;
  world.defaults.set("prompted_inputMonitoring", true);  // the key does not decide for this one
  world.permissions().requestInputMonitoring();
  EXPECT_EQ(world.desktop.privacy.prompts, std::vector<std::string>{"listenEvent"});

  TestWorld denied;
  denied.desktop.privacy.listenEvent = platform::ListenEventAccess::denied;
  denied.permissions().requestInputMonitoring();
  EXPECT_EQ(denied.desktop.openedURLs, std::vector<std::string>{kPane + "Privacy_ListenEvent"});
}

TEST(PermissionsService, AutomationStatusOfABrowserNotRunningStartsNoCheck) {
  TestWorld world;
  EXPECT_EQ(world.permissions().automationStatus(Browser::chrome), Privacy::kAutomationNotRunning);
  world.loop.advance(1);
  EXPECT_EQ(world.desktop.privacy.automationQueries, 0);
}

TEST(PermissionsService, ConcurrentRefreshesShareOneQueryAndAnswerInOrder) {
  TestWorld world;
  world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  world.desktop.privacy.automation["com.google.Chrome"] = Privacy::kAutomationGranted;
  std::vector<std::pair<int, std::int32_t>> answers;
  world.permissions().refreshAutomationStatus(Browser::chrome, [&](std::int32_t s) {
    answers.push_back({1, s});
  });
  world.permissions().refreshAutomationStatus(Browser::chrome, [&](std::int32_t s) {
    answers.push_back({2, s});
  });
  world.loop.advance(1);
  EXPECT_EQ(world.desktop.privacy.automationQueries, 1);
  EXPECT_EQ(answers, (std::vector<std::pair<int, std::int32_t>>{{1, 0}, {2, 0}}));
  ASSERT_TRUE(world.permissions().automationCacheEntry(Browser::chrome));
  EXPECT_EQ(world.permissions().automationStatus(Browser::chrome), 0);
}

TEST(PermissionsService, CachedStatusGoesStaleAfterSixtySeconds) {
  TestWorld world;
  world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  world.desktop.privacy.automationLatency = 0;
  PermissionsService& permissions = world.permissions();
  EXPECT_EQ(permissions.automationStatus(Browser::chrome),
            Privacy::kAutomationNotRunning);  // nothing known yet
  world.loop.runUntilIdle();
  EXPECT_EQ(permissions.automationStatus(Browser::chrome), Privacy::kAutomationWouldRequireConsent);
  const int queries = world.desktop.privacy.automationQueries;

  world.loop.advance(60.0);
  permissions.automationStatus(Browser::chrome);  // exactly 60 s: still fresh
  world.loop.runUntilIdle();
  EXPECT_EQ(world.desktop.privacy.automationQueries, queries);

  world.loop.advance(0.1);
  world.desktop.privacy.automation["com.google.Chrome"] = Privacy::kAutomationDenied;
  EXPECT_EQ(permissions.automationStatus(Browser::chrome), Privacy::kAutomationWouldRequireConsent);  // stale
  world.loop.runUntilIdle();
  EXPECT_EQ(world.desktop.privacy.automationQueries, queries + 1);
  EXPECT_EQ(permissions.automationStatus(Browser::chrome), Privacy::kAutomationDenied);
}

TEST(PermissionsService, RequestingAutomationLaunchesTheBrowserWaitsAndAsks) {
  TestWorld world;
  world.desktop.install({.bundleID = "com.brave.Browser",
                         .name = "Brave Browser",
                         .path = "/Applications/Brave Browser.app",
                         .launchTime = 2.0});
  world.permissions().requestAutomation(Browser::brave);
  world.loop.advance(1.0);
  EXPECT_TRUE(world.desktop.privacy.prompts.empty());  // still launching
  world.loop.advance(1.5);
  EXPECT_EQ(world.desktop.privacy.prompts, std::vector<std::string>{"automation:com.brave.Browser"});

  world.permissions().requestAutomation(Browser::vivaldi);  // not installed: nothing
  world.loop.advance(20);
  EXPECT_EQ(world.desktop.privacy.prompts.size(), 1u);
}

TEST(PermissionsService, BrowserThatNeverFinishesLaunchingGetsNoProbe) {
  TestWorld world;
  world.desktop.install({.bundleID = "com.brave.Browser",
                         .name = "Brave Browser",
                         .path = "/Applications/Brave Browser.app",
                         .launchTime = 30.0});
  world.permissions().requestAutomation(Browser::brave);
  world.loop.advance(40);
  EXPECT_TRUE(world.desktop.privacy.prompts.empty());
}

TEST(PermissionsService, RelaunchPassesTheBundlePathAsDataNotScript) {
  TestWorld world;
  world.desktop.app(world.desktop.selfPid())->bundlePath = "/Apps/My \"Quoted\" $HOME `x` \\ App.app";
  PermissionsService& permissions = world.permissions();  // the world first: it sets its own quit handler
  int terminated = 0;
  world.desktop.application().onTerminate = [&] { ++terminated; };
  permissions.relaunchApp();
  ASSERT_EQ(world.desktop.launcher().spawned.size(), 1u);
  const auto& spawned = world.desktop.launcher().spawned[0];
  EXPECT_EQ(spawned.program, "/bin/sh");
  ASSERT_EQ(spawned.arguments.size(), 4u);
  EXPECT_EQ(spawned.arguments[0], "-c");
  EXPECT_EQ(spawned.arguments[1], "while /bin/kill -0 " + std::to_string(world.desktop.selfPid()) +
                                      " 2>/dev/null; do /bin/sleep 0.2; done\n/usr/bin/open -a \"$1\"");
  EXPECT_EQ(spawned.arguments[3], "/Apps/My \"Quoted\" $HOME `x` \\ App.app");
  EXPECT_EQ(terminated, 1);

  world.desktop.launcher().failure = "no shell";
  permissions.relaunchApp();
  EXPECT_EQ(terminated, 1);  // keeps running
}

}  // namespace
}  // namespace velvix
