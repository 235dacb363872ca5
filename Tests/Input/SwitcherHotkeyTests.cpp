#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "Input/SwitcherHotkey.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using platform::EventFlag::kCommand;
using platform::EventFlag::kShift;
using platform::KeyCode::kTab;

// The system's own switcher is off, as it is while this program owns the chord, so that presses
// go on to the application hot keys.
struct HotkeyWorld : test::TestWorld {
  std::unique_ptr<SwitcherHotkey> hotkey = std::make_unique<SwitcherHotkey>(desktop.input(), log());
  std::vector<bool> presses;  // reverse flag of each press

  HotkeyWorld() {
    desktop.symbolicHotKeys().setEnabled(1, false);
    desktop.symbolicHotKeys().setEnabled(2, false);
    hotkey->onPress = [this](bool reverse) { presses.push_back(reverse); };
  }
  void press(std::uint64_t flags) {
    desktop.input().press(kTab, flags);
    loop.runUntilIdle();
  }
  // Key-downs of the chord that went on to the front application.
  long reachedApplication() const {
    const auto& events = desktop.input().reachedFrontApplication;
    return std::count_if(events.begin(), events.end(),
                         [](const auto& e) { return e.type == platform::EventType::keyDown; });
  }
  std::vector<std::string> hotkeyLines() {
    std::vector<std::string> lines;
    for (auto& line : healthLines())
      if (line.starts_with("fallback hotkey")) lines.push_back(line);
    return lines;
  }
};

TEST(SwitcherHotkey, TheChordArrivesWhileTheTapIsBlindForwardAndWithShiftReverse) {
  HotkeyWorld w;
  w.desktop.secureInput.enabled = true;  // taps see no keystrokes now
  w.hotkey->registerMode(HotkeyMode::commandTab);
  EXPECT_TRUE(w.hotkey->isRegistered());
  w.press(kCommand);
  w.press(kCommand | kShift);
  EXPECT_EQ(w.presses, (std::vector<bool>{false, true}));
  EXPECT_EQ(w.reachedApplication(), 0);
}

TEST(SwitcherHotkey, NoModeOrNoHotkeyAtAllLeavesTheChordToTheApplication) {
  HotkeyWorld w;
  w.hotkey->registerMode(HotkeyMode::commandTab);
  w.hotkey->registerMode(std::nullopt);
  EXPECT_FALSE(w.hotkey->isRegistered());
  w.press(kCommand);
  w.hotkey->registerMode(HotkeyMode::commandTab);
  w.hotkey.reset();
  w.press(kCommand);
  EXPECT_TRUE(w.presses.empty());
  EXPECT_EQ(w.reachedApplication(), 2);
}

TEST(SwitcherHotkey, ARegistrationFailingEverySecondIsLoggedOncePerStatusAndItsRecoveryToo) {
  HotkeyWorld w;
  w.desktop.input().hotKeyRegistrationStatus = -9878;
  for (int second = 0; second < 5; ++second) w.hotkey->registerMode(HotkeyMode::commandTab);
  w.desktop.input().hotKeyRegistrationStatus = -50;
  w.hotkey->registerMode(HotkeyMode::commandTab);
  w.hotkey->registerMode(HotkeyMode::commandTab);
  EXPECT_FALSE(w.hotkey->isRegistered());
  w.desktop.input().hotKeyRegistrationStatus = 0;
  w.hotkey->registerMode(HotkeyMode::commandTab);
  EXPECT_TRUE(w.hotkey->isRegistered());
  EXPECT_EQ(w.hotkeyLines(), (std::vector<std::string>{
                                 "fallback hotkey 1 not registered (status -9878); retrying",
                                 "fallback hotkey 1 not registered (status -50); retrying",
                                 "fallback hotkey registered after retrying",
                             }));
  w.press(kCommand);
  EXPECT_EQ(w.presses.size(), 1u);
}

TEST(SwitcherHotkey, AHandlerThatCouldNotBeInstalledIsRetriedAndNothingIsRegisteredMeanwhile) {
  HotkeyWorld w;
  w.desktop.input().handlerInstallStatus = -108;
  for (int second = 0; second < 3; ++second) w.hotkey->registerMode(HotkeyMode::commandTab);
  EXPECT_FALSE(w.hotkey->isRegistered());
  EXPECT_EQ(w.desktop.input().hotKeyCount(), 0u);
  w.press(kCommand);  // nothing swallows it on its way
  EXPECT_EQ(w.reachedApplication(), 1);
  w.desktop.input().handlerInstallStatus = 0;
  w.hotkey->registerMode(HotkeyMode::commandTab);
  EXPECT_TRUE(w.hotkey->isRegistered());
  w.press(kCommand);
  EXPECT_EQ(w.presses.size(), 1u);
  EXPECT_EQ(w.hotkeyLines(), (std::vector<std::string>{"fallback hotkey handler not installed (status -108)",
                                                       "fallback hotkey registered after retrying"}));
}

}  // namespace
}  // namespace velvix
