// Whole chords over the launched application: Command held, Tab pressed, released — and what is
// in front afterwards.

#include <gtest/gtest.h>

#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Input/EventTap.hpp"
#include "Input/SwitcherController.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/Waits.hpp"
#include "UI/HUDController.hpp"

namespace velvix {
namespace {

using platform::EventFlag::kCommand;
using platform::EventFlag::kShift;
using test::AppWorld;

// Four applications used in turn: Mail (longest ago), Notes, Editor, then Terminal (in front).
struct Desk : AppWorld {
  Desk() {
    mail = launchApp("com.apple.mail", "Mail", {"Inbox"});
    notes = launchApp("com.example.notes", "Notes", {"Groceries"});
    editor = launchApp("com.example.editor", "Editor", {"main.cpp"});
    terminal = launchApp("com.example.term", "Term", {"zsh"});
    launch();
    for (auto pid : {mail, notes, editor, terminal}) {
      desktop.activate(pid);
      pause(2);
    }
  }
  platform::Pid mail, notes, editor, terminal;
};

TEST(ChordScenario, AQuickTapSwitchesToThePreviousApplicationWithoutShowingTheHUD) {
  Desk d;
  d.hold(kCommand);
  d.tab();
  d.pause(SwitcherController::kHUDRevealDelay - 0.05);
  EXPECT_FALSE(d.hudVisible());
  d.release();
  d.pause(1.5);
  EXPECT_EQ(d.frontmostPid(), d.editor);
  EXPECT_EQ(d.frontWindowTitle(), "main.cpp");
  EXPECT_FALSE(d.hudVisible());
  EXPECT_EQ(d.desktop.input().systemSwitcherShown, 0);  // the system's own switcher never saw it
}

TEST(ChordScenario, HoldTabTabReleaseBringsTheThirdEntryToTheFrontWithTheHUDShownInBetween) {
  Desk d;
  d.hold(kCommand);
  d.tab();
  d.pause(test::kPastHUDReveal);
  EXPECT_TRUE(d.hudVisible());
  d.tab();
  d.pause(0.2);
  d.release();
  EXPECT_FALSE(d.hudVisible());
  d.pause(1.5);
  EXPECT_EQ(d.frontmostPid(), d.notes);
  EXPECT_EQ(d.frontWindowTitle(), "Groceries");
}

TEST(ChordScenario, ShiftTabStepsBackAndEscapeCancels) {
  Desk d;
  d.hold(kCommand);
  d.tab();
  d.tab();
  d.tab(kShift);  // back to the second entry
  d.release();
  d.pause(1.5);
  EXPECT_EQ(d.frontmostPid(), d.editor);

  Desk e;
  e.hold(kCommand);
  e.tab();
  e.pause(test::kPastHUDReveal);
  e.key(platform::KeyCode::kEscape);
  EXPECT_FALSE(e.hudVisible());
  e.release();
  e.pause(1.5);
  EXPECT_EQ(e.frontmostPid(), e.terminal);  // nothing was activated
}

TEST(ChordScenario, CommandWClosesTheSelectedWindowAndTheListShrinks) {
  Desk d;
  d.hold(kCommand);
  d.tab();
  d.pause(test::kPastHUDReveal);
  auto* switcher = d.app->delegate().switcher();
  const std::size_t before = switcher->session()->size();
  d.key(platform::KeyCode::kW);
  EXPECT_EQ(switcher->session()->size(), before - 1);
  d.pause(0.1);
  EXPECT_TRUE(d.desktop.windowsOf(d.editor).empty());  // main.cpp was selected and is closed
  d.release();
  d.pause(1.5);
  EXPECT_EQ(d.frontmostPid(), d.notes);  // the selection moved on to the next entry
}

TEST(ChordScenario, AMissedReleaseIsCommittedByTheReleasePollOfAHotKeyChord) {
  Desk d;
  // Secure input hides the Tab from the tap: the fallback hot key opens the chord and watches
  // for the release itself.
  d.desktop.secureInput.enabled = true;
  d.hold(kCommand);
  d.tab();
  ASSERT_TRUE(d.app->delegate().switcher()->session());
  d.desktop.input().loseEventsBeforeTaps = true;  // the release never reaches the tap
  d.release();
  d.desktop.input().loseEventsBeforeTaps = false;
  d.pause(0.1);
  EXPECT_FALSE(d.app->delegate().switcher()->session());
  d.pause(1.5);
  EXPECT_EQ(d.frontmostPid(), d.editor);
  auto lines = d.healthLines();
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) {
                           return l.rfind("chord press reached the fallback hotkey", 0) == 0;
                         }),
            lines.end());
}

TEST(ChordScenario, AStuckChordIsEndedByTheWatchdogWithoutActivatingAnything) {
  Desk d;
  d.hold(kCommand);
  d.tab();
  d.desktop.input().loseEventsBeforeTaps = true;
  d.release();
  d.desktop.input().loseEventsBeforeTaps = false;
  EXPECT_TRUE(d.app->delegate().switcher()->session());
  d.pause(2.5);
  EXPECT_FALSE(d.app->delegate().switcher()->session());
  EXPECT_EQ(d.frontmostPid(), d.terminal);
  auto lines = d.healthLines();
  EXPECT_NE(
      std::find(
          lines.begin(), lines.end(),
          "chord watchdog: trigger modifier has been up for two ticks with the chord still open; ending it"),
      lines.end());
}

TEST(ChordScenario, APressTheHardwareSawButNothingReceivedIsLoggedAsMissed) {
  Desk d;
  d.desktop.input().loseEventsBeforeTaps = true;
  d.hold(kCommand);
  d.pause(0.1);
  d.desktop.input().keyDown(platform::KeyCode::kTab, kCommand);  // held long enough to be sampled
  d.pause(0.08);
  d.desktop.input().keyUp(platform::KeyCode::kTab, kCommand);
  d.release();
  d.desktop.input().loseEventsBeforeTaps = false;
  d.pause(2);
  auto lines = d.healthLines();
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.rfind("\u2318TAB MISSED", 0) == 0; }),
            lines.end());
}

TEST(ChordScenario, TheSystemSwitcherIsOffWhileWeOwnTheChordAndBackAfterQuitting) {
  Desk d;
  EXPECT_FALSE(d.desktop.symbolicHotKeys().isEnabled(1));
  d.services().preferences->hotkeyMode.set(HotkeyMode::optionTab);
  d.pause(0.1);
  EXPECT_TRUE(d.desktop.symbolicHotKeys().isEnabled(1));  // Option-Tab mode gives Command-Tab back
  d.hold(kCommand);
  d.tab();
  d.release();
  EXPECT_EQ(d.desktop.input().systemSwitcherShown, 1);
  d.services().preferences->hotkeyMode.set(HotkeyMode::commandTab);
  d.pause(0.1);
  EXPECT_FALSE(d.desktop.symbolicHotKeys().isEnabled(1));

  d.desktop.application().terminate();  // the application's Quit
  EXPECT_TRUE(d.app->hasTerminated());
  EXPECT_TRUE(d.desktop.symbolicHotKeys().isEnabled(1));
  EXPECT_EQ(d.healthLines().back(), "quit");
}

TEST(ChordScenario, WithoutAccessibilityAtLaunchTheTapStartsWithinThreeSecondsOfTheGrant) {
  AppWorld w;
  auto notes = w.launchApp("com.example.notes", "Notes", {"Groceries"});
  w.launchApp("com.example.editor", "Editor", {"main.cpp"});
  w.desktop.accessibilityTrusted = false;
  w.launch();
  EXPECT_FALSE(w.app->delegate().eventTap()->hasTap());
  EXPECT_EQ(w.app->delegate().statusItem().icon(), StatusItemController::Icon::warning);
  w.pause(10);
  EXPECT_FALSE(w.app->delegate().eventTap()->hasTap());
  w.desktop.accessibilityTrusted = true;
  w.pause(3.0);
  EXPECT_TRUE(w.app->delegate().eventTap()->hasTap());
  EXPECT_EQ(w.app->delegate().statusItem().icon(), StatusItemController::Icon::healthy);
  (void)notes;
}

}  // namespace
}  // namespace velvix
