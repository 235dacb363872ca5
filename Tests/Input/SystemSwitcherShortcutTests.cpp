#include <csignal>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Input/SwitcherHotkey.hpp"
#include "Input/SystemSwitcherShortcut.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using platform::EventFlag::kCommand;
using platform::EventFlag::kOption;
using platform::KeyCode::kTab;
using sim::SimSymbolicHotKeys;

struct ShortcutWorld : test::TestWorld {
  SystemSwitcherShortcut& shortcut = systemSwitcherShortcut();
  SimSymbolicHotKeys& keys = desktop.symbolicHotKeys();

  ShortcutWorld() { services(); }
  std::vector<std::string> shortcutLines() {
    std::vector<std::string> lines;
    for (auto& line : healthLines())
      if (line.starts_with("system ⌘Tab")) lines.push_back(line);
    return lines;
  }
  bool bothOn() const { return keys.isEnabled(1) && keys.isEnabled(2); }
  bool bothOff() const { return !keys.isEnabled(1) && !keys.isEnabled(2); }
};

TEST(SystemSwitcherShortcut, OwningTheChordSwitchesTheSystemsOffAndLettingGoSwitchesItBackOn) {
  ShortcutWorld w;
  w.shortcut.set(true);
  w.shortcut.set(true);
  EXPECT_TRUE(w.bothOff());
  EXPECT_FALSE(w.shortcut.isSystemSwitcherOn());
  w.desktop.input().press(kTab, kCommand);
  EXPECT_EQ(w.desktop.input().systemSwitcherShown, 0);
  w.shortcut.set(false);
  w.shortcut.set(false);
  EXPECT_TRUE(w.bothOn());
  w.desktop.input().press(kTab, kCommand);
  EXPECT_EQ(w.desktop.input().systemSwitcherShown, 1);
  EXPECT_EQ(w.shortcutLines(),
            (std::vector<std::string>{"system ⌘Tab disabled; Velvix owns it", "system ⌘Tab enabled"}));
}

TEST(SystemSwitcherShortcut, TheFirstCallAppliesItsStateAndLaterTheUsersOwnSettingIsLeftAlone) {
  ShortcutWorld w;
  w.keys.setEnabled(1, false);  // left off by an earlier run that was killed
  w.shortcut.set(false);
  EXPECT_TRUE(w.bothOn());
  w.keys.setEnabled(2, false);  // the user's own choice
  w.shortcut.set(false);
  EXPECT_FALSE(w.keys.isEnabled(2));
  EXPECT_EQ(w.shortcutLines(), (std::vector<std::string>{"system ⌘Tab enabled"}));
}

TEST(SystemSwitcherShortcut,
     SwitchedBackOnFromOutsideItIsUndoneAndReportedAtOnceThenOnceAMinuteWithTheCount) {
  ShortcutWorld w;
  w.shortcut.set(true);
  auto drift = [&](double after) {
    w.loop.advance(after);
    w.keys.setEnabled(1, true);
    w.shortcut.set(true);
    EXPECT_TRUE(w.bothOff());
  };
  drift(1);
  drift(1);
  drift(1);
  drift(60);
  EXPECT_EQ(w.shortcutLines(),
            (std::vector<std::string>{
                "system ⌘Tab disabled; Velvix owns it",
                "system ⌘Tab found switched back on outside Velvix (1× since last noted); disabling again",
                "system ⌘Tab found switched back on outside Velvix (3× since last noted); disabling again",
            }));
}

TEST(SystemSwitcherShortcut, SetterErrorsAreLoggedWithTheirCodesAndTheStateIsStillRecorded) {
  ShortcutWorld w;
  w.keys.failWith = -5;
  w.shortcut.set(true);
  EXPECT_TRUE(SystemSwitcherShortcut::isDisabledByUs());
  EXPECT_EQ(w.shortcutLines(), (std::vector<std::string>{"system ⌘Tab disable failed: -5, -5",
                                                         "system ⌘Tab disabled; Velvix owns it"}));
}

TEST(SystemSwitcherShortcut, SwitchingToOptionTabGivesCommandTabBackAndTheHotKeyListensForOptionTab) {
  ShortcutWorld w;
  SwitcherHotkey hotkey(w.services());
  int presses = 0;
  hotkey.onPress = [&](bool) { ++presses; };
  // What the event tap's ownership reconciliation does, before and after the mode changes.
  w.shortcut.set(true);
  hotkey.registerMode(HotkeyMode::commandTab);
  w.shortcut.set(false);
  hotkey.registerMode(HotkeyMode::optionTab);
  w.desktop.input().press(kTab, kCommand);
  w.desktop.input().press(kTab, kOption);
  w.loop.runUntilIdle();
  EXPECT_EQ(w.desktop.input().systemSwitcherShown, 1);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(w.desktop.input().hotKeyCount(), 2u);  // the Command ones are gone
  EXPECT_EQ(w.shortcutLines().back(), "system ⌘Tab enabled");
}

// Waits for one byte on `fd` within the bound.
bool readByte(int fd) {
  pollfd ready{fd, POLLIN, 0};
  char byte = 0;
  return ::poll(&ready, 1, 10000) == 1 && ::read(fd, &byte, 1) == 1;
}

TEST(SystemSwitcherShortcut, ATerminatedProcessThatOwnedTheChordGivesItBackAndDiesByTheSignal) {
  test::TempFolder folder;
  const std::string state = (folder.path() / "symbolic-hotkeys").string();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    sim::SimMainLoop loop;
    sim::MemoryDefaults defaults;
    SimSymbolicHotKeys keys;
    keys.useStateFile(state);
    DebugLog log(folder.path() / "log", defaults, loop);
    Services services;
    services.loop = &loop;
    services.log = &log;
    services.symbolicHotKeys = &keys;
    SystemSwitcherShortcut shortcut(services);
    shortcut.set(true);
    const char byte = 'r';
    if (::write(ready[1], &byte, 1) != 1) ::_exit(2);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  const bool childReady = readByte(ready[0]);
  ::close(ready[0]);
  auto owned = SimSymbolicHotKeys::readStateFile(state);
  EXPECT_TRUE(childReady);
  EXPECT_FALSE(owned[1] || owned[2]);

  ::kill(child, SIGTERM);
  int status = 0;
  if (!test::eventually([&] { return ::waitpid(child, &status, WNOHANG) == child; })) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    FAIL() << "the child did not end on SIGTERM";
  }
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  auto after = SimSymbolicHotKeys::readStateFile(state);
  EXPECT_TRUE(after[1] && after[2]);
}

}  // namespace
}  // namespace velvix
