#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "App/QuitSignals.hpp"
#include "Input/SwitcherHotkey.hpp"
#include "Input/SystemSwitcherShortcut.hpp"
#include "Platform/Linux/SerialQueue.hpp"
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
  SwitcherHotkey hotkey(w.desktop.input(), w.log());
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

// A real process that owns the chord (its state kept in a file, as the window server keeps it
// outside the process), then does `then`. The test kills or waits for it and reads the file.
class ChordOwner {
 public:
  explicit ChordOwner(std::function<void()> then) {
    int ready[2], go[2];
    if (::pipe(ready) != 0 || ::pipe(go) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      sim::SimMainLoop loop;
      platform::MemoryDefaults defaults;
      SimSymbolicHotKeys keys;
      keys.useStateFile(state_);
      DebugLog log(folder_.path() / "log", defaults, loop);
      SystemSwitcherShortcut shortcut(keys, loop, log);
      shortcut.set(true);
      const char byte = 'r';
      if (::write(ready[1], &byte, 1) != 1) ::_exit(2);
      // `then` may end the process at once (an overflow on a small stack does): it waits until the
      // test has seen the chord owned, or a loaded machine could let it give the chord back first.
      if (!readByte(go[0])) ::_exit(3);
      then();
      for (;;) ::pause();
    }
    ::close(ready[1]);
    ::close(go[0]);
    if (pid_ > 0 && readByte(ready[0])) {
      auto state = SimSymbolicHotKeys::readStateFile(state_);
      owned_ = !state[1] && !state[2];
    }
    const char byte = 'g';
    if (pid_ > 0 && ::write(go[1], &byte, 1) != 1) owned_ = false;
    ::close(ready[0]);
    ::close(go[1]);
  }
  ~ChordOwner() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // Whether it owned the chord once it was ready, before it went on to `then`.
  bool ownsTheChord() const { return owned_; }
  bool gaveTheChordBack() const {
    auto state = SimSymbolicHotKeys::readStateFile(state_);
    return state[1] && state[2];
  }
  void kill(int signal) const { ::kill(pid_, signal); }
  // The signal that ended it within the bound (0: it did not end by a signal, or not in time).
  int endingSignal() {
    int status = 0;
    if (!test::eventually([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; })) return 0;
    status_ = status;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  // After endingSignal: it ended by exiting with status 0.
  bool exitedCleanly() const { return status_ && WIFEXITED(*status_) && WEXITSTATUS(*status_) == 0; }

 private:
  test::TempFolder folder_;
  const std::string state_ = (folder_.path() / "symbolic-hotkeys").string();
  pid_t pid_ = -1;
  bool owned_ = false;
  std::optional<int> status_;
};

TEST(SystemSwitcherShortcut, ATerminatedProcessThatOwnedTheChordGivesItBackAndDiesByTheSignal) {
  ChordOwner child([] {});
  EXPECT_TRUE(child.ownsTheChord());
  child.kill(SIGTERM);
  EXPECT_EQ(child.endingSignal(), SIGTERM);
  EXPECT_TRUE(child.gaveTheChordBack());
}

// Every signal whose default action ends a process gives the chord back first.
TEST(SystemSwitcherShortcut, EverySignalThatEndsTheProcessGivesTheChordBack) {
  for (int signal :
       {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGSYS, SIGHUP, SIGQUIT}) {
    ChordOwner child([] {});
    ASSERT_TRUE(child.ownsTheChord()) << signal;
    child.kill(signal);
    EXPECT_EQ(child.endingSignal(), signal);
    EXPECT_TRUE(child.gaveTheChordBack()) << strsignal(signal);
  }
}

volatile bool gKeepRecursing = true;
int recurseForever(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return gKeepRecursing ? recurseForever(depth + 1) + frame[0] : 0;
}

TEST(SystemSwitcherShortcut, AStackOverflowGivesTheChordBack) {
  ChordOwner child([] { recurseForever(0); });
  EXPECT_TRUE(child.ownsTheChord());
  EXPECT_EQ(child.endingSignal(), SIGSEGV);
  EXPECT_TRUE(child.gaveTheChordBack());
}

// Every thread has its own alternate stack: an overflow on a worker thread reaches the handler too.
TEST(SystemSwitcherShortcut, AStackOverflowOnAWorkerThreadGivesTheChordBack) {
  ChordOwner child([] {
    auto* queue = new platform::SerialQueue("velvix.test.overflow");
    queue->async([] { recurseForever(0); });
  });
  EXPECT_TRUE(child.ownsTheChord());
  EXPECT_EQ(child.endingSignal(), SIGSEGV);
  EXPECT_TRUE(child.gaveTheChordBack());
}

// Routed to the application's quit, SIGTERM waits for it; when the quit does not finish in time
// (here nothing carries it out), the chord is given back and the signal ends the process.
TEST(SystemSwitcherShortcut, ATerminationThatTheQuitDoesNotFinishInTimeStillGivesTheChordBack) {
  ChordOwner child([] { new QuitSignals([] {}, 0.2); });
  EXPECT_TRUE(child.ownsTheChord());
  child.kill(SIGTERM);
  EXPECT_EQ(child.endingSignal(), SIGTERM);
  EXPECT_TRUE(child.gaveTheChordBack());
}

}  // namespace
}  // namespace velvix
