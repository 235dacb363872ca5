#include <gtest/gtest.h>

#include "Core/Preferences.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using Json = nlohmann::json;
using test::TestWorld;

TEST(Preferences, FreshAccountHasTheRegisteredDefaultsAndIsOfferedLaunchAtLogin) {
  TestWorld world;
  Preferences& p = world.preferences();
  EXPECT_EQ(p.universalTabLimit.get(), 10);
  EXPECT_EQ(p.perWindowTabLimit.get(), 5);
  EXPECT_EQ(p.hotkeyMode.get(), HotkeyMode::commandTab);
  EXPECT_EQ(p.hudGlassStyle.get(), GlassStyle::appKit);
  EXPECT_EQ(p.hudSizePreset.get(), HUDSizePreset::comfortable);
  EXPECT_TRUE(p.switcherEnabled.get());
  EXPECT_TRUE(p.showThumbnails.get());
  EXPECT_FALSE(p.terminalLineSelectEnabled.get());
  EXPECT_TRUE(p.terminalCutEnabled.get());
  EXPECT_FALSE(p.vscodeTerminalKeysAllowed.get());
  EXPECT_FALSE(p.vscodeTabsEnabled.get());
  EXPECT_TRUE(p.dockClickActions.get());
  EXPECT_EQ(p.excludedBundleIDs.get(), Preferences::builtInExcludedBundleIDs());
  EXPECT_EQ(p.excludedBundleIDs.get().front(), "com.1password.1password");
  // Only the first-run flag is written at load; the editor keys are not even registered.
  EXPECT_FALSE(world.defaults.object("vscodeTabsEnabled"));
  EXPECT_TRUE(world.defaults.boolean("didOfferLaunchAtLogin"));
  EXPECT_TRUE(p.launchAtLogin());
  EXPECT_EQ(world.desktop.loginItems().registerCalls(), 1);
}

TEST(Preferences, FirstRunOfferIsMadeOnceAndNotAfterOnboarding) {
  TestWorld world;
  world.defaults.set("hasCompletedOnboarding", true);
  world.preferences();
  EXPECT_EQ(world.desktop.loginItems().registerCalls(), 0);
  EXPECT_TRUE(world.defaults.boolean("didOfferLaunchAtLogin"));

  TestWorld failing;
  failing.desktop.loginItems().failWith("not allowed");
  Preferences& p = failing.preferences();
  EXPECT_FALSE(p.launchAtLogin());
  EXPECT_FALSE(p.launchAtLoginError());  // the first-run offer fails quietly
  EXPECT_TRUE(failing.defaults.boolean("didOfferLaunchAtLogin"));
}

TEST(Preferences, NumbersAreClampedOnLoadButNotOnWrite) {
  TestWorld world;
  world.defaults.set("universalTabLimit", -5);
  world.defaults.set("perWindowTabLimit", 51);
  Preferences& p = world.preferences();
  EXPECT_EQ(p.universalTabLimit.get(), 1);
  EXPECT_EQ(p.perWindowTabLimit.get(), 50);

  p.universalTabLimit.set(200);
  EXPECT_EQ(p.universalTabLimit.get(), 200);
  EXPECT_EQ(world.defaults.integer("universalTabLimit"), 200);

  TestWorld other;
  other.defaults.set("universalTabLimit", 500);
  other.defaults.set("perWindowTabLimit", 0);
  EXPECT_EQ(other.preferences().universalTabLimit.get(), 100);
  EXPECT_EQ(other.preferences().perWindowTabLimit.get(), 1);
}

TEST(Preferences, StoredValuesOfTheWrongTypeFallBackWithoutBeingRewritten) {
  TestWorld world;
  world.defaults.set("universalTabLimit", "lots");
  world.defaults.set("showThumbnails", Json::array());
  world.defaults.set("hotkeyMode", "OptionTab");
  world.defaults.set("hudSizePreset", "huge");
  world.defaults.set("hudGlassStyle", 3);
  world.defaults.set("excludedBundleIDs", "com.example.app");
  Preferences& p = world.preferences();
  EXPECT_EQ(p.universalTabLimit.get(), 1);
  EXPECT_FALSE(p.showThumbnails.get());
  EXPECT_EQ(p.hotkeyMode.get(), HotkeyMode::commandTab);
  EXPECT_EQ(p.hudSizePreset.get(), HUDSizePreset::comfortable);
  EXPECT_EQ(p.hudGlassStyle.get(), GlassStyle::appKit);
  EXPECT_EQ(p.excludedBundleIDs.get(), Preferences::builtInExcludedBundleIDs());
  EXPECT_EQ(world.defaults.object("hotkeyMode"), Json("OptionTab"));
  EXPECT_EQ(world.defaults.object("excludedBundleIDs"), Json("com.example.app"));
}

TEST(Preferences, AStrayEntryInTheExclusionsKeepsTheUsersNamesAndIsNoted) {
  TestWorld world;
  world.defaults.set("excludedBundleIDs", Json::parse(R"(["com.a", 5, "com.b", null])"));
  Preferences& p = world.preferences();
  EXPECT_EQ(p.excludedBundleIDs.get(), (std::vector<std::string>{"com.a", "com.b"}));
  ASSERT_EQ(p.loadProblems().size(), 1u);
  EXPECT_NE(p.loadProblems()[0].find("excludedBundleIDs"), std::string::npos);
  p.excludedBundleIDs.set({"com.a", "com.b", "com.c"});
  EXPECT_EQ(world.defaults.object("excludedBundleIDs"), Json::parse(R"(["com.a", "com.b", "com.c"])"));
}

TEST(Preferences, EveryAssignmentStoresThenAnnouncesOnceEvenWhenUnchanged) {
  TestWorld world;
  Preferences& p = world.preferences();
  std::vector<bool> seenByObserver;
  auto observation = world.notifications().observe(Preferences::kChangedNotification, [&](const auto&) {
    seenByObserver.push_back(p.switcherEnabled.get());
    EXPECT_TRUE(world.defaults.hasUserValue("switcherEnabled"));
  });
  std::vector<std::string> willChange;
  auto subscription = p.observeWillChange([&](std::string_view member) {
    willChange.emplace_back(member);
    EXPECT_TRUE(p.switcherEnabled.get());  // announced before the change
  });
  p.switcherEnabled.set(true);
  p.switcherEnabled.set(false);
  EXPECT_EQ(seenByObserver, (std::vector<bool>{true, false}));
  EXPECT_EQ(willChange, (std::vector<std::string>{"switcherEnabled", "switcherEnabled"}));
  EXPECT_EQ(world.defaults.object("switcherEnabled"), Json(false));
}

TEST(Preferences, EnumerationsAndListsAreStoredInTheirPlainForms) {
  TestWorld world;
  Preferences& p = world.preferences();
  p.hotkeyMode.set(HotkeyMode::optionTab);
  p.hudGlassStyle.set(GlassStyle::liquidGlass);
  p.excludedBundleIDs.set({"a.b", "c.d"});
  EXPECT_EQ(world.defaults.object("hotkeyMode"), Json("optionTab"));
  EXPECT_EQ(world.defaults.object("hudGlassStyle"), Json("liquidGlass"));
  EXPECT_EQ(world.defaults.object("excludedBundleIDs"), Json({"a.b", "c.d"}));
  EXPECT_EQ(fromRaw<HUDSizePreset>("Large"), std::nullopt);
  EXPECT_EQ(allCases<GlassStyle>().size(), 3u);
}

TEST(Preferences, LegacyDockKeysMigrateOnlyWhenTheUserNeverChose) {
  TestWorld fresh;
  fresh.defaults.set("dockClickMinimize", false);
  EXPECT_FALSE(fresh.preferences().dockClickActions.get());
  EXPECT_FALSE(fresh.defaults.hasUserValue("dockClickMinimize"));

  TestWorld chosen;
  chosen.defaults.set("dockClickActions", true);
  chosen.defaults.set("dockClickMinimize", false);
  EXPECT_TRUE(chosen.preferences().dockClickActions.get());
  EXPECT_FALSE(chosen.defaults.hasUserValue("dockClickMinimize"));

  TestWorld both;  // the first legacy key found decides
  both.defaults.set("dockClickFocusesRecent", false);
  both.defaults.set("dockClickMinimize", true);
  EXPECT_FALSE(both.preferences().dockClickActions.get());
  EXPECT_FALSE(both.defaults.hasUserValue("dockClickFocusesRecent"));
  EXPECT_FALSE(both.defaults.hasUserValue("dockClickMinimize"));
}

TEST(Preferences, FailedLaunchAtLoginChangeSpringsBackAndTheNextSuccessClearsTheError) {
  TestWorld world;
  world.defaults.set("didOfferLaunchAtLogin", true);
  Preferences& p = world.preferences();
  ASSERT_FALSE(p.launchAtLogin());
  int changesPosted = 0;
  auto observation =
      world.notifications().observe(Preferences::kChangedNotification, [&](const auto&) { ++changesPosted; });

  world.desktop.loginItems().failWith("Operation not permitted");
  p.setLaunchAtLogin(true);
  EXPECT_FALSE(p.launchAtLogin());
  EXPECT_EQ(p.launchAtLoginError(), "Operation not permitted");
  EXPECT_EQ(world.desktop.loginItems().registerCalls(), 1);  // the spring-back does not retry

  world.desktop.loginItems().failWith(std::nullopt);
  p.setLaunchAtLogin(true);
  EXPECT_TRUE(p.launchAtLogin());
  EXPECT_FALSE(p.launchAtLoginError());
  EXPECT_EQ(world.desktop.loginItems().mainAppStatus(), platform::LoginItemStatus::Enabled);
  EXPECT_EQ(changesPosted, 0);  // the login item is not a defaults key

  p.setLaunchAtLogin(false);
  EXPECT_EQ(world.desktop.loginItems().mainAppStatus(), platform::LoginItemStatus::NotRegistered);
}

}  // namespace
}  // namespace velvix
