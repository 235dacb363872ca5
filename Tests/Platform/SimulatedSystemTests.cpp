#include <gtest/gtest.h>

#include <algorithm>

#include <QColor>
#include <QImage>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimSystemMenu.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

// The program over the built-in sample desktop, with the desktop window and its system menu.
struct SampleWorld {
  SampleWorld() {
    test::ensureQtApplication();
    EXPECT_EQ(sim::SampleDesktop::load(w.desktop, sim::SampleDesktop::builtIn()), std::nullopt);
    w.launch();
    w.pause(1);
    view.emplace(w.desktop);
    view->menuBar = &w.app->menuBar();
    w.services().placement = &*view;
  }
  // The menu as it opens now.
  platform::Menu& menu() {
    auto& menu = view->systemMenu().menu();
    menu.willOpen();
    return menu;
  }
  bool choose(const std::string& title) { return menu().choose(title); }
  bool checked(const std::string& title) { return menu().find(title) && menu().find(title)->checked; }
  std::string statusSymbol() {
    w.app->menuBar().openStatusMenu();  // the status item looks again as it opens
    return w.app->menuBar().statusImage ? w.app->menuBar().statusImage->symbol : "";
  }
  std::optional<platform::Pid> pidOf(const std::string& bundleID) {
    for (const auto* app : w.desktop.apps())
      if (app->bundleID == bundleID) return app->pid;
    return std::nullopt;
  }

  test::AppWorld w;
  std::optional<qt::SimDesktopView> view;
};

// Each state the status item describes comes from the menu, and goes again.
TEST(SimulatedSystemMenu, PermissionsSecureInputAndTheTapProduceWhatTheStatusItemShows) {
  SampleWorld s;
  EXPECT_EQ(s.statusSymbol(), "command");

  ASSERT_TRUE(s.checked("Accessibility"));
  ASSERT_TRUE(s.choose("Accessibility"));
  s.w.pause(5);
  EXPECT_EQ(s.statusSymbol(), "exclamationmark.triangle");
  ASSERT_TRUE(s.choose("Accessibility"));
  s.w.pause(5);
  EXPECT_EQ(s.statusSymbol(), "command");

  ASSERT_TRUE(s.choose("Held by Terminal"));
  EXPECT_TRUE(s.checked("Held by Terminal"));
  s.w.pause(5);
  EXPECT_EQ(s.statusSymbol(), "lock");
  EXPECT_NE(s.w.app->menuBar().statusToolTip.value_or("").find("Terminal"), std::string::npos);
  ASSERT_TRUE(s.choose("Off"));
  s.w.pause(5);
  EXPECT_EQ(s.statusSymbol(), "command");

  ASSERT_TRUE(s.choose("Automation of Terminal"));
  EXPECT_EQ(s.w.desktop.privacy.automation["com.apple.Terminal"], -1743);

  ASSERT_FALSE(s.w.desktop.input().enabledTaps().empty());
  ASSERT_TRUE(s.choose("Disable the Event Tap (as for a Slow Tap)"));
  EXPECT_TRUE(s.w.desktop.input().enabledTaps().empty());
}

// Sleep and the lock screen hand the session back with the event tap off; the program switches it
// on again at each of the four returns and names the one it was.
TEST(SimulatedSystemMenu, SleepWakeLockAndUnlockComeBackWithTheTapSwitchedOnAgain) {
  namespace WN = platform::WorkspaceNotification;
  SampleWorld s;
  sim::SimInput& input = s.w.desktop.input();
  ASSERT_EQ(input.enabledTaps().size(), 1u);
  const auto tap = input.enabledTaps().front();

  ASSERT_TRUE(s.choose("Sleep"));
  EXPECT_FALSE(s.menu().find("Sleep"));
  s.w.pause(1);
  ASSERT_TRUE(s.choose("Wake"));
  s.w.pause(1);
  EXPECT_TRUE(input.isEnabled(tap));
  ASSERT_TRUE(s.choose("Lock Screen"));
  s.w.pause(1);
  ASSERT_TRUE(s.choose("Unlock Screen"));
  s.w.pause(1);
  EXPECT_TRUE(input.isEnabled(tap));
  // The returns the menu does not make alone: the screens waking, a session switched back to.
  for (const char* name : {WN::kScreensDidWake, WN::kSessionDidBecomeActive}) {
    input.setEnabled(tap, false);
    s.w.desktop.workspace().notificationCenter().post(name);
    s.w.pause(1);
    EXPECT_TRUE(input.isEnabled(tap)) << name;
  }
  const auto lines = s.w.healthLines();
  for (const std::string name :
       {"NSWorkspaceDidWakeNotification", "com.apple.screenIsUnlocked",
        "NSWorkspaceScreensDidWakeNotification", "NSWorkspaceSessionDidBecomeActiveNotification"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), "event tap was disabled at " + name + "; re-enabling"),
              lines.end())
        << name;
}

TEST(SimulatedSystemMenu, LaunchesAndQuitsApplicationsAndSwitchesSpaces) {
  SampleWorld s;
  ASSERT_TRUE(s.pidOf("com.apple.TextEdit"));
  ASSERT_TRUE(s.choose("Quit TextEdit"));
  EXPECT_FALSE(s.pidOf("com.apple.TextEdit"));
  ASSERT_TRUE(s.choose("Launch TextEdit"));
  s.w.pause(1);
  EXPECT_TRUE(s.pidOf("com.apple.TextEdit"));
  EXPECT_FALSE(s.choose("Quit Velvix"));  // this program quits through its own menu

  auto& display = s.w.desktop.displays().front();
  ASSERT_TRUE(s.choose("Space 2"));
  EXPECT_EQ(display.currentSpace, 2u);
  EXPECT_TRUE(s.checked("Space 2"));
  ASSERT_TRUE(s.choose("Space 1"));

  // Calendar's only window is on Space 2: activating it goes there.
  s.w.desktop.activate(*s.pidOf("com.example.Calendar"));
  EXPECT_EQ(display.currentSpace, 2u);
  s.w.desktop.activate(*s.pidOf("com.apple.mail"));  // Mail's window is on Space 1
  EXPECT_EQ(display.currentSpace, 1u);
}

// Each application's icon is rounded (its corners show what is behind) and in a colour of its
// own, so a selection behind it shows and neighbours in the Dock differ.
TEST(SimulatedSystemIcons, RoundedAndDistinct) {
  SampleWorld s;
  std::vector<QColor> colours;
  for (const auto* app : s.w.desktop.apps()) {
    if (app->pid == s.w.desktop.selfPid() || app->bundleID == "com.apple.dock") continue;
    const QImage icon = qt::toQImage(s.w.desktop.workspace().applicationIcon(app->pid));
    ASSERT_FALSE(icon.isNull());
    const int n = icon.width();
    for (QPoint corner : {QPoint(1, 1), QPoint(n - 2, 1), QPoint(1, n - 2), QPoint(n - 2, n - 2)})
      EXPECT_EQ(icon.pixelColor(corner).alpha(), 0) << *app->bundleID;
    const QColor body = icon.pixelColor(n / 6, n / 2);  // left of the letter
    for (const QColor& other : colours) {
      const int apart = std::abs(body.hue() - other.hue());
      EXPECT_GT(std::min(apart, 360 - apart), 10) << *app->bundleID;
    }
    colours.push_back(body);
  }
  EXPECT_GE(colours.size(), 6u);
}

}  // namespace
}  // namespace velvix
