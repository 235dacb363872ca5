#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "App/AppDelegate.hpp"
#include "Input/EventTap.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/TestWorld.hpp"
#include "TestSupport/UserFiles.hpp"
#include "UI/OnboardingWindowController.hpp"

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
  auto old =
      world.desktop.launch({.bundleID = AppIdentity::kBundleIdentifier, .name = "Velvix", .quitDelay = 0.3});
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

TEST(AppDelegate, LaunchReconcilesTheUsersFilesAndAsksForConsentOnlyOnceTheSetUpWindowIsClosed) {
  TestWorld world;
  const auto home = world.home.path();
  test::writeFile(home / ".zshrc", "export A=1\n");
  test::writeFile(home / ".vscode" / "extensions" / "someone.else-1.0" / "package.json", "{}");
  std::filesystem::create_directories(home / "Library" / "Application Support" / "Code" / "User");
  test::writeFile(world.resourceFolder.path() / "VSCodeExtension" / "package.json", "{}");
  world.preferences().hasCompletedOnboarding.set(true);
  world.preferences().vscodeTabsEnabled.set(true);
  world.desktop.privacy.listenEvent = platform::ListenEventAccess::denied;  // the set-up window opens
  OnboardingWindowController& setUp = *world.services().onboardingWindow;   // the application's own
  auto& app = world.desktop.application();
  app.alertAnswer = 1;  // "Not Now" to the editor keys

  AppDelegate delegate(world.services());
  delegate.applicationDidFinishLaunching();
  EXPECT_TRUE(
      std::filesystem::exists(home / ".vscode" / "extensions" / "velvix.velvix-1.0.1" / "package.json"));
  ASSERT_TRUE(setUp.window());
  world.loop.advance(10);
  EXPECT_TRUE(app.alertsShown.empty());

  setUp.window()->close();
  world.loop.advance(1);
  EXPECT_EQ(app.alertsShown, (std::vector<std::string>{VSCodeKeybindingsInstaller::kConsentMessage,
                                                       TerminalIntegrationInstaller::kConsentMessage}));
  app.answerAlert(0);
  world.loop.runUntilIdle();
  EXPECT_EQ(test::readFile(home / ".zshrc"), std::string("export A=1\n\n") +
                                                 TerminalIntegrationInstaller::kOpeningFence + "\n" +
                                                 TerminalIntegrationInstaller::kSourceLine + "\n" +
                                                 TerminalIntegrationInstaller::kClosingFence + "\n");
  EXPECT_FALSE(std::filesystem::exists(home / "Library" / "Application Support" / "Code" / "User" /
                                       "keybindings.json"));
}

// A quit that arrives while the launch waits for an older copy ends the run there: the rest of the
// launch never runs, so Command-Tab is never taken, and "quit" stays the last line.
TEST(AppDelegate, AQuitDuringTheWaitForAnOlderCopyIsFinal) {
  test::AppWorld w;
  w.desktop.launch(
      {.bundleID = AppIdentity::kBundleIdentifier, .name = "Velvix", .ignoresTermination = true});
  platform::Timer quit;
  w.beforeLaunch = [&](Services& s) { quit = s.loop->after(0.3, [&] { w.app->terminate(); }); };
  w.launch();
  w.pause(AppDelegate::kTapRetryInterval * 2);
  EXPECT_TRUE(w.app->hasTerminated());
  EXPECT_EQ(w.app->delegate().eventTap(), nullptr);
  EXPECT_TRUE(w.desktop.activeActivities().empty());
  EXPECT_TRUE(w.desktop.symbolicHotKeys().isEnabled(1));
  const auto lines = w.healthLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "quit");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "quit"), 1);
}

}  // namespace
}  // namespace velvix
