#include <gtest/gtest.h>

#include "Platform/Simulated/SimBundleReader.hpp"
#include "Support/AppIcon.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

TEST(AppIcon, UnknownApplicationGetsTheGenericIcon) {
  TestWorld world;
  AppIcon icons(world.desktop.workspace(), world.desktop.bundles());
  auto icon = icons.icon("com.example.nowhere", std::nullopt);
  EXPECT_TRUE(icon.samePixels(world.desktop.workspace().genericApplicationIcon()));
}

TEST(AppIcon, TheBundleWithAnIconOfItsOwnWinsOverAnAuxiliaryOne) {
  TestWorld world;
  // An agent bundle without an icon is listed first; the main application has one.
  world.desktop.install(
      {.bundleID = "com.example.app", .name = "Agent", .path = "/Library/Helpers/Agent.app"});
  world.desktop.install({.bundleID = "com.example.app", .name = "App", .path = "/Applications/App.app"});
  world.desktop.bundles().add("/Library/Helpers/Agent.app",
                              {.info = {{"CFBundleIdentifier", "com.example.app"}}});
  world.desktop.bundles().add("/Applications/App.app", {.info = {{"CFBundleIdentifier", "com.example.app"},
                                                                 {"CFBundleIconName", "AppIcon"}}});
  AppIcon icons(world.desktop.workspace(), world.desktop.bundles());
  auto icon = icons.icon("com.example.app", std::nullopt);
  EXPECT_TRUE(icon.samePixels(world.desktop.workspace().iconForFile("/Applications/App.app")));
  EXPECT_FALSE(icons.hasOwnIcon("/Library/Helpers/Agent.app"));
  EXPECT_FALSE(icons.hasOwnIcon("/Applications/App"));
}

TEST(AppIcon, ARunningApplicationWithItsOwnIconIsUsedFirst) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.running", .name = "Running"});
  AppIcon icons(world.desktop.workspace(), world.desktop.bundles());
  auto icon = icons.icon("com.example.running", pid);
  EXPECT_TRUE(icon.samePixels(world.desktop.workspace().applicationIcon(pid)));
  EXPECT_FALSE(icon.samePixels(world.desktop.workspace().genericApplicationIcon()));
}

}  // namespace
}  // namespace velvix
