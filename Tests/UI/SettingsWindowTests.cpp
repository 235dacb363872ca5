// The settings window: one at a time, a fresh one (on the Appearance tab) after closing, closed
// with its desktop window, ticking every 2 seconds, and a picture of each pane.

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "TestSupport/SettingsCollaborators.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/SettingsPane.hpp"
#include "UI/SettingsView.hpp"
#include "UI/SettingsWindowController.hpp"

namespace velvix {
namespace {

class SettingsWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  void SetUp() override { world.services(); }
  test::TestWorld world;
};

TEST_F(SettingsWindowTest, ShowingTwiceMakesOneWindowAndAfterClosingAFreshOneOpensOnAppearance) {
  SettingsWindowController& controller = *world.services().settingsWindow;  // the application's own
  controller.show();
  AppWindow* first = controller.window();
  ASSERT_NE(first, nullptr);
  const std::int64_t number = first->number();
  EXPECT_EQ(world.desktop.window(number)->title, "Velvix Settings");
  EXPECT_DOUBLE_EQ(world.desktop.window(number)->bounds.width, 820);
  EXPECT_DOUBLE_EQ(world.desktop.window(number)->bounds.height, 660);
  EXPECT_TRUE(controller.isShownOnDisplay());
  controller.view()->selectTab(SettingsTab::general);
  controller.show();
  EXPECT_EQ(controller.window()->number(), number);
  EXPECT_EQ(controller.view()->tab(), SettingsTab::general);  // kept

  // Command-W on the desktop closes it; the shown window follows.
  first->close();
  world.loop.advance(SettingsWindowController::kFollowInterval);
  EXPECT_EQ(controller.window(), nullptr);
  EXPECT_FALSE(controller.isShownOnDisplay());
  controller.show();
  ASSERT_NE(controller.window(), nullptr);
  EXPECT_NE(controller.window()->number(), number);
  EXPECT_EQ(controller.view()->tab(), SettingsTab::appearance);

  // Its title bar's close button forgets it as well.
  const std::int64_t second = controller.window()->number();
  controller.windowWillClose();
  world.loop.runUntilIdle();
  EXPECT_EQ(world.desktop.window(second), nullptr);
  EXPECT_EQ(controller.view(), nullptr);
}

TEST_F(SettingsWindowTest, TheTickRefreshesStatusesAndChecksAutomationOnlyForRunningBrowsers) {
  SettingsView view(test::settingsCollaborators(world));
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_EQ(view.state().refreshTick, 1);
  EXPECT_EQ(world.desktop.privacy.automationQueries, 0);  // no browser runs

  world.launchWithWindows("com.google.Chrome", "Google Chrome", {"Docs"});
  world.desktop.privacy.automationLatency = 10;  // still in flight at the next tick
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_EQ(world.desktop.privacy.automationQueries, 1);
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_EQ(world.desktop.privacy.automationQueries, 1);
  EXPECT_EQ(view.state().refreshTick, 3);

  world.desktop.privacy.screenCapture = false;
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_FALSE(view.state().screenRecordingGranted);
}

TEST_F(SettingsWindowTest, SwitchingPreviewsOnWithTheGrantSeedsThumbnailsAndClickingATabShowsItsPane) {
  world.preferences().showThumbnails.set(false);
  world.launchWithWindows("com.example.notes", "Notes", {"Ideas"});
  SettingsView view(test::settingsCollaborators(world));
  view.show();
  const auto opened = world.desktop.openedURLs.size();
  world.preferences().showThumbnails.set(true);
  world.loop.advance(1.0);
  EXPECT_EQ(world.desktop.openedURLs.size(), opened);  // granted: nothing asked
  EXPECT_GT(world.thumbnails().count(), 0u);           // the visible windows were captured

  QTest::mouseClick(view.findChild<QAbstractButton*>("settings.tab.terminal"), Qt::LeftButton);
  EXPECT_EQ(view.tab(), SettingsTab::terminal);
  EXPECT_EQ(view.pane()->objectName(), "settings.pane.terminal");
}

TEST_F(SettingsWindowTest, EveryPaneRendersIntoAPicture) {
  world.preferences().showThumbnails.set(true);
  world.desktop.privacy.screenCapture = false;
  SettingsView view(test::settingsCollaborators(world));
  view.resize(SettingsView::kIdealWidth, SettingsView::kIdealHeight);
  view.show();
  for (SettingsTab tab : settingsTabs::kAll) {
    view.selectTab(tab);
    QApplication::processEvents();
    const QImage picture = test::renderTransparent(view);
    ASSERT_FALSE(picture.isNull());
    // Not blank: many distinct colours (text, controls, cards).
    std::set<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 3)
      for (int x = 0; x < picture.width(); x += 3) colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 50u) << settingsTabs::rawValue(tab);
    test::saveScreenshot(view, "settings-" + std::string(settingsTabs::rawValue(tab)));
  }
}

}  // namespace
}  // namespace velvix
