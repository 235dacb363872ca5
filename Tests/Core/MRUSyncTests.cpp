#include <gtest/gtest.h>

#include "Core/MRUManager.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

TabPack tab(std::int64_t tabID, std::int64_t windowID, std::int64_t index, std::string url,
            bool active = false) {
  return {.tabID = tabID, .windowID = windowID, .tabIndex = index, .url = std::move(url), .active = active};
}

class MRUSync : public ::testing::Test {
 protected:
  MRUSync() { world.defaults.set("debugLogging", true); }

  const SwitchableItem* find(const std::string& id) { return world.item(id); }
  std::vector<std::string> ids() { return world.itemIDs(); }
  // Entries of tabs the browser reported earlier, each at its own tab id.
  void known(Browser browser, const std::optional<std::string>& session, std::vector<std::int64_t> tabIDs) {
    for (auto id : tabIDs)
      mru.tabActivated(browser, session, tab(id, 1, 0, "https://site.example/" + std::to_string(id)), false);
  }
  double now() { return world.loop.now(); }

  test::TestWorld world;
  MRUManager& mru = world.mru();
};

TEST_F(MRUSync, AnEmptyReportChangesNothingButAWindowWithoutTabsClearsTheSession) {
  known(Browser::chrome, "s1", {1, 2});
  known(Browser::chrome, "s2", {3});
  mru.adoptSync(Browser::chrome, "s1", {});
  EXPECT_EQ(mru.entries().size(), 3u);
  EXPECT_EQ(world.debugLines(), (std::vector<std::string>{"adoptSync chrome: empty sync ignored"}));

  mru.adoptSync(Browser::chrome, "s1", {{.windowID = 1}});
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:chrome:s2:3"}));  // other sessions are not touched
}

TEST_F(MRUSync, ClosedTabsArePrunedButTabsNewerThanTheReportStay) {
  known(Browser::chrome, "4f1c9a2e-77d0", {5, 9, 40});
  world.thumbnails().storeForTesting("tab:chrome:4f1c9a2e:5", {});
  mru.adoptSync(Browser::chrome, "4f1c9a2e-77d0",
                {{.windowID = 1,
                  .tabs = {tab(3, 1, 0, "https://three.example/"), tab(8, 1, 1, "https://eight.example/")}},
                 {.windowID = 2, .tabs = {tab(12, 2, 0, "https://twelve.example/")}}});
  EXPECT_FALSE(find("tab:chrome:4f1c9a2e:5"));
  EXPECT_FALSE(find("tab:chrome:4f1c9a2e:9"));
  EXPECT_TRUE(find("tab:chrome:4f1c9a2e:40"));
  EXPECT_FALSE(world.thumbnails().contains("tab:chrome:4f1c9a2e:5"));
  EXPECT_EQ(
      world.debugLines().front(),
      R"(adoptSync chrome session=4f1c9a2e pruned closed=["tab:chrome:4f1c9a2e:5", "tab:chrome:4f1c9a2e:9"])");
}

TEST_F(MRUSync, EachWindowsActiveTabIsDatedInFocusOrderAndOnlyTheFocusedOneCountsAsUsed) {
  known(Browser::chrome, "s", {20});
  const double earlier = find("tab:chrome:s:20")->lastActivatedAt;
  world.loop.advance(100);
  mru.adoptSync(
      Browser::chrome, "s",
      {{.windowID = 1, .tabs = {tab(10, 1, 0, "https://a.example/"), tab(11, 1, 1, "https://b.example/")}},
       {.windowID = 2, .focused = true, .tabs = {tab(20, 2, 0, "https://site.example/20", true)}},
       {.windowID = 3,
        .tabs = {tab(30, 3, 0, "https://c.example/"), tab(31, 3, 1, "https://d.example/", true)}}});
  // The focused window's tab was known: it becomes a use, dated half a second ago.
  EXPECT_EQ(find("tab:chrome:s:20")->lastActivatedAt, std::max(earlier, now() - 0.5));
  EXPECT_FALSE(find("tab:chrome:s:20")->seeded);
  EXPECT_EQ(mru.stateForTesting().focusedTabID[Browser::chrome], "tab:chrome:s:20");
  // Window 1 has no active tab: its first tab stands in.
  ASSERT_TRUE(find("tab:chrome:s:10"));
  EXPECT_EQ(find("tab:chrome:s:10")->lastActivatedAt, now() - 1.0);
  EXPECT_TRUE(find("tab:chrome:s:10")->seeded);
  EXPECT_EQ(find("tab:chrome:s:31")->lastActivatedAt, now() - 1.5);
  EXPECT_FALSE(find("tab:chrome:s:11") || find("tab:chrome:s:30"));

  // A known tab in a background window keeps its date.
  world.loop.advance(10);
  const double date = find("tab:chrome:s:10")->lastActivatedAt;
  mru.adoptSync(Browser::chrome, "s", {{.windowID = 1, .tabs = {tab(10, 1, 0, "https://a.example/", true)}}});
  EXPECT_EQ(find("tab:chrome:s:10")->lastActivatedAt, date);
}

TEST_F(MRUSync, ASyncTakenBeforeTheLatestReportsUndoesNeitherACloseNorAnActivation) {
  mru.tabActivated(Browser::chrome, "s", tab(1, 1, 0, "https://left.example/"), true);
  world.loop.advance(30);
  mru.tabActivated(Browser::chrome, "s", tab(2, 1, 1, "https://now.example/"), true);
  mru.tabActivated(Browser::chrome, "s", tab(3, 2, 0, "https://closed.example/"), false);
  mru.tabRemoved(Browser::chrome, "s", 3);
  world.loop.advance(0.5);
  // The snapshot still shows tab 1 active in the focused window and tab 3 open.
  const std::vector<SyncedWindow> stale{
      {.windowID = 1,
       .focused = true,
       .tabs = {tab(1, 1, 0, "https://left.example/", true), tab(2, 1, 1, "https://now.example/")}},
      {.windowID = 2, .tabs = {tab(3, 2, 0, "https://closed.example/", true)}}};
  mru.adoptSync(Browser::chrome, "s", stale);
  EXPECT_FALSE(find("tab:chrome:s:3"));
  EXPECT_EQ(mru.stateForTesting().focusedTabID[Browser::chrome], "tab:chrome:s:2");
  ASSERT_TRUE(find("tab:chrome:s:1") && find("tab:chrome:s:2"));
  EXPECT_TRUE(MRUManager::recencyBefore(*find("tab:chrome:s:2"), *find("tab:chrome:s:1")));

  // Later syncs are believed again.
  world.loop.advance(MRUManager::kReportOutranksSyncFor);
  mru.adoptSync(Browser::chrome, "s", stale);
  EXPECT_TRUE(find("tab:chrome:s:3"));
  EXPECT_EQ(mru.stateForTesting().focusedTabID[Browser::chrome], "tab:chrome:s:1");
}

TEST_F(MRUSync, AFocusedPrivateTabIsSkippedWhilePrivateTabsAreNotListed) {
  auto secret = tab(1, 1, 0, "https://secret.example/", true);
  secret.isPrivate = true;
  mru.adoptSync(Browser::chrome, "s",
                {{.windowID = 1, .focused = true, .tabs = {secret}},
                 {.windowID = 2, .tabs = {tab(2, 2, 0, "https://open.example/", true)}}});
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:chrome:s:2"}));
  EXPECT_EQ(mru.entries().front().lastActivatedAt, now() - 0.5);
  EXPECT_FALSE(mru.stateForTesting().focusedTabID.contains(Browser::chrome));
}

TEST_F(MRUSync, ScriptedEntriesGiveWayToTheExtensionAndGoWhenTheirTabIsNotListed) {
  mru.touchScriptedTab(Browser::chrome, "https://a.example/", "A", "as:1", 1, now() + 20, false);
  mru.touchScriptedTab(Browser::chrome, "https://gone.example/", "Gone", "as:1", 2, now(), true);
  mru.touchScriptedTab(Browser::chrome, "https://b.example/", "B", "as:2", 1, now(), true);
  mru.touchScriptedTab(Browser::chrome, MRUManager::kAuxPlaceholderURL, "Settings", "aux", std::nullopt,
                       now(), false);
  mru.adoptSync(Browser::chrome, "s",
                {{.windowID = 1, .tabs = {tab(1, 1, 0, "https://a.example/", true)}},
                 {.windowID = 2,
                  .tabs = {tab(2, 2, 0, "https://b.example/", true), tab(3, 2, 1, "https://x.example/")}}});
  // The scripted use of A carries over; B was only an estimate.
  EXPECT_EQ(find("tab:chrome:s:1")->lastActivatedAt, now() + 20);
  EXPECT_FALSE(find("tab:chrome:s:1")->seeded);
  EXPECT_TRUE(find("tab:chrome:s:2")->seeded);
  std::vector<std::string> scripted;
  for (const auto& e : mru.entries())
    if (e.source == TabSource::appleScript) scripted.push_back(*e.url);
  EXPECT_EQ(scripted, (std::vector<std::string>{MRUManager::kAuxPlaceholderURL}));
}

TEST_F(MRUSync, ARestartedSafariExtensionsOldEntriesMoveOntoItsNewTabsOrGo) {
  mru.tabActivated(Browser::safari, "old", tab(100, 1, 0, "https://a.example/"), true);
  mru.tabActivated(Browser::safari, "old", tab(101, 1, 5, "https://closed.example/"), false);
  world.thumbnails().storeForTesting("tab:safari:old:100", {});
  const double used = find("tab:safari:old:100")->lastActivatedAt;
  world.loop.advance(30);

  mru.adoptSync(Browser::safari, "new",
                {{.windowID = 1,
                  .tabs = {tab(7, 1, 0, "https://a.example/"), tab(8, 1, 1, "https://b.example/", true)}}});
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:safari:new:8", "tab:safari:new:7"}));
  EXPECT_EQ(find("tab:safari:new:7")->lastActivatedAt, used);
  EXPECT_FALSE(find("tab:safari:new:7")->seeded);
  EXPECT_TRUE(world.thumbnails().contains("tab:safari:new:7"));
  EXPECT_EQ(world.debugLines().back(), "foreign-session reconcile safari: migrated=1 dropped=1");
}

TEST_F(MRUSync, TwoOldSafariEntriesOfOnePageLandOnTwoTabsTheMoreRecentFirst) {
  mru.tabActivated(Browser::safari, "old", tab(100, 1, 4, "https://same.example/"), false);
  world.loop.advance(5);
  mru.tabActivated(Browser::safari, "old", tab(101, 1, 6, "https://same.example/"), true);
  mru.adoptSync(Browser::safari, "new",
                {{.windowID = 1,
                  .tabs = {tab(1, 1, 0, "https://other.example/", true),
                           tab(2, 1, 1, "https://same.example/"), tab(3, 1, 2, "https://same.example/")}},
                 {.windowID = 2, .tabs = {}}});
  ASSERT_TRUE(find("tab:safari:new:2") && find("tab:safari:new:3"));
  EXPECT_FALSE(find("tab:safari:new:2")->seeded);  // the recent, used entry took the first match
  EXPECT_TRUE(find("tab:safari:new:3")->seeded);
  EXPECT_EQ(mru.entries().size(), 3u);
}

TEST_F(MRUSync, SessionsSharingTheirFirstCharactersKeepTheSharedEntryWhenOneReplacesTheOther) {
  // Both sessions give tab 4 the id tab:safari:abcdefgh:4; the entry must survive the move.
  mru.tabActivated(Browser::safari, "abcdefgh-old", tab(4, 1, 0, "https://a.example/"), true);
  mru.adoptSync(Browser::safari, "abcdefgh-new",
                {{.windowID = 1, .tabs = {tab(4, 1, 0, "https://a.example/")}}});
  ASSERT_EQ(ids(), (std::vector<std::string>{"tab:safari:abcdefgh:4"}));
  EXPECT_EQ(mru.entries().front().session, "abcdefgh-new");
}

}  // namespace
}  // namespace velvix
