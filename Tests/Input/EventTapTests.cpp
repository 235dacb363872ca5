#include <gtest/gtest.h>

#include "Core/Preferences.hpp"
#include "Input/EventTap.hpp"
#include "Input/SwitcherController.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Support/HealthMonitor.hpp"
#include "TestSupport/AppWorld.hpp"
#include "UI/HUDController.hpp"
#include "UI/HUDModel.hpp"

namespace velvix {
namespace {

using platform::EventType;
using platform::InputEvent;
using platform::EventFlag::kCommand;
using platform::EventFlag::kControl;
using platform::EventFlag::kOption;
namespace Key = platform::KeyCode;
using test::AppWorld;

struct TapWorld : AppWorld {
  TapWorld() {
    a = launchApp("com.example.a", "A", {"A1"});
    b = launchApp("com.example.b", "B", {"B1"});
    c = launchApp("com.example.c", "C", {"C1"});
    launch();
    for (auto pid : {a, b, c}) {
      desktop.activate(pid);
      pause(2);
    }
  }
  EventTap& tap() { return *app->delegate().eventTap(); }
  SwitcherController& switcher() { return *app->delegate().switcher(); }
  std::size_t reachedFront() const { return desktop.input().reachedFrontApplication.size(); }
  platform::Pid a, b, c;
};

TEST(EventTap, CommandTabWithTheSwitcherOffReachesTheSystemAndStillCountsAnArrival) {
  TapWorld w;
  w.services().preferences->switcherEnabled.set(false);
  w.pause(0.1);
  const int arrivals = w.services().healthMonitor->arrivals();
  w.hold(kCommand);
  w.tab();
  w.release();
  EXPECT_EQ(w.desktop.input().systemSwitcherShown, 1);
  EXPECT_EQ(w.services().healthMonitor->arrivals(), arrivals + 1);
  EXPECT_FALSE(w.switcher().session());
}

TEST(EventTap, OptionTabModeLeavesCommandTabAloneAndClosesOnlyWithCommandW) {
  TapWorld w;
  w.services().preferences->hotkeyMode.set(HotkeyMode::optionTab);
  w.pause(0.1);
  w.hold(kCommand);
  w.tab();
  w.release();
  EXPECT_FALSE(w.switcher().session());
  EXPECT_EQ(w.desktop.input().systemSwitcherShown, 1);

  w.hold(kOption);
  w.tab();
  ASSERT_TRUE(w.switcher().session());
  const auto size = w.switcher().session()->size();
  const auto front = w.reachedFront();
  w.key(Key::kW);  // Option-W: the letter reaches the application, down and up
  EXPECT_EQ(w.switcher().session()->size(), size);
  EXPECT_EQ(w.reachedFront(), front + 2);
  w.hold(kCommand);
  w.key(Key::kW);
  EXPECT_EQ(w.switcher().session()->size(), size - 1);
  w.release();
}

TEST(EventTap, AHeldTabStepsWithEveryRepeatAndItsOneKeyUpIsSwallowed) {
  TapWorld w;
  w.hold(kCommand);
  w.desktop.input().keyDown(Key::kTab, kCommand);
  EXPECT_EQ(w.switcher().index(), 1u);
  w.desktop.input().keyDown(Key::kTab, kCommand, true);
  w.desktop.input().keyDown(Key::kTab, kCommand, true);
  EXPECT_EQ(w.switcher().index(), 3u % w.switcher().session()->size());
  const auto front = w.reachedFront();
  w.desktop.input().keyUp(Key::kTab, kCommand);
  EXPECT_EQ(w.reachedFront(), front);  // swallowed
  w.desktop.input().keyUp(Key::kTab, kCommand);
  EXPECT_EQ(w.reachedFront(), front + 1);  // a second key-up has no consumed key-down
  w.release();
}

TEST(EventTap, EscapeCancelsAndIsConsumedButOptionCommandEscapeReachesTheSystem) {
  TapWorld w;
  w.hold(kCommand);
  w.tab();
  auto front = w.reachedFront();
  w.key(Key::kEscape);
  EXPECT_FALSE(w.switcher().session());
  EXPECT_EQ(w.reachedFront(), front);
  w.tab();
  w.hold(kOption);
  front = w.reachedFront();
  w.key(Key::kEscape);
  EXPECT_FALSE(w.switcher().session());
  EXPECT_GT(w.reachedFront(), front);
  w.release();
}

TEST(EventTap, TheInputLockLetsOnlyOurOwnEventsThroughUntilEscapeOrTheDeadline) {
  TapWorld w;
  std::vector<bool> aborts;
  w.tap().lockInput(5.0, [&](bool aborted) { aborts.push_back(aborted); });
  const auto front = w.reachedFront();
  w.key(Key::kW);
  w.desktop.input().click({500, 300});
  EXPECT_EQ(w.reachedFront(), front);
  w.desktop.input().post(
      {.type = EventType::keyDown, .keyCode = Key::kW, .sourceUserData = platform::kOwnEventMarker});
  EXPECT_EQ(w.reachedFront(), front + 1);
  w.key(Key::kEscape);
  EXPECT_EQ(aborts, std::vector<bool>{true});
  EXPECT_FALSE(w.tap().isInputLocked());

  w.tap().lockInput(2.0, [&](bool aborted) { aborts.push_back(aborted); });
  w.pause(2.5);
  EXPECT_EQ(aborts, (std::vector<bool>{true, false}));
  w.tap().unlockInput();  // no lock: nothing, no log line
  auto lines = w.debugLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "input lock released"), 2);
}

TEST(EventTap, ATapTheSystemSwitchedOffIsReEnabledAndAChordWhoseReleaseWasLostIsCancelled) {
  TapWorld w;
  w.hold(kCommand);
  w.tab();
  ASSERT_TRUE(w.switcher().session());
  w.desktop.input().disableByTimeout(*w.tap().tap());
  // The release comes while the tap is off: the tap only hears that it was disabled, finds the
  // trigger up, and cancels rather than commits.
  w.release();
  EXPECT_TRUE(w.tap().isEnabled());
  EXPECT_FALSE(w.switcher().session());
  w.pause(1.5);
  EXPECT_EQ(w.frontmostPid(), w.c);  // cancelled, not committed
  auto lines = w.healthLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "event tap disabled by TIMEOUT; re-enabling"), lines.end());
}

TEST(EventTap, TheWatchdogReEnablesADisabledTapAndRebuildsALostOne) {
  TapWorld w;
  w.desktop.input().setEnabled(*w.tap().tap(), false);
  w.pause(5.1);
  EXPECT_TRUE(w.tap().isEnabled());
  w.desktop.accessibilityTrusted = false;  // revoked: the tap is lost and the retry cycle starts
  w.pause(5.1);
  EXPECT_FALSE(w.tap().hasTap());
  EXPECT_TRUE(w.app->delegate().isTapRetrying());
  EXPECT_TRUE(w.desktop.symbolicHotKeys().isEnabled(1));  // the system has its Command-Tab back
  w.desktop.accessibilityTrusted = true;
  w.pause(3.1);
  EXPECT_TRUE(w.tap().hasTap());
}

TEST(EventTap, AControlClickIsADockMenuClickAndIsNeverConsumed) {
  TapWorld w;
  const auto front = w.reachedFront();
  w.desktop.input().click({700, 880}, kControl);
  EXPECT_EQ(w.reachedFront(), front + 2);
}

}  // namespace
}  // namespace velvix
