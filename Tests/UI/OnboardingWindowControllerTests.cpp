#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "Core/Preferences.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/ChromeLoadSteps.hpp"
#include "UI/OnboardingModel.hpp"
#include "UI/OnboardingView.hpp"
#include "UI/OnboardingWindowController.hpp"

namespace velvix {
namespace {

struct OnboardingTest : ::testing::Test {
  test::TestWorld world;
  OnboardingWindowController& setUp = *world.services().onboardingWindow;  // the application's own

  OnboardingTest() {
    test::ensureQtApplication();
    world.desktop.accessibilityTrusted = false;
    world.desktop.privacy.listenEvent = platform::ListenEventAccess::undetermined;
    world.desktop.privacy.screenCapture = false;
  }
  OnboardingStep step(const std::string& title) {
    for (auto& s : setUp.model()->steps())
      if (s.title == title) return s;
    ADD_FAILURE() << "no step " << title;
    return {};
  }
  std::vector<std::string> stepTitles() {
    std::vector<std::string> out;
    for (auto& s : setUp.model()->steps()) out.push_back(s.title);
    return out;
  }
};

TEST_F(OnboardingTest,
       SetUpShowsEveryStepAndReGrantOnlyThePermissionsWithTheRestartRowWhileRecordingIsMissing) {
  setUp.show(OnboardingMode::setup);
  ASSERT_TRUE(setUp.window());
  EXPECT_EQ(world.desktop.window(setUp.window()->number())->title, "Velvix Setup");
  EXPECT_EQ(setUp.model()->title(), "Set Up Velvix");
  const std::vector<std::string> permissions = {"Accessibility",       "Input Monitoring",
                                                "Safari Automation",   "Chrome Automation",
                                                "Terminal Automation", "Screen Recording (optional)"};
  auto all = permissions;
  all.insert(all.end(), {"Chrome Extension", "Safari Extension"});
  EXPECT_EQ(stepTitles(), all);
  EXPECT_TRUE(setUp.model()->showsLoadSteps());
  EXPECT_TRUE(setUp.model()->showsRestartRow());
  EXPECT_EQ(step("Chrome Extension").detail,
            "Adds live tab tracking for Chrome, Brave, and Edge. Follow the steps below.");

  setUp.show(OnboardingMode::regrant);
  EXPECT_EQ(world.desktop.window(setUp.window()->number())->title, "Velvix Permissions");
  EXPECT_EQ(stepTitles(), permissions);
  EXPECT_FALSE(setUp.model()->showsLoadSteps());
  EXPECT_TRUE(setUp.model()->showsRestartRow());
  EXPECT_EQ(setUp.frame().height, 520);
  ASSERT_TRUE(setUp.view());
  EXPECT_FALSE(setUp.view()->findChild<QPushButton*>("OnboardingButton:Chrome Extension"));
  EXPECT_FALSE(setUp.view()->findChild<QWidget*>(ChromeLoadSteps::kObjectName));
  auto* restart = setUp.view()->findChild<QWidget*>(OnboardingView::kRestartName);
  ASSERT_TRUE(restart);
  ASSERT_TRUE(restart->findChild<QLabel*>());
  EXPECT_EQ(
      restart->findChild<QLabel*>()->text().toStdString(),
      "Granted it already? Restart here rather than with macOS's \u201cQuit & Reopen\u201d, which won't "
      "reopen a menu-bar app.");
  EXPECT_EQ(setUp.model()->subtitle().rfind("macOS dropped Velvix's permission grants \u2014", 0), 0u);
}

TEST_F(OnboardingTest, StepsTurnDoneWithinOneTickOfTheGrantAndTheirButtonsAskTheSystem) {
  world.launchWithWindows("com.apple.Safari", "Safari", {"Start"});
  world.desktop.privacy.automation["com.apple.Safari"] = -1743;  // denied
  setUp.show(OnboardingMode::setup);
  OnboardingView* view = setUp.view();
  ASSERT_TRUE(view);
  auto* grant = view->findChild<QPushButton*>("OnboardingButton:Accessibility");
  ASSERT_TRUE(grant);
  grant->click();
  EXPECT_EQ(world.desktop.privacy.prompts.front(), "accessibility");

  world.desktop.accessibilityTrusted = true;
  world.desktop.privacy.listenEvent = platform::ListenEventAccess::granted;
  world.loop.advance(OnboardingWindowController::kRefreshInterval);
  EXPECT_TRUE(step("Accessibility").done);
  EXPECT_TRUE(step("Input Monitoring").done);
  EXPECT_FALSE(view->findChild<QPushButton*>("OnboardingButton:Accessibility"));
  EXPECT_FALSE(step("Safari Automation").done);  // denied: the Request button stays
  EXPECT_TRUE(view->findChild<QPushButton*>("OnboardingButton:Safari Automation"));

  world.desktop.privacy.automation["com.apple.Safari"] = 0;  // the user allowed it in System Settings
  world.permissions().requestAutomation(Browser::safari);    // drops the cached statuses
  world.loop.advance(3 * OnboardingWindowController::kRefreshInterval);
  EXPECT_TRUE(step("Safari Automation").done);

  step("Safari Extension").action();
  EXPECT_EQ(world.desktop.safariExtensionSettings().shown,
            std::vector<std::string>{OnboardingModel::kSafariExtensionID});
}

TEST_F(OnboardingTest, ClosingCompletesOnboardingOnlyWithBothKeyboardPermissionsAndDoneAlwaysDoes) {
  setUp.show(OnboardingMode::setup);
  world.desktop.accessibilityTrusted = true;  // Input Monitoring still missing
  setUp.window()->close();
  EXPECT_FALSE(setUp.window());
  EXPECT_FALSE(world.preferences().hasCompletedOnboarding.get());

  world.desktop.privacy.listenEvent = platform::ListenEventAccess::granted;
  setUp.show(OnboardingMode::setup);
  setUp.window()->close();
  EXPECT_TRUE(world.preferences().hasCompletedOnboarding.get());

  world.preferences().hasCompletedOnboarding.set(false);
  world.desktop.accessibilityTrusted = false;
  setUp.show(OnboardingMode::setup);
  auto* done = setUp.view()->findChild<QPushButton*>(OnboardingView::kDoneName);
  ASSERT_TRUE(done && done->isDefault());
  done->click();
  EXPECT_TRUE(world.preferences().hasCompletedOnboarding.get());
  EXPECT_FALSE(setUp.window());
}

TEST_F(OnboardingTest, ALaterDoneBringsTheShellQuestionAfterAnEarlyClose) {
  auto& app = world.desktop.application();
  TerminalIntegrationInstaller& shell = world.terminalIntegration();
  setUp.show(OnboardingMode::setup);
  shell.reconcileAtLaunch();
  setUp.window()->close();  // before the permissions: onboarding stays incomplete
  world.loop.advance(TerminalIntegrationInstaller::kConsentDelay + 5);
  EXPECT_TRUE(app.alertsShown.empty());

  setUp.show(OnboardingMode::setup);
  world.loop.advance(5);
  setUp.view()->findChild<QPushButton*>(OnboardingView::kDoneName)->click();
  EXPECT_TRUE(app.alertsShown.empty());  // at a later turn, not from inside the close
  world.loop.runUntilIdle();
  EXPECT_EQ(app.alertsShown, std::vector<std::string>{TerminalIntegrationInstaller::kConsentMessage});
}

TEST_F(OnboardingTest, AnExtensionSeenBeforeWhoseBrowserIsClosedCountsAsInstalledWithoutLoadSteps) {
  world.preferences().chromeExtensionSeen.set(true);
  setUp.show(OnboardingMode::setup);
  EXPECT_TRUE(step("Chrome Extension").done);
  EXPECT_EQ(step("Chrome Extension").detail, "Installed \u2014 the browser isn't running.");
  EXPECT_FALSE(setUp.model()->showsLoadSteps());
  EXPECT_FALSE(setUp.view()->findChild<QWidget*>(ChromeLoadSteps::kObjectName));
}

TEST_F(OnboardingTest, TheWindowIsSizedToTheScreenAndShowingTheSameModeAgainOnlyBringsItForward) {
  EXPECT_EQ(OnboardingWindowController::contentSize(OnboardingMode::setup, 560), (Size{560, 500}));
  EXPECT_EQ(OnboardingWindowController::contentSize(OnboardingMode::regrant, 560), (Size{560, 500}));
  EXPECT_EQ(OnboardingWindowController::contentSize(OnboardingMode::setup, 2000), (Size{560, 700}));
  EXPECT_EQ(OnboardingWindowController::contentSize(OnboardingMode::regrant, std::nullopt), (Size{560, 520}));

  setUp.show(OnboardingMode::setup);
  const auto number = setUp.window()->number();
  world.desktop.application().deactivate();
  setUp.show(OnboardingMode::setup);
  EXPECT_EQ(setUp.window()->number(), number);
  EXPECT_TRUE(world.desktop.application().isActive());
  EXPECT_EQ(world.desktop.application().keyWindow(), number);
}

TEST_F(OnboardingTest, ScreenshotsOfBothModes) {
  world.desktop.accessibilityTrusted = true;
  setUp.show(OnboardingMode::setup);
  setUp.view()->resize(560, 1000);       // the whole list, for looking at it
  QCoreApplication::sendPostedEvents();  // lays the list out at the new width before drawing it
  test::saveScreenshot(*setUp.view(), "onboarding-setup");
  setUp.show(OnboardingMode::regrant);
  test::saveScreenshot(*setUp.view(), "onboarding-regrant");
  EXPECT_EQ(setUp.view()->windowTitle(), "Velvix Permissions");
}

// On the glass the list scrolls on a slim rounded handle alone: no trough, no arrow boxes.
TEST_F(OnboardingTest, TheStepsScrollOnASlimRoundedHandleWithoutArrowBoxes) {
  setUp.show(OnboardingMode::setup);
  setUp.view()->resize(560, 400);
  QCoreApplication::processEvents();
  QScrollBar* bar = nullptr;
  for (auto* found : setUp.view()->findChildren<QScrollBar*>())
    if (found->orientation() == Qt::Vertical) bar = found;
  ASSERT_TRUE(bar);
  ASSERT_GT(bar->maximum(), 0);  // the list is longer than its area
  bar->setValue(0);
  EXPECT_LE(bar->width(), 10);
  QImage drawn(bar->size(), QImage::Format_ARGB32_Premultiplied);
  drawn.fill(Qt::transparent);
  bar->render(&drawn);
  const int middle = bar->width() / 2;
  auto alphaAt = [&](int x, int y) { return qAlpha(drawn.pixel(x, y)); };
  EXPECT_GT(alphaAt(middle, 16), 0);              // the handle, from the top
  EXPECT_LT(alphaAt(2, 2), alphaAt(middle, 16));  // its corner rounded
  int drawnAtTheEnd = 0;                          // nothing at the far end but the glass
  for (int y = bar->height() - 12; y < bar->height(); ++y)
    for (int x = 0; x < bar->width(); ++x) drawnAtTheEnd += alphaAt(x, y) > 0;
  EXPECT_EQ(drawnAtTheEnd, 0);
}

// Minimised on the desktop, the set-up window leaves the screen; brought back, it returns.
TEST_F(OnboardingTest, TheWindowFollowsItsDesktopWindowOutOfAndBackOntoTheScreen) {
  setUp.show(OnboardingMode::setup);
  ASSERT_TRUE(setUp.view());
  EXPECT_TRUE(setUp.view()->isVisible());
  world.desktop.application().miniaturize(setUp.window()->number());
  world.loop.advance(OnboardingWindowController::kFollowInterval * 2);
  EXPECT_FALSE(setUp.view()->isVisible());
  setUp.window()->makeKeyAndOrderFront();
  world.loop.advance(OnboardingWindowController::kFollowInterval * 2);
  EXPECT_TRUE(setUp.view()->isVisible());
}

}  // namespace
}  // namespace velvix
