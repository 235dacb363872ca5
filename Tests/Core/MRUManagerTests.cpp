#include <gtest/gtest.h>

#include "Core/MRUManager.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

SwitchableItem entry(std::string id, double at, bool seeded = false, std::string title = "t") {
  SwitchableItem item;
  item.id = std::move(id);
  item.bundleID = "com.example.app";
  item.lastActivatedAt = at;
  item.seeded = seeded;
  item.title = std::move(title);
  return item;
}

SwitchableItem tab(std::string id, std::string window, double at, bool seeded = false) {
  SwitchableItem item = entry(std::move(id), at, seeded);
  item.kind = ItemKind::tab;
  item.bundleID = "com.google.Chrome";
  item.browser = Browser::chrome;
  item.windowID = std::move(window);
  item.source = TabSource::webExtension;
  return item;
}

TEST(MRUManager, RecencyOrderPutsUsedEntriesBeforeEstimatesAndIsStable) {
  std::vector<SwitchableItem> list{entry("seededRecent", 1000, true), entry("liveOld", 10),
                                   entry("tieA", 500), entry("tieB", 500), entry("liveNew", 900)};
  MRUManager::sortByRecency(list);
  std::vector<std::string> ids;
  for (const auto& e : list) ids.push_back(e.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"liveNew", "tieA", "tieB", "liveOld", "seededRecent"}));
}

TEST(MRUManager, UpsertMergeNeverLetsEstimatesBeatFactsOrDatesGoBack) {
  TestWorld world;
  MRUManager& mru = world.mru();
  mru.upsertApp(entry("app:a", 100, false, "A"));
  mru.upsertApp(entry("app:a", 200, true, "A renamed"));  // estimate: date and seeded stay
  EXPECT_EQ(mru.find("app:a")->lastActivatedAt, 100);
  EXPECT_FALSE(mru.find("app:a")->seeded);
  EXPECT_EQ(mru.find("app:a")->title, "A renamed");  // title and pid always follow

  mru.upsertApp(entry("app:b", 100, true));
  mru.upsertApp(entry("app:b", 50, true));  // seeded over seeded: the later date
  EXPECT_EQ(mru.find("app:b")->lastActivatedAt, 100);
  mru.upsertApp(entry("app:b", 80, false));  // a real use clears seeded but keeps the later date
  EXPECT_EQ(mru.find("app:b")->lastActivatedAt, 100);
  EXPECT_FALSE(mru.find("app:b")->seeded);
  EXPECT_EQ(mru.entries().size(), 2u);
}

TEST(MRUManager, SeedingDatesTheFrontWindowNowAndTheOthersEarlier) {
  TestWorld world;
  auto editor = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto c = world.desktop.addWindow(editor, {.title = "C"});
  auto b = world.desktop.addWindow(editor, {.title = "B"});
  auto a = world.desktop.addWindow(editor, {.title = "A"});
  world.desktop.activate(editor);
  MRUManager& mru = world.mru();
  const double now = world.loop.now();
  mru.seedRunningApps();
  auto* ea = mru.find(SwitchableItem::windowItemID("com.example.editor", a));
  auto* eb = mru.find(SwitchableItem::windowItemID("com.example.editor", b));
  auto* ec = mru.find(SwitchableItem::windowItemID("com.example.editor", c));
  ASSERT_TRUE(ea && eb && ec);
  EXPECT_EQ(ea->lastActivatedAt, now);
  EXPECT_FALSE(ea->seeded);
  EXPECT_EQ(eb->lastActivatedAt, now - 1.5);
  EXPECT_EQ(ec->lastActivatedAt, now - 2.0);
  EXPECT_TRUE(eb->seeded && ec->seeded);
  EXPECT_EQ(ea->title, "A");
}

TEST(MRUManager, SeedingListsBrowsersAsApplicationsAndMinimizedWindowsLast) {
  TestWorld world;
  auto chrome = world.launchWithWindows("com.google.Chrome", "Google Chrome", {"Tab page 1", "Tab page 2"});
  auto notes = world.desktop.launch({.bundleID = "com.example.notes", .name = "Notes"});
  auto hidden = world.desktop.addWindow(notes, {.title = "Hidden", .minimized = true});
  auto shown = world.desktop.addWindow(notes, {.title = "Shown"});
  world.desktop.activate(chrome);
  MRUManager& mru = world.mru();
  mru.seedRunningApps();
  ASSERT_TRUE(mru.find("app:com.google.Chrome"));
  EXPECT_FALSE(mru.find("app:com.google.Chrome")->seeded);  // the front application
  for (const auto& e : mru.entries())
    EXPECT_FALSE(e.bundleID == "com.google.Chrome" && e.windowNumber.has_value());
  auto* min = mru.find(SwitchableItem::windowItemID("com.example.notes", hidden));
  auto* on = mru.find(SwitchableItem::windowItemID("com.example.notes", shown));
  ASSERT_TRUE(min && on);
  EXPECT_TRUE(min->seeded);
  EXPECT_LT(min->lastActivatedAt, on->lastActivatedAt);
  EXPECT_FALSE(min->isMinimized);
}

TEST(MRUManager, BumpWritesTheFrontWindowAtTheDateAndEstimatesTheOthers) {
  TestWorld world;
  auto pid = world.launchWithWindows("com.example.editor", "Editor", {"Three", "Two", "One"});
  auto windows = world.desktop.windowsOf(pid);  // front to back: One, Two, Three
  MRUManager& mru = world.mru();
  // The user used "Three" before: its own date stays.
  auto used = entry(SwitchableItem::windowItemID("com.example.editor", windows[2]), 5000);
  used.bundleID = "com.example.editor";
  mru.upsertApp(used);
  const auto app = *world.desktop.workspace().application(pid);
  mru.bumpApp(app, 1000);
  auto* one = mru.find(SwitchableItem::windowItemID("com.example.editor", windows[0]));
  auto* two = mru.find(SwitchableItem::windowItemID("com.example.editor", windows[1]));
  auto* three = mru.find(SwitchableItem::windowItemID("com.example.editor", windows[2]));
  ASSERT_TRUE(one && two && three);
  EXPECT_EQ(one->lastActivatedAt, 1000);
  EXPECT_FALSE(one->seeded);
  EXPECT_EQ(two->lastActivatedAt, 1000 - 0.75);
  EXPECT_TRUE(two->seeded);
  EXPECT_EQ(three->lastActivatedAt, 5000);
  EXPECT_FALSE(three->seeded);
  EXPECT_FALSE(mru.find("app:com.example.editor"));  // listed through its windows only
}

TEST(MRUManager, BumpOfAnApplicationWithoutQualifyingWindowsRecordsNothing) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.empty", .name = "Empty"});
  auto agent = world.desktop.launch({.bundleID = "com.example.agent",
                                     .name = "Agent",
                                     .activationPolicy = platform::ActivationPolicy::Prohibited});
  world.desktop.addWindow(agent);
  MRUManager& mru = world.mru();
  mru.bumpApp(*world.desktop.workspace().application(pid), 10);
  mru.bumpApp(*world.desktop.workspace().application(agent), 10);
  EXPECT_TRUE(mru.entries().empty());

  auto chrome = world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  mru.bumpApp(*world.desktop.workspace().application(chrome), 10);
  ASSERT_EQ(mru.entries().size(), 1u);
  EXPECT_EQ(mru.entries()[0].id, "app:com.google.Chrome");
}

TEST(MRUManager, ExcludedApplicationsShowNoWindowTitles) {
  TestWorld world;
  auto pid = world.launchWithWindows("com.bitwarden.desktop", "Bitwarden", {"My vault — secrets"});
  MRUManager& mru = world.mru();
  mru.bumpApp(*world.desktop.workspace().application(pid), 10);
  ASSERT_EQ(mru.entries().size(), 1u);
  EXPECT_EQ(mru.entries()[0].title, "Bitwarden");
}

TEST(MRUManager, ExcludingAnApplicationHidesItsWindowTitlesAtOnce) {
  TestWorld world;
  auto pid = world.launchWithWindows("com.example.vault", "Vault", {"Bank login — 2024"});
  MRUManager& mru = world.mru();
  mru.bumpApp(*world.desktop.workspace().application(pid), 10);
  ASSERT_EQ(mru.entries().size(), 1u);
  ASSERT_EQ(mru.entries()[0].title, "Bank login — 2024");
  auto excluded = world.preferences().excludedBundleIDs.get();
  excluded.push_back("com.example.vault");
  world.preferences().excludedBundleIDs.set(excluded);
  world.loop.runUntilIdle();
  EXPECT_EQ(mru.entries()[0].title, "Vault");  // not only after its next activation
}

TEST(MRUManager, TabCapsKeepTheMostRecentLiveTabsPerWindowAndOverall) {
  TestWorld world;
  world.preferences().perWindowTabLimit.set(5);
  world.preferences().universalTabLimit.set(6);
  MRUManager& mru = world.mru();
  for (int i = 0; i < 7; ++i)
    mru.stateForTesting().items.push_back(tab("tab:w1:" + std::to_string(i), "1", 100 + i, i >= 5));
  mru.stateForTesting().items.push_back(tab("tab:w2:a", "2", 50));
  mru.stateForTesting().items.push_back(tab("tab:w2:b", "2", 40));
  world.thumbnails().storeForTesting("tab:w1:6", {});
  mru.enforceCaps();
  std::vector<std::string> ids;
  for (const auto& e : mru.entries()) ids.push_back(e.id);
  // Window 1 keeps its five live tabs (the seeded ones go first); then the overall limit of six
  // drops the oldest of what is left.
  EXPECT_EQ(ids, (std::vector<std::string>{"tab:w1:0", "tab:w1:1", "tab:w1:2", "tab:w1:3", "tab:w1:4",
                                           "tab:w2:a"}));
  EXPECT_FALSE(world.thumbnails().contains("tab:w1:6"));
}

TEST(MRUManager, TabLimitBelowOneKeepsOneTab) {
  TestWorld world;
  world.preferences().perWindowTabLimit.set(0);
  MRUManager& mru = world.mru();
  mru.stateForTesting().items.push_back(tab("tab:a", "1", 10));
  mru.stateForTesting().items.push_back(tab("tab:b", "1", 20));
  mru.enforceCaps();
  ASSERT_EQ(mru.entries().size(), 1u);
  EXPECT_EQ(mru.entries()[0].id, "tab:b");
}

TEST(MRUManager, TurningPrivateTabsOffRemovesThemAtOnce) {
  TestWorld world;
  world.preferences().includePrivateTabs.set(true);
  MRUManager& mru = world.mru();
  auto secret = tab("tab:secret", "1", 10);
  secret.isPrivate = true;
  mru.stateForTesting().items.push_back(secret);
  mru.stateForTesting().items.push_back(tab("tab:open", "1", 10));
  world.preferences().includePrivateTabs.set(false);
  ASSERT_EQ(mru.entries().size(), 1u);
  EXPECT_EQ(mru.entries()[0].id, "tab:open");
}

TEST(MRUManager, SleptTimeAddsToNoEntrysAge) {
  TestWorld world;
  MRUManager& mru = world.mru();
  mru.stateForTesting().items = {entry("app:a", world.loop.now() - 10),
                                 entry("app:b", world.loop.now() - 20)};
  world.desktop.sleep();
  world.loop.advance(3600);
  world.desktop.wake();
  EXPECT_DOUBLE_EQ(world.loop.now() - mru.entries()[0].lastActivatedAt, 10);
  EXPECT_DOUBLE_EQ(world.loop.now() - mru.entries()[1].lastActivatedAt, 20);
  world.desktop.wake();  // a second wake without a sleep changes nothing
  EXPECT_DOUBLE_EQ(world.loop.now() - mru.entries()[0].lastActivatedAt, 10);
}

TEST(MRUManager, BestTabOfABrowserPrefersLiveOverSeeded) {
  TestWorld world;
  MRUManager& mru = world.mru();
  const double now = world.loop.now();
  mru.stateForTesting().items = {tab("tab:recent-estimate", "1", now - 60, true),
                                 tab("tab:yesterday", "1", now - 86400), tab("tab:older", "1", now - 90000)};
  EXPECT_EQ(mru.mostRecentTabItemID(Browser::chrome), "tab:yesterday");
  EXPECT_FALSE(mru.mostRecentTabItemID(Browser::safari));
}

TEST(MRUManager, RemovalsDropTheCachedThumbnails) {
  TestWorld world;
  MRUManager& mru = world.mru();
  auto win = entry("win:com.example.app:7", 1);
  mru.stateForTesting().items = {win, entry("app:com.example.app", 1), tab("tab:x", "1", 1)};
  mru.stateForTesting().items[2].bundleID = "com.example.app";
  for (const auto& e : mru.entries()) world.thumbnails().storeForTesting(e.id, {});
  mru.removeApp("com.example.app");
  ASSERT_EQ(mru.entries().size(), 1u);  // the tab stays
  EXPECT_FALSE(world.thumbnails().contains("win:com.example.app:7"));
  EXPECT_TRUE(world.thumbnails().contains("tab:x"));
  mru.removeItem("tab:x");
  EXPECT_TRUE(mru.entries().empty());
  EXPECT_EQ(world.thumbnails().count(), 0u);
  mru.removeItem("nothing");  // harmless
  mru.markActivated("nothing");
}

}  // namespace
}  // namespace velvix
