#include <gtest/gtest.h>

#include "Core/Preferences.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimUpdater.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsWindowController.hpp"
#include "UI/StatusItemController.hpp"

namespace velvix {
namespace {

using Icon = StatusItemController::Icon;

struct StatusItemTest : ::testing::Test {
  test::TestWorld world;
  sim::SimMenuBar bar;
  // The application's own windows.
  SettingsWindowController& settings = *world.services().settingsWindow;
  OnboardingWindowController& setUp = *world.services().onboardingWindow;
  bool tapRunning = true;
  StatusItemController item{world.desktop.application(), bar,      world.preferences(),
                            world.updateChecker(),       settings, setUp};

  StatusItemTest() {
    test::ensureQtApplication();  // the settings window is made of widgets
    world.services().menuBar = &bar;
    item.tapEnabled = [this] { return tapRunning; };
    item.install();
  }
  // The visible titles of the menu as it opens now (separators as "-").
  std::vector<std::string> shown() {
    std::vector<std::string> titles;
    for (const auto& i : bar.openStatusMenu()->items)
      if (!i->hidden) titles.push_back(i->separator ? "-" : i->title);
    return titles;
  }
};

TEST_F(StatusItemTest, TheMenuListsEveryItemAndTheWarningShowsUntilTheFirstOpeningFindsTheTapRunning) {
  ASSERT_EQ(bar.statusItemsInstalled, 1);
  EXPECT_EQ(bar.statusImage, (platform::StatusImage{"command", "Velvix"}));
  EXPECT_FALSE(bar.statusMenu->items[0]->hidden);  // before the first opening
  EXPECT_EQ(shown(), (std::vector<std::string>{"Enabled", "-", "Settings\u2026", "Setup Assistant\u2026", "-",
                                               "Check for Updates\u2026", "About Velvix", "Quit Velvix"}));
  EXPECT_TRUE(bar.statusMenu->find("Enabled")->checked);
  EXPECT_EQ(platform::keyEquivalentText(*bar.statusMenu->find("Settings\u2026")), "\u2318,");
  EXPECT_EQ(platform::keyEquivalentText(*bar.statusMenu->find("Quit Velvix")), "\u2318Q");

  tapRunning = false;  // permissions missing: warning line and triangle
  EXPECT_EQ(shown().front(), StatusItemController::kWarningTitle);
  EXPECT_EQ(shown()[1], "-");
  EXPECT_EQ(bar.statusImage->symbol, "exclamationmark.triangle");
  EXPECT_EQ(bar.statusImage->accessibilityDescription, "Velvix \u2014 permissions needed");
}

TEST_F(StatusItemTest, SecureInputShowsTheLockTheDisabledNoticeAndTheToolTipOnlyWhileTheTapRuns) {
  item.updateIcon(true);
  item.setSecureInput(true, "loginwindow");
  const std::string text =
      "Paused: secure input is on (loginwindow) \u2014 macOS hides keystrokes while a password field has "
      "focus";
  EXPECT_EQ(bar.statusImage->symbol, "lock");
  EXPECT_EQ(bar.statusToolTip, text);
  auto titles = shown();
  ASSERT_GE(titles.size(), 2u);
  EXPECT_EQ(titles[0], text);
  EXPECT_EQ(titles[1], "-");
  EXPECT_FALSE(bar.statusMenu->find(text)->enabled);

  item.updateIcon(false);  // the triangle wins, the tool tip still explains
  EXPECT_EQ(item.icon(), Icon::warning);
  EXPECT_EQ(bar.statusToolTip, text);

  item.updateIcon(true);
  item.setSecureInput(false, std::nullopt);
  EXPECT_EQ(bar.statusImage->symbol, "command");
  EXPECT_EQ(bar.statusToolTip, std::nullopt);
  EXPECT_EQ(shown().front(), "Enabled");
  EXPECT_EQ(StatusItemController::secureInputDescription(std::nullopt),
            "Paused: secure input is on \u2014 macOS hides keystrokes while a password field has focus");
}

TEST_F(StatusItemTest, EnabledTogglesTheSettingAndTheCheckMarkFollowsAtTheNextOpening) {
  int changes = 0;
  auto watch = world.preferences().observeWillChange([&](std::string_view key) {
    if (key == "switcherEnabled") ++changes;
  });
  ASSERT_TRUE(bar.chooseStatusItem("Enabled"));
  EXPECT_FALSE(world.preferences().switcherEnabled.get());
  EXPECT_FALSE(bar.openStatusMenu()->find("Enabled")->checked);
  ASSERT_TRUE(bar.chooseStatusItem("Enabled"));
  EXPECT_TRUE(world.preferences().switcherEnabled.get());
  EXPECT_EQ(changes, 2);
}

TEST_F(StatusItemTest, SetupAlwaysOpensSetUpAndTheWarningOpensReGrantOnceOnboardingWasCompleted) {
  tapRunning = false;
  ASSERT_TRUE(bar.chooseStatusItem(StatusItemController::kWarningTitle));
  EXPECT_EQ(setUp.mode(), OnboardingMode::setup);
  world.preferences().hasCompletedOnboarding.set(true);
  ASSERT_TRUE(bar.chooseStatusItem(StatusItemController::kWarningTitle));
  EXPECT_EQ(setUp.mode(), OnboardingMode::regrant);
  ASSERT_TRUE(bar.chooseStatusItem("Setup Assistant\u2026"));
  EXPECT_EQ(setUp.mode(), OnboardingMode::setup);
  ASSERT_TRUE(bar.chooseStatusItem("Settings\u2026"));
  EXPECT_TRUE(settings.window());
}

TEST_F(StatusItemTest, AboutAndUpdatesActivateTheApplicationAndOpenOnlyTheirOwnPanel) {
  ASSERT_TRUE(bar.chooseStatusItem("Check for Updates\u2026"));
  EXPECT_TRUE(world.desktop.application().isActive());
  EXPECT_EQ(world.updaterFramework().checks, 1);
  ASSERT_TRUE(bar.chooseStatusItem("About Velvix"));
  EXPECT_TRUE(world.desktop.application().aboutPanel());
  world.loop.runUntilIdle();
  EXPECT_FALSE(settings.window());
  EXPECT_FALSE(setUp.window());

  int quits = 0;
  world.desktop.application().onTerminate = [&] { ++quits; };
  ASSERT_TRUE(bar.chooseStatusItem("Quit Velvix"));
  EXPECT_EQ(quits, 1);
}

}  // namespace
}  // namespace velvix
