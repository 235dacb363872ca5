#include <gtest/gtest.h>

#include <QPushButton>

#include "Core/Preferences.hpp"
#include "Input/EventTap.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimSystemSettings.hpp"
#include "TestSupport/AppWorld.hpp"
#include "UI/OnboardingModel.hpp"
#include "UI/OnboardingView.hpp"
#include "UI/OnboardingWindowController.hpp"

namespace velvix {
namespace {

bool stepDone(OnboardingModel& model, const std::string& title) {
  for (const auto& step : model.steps())
    if (step.title == title) return step.done;
  return false;
}

TEST(SetUpScenario,
     AFirstLaunchWithoutPermissionsShowsSetUpAndGrantingAccessibilityStartsTheTapWithinThreeSeconds) {
  test::AppWorld w;
  w.launchApp("com.example.notes", "Notes", {"Groceries"});
  w.desktop.accessibilityTrusted = false;
  w.desktop.privacy.listenEvent = platform::ListenEventAccess::undetermined;
  w.beforeLaunch = [](Services& s) { s.preferences->hasCompletedOnboarding.set(false); };  // a first launch
  w.launch();

  // Menus and status item are in place, the icon warns, and the set-up window is in front.
  sim::SimMenuBar& bar = w.app->menuBar();
  ASSERT_TRUE(bar.mainMenu && bar.statusMenu);
  EXPECT_EQ(bar.statusImage->symbol, "exclamationmark.triangle");
  OnboardingWindowController& setUp = *w.services().onboardingWindow;
  ASSERT_TRUE(setUp.window());
  EXPECT_EQ(setUp.mode(), OnboardingMode::setup);
  EXPECT_EQ(w.frontWindow(), setUp.window()->number());
  EXPECT_FALSE(stepDone(*setUp.model(), "Accessibility"));
  // The status menu's first line leads back to set-up.
  EXPECT_FALSE(bar.openStatusMenu()->items.front()->hidden);

  w.pause(5);
  w.desktop.accessibilityTrusted = true;
  w.pause(3.0);
  EXPECT_TRUE(w.app->delegate().eventTap()->hasTap());
  EXPECT_EQ(bar.statusImage->symbol, "command");
  EXPECT_TRUE(stepDone(*setUp.model(), "Accessibility"));
  EXPECT_TRUE(bar.openStatusMenu()->items.front()->hidden);

  // Done completes onboarding; the next launch's set-up comes only for a missing permission.
  setUp.finish();
  EXPECT_TRUE(w.services().preferences->hasCompletedOnboarding.get());
  EXPECT_FALSE(setUp.window());
}

// "Grant…" brings the system's settings forward at the permission's pane, where the person
// switches it on; the first time through the permission's prompt, later through the pane's address.
TEST(SetUpScenario, GrantShowsThePermissionsPaneWhoseSwitchTurnsItOn) {
  test::AppWorld w;
  w.desktop.accessibilityTrusted = false;
  w.desktop.privacy.listenEvent = platform::ListenEventAccess::undetermined;
  w.beforeLaunch = [](Services& s) { s.preferences->hasCompletedOnboarding.set(false); };
  w.launch();
  OnboardingWindowController& setUp = *w.services().onboardingWindow;
  ASSERT_TRUE(setUp.view());
  auto grant = [&](const std::string& step) {
    auto* button = setUp.view()->findChild<QPushButton*>(QString::fromStdString("OnboardingButton:" + step));
    if (button) button->click();
    w.pause(0.5);
    return button != nullptr;
  };
  auto pane = [&]() -> const sim::SimWindow* {
    const sim::SimWindow* front = w.desktop.window(w.frontWindow());
    const sim::SimApp* owner = front ? w.desktop.app(front->owner) : nullptr;
    if (!owner || owner->bundleID != sim::SimSystemSettings::kBundleID || w.frontmostPid() != owner->pid)
      return nullptr;
    return front;
  };
  auto flip = [&](const sim::SimWindow& window) {
    const Rect knob = sim::SimSystemSettings::switchFrame(window.bounds);
    w.desktop.input().click({knob.x + knob.width / 2, knob.y + knob.height / 2});
    w.pause(3);
  };

  for (int time = 0; time < 2; ++time) {  // the prompt, then the pane's address
    ASSERT_TRUE(grant("Input Monitoring"));
    ASSERT_TRUE(pane()) << time;
    EXPECT_EQ(pane()->title, "Input Monitoring");
    if (time == 0) continue;
    flip(*pane());
    EXPECT_EQ(w.desktop.privacy.listenEvent, platform::ListenEventAccess::granted);
  }
  ASSERT_TRUE(grant("Accessibility"));
  ASSERT_TRUE(pane());
  EXPECT_EQ(pane()->title, "Accessibility");
  flip(*pane());
  EXPECT_TRUE(w.desktop.accessibilityTrusted);
  EXPECT_TRUE(w.app->delegate().eventTap()->hasTap());
  EXPECT_TRUE(stepDone(*setUp.model(), "Accessibility"));
  EXPECT_TRUE(stepDone(*setUp.model(), "Input Monitoring"));
}

TEST(SetUpScenario, TheSafariStepIsWordedForTheKindOfBuildThatRuns) {
  auto safariDetail = [](bool distributionSigned) {
    test::AppWorld w;
    if (distributionSigned)
      w.desktop.codeSigning.chain = {"Developer ID Application: Kolvi (K0LV1)",
                                     "Developer ID Certification Authority"};
    w.beforeLaunch = [](Services& s) { s.preferences->hasCompletedOnboarding.set(false); };
    w.launch();
    for (const auto& step : w.services().onboardingWindow->model()->steps())
      if (step.title == "Safari Extension") return step.detail;
    return std::string("no Safari step");
  };
  EXPECT_NE(safariDetail(false).find("For local builds, first allow unsigned extensions"), std::string::npos);
  const std::string signedDetail = safariDetail(true);
  EXPECT_NE(signedDetail.find("until a site is allowed"), std::string::npos) << signedDetail;
  EXPECT_EQ(signedDetail.find("For local builds"), std::string::npos);
}

}  // namespace
}  // namespace velvix
