#include <gtest/gtest.h>

#include "App/AppDelegate.hpp"
#include "Core/Preferences.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimUpdater.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsWindowController.hpp"

namespace velvix {
namespace {

using platform::EventFlag::kCommand;
using platform::EventFlag::kShift;

struct MainMenuTest : ::testing::Test {
  test::TestWorld world;
  sim::SimMenuBar bar;
  // The application's own windows.
  SettingsWindowController& settings = *world.services().settingsWindow;
  OnboardingWindowController& setUp = *world.services().onboardingWindow;
  std::unique_ptr<AppDelegate> delegate;

  MainMenuTest() {
    test::ensureQtApplication();  // the settings window is made of widgets
    world.services().menuBar = &bar;
    world.preferences().hasCompletedOnboarding.set(true);  // no set-up window at launch
    world.updaterFramework().showPanel = [this] {
      world.desktop.application().orderFrontPanel("Software Update");
    };
    delegate = std::make_unique<AppDelegate>(world.services());
    delegate->applicationDidFinishLaunching();
    world.loop.runUntilIdle();
  }
  std::vector<std::string> titles(const platform::Menu& menu) {
    std::vector<std::string> out;
    for (const auto& item : menu.items) out.push_back(item->separator ? "-" : item->title);
    return out;
  }
};

TEST_F(MainMenuTest, TheMenuBarHoldsTheApplicationEditAndWindowMenusInOrder) {
  ASSERT_TRUE(bar.mainMenu);
  const auto& top = bar.mainMenu->items;
  ASSERT_EQ(titles(*bar.mainMenu), (std::vector<std::string>{"Velvix", "Edit", "Window"}));
  EXPECT_EQ(titles(*top[0]->submenu),
            (std::vector<std::string>{"About Velvix", "-", "Settings\u2026", "Setup Assistant\u2026",
                                      "Check for Updates\u2026", "-", "Hide Velvix", "Quit Velvix"}));
  EXPECT_EQ(titles(*top[1]->submenu),
            (std::vector<std::string>{"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Select All"}));
  EXPECT_EQ(titles(*top[2]->submenu), (std::vector<std::string>{"Close", "Minimize"}));
  EXPECT_EQ(top[1]->submenu->title, "Edit");
  EXPECT_EQ(platform::keyEquivalentText(*bar.mainMenu->find("Redo")), "\u21e7\u2318Z");
}

TEST_F(MainMenuTest, CommandZUndoesCommandShiftZRedoesAndEditingGoesToTheFocusedField) {
  std::vector<std::string> sent;
  delegate->mainMenu().editResponder = [&](const std::string& selector) {
    sent.push_back(selector);
    return true;
  };
  MainMenu& menu = delegate->mainMenu();
  EXPECT_TRUE(menu.performKeyEquivalent("z", kCommand));
  EXPECT_TRUE(menu.performKeyEquivalent("z", kCommand | kShift));
  EXPECT_TRUE(menu.performKeyEquivalent("a", kCommand | 0x10000));  // Caps Lock does not count
  EXPECT_FALSE(menu.performKeyEquivalent("z", platform::EventFlag::kOption));
  EXPECT_EQ(sent, (std::vector<std::string>{"undo:", "redo:", "selectAll:"}));
}

TEST_F(MainMenuTest, WithTheSettingsWindowKeyCommandWClosesItAndCommandCommaBringsItBack) {
  MainMenu& menu = delegate->mainMenu();
  ASSERT_TRUE(menu.performKeyEquivalent(",", kCommand));
  ASSERT_TRUE(settings.window());
  EXPECT_TRUE(menu.performKeyEquivalent("w", kCommand));
  EXPECT_FALSE(settings.window());
  EXPECT_TRUE(menu.performKeyEquivalent(",", kCommand));
  EXPECT_TRUE(settings.window());
  EXPECT_TRUE(menu.performKeyEquivalent("m", kCommand));
  EXPECT_TRUE(world.desktop.window(settings.window()->number())->minimized);
}

TEST_F(MainMenuTest, SetupAssistantOpensReGrantAfterOnboardingAndSetUpBefore) {
  ASSERT_TRUE(delegate->mainMenu().choose("Setup Assistant\u2026"));
  EXPECT_EQ(setUp.mode(), OnboardingMode::regrant);
  world.preferences().hasCompletedOnboarding.set(false);
  ASSERT_TRUE(delegate->mainMenu().choose("Setup Assistant\u2026"));
  EXPECT_EQ(setUp.mode(), OnboardingMode::setup);
}

TEST_F(MainMenuTest, AboutAndUpdatesActivateTheApplicationWithoutOpeningTheSettingsWindow) {
  auto& app = world.desktop.application();
  ASSERT_TRUE(delegate->mainMenu().choose("Check for Updates\u2026"));
  world.loop.runUntilIdle();
  EXPECT_TRUE(app.isActive());
  EXPECT_EQ(world.updaterFramework().checks, 1);
  EXPECT_TRUE(app.panel("Software Update"));
  EXPECT_FALSE(settings.window());
  EXPECT_TRUE(delegate->mainMenu().performKeyEquivalent("w", kCommand));
  app.deactivate();
  world.loop.runUntilIdle();
  ASSERT_TRUE(delegate->mainMenu().choose("About Velvix"));
  world.loop.runUntilIdle();
  EXPECT_TRUE(app.aboutPanel());
  EXPECT_FALSE(settings.window());
}

TEST_F(MainMenuTest, BecomingActiveWithNoWindowOfOursOpensTheSettingsAndHideAndQuitReachTheApplication) {
  auto& app = world.desktop.application();
  app.activate(true);
  delegate->applicationDidBecomeActive();
  EXPECT_TRUE(settings.window());
  ASSERT_TRUE(delegate->mainMenu().choose("Hide Velvix"));
  EXPECT_EQ(app.hides, 1);
  EXPECT_FALSE(app.isActive());
  int quits = 0;
  app.onTerminate = [&] { ++quits; };
  EXPECT_TRUE(delegate->mainMenu().performKeyEquivalent("q", kCommand));
  EXPECT_EQ(quits, 1);
}

}  // namespace
}  // namespace velvix
