#include <gtest/gtest.h>

#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using platform::EventType;
using platform::InputEvent;

TEST(SimInput, ATapThatAnswersLateIsSwitchedOffAndToldSoWithTheNextEvent) {
  test::TestWorld world;
  auto& input = world.desktop.input();
  std::vector<EventType> seen;
  bool slow = true;
  auto tap = input.createTap(~std::uint64_t{0}, [&](InputEvent& e) {
    seen.push_back(e.type);
    if (slow) world.loop.spend(1.5);
    return true;
  });
  ASSERT_TRUE(tap);
  input.keyDown(platform::KeyCode::kW);  // takes too long: the tap goes off
  EXPECT_FALSE(input.isEnabled(*tap));
  input.keyUp(platform::KeyCode::kW);  // the tap hears why, but not the key-up itself
  EXPECT_EQ(seen, (std::vector<EventType>{EventType::keyDown, EventType::tapDisabledByTimeout}));
  slow = false;
  input.setEnabled(*tap, true);
  input.press(platform::KeyCode::kW);
  EXPECT_EQ(seen.back(), EventType::keyUp);

  input.disableByTimeout(*tap);
  input.setModifiers(0);  // the notice comes first; the event itself is not seen by the disabled tap
  EXPECT_EQ(seen.back(), EventType::tapDisabledByTimeout);
  input.setModifiers(0);
  EXPECT_EQ(seen.back(), EventType::tapDisabledByTimeout);
}

TEST(SimInput, SecureInputHidesKeysFromTapsButNotModifiersOrHotKeys) {
  test::TestWorld world;
  auto& input = world.desktop.input();
  world.desktop.secureInput.enabled = true;
  std::vector<EventType> seen;
  input.createTap(~std::uint64_t{0}, [&](InputEvent& e) {
    seen.push_back(e.type);
    return true;
  });
  int hotKeyPresses = 0;
  input.installHandler([&](std::uint32_t, std::uint32_t) { ++hotKeyPresses; });
  std::uint64_t ref = 0;
  ASSERT_EQ(input.registerHotKey(48, platform::HotKeys::kOption, 1, 1, ref), 0);
  input.setModifiers(platform::EventFlag::kOption);
  input.press(platform::KeyCode::kTab, platform::EventFlag::kOption);
  world.loop.runUntilIdle();
  EXPECT_EQ(seen, std::vector<EventType>{EventType::flagsChanged});
  EXPECT_EQ(hotKeyPresses, 1);
  EXPECT_TRUE(input.isKeyHeld(platform::KeyCode::kTab) == false);
}

}  // namespace
}  // namespace velvix
