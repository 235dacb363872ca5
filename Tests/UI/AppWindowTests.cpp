#include <gtest/gtest.h>

#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/AppWindow.hpp"

namespace velvix {
namespace {

using platform::EventFlag::kCommand;
using platform::EventFlag::kOption;
using platform::EventFlag::kShift;
using test::TestWorld;

platform::InputEvent key(std::uint64_t flags) {
  return {.type = platform::EventType::keyDown, .flags = flags};
}

TEST(AppWindow, EntersTheSwitcherWhenBroughtForwardAndLeavesWhenClosedWithCommandW) {
  TestWorld world;
  world.services();
  AppWindow window(world.desktop.application(), world.desktop.workspace(), world.mru(), world.loop,
                   "Velvix Settings", {100, 100, 600, 400});
  window.makeKeyAndOrderFront();
  const std::string id = "win:com.kolvi.velvix:" + std::to_string(window.number());
  ASSERT_TRUE(world.item(id));
  EXPECT_EQ(world.item(id)->title, "Velvix Settings");
  const double first = world.item(id)->lastActivatedAt;
  world.loop.advance(5);
  window.becomeKey();
  EXPECT_EQ(world.itemIDs().size(), 1u);
  EXPECT_GT(world.item(id)->lastActivatedAt, first);

  world.thumbnails().storeForTesting(id, {});
  EXPECT_FALSE(window.performKeyEquivalent(key(kCommand | kShift), "w"));
  EXPECT_FALSE(window.performKeyEquivalent(key(kCommand | 0x10000), "w"));  // Caps Lock is a different chord
  EXPECT_TRUE(window.performKeyEquivalent(key(kCommand), "W"));
  EXPECT_FALSE(window.isOpen());
  EXPECT_FALSE(world.item(id));
  EXPECT_FALSE(world.thumbnails().contains(id));
  EXPECT_EQ(world.desktop.window(window.number()), nullptr);
}

TEST(AppWindow, BecomingKeyOnTheDesktopEntersItInTheSwitcher) {
  TestWorld world;
  world.services();
  auto other = world.launchWithWindows("com.example.notes", "Notes", {"List"});
  AppWindow window(world.desktop.application(), world.desktop.workspace(), world.mru(), world.loop,
                   "Velvix Settings", {1000, 200, 400, 300});
  world.desktop.setMinimized(window.number(), false);  // shown, but the program is not active
  world.desktop.activate(other);
  world.loop.runUntilIdle();
  const std::string id = "win:com.kolvi.velvix:" + std::to_string(window.number());
  EXPECT_FALSE(world.item(id));
  // The user clicks the window: the program becomes active with it in front, so it is key.
  const Rect frame = world.desktop.window(window.number())->bounds;
  world.desktop.clickAt({frame.x + 5, frame.y + 5});
  world.loop.runUntilIdle();
  ASSERT_TRUE(world.item(id));
  EXPECT_EQ(world.item(id)->title, "Velvix Settings");
}

TEST(AppWindow, CommandMMinimisesOnlyMiniaturizableWindowsAndEmptyTitlesShowTheBundle) {
  TestWorld world;
  world.services();
  AppWindow window(world.desktop.application(), world.desktop.workspace(), world.mru(), world.loop, "",
                   {100, 100, 600, 400});
  window.makeKeyAndOrderFront();
  EXPECT_EQ(world.item("win:com.kolvi.velvix:" + std::to_string(window.number()))->title, "com.kolvi.velvix");
  EXPECT_FALSE(window.performKeyEquivalent(key(kCommand | kOption), "m"));
  EXPECT_TRUE(window.performKeyEquivalent(key(kCommand), "m"));
  EXPECT_TRUE(world.desktop.window(window.number())->minimized);

  AppWindow fixed(world.desktop.application(), world.desktop.workspace(), world.mru(), world.loop, "Fixed",
                  {0, 0, 300, 200}, false);
  EXPECT_FALSE(fixed.performKeyEquivalent(key(kCommand), "m"));
}

}  // namespace
}  // namespace velvix
