#include <gtest/gtest.h>

#include "Core/MRUManager.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

TabPack pack(std::int64_t tabID, std::int64_t windowID, std::int64_t index, std::string url,
             std::string title = "") {
  return {.tabID = tabID,
          .windowID = windowID,
          .tabIndex = index,
          .title = std::move(title),
          .url = std::move(url)};
}

class MRUExtensionTabs : public ::testing::Test {
 protected:
  MRUExtensionTabs() { world.defaults.set("debugLogging", true); }

  const SwitchableItem* find(const std::string& id) { return world.item(id); }
  std::vector<std::string> ids() { return world.itemIDs(); }
  double now() { return world.loop.now(); }

  test::TestWorld world;
  MRUManager& mru = world.mru();
};

TEST_F(MRUExtensionTabs, AFocusedActivationIsAUseAndABackgroundOneAnEstimate) {
  mru.tabActivated(Browser::chrome, "s1", pack(1, 10, 0, "https://a.example/", "A"), false);
  const SwitchableItem* background = find("tab:chrome:s1:1");
  ASSERT_TRUE(background);
  EXPECT_TRUE(background->seeded);
  EXPECT_EQ(background->lastActivatedAt, now());
  EXPECT_EQ(background->windowID, "10");
  EXPECT_EQ(background->source, TabSource::webExtension);
  EXPECT_EQ(background->session, "s1");

  mru.tabActivated(Browser::chrome, "s1", pack(2, 10, 1, "https://b.example/"), true);
  const SwitchableItem* focused = find("tab:chrome:s1:2");
  ASSERT_TRUE(focused);
  EXPECT_FALSE(focused->seeded);
  EXPECT_EQ(focused->title, "https://b.example/");  // no title: the address stands in
  EXPECT_EQ(mru.stateForTesting().focusedTabID[Browser::chrome], "tab:chrome:s1:2");
}

TEST_F(MRUExtensionTabs, ReactivationRefreshesTheEntryAndOnlyTheFocusedWindowMovesItsDate) {
  mru.tabActivated(Browser::chrome, "s1", pack(1, 10, 0, "https://a.example/", "A"), true);
  world.loop.advance(30);
  mru.tabActivated(Browser::chrome, "s1", pack(1, 11, 3, "https://a.example/next", "Next"), false);
  const SwitchableItem* e = find("tab:chrome:s1:1");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->lastActivatedAt, now() - 30);
  EXPECT_EQ(e->title, "Next");
  EXPECT_EQ(e->tabIndex, 3);
  EXPECT_EQ(e->windowID, "11");

  mru.stateForTesting().items.front().lastActivatedAt = now() + 100;  // credited ahead, as after a sleep
  mru.tabActivated(Browser::chrome, "s1", pack(1, 11, 3, "https://a.example/next", "Next"), true);
  EXPECT_EQ(find("tab:chrome:s1:1")->lastActivatedAt, now());
  EXPECT_EQ(mru.entries().size(), 1u);
}

TEST_F(MRUExtensionTabs, PrivateTabsAreDroppedWhileTheyAreNotListed) {
  mru.tabActivated(Browser::chrome, "s1", pack(5, 10, 0, "https://public.example/"), true);
  auto secret = pack(6, 20, 0, "https://secret.example/");
  mru.tabActivated(Browser::chrome, "s1", secret, false);  // first reported without the mark
  secret.isPrivate = true;
  mru.tabActivated(Browser::chrome, "s1", secret, true);
  EXPECT_FALSE(find("tab:chrome:s1:6"));
  EXPECT_EQ(mru.stateForTesting().focusedTabID[Browser::chrome], "tab:chrome:s1:5");

  world.preferences().includePrivateTabs.set(true);
  mru.tabActivated(Browser::chrome, "s1", secret, true);
  ASSERT_TRUE(find("tab:chrome:s1:6"));
  EXPECT_TRUE(find("tab:chrome:s1:6")->isPrivate);
}

TEST_F(MRUExtensionTabs, TheReportedPageReplacesScriptedAndOtherSessionEntriesOfTheSameBrowser) {
  mru.touchScriptedTab(Browser::chrome, "https://docs.example/", "Docs", "as:1", 1, now() - 5, false);
  mru.touchScriptedTab(Browser::safari, "https://docs.example/", "Docs", "as:1", 1, now() - 5, false);
  mru.tabActivated(Browser::chrome, "old", pack(3, 10, 0, "https://start.example/"), true);
  mru.tabUpdated(Browser::chrome, "old", pack(3, 10, 0, "https://docs.example/"));
  mru.tabActivated(Browser::chrome, "old", pack(4, 10, 1, "about:blank"), false);
  mru.tabActivated(Browser::chrome, "new", pack(7, 10, 2, "about:blank"), false);
  ASSERT_EQ(mru.entries().size(), 5u);

  mru.tabActivated(Browser::chrome, "new", pack(8, 10, 0, "https://docs.example/"), true);
  // Blank pages say nothing about which tab they are: both stay.
  EXPECT_EQ(ids(), (std::vector<std::string>{
                       "tab:safari:win:as:1:url:" + MRUManager::stableHash("https://docs.example/"),
                       "tab:chrome:old:4", "tab:chrome:new:7", "tab:chrome:new:8"}));
}

TEST_F(MRUExtensionTabs, UpdatesRefreshOnlyTabsThatHaveAnEntry) {
  mru.tabUpdated(Browser::chrome, "s1", pack(1, 10, 0, "https://a.example/"));
  EXPECT_TRUE(mru.entries().empty());

  mru.tabActivated(Browser::chrome, "s1", pack(1, 10, 0, "https://a.example/", "A"), false);
  const double date = mru.entries().front().lastActivatedAt;
  world.loop.advance(10);
  auto update = pack(1, 12, 4, "https://a.example/b", "B");
  update.favIconURL = "";
  mru.stateForTesting().items.front().favIconURL = "https://a.example/icon.png";
  mru.tabUpdated(Browser::chrome, "s1", update);
  const SwitchableItem& e = mru.entries().front();
  EXPECT_EQ(e.title, "B");
  EXPECT_EQ(e.windowID, "12");
  EXPECT_EQ(e.favIconURL, "https://a.example/icon.png");
  EXPECT_EQ(e.lastActivatedAt, date);
  EXPECT_TRUE(e.seeded);
}

TEST_F(MRUExtensionTabs, ARemovedTabTakesItsPictureAlongAlsoWhenItWasListedWithoutASession) {
  mru.tabActivated(Browser::chrome, std::nullopt, pack(7, 10, 0, "https://a.example/"), true);
  mru.tabActivated(Browser::brave, std::nullopt, pack(7, 10, 0, "https://a.example/"), true);
  world.thumbnails().storeForTesting("tab:chrome:7", {});

  mru.tabRemoved(Browser::chrome, "4f1c9a2e", 7);
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:brave:7"}));
  EXPECT_FALSE(world.thumbnails().contains("tab:chrome:7"));
  mru.tabRemoved(Browser::brave, "", 7);  // an empty session is no session
  EXPECT_TRUE(mru.entries().empty());
}

TEST_F(MRUExtensionTabs, AReplacedTabKeepsItsDateSeededFlagIconAndPicture) {
  auto original = pack(1, 10, 0, "https://a.example/", "A");
  original.favIconURL = "https://a.example/icon.png";
  mru.tabActivated(Browser::chrome, "s1", original, false);
  world.thumbnails().storeForTesting("tab:chrome:s1:1", {});
  const double date = mru.entries().front().lastActivatedAt;
  world.loop.advance(20);

  mru.tabReplaced(Browser::chrome, "s1", 99, pack(2, 10, 0, "https://x.example/"));  // no such tab
  mru.tabReplaced(Browser::chrome, "s1", 1, pack(2, 10, 0, "https://a.example/", "A again"));
  ASSERT_EQ(ids(), (std::vector<std::string>{"tab:chrome:s1:2"}));
  const SwitchableItem& e = mru.entries().front();
  EXPECT_EQ(e.lastActivatedAt, date);
  EXPECT_TRUE(e.seeded);
  EXPECT_EQ(e.favIconURL, "https://a.example/icon.png");
  EXPECT_EQ(e.title, "A again");
  EXPECT_TRUE(world.thumbnails().contains("tab:chrome:s1:2"));
  EXPECT_FALSE(world.thumbnails().contains("tab:chrome:s1:1"));

  // A tab "replaced" by itself keeps its picture.
  mru.tabReplaced(Browser::chrome, "s1", 2, pack(2, 10, 0, "https://a.example/"));
  EXPECT_TRUE(world.thumbnails().contains("tab:chrome:s1:2"));
}

TEST_F(MRUExtensionTabs, ReplacementAndSafariAdoptionNeverPutAnOlderPictureOverANewerOne) {
  auto& store = world.thumbnails();
  const auto picture = [](int width, double at) {
    return ThumbnailStore::Entry{RGBAImage::filled(width, 2, {9, 9, 9, 255}), std::nullopt, at};
  };
  mru.tabActivated(Browser::chrome, "s1", pack(1, 10, 0, "https://a.example/"), true);
  mru.tabActivated(Browser::chrome, "s1", pack(2, 10, 1, "https://b.example/"), false);
  store.storeForTesting("tab:chrome:s1:1", picture(3, 10));
  store.storeForTesting("tab:chrome:s1:2", picture(7, 20));  // the newer picture, of the tab that takes over
  mru.tabReplaced(Browser::chrome, "s1", 1, pack(2, 10, 0, "https://a.example/"));
  ASSERT_TRUE(world.thumbnails().contains("tab:chrome:s1:2"));
  EXPECT_EQ(store.entry("tab:chrome:s1:2")->image.pixelWidth(), 7);

  const std::string news = "https://news.example/";
  mru.tabActivated(Browser::safari, "old-a", pack(21, 1, 0, news), false);
  mru.tabActivated(Browser::safari, "old-b", pack(31, 2, 0, "https://other.example/"), false);
  mru.tabUpdated(Browser::safari, "old-b", pack(31, 2, 0, news));
  store.storeForTesting("tab:safari:old-a:21", picture(4, 30));
  store.storeForTesting("tab:safari:old-b:31", picture(8, 40));  // the newer of the two merged pictures
  mru.tabActivated(Browser::safari, "fresh", pack(5, 1, 0, news), false);
  ASSERT_TRUE(world.thumbnails().contains("tab:safari:fresh:5"));
  EXPECT_EQ(store.entry("tab:safari:fresh:5")->image.pixelWidth(), 8);
}

TEST_F(MRUExtensionTabs, PurgingASessionDropsExactlyItsTabsAndSaysSo) {
  const std::string first = "abcdefgh-1", second = "abcdefgh-2";
  mru.tabActivated(Browser::vscode, first, pack(1, 1, 0, "file:///a.txt"), true);
  mru.tabActivated(Browser::vscode, second, pack(2, 1, 1, "file:///b.txt"), false);
  mru.tabActivated(Browser::vscode, std::nullopt, pack(3, 1, 2, "file:///c.txt"), false);
  mru.purgeTabs(Browser::vscode, "nobody");
  EXPECT_EQ(mru.entries().size(), 3u);

  mru.purgeTabs(Browser::vscode, first);
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:vscode:abcdefgh:2", "tab:vscode:3"}));
  EXPECT_FALSE(mru.stateForTesting().focusedTabID.contains(Browser::vscode));
  mru.purgeTabs(Browser::vscode, std::nullopt);
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:vscode:abcdefgh:2"}));
  EXPECT_EQ(
      world.debugLines(),
      (std::vector<std::string>{"purged 1 tab(s) of vscode session abcdefgh \u2014 its reporter disconnected",
                                "purged 1 tab(s) of vscode session - \u2014 its reporter disconnected"}));
}

TEST_F(MRUExtensionTabs, ARestartedSafariExtensionKeepsItsTabsPlaceInTheOrder) {
  const std::string news = "https://news.example/";
  mru.tabActivated(Browser::safari, "old-a", pack(21, 1, 0, news), false);
  mru.tabActivated(Browser::safari, "old-b", pack(31, 2, 0, "https://other.example/"), true);
  mru.tabUpdated(Browser::safari, "old-b", pack(31, 2, 0, news));
  mru.tabActivated(Browser::safari, "old-b", pack(32, 2, 5, "about:blank"), false);
  mru.tabActivated(Browser::safari, "old-b", pack(33, 2, 2, "about:blank"), false);
  const double before = now();
  world.thumbnails().storeForTesting("tab:safari:old-a:21", {});
  world.loop.advance(60);

  mru.tabActivated(Browser::safari, "fresh", pack(5, 1, 0, news), false);
  const SwitchableItem* adopted = find("tab:safari:fresh:5");
  ASSERT_TRUE(adopted);
  EXPECT_EQ(adopted->lastActivatedAt, before);  // not now: the restart is no use of the tab
  EXPECT_FALSE(adopted->seeded);                // one of the merged entries was used
  EXPECT_TRUE(world.thumbnails().contains("tab:safari:fresh:5"));
  EXPECT_FALSE(world.thumbnails().contains("tab:safari:old-a:21"));

  // A blank page is merged only with the old entry at its own place.
  mru.tabActivated(Browser::safari, "fresh", pack(6, 1, 5, "about:blank"), false);
  EXPECT_TRUE(find("tab:safari:fresh:6")->seeded);
  EXPECT_EQ(find("tab:safari:fresh:6")->lastActivatedAt, before);
  EXPECT_EQ(ids(),
            (std::vector<std::string>{"tab:safari:old-b:33", "tab:safari:fresh:5", "tab:safari:fresh:6"}));
  EXPECT_EQ(world.debugLines(),
            (std::vector<std::string>{"adopted 2 record(s) of https://news.example/ onto tab:safari:fresh:5",
                                      "adopted 1 record(s) of about:blank onto tab:safari:fresh:6"}));
}

TEST_F(MRUExtensionTabs, AnActivationKeepsTheTabCapsAndScriptedReportsDeferToTheExtension) {
  world.preferences().perWindowTabLimit.set(2);
  for (int tab = 1; tab <= 3; ++tab) {
    mru.tabActivated(Browser::chrome, "s1", pack(tab, 10, tab, "https://page.example/" + std::to_string(tab)),
                     true);
    world.loop.advance(1);
  }
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:chrome:s1:2", "tab:chrome:s1:3"}));

  // The script sees the page the extension reports: the entry takes the use, no second entry.
  mru.touchScriptedTab(Browser::chrome, "https://page.example/2", "Two", "as:1", 2, now(), false);
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:chrome:s1:2", "tab:chrome:s1:3"}));
  EXPECT_EQ(find("tab:chrome:s1:2")->lastActivatedAt, now());
}

TEST_F(MRUExtensionTabs, ATabMovedIntoAFullWindowIsCappedByTheNextActivation) {
  world.preferences().perWindowTabLimit.set(2);
  for (auto [tab, window] : {std::pair{1, 10}, {2, 10}, {3, 20}}) {
    mru.tabActivated(Browser::chrome, "s1",
                     pack(tab, window, 0, "https://page.example/" + std::to_string(tab)), true);
    world.loop.advance(1);
  }
  // Dragged into the full window: an update changes no membership of the inventory.
  mru.tabUpdated(Browser::chrome, "s1", pack(3, 10, 2, "https://page.example/3"));
  EXPECT_EQ(ids().size(), 3u);
  // The next activation adds nothing, yet the window's limit holds again after it.
  mru.tabActivated(Browser::chrome, "s1", pack(2, 10, 1, "https://page.example/2"), true);
  EXPECT_EQ(ids(), (std::vector<std::string>{"tab:chrome:s1:2", "tab:chrome:s1:3"}));
}

}  // namespace
}  // namespace velvix
