#include <gtest/gtest.h>

#include "Core/MRUManager.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

SwitchableItem extensionTab(Browser browser, std::int64_t tabID, std::string url, double at,
                            bool seeded = false) {
  SwitchableItem e;
  e.id = MRUManager::tabItemID(browser, std::nullopt, tabID);
  e.kind = ItemKind::tab;
  e.browser = browser;
  e.bundleID = std::string(browsers::bundleID(browser));
  e.tabID = tabID;
  e.url = std::move(url);
  e.lastActivatedAt = at;
  e.seeded = seeded;
  e.source = TabSource::webExtension;
  return e;
}

TEST(TabIdentifiers, ExtensionAndScriptedForms) {
  EXPECT_EQ(MRUManager::tabItemID(Browser::chrome, std::string("4f1c9a2e-77d0"), 1234),
            "tab:chrome:4f1c9a2e:1234");
  EXPECT_EQ(MRUManager::tabItemID(Browser::safari, std::nullopt, 87), "tab:safari:87");
  EXPECT_EQ(MRUManager::tabItemID(Browser::chrome, std::string(""), 12), "tab:chrome:12");
  EXPECT_EQ(MRUManager::tabItemID(Browser::chrome, std::string("abc"), 12), "tab:chrome:abc:12");
  EXPECT_EQ(MRUManager::stableHash(""), "cbf29ce484222325");
  EXPECT_EQ(MRUManager::stableHash("abc"), "e71fa2190541574b");
  EXPECT_FALSE(MRUManager::isIdentifyingURL("about:blank"));
  EXPECT_FALSE(MRUManager::isIdentifyingURL(""));
  EXPECT_TRUE(MRUManager::isIdentifyingURL("About:blank"));

  TestWorld world;
  MRUManager& mru = world.mru();
  mru.touchScriptedTab(Browser::chrome, "about:blank", "", "1", 3, 100, true);
  EXPECT_TRUE(mru.find("tab:chrome:win:1:url:e54c74fe9d82c1ea:at:3"));
}

TEST(TabIdentifiers, HashesWithLeadingZerosAreWrittenShort) {
  // Search for a text whose hash starts with a zero nibble: it must print fewer than 16 digits.
  for (int i = 0; i < 1000; ++i) {
    const std::string text = "t" + std::to_string(i);
    const std::string hash = MRUManager::stableHash(text);
    if (hash.size() < 16) {
      EXPECT_NE(hash.front(), '0');
      return;
    }
  }
  FAIL() << "no short hash found";
}

TEST(ScriptedTabs, EmptyURLChangesNothingAndExtensionEntriesStandForTheirURL) {
  TestWorld world;
  MRUManager& mru = world.mru();
  mru.touchScriptedTab(Browser::chrome, "", "t", "1", 1, 100, false);
  EXPECT_TRUE(mru.entries().empty());

  mru.stateForTesting().items.push_back(extensionTab(Browser::chrome, 5, "https://a.example/", 100, true));
  mru.touchScriptedTab(Browser::chrome, "https://a.example/", "A", "1", 1, 200, true);  // seeded: nothing
  EXPECT_EQ(mru.entries().size(), 1u);
  EXPECT_TRUE(mru.entries()[0].seeded);
  mru.touchScriptedTab(Browser::chrome, "https://a.example/", "A", "1", 1, 200, false);
  EXPECT_EQ(mru.entries().size(), 1u);
  EXPECT_EQ(mru.entries()[0].lastActivatedAt, 200);
  EXPECT_FALSE(mru.entries()[0].seeded);

  // Another browser with the same URL gets an entry of its own.
  world.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  mru.touchScriptedTab(Browser::safari, "https://a.example/", "A", "9", 1, 300, false);
  EXPECT_EQ(mru.entries().size(), 2u);
  EXPECT_EQ(mru.entries()[1].source, TabSource::appleScript);
}

TEST(ScriptedTabs, IdentityByWindowURLAndPositionForBlankPages) {
  TestWorld world;
  MRUManager& mru = world.mru();
  mru.touchScriptedTab(Browser::chrome, "about:blank", "", "1", 2, 100, false);
  mru.touchScriptedTab(Browser::chrome, "about:blank", "", "1", 5, 100, false);
  mru.touchScriptedTab(Browser::chrome, "https://b.example/", "B", "1", 1, 100, false);
  mru.touchScriptedTab(Browser::chrome, "https://b.example/", "B", "1", 4, 100, false);
  mru.touchScriptedTab(Browser::chrome, "https://b.example/", "B", "2", 1, 100, false);
  EXPECT_EQ(mru.entries().size(), 4u);
  EXPECT_EQ(mru.entries()[0].title, "about:blank");  // a new entry without a title shows its URL
  EXPECT_EQ(mru.entries()[2].tabIndex, 3);           // the last touch's position, 0-based
}

TEST(ScriptedTabs, TouchesNeverLetEstimatesBeatUseAndKeepPositionsWhenNotGiven) {
  TestWorld world;
  MRUManager& mru = world.mru();
  mru.touchScriptedTab(Browser::chrome, "https://c.example/", "C", "1", 1, 500, false);
  const SwitchableItem& e = mru.entries()[0];
  EXPECT_EQ(e.tabIndex, 0);
  mru.touchScriptedTab(Browser::chrome, "https://c.example/", "", "1", std::nullopt, 400, false);
  EXPECT_EQ(e.lastActivatedAt, 500);         // older date kept
  EXPECT_EQ(e.title, "https://c.example/");  // an empty title falls back to the address
  EXPECT_EQ(e.tabIndex, 0);                  // no position: unchanged
  mru.touchScriptedTab(Browser::chrome, "https://c.example/", "C", "1", 1, 900, true);
  EXPECT_EQ(e.lastActivatedAt, 500);  // a seeding never moves a used entry
}

TEST(TabEntries, ApplyCopiesWhatTheExtensionReported) {
  TestWorld world;
  MRUManager& mru = world.mru();
  auto e = extensionTab(Browser::chrome, 1, "https://old.example/", 10);
  e.title = "Old";
  e.favIconURL = "https://old.example/icon.png";
  e.tabIndex = 3;
  mru.stateForTesting().items.push_back(e);
  mru.apply(TabPack{.tabID = 2,
                    .windowID = 7,
                    .tabIndex = -1,
                    .title = "New",
                    .url = "https://new.example/",
                    .favIconURL = std::string(""),
                    .redacted = true},
            0);
  EXPECT_EQ(mru.entries()[0].title, "Old");
  EXPECT_EQ(mru.entries()[0].url, "https://old.example/");
  EXPECT_EQ(mru.entries()[0].favIconURL, "https://old.example/icon.png");
  EXPECT_EQ(mru.entries()[0].tabIndex, std::nullopt);
  EXPECT_EQ(mru.entries()[0].windowID, "7");
  EXPECT_EQ(mru.entries()[0].tabID, 2);
  mru.apply(TabPack{.tabID = 2, .windowID = 7, .tabIndex = 0, .title = "", .url = "https://new.example/"}, 0);
  EXPECT_EQ(mru.entries()[0].title, "https://new.example/");
}

TEST(TabEntries, PurgingABrowserLeavesOthersAndDropsItsPictures) {
  TestWorld world;
  MRUManager& mru = world.mru();
  mru.stateForTesting().items.push_back(extensionTab(Browser::chrome, 1, "https://a/", 10));
  mru.stateForTesting().items.push_back(extensionTab(Browser::safari, 1, "https://a/", 10));
  SwitchableItem app;
  app.id = "app:com.google.Chrome";
  app.bundleID = "com.google.Chrome";
  mru.stateForTesting().items.push_back(app);
  mru.stateForTesting().reconcileStrikes["tab:chrome:1"] = 2;
  mru.stateForTesting().focusedTabID[Browser::chrome] = "tab:chrome:1";
  world.thumbnails().storeForTesting("app:com.google.Chrome", {});
  world.thumbnails().storeForTesting("tab:chrome:1", {});
  mru.purgeTabs(Browser::chrome);
  EXPECT_EQ(mru.entries().size(), 2u);
  EXPECT_EQ(world.thumbnails().count(), 0u);
  EXPECT_TRUE(mru.stateForTesting().reconcileStrikes.empty());
  EXPECT_FALSE(mru.stateForTesting().focusedTabID.contains(Browser::chrome));
  mru.refreshFrontTab(Browser::chrome, 999);  // nothing focused any more
}

TEST(TabEntries, RefreshFrontTabMovesTheFocusedTabsDate) {
  TestWorld world;
  MRUManager& mru = world.mru();
  mru.stateForTesting().items.push_back(extensionTab(Browser::chrome, 1, "https://a/", 10, true));
  mru.stateForTesting().focusedTabID[Browser::chrome] = "tab:chrome:1";
  mru.refreshFrontTab(Browser::chrome, 5);
  EXPECT_EQ(mru.entries()[0].lastActivatedAt, 10);
  EXPECT_FALSE(mru.entries()[0].seeded);
  mru.refreshFrontTab(Browser::chrome, 50);
  EXPECT_EQ(mru.entries()[0].lastActivatedAt, 50);
  mru.stateForTesting().focusedTabID[Browser::chrome] = "tab:chrome:gone";
  mru.refreshFrontTab(Browser::chrome, 90);
  EXPECT_EQ(mru.entries()[0].lastActivatedAt, 50);
}

TEST(TabEntries, AUsedTabAsksForAPictureOfItsBrowsersFrontWindowOnceItSettles) {
  TestWorld world;
  auto chrome = world.launchWithWindows("com.google.Chrome", "Google Chrome", {"Page"});
  (void)chrome;
  world.mru().touchScriptedTab(Browser::chrome, "https://a/", "A", "1", 1, world.loop.now(), false);
  world.loop.advance(2);
  EXPECT_TRUE(world.thumbnails().contains("app:com.google.Chrome"));

  TestWorld notRunning;
  notRunning.mru().touchScriptedTab(Browser::chrome, "https://a/", "A", "1", 1, notRunning.loop.now(), false);
  notRunning.loop.advance(2);
  EXPECT_EQ(notRunning.desktop.screenshotsTaken, 0);
}

}  // namespace
}  // namespace velvix
