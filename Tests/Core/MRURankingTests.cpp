#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Core/ChordSnapshot.hpp"
#include "Core/MRUManager.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

std::vector<std::string> ids(const std::vector<SwitchableItem>& list) {
  std::vector<std::string> result;
  for (const auto& e : list) result.push_back(e.id);
  return result;
}

struct RankingWorld : TestWorld {
  RankingWorld() { defaults.set("debugLogging", true); }

  SwitchableItem windowItem(platform::Pid pid, std::int64_t number, double at, bool seeded = false) {
    const std::string bundle = *desktop.app(pid)->bundleID;
    SwitchableItem item;
    item.id = SwitchableItem::windowItemID(bundle, number);
    item.bundleID = bundle;
    item.windowNumber = number;
    item.pid = pid;
    item.lastActivatedAt = at;
    item.seeded = seeded;
    return item;
  }
  SwitchableItem appItem(platform::Pid pid, double at) {
    auto item = *SwitchableItem::appItem(*desktop.workspace().application(pid), at);
    return item;
  }
  SwitchableItem tabItem(const std::string& id, Browser browser, double at) {
    SwitchableItem item;
    item.id = id;
    item.kind = ItemKind::tab;
    item.browser = browser;
    item.bundleID = std::string(browsers::bundleID(browser));
    item.lastActivatedAt = at;
    return item;
  }
};

TEST(RankedList, ExpiresOldTabsExceptTheFrontOneAndDropsTabsOfBrowsersNotRunning) {
  RankingWorld w;
  auto chrome = w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Page"});
  (void)chrome;
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  // A 30-minute-old tab is listed only while it is the most recent entry.
  mru.stateForTesting().items = {w.tabItem("tab:old", Browser::chrome, now - 1800)};
  EXPECT_EQ(ids(mru.rankedForSwitcher()), std::vector<std::string>{"tab:old"});
  mru.stateForTesting().items.push_back(w.tabItem("tab:newer", Browser::chrome, now - 1));
  EXPECT_EQ(ids(mru.rankedForSwitcher()), std::vector<std::string>{"tab:newer"});

  // A tab of a browser that is not running goes; one without a browser stays.
  SwitchableItem orphan = w.tabItem("tab:orphan", Browser::chrome, now - 10);
  orphan.browser.reset();
  mru.stateForTesting().items = {w.tabItem("tab:safari", Browser::safari, now - 5), orphan};
  EXPECT_EQ(ids(mru.rankedForSwitcher()), std::vector<std::string>{"tab:orphan"});
}

TEST(RankedList, KeepsOnlyLiveWindowsAndApplicationsThatOwnOne) {
  RankingWorld w;
  auto editor = w.launchWithWindows("com.example.editor", "Editor", {"Doc"});
  auto idle = w.desktop.launch({.bundleID = "com.example.idle", .name = "Idle"});
  auto doc = w.desktop.windowsOf(editor)[0];
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  mru.stateForTesting().items = {w.windowItem(editor, doc, now - 3600), w.windowItem(editor, 99999, now - 2),
                                 w.appItem(idle, now - 1), w.windowItem(editor, doc + 1000, now - 60, true)};
  EXPECT_EQ(ids(mru.rankedForSwitcher()), std::vector<std::string>{mru.entries()[0].id});

  // With no window list at all, entries of living processes all stay.
  w.desktop.windowServerFaults.windowListFails = true;
  EXPECT_EQ(mru.rankedForSwitcher().size(), 4u);
  // A dead process's entries go even then.
  w.desktop.terminate(idle);
  EXPECT_EQ(mru.rankedForSwitcher().size(), 3u);
}

TEST(RankedList, ListedTabsShadowTheirBrowsersApplicationAndWindows) {
  RankingWorld w;
  auto chrome = w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Page"});
  // An application whose bundle id is as long as the browser's is not shadowed.
  auto other = w.launchWithWindows("com.google.Chrumb", "Chrumb", {"Doc"});
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  mru.stateForTesting().items = {w.appItem(chrome, now),
                                 w.windowItem(chrome, w.desktop.windowsOf(chrome)[0], now),
                                 w.tabItem("tab:a", Browser::chrome, now - 5), w.appItem(other, now - 10)};
  EXPECT_EQ(ids(mru.rankedForSwitcher()), (std::vector<std::string>{"tab:a", "app:com.google.Chrumb"}));
}

TEST(RankedList, EqualDatesKeepTheInventorysOrderAndADateThatIsNotANumberRanksOldest) {
  RankingWorld w;
  w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Page"});
  const double now = w.loop.now(), nan = std::numeric_limits<double>::quiet_NaN();
  MRUManager& mru = w.mru();
  auto tab = [&](const std::string& id, double at, bool seeded = false) {
    auto item = w.tabItem(id, Browser::chrome, at);
    item.seeded = seeded;
    return item;
  };
  mru.stateForTesting().items = {tab("tab:estimate", now, true), tab("tab:nan", nan), tab("tab:b", now - 5),
                                 tab("tab:new", now), tab("tab:c", now - 5)};
  EXPECT_EQ(ids(mru.rankedForSwitcher()),
            (std::vector<std::string>{"tab:new", "tab:b", "tab:c", "tab:nan", "tab:estimate"}));

  // Many ties and dates that are not numbers: every entry is ranked once, the dated ones first.
  mru.stateForTesting().items.clear();
  for (int i = 0; i < 60; ++i)
    mru.stateForTesting().items.push_back(tab("tab:" + std::to_string(i), i % 3 == 0 ? nan : now - i % 4));
  const auto list = mru.rankedForSwitcher();
  ASSERT_EQ(list.size(), 60u);
  for (std::size_t i = 0; i < 40; ++i) EXPECT_FALSE(std::isnan(list[i].lastActivatedAt)) << i;
}

TEST(RankedList, RankingAgainAfterTheInventoryChangedGivesTheRecencyOrder) {
  RankingWorld w;
  w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Page"});
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  for (int i = 0; i < 40; ++i)
    mru.stateForTesting().items.push_back(
        w.tabItem("tab:" + std::to_string(i), Browser::chrome, now - i / 2));
  mru.rankedForSwitcher();
  auto check = [&](const char* step) {
    auto expected = mru.entries();
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return MRUManager::recencyBefore(a, b); });
    EXPECT_EQ(ids(mru.rankedForSwitcher()), ids(expected)) << step;
  };
  mru.stateForTesting().items[30].lastActivatedAt = now + 1;  // one entry comes to the front
  check("one used");
  {
    auto& items = mru.stateForTesting().items;
    items.erase(items.begin() + 3, items.begin() + 9);
  }
  mru.stateForTesting().items.push_back(w.tabItem("tab:new", Browser::chrome, now - 2));
  check("some gone, one new");
  for (auto& e : mru.stateForTesting().items)
    e.lastActivatedAt = 2 * now - 200 - e.lastActivatedAt;  // the order turned around
  check("all redated");
  mru.stateForTesting().items.resize(5);
  check("most gone");
}

TEST(RankedList, LargeInventoriesRankByTheSameRulesAfterEveryDateChanged) {
  RankingWorld w;
  auto editor = w.launchWithWindows("com.example.editor", "Editor", {"Doc"});
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  // Entries that never expire, all of one application with a window.
  for (int i = 0; i < 1200; ++i) {
    mru.stateForTesting().items.push_back(w.appItem(editor, now));
    mru.stateForTesting().items.back().id = "app:" + std::to_string(i);
  }
  std::uint32_t seed = 7;
  auto check = [&](const char* step) {
    auto expected = mru.entries();
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return MRUManager::recencyBefore(a, b); });
    EXPECT_EQ(ids(mru.rankedForSwitcher()), ids(expected)) << step;
  };
  for (const char* step : {"first", "again", "once more"}) {
    for (auto& e : mru.stateForTesting().items) {
      seed = seed * 1664525u + 1013904223u;
      // Many equal dates, estimates among them, both zeros, and dates a whole day apart.
      const auto pick = (seed >> 8) % 64;
      e.lastActivatedAt = pick == 0   ? 0.0
                          : pick == 1 ? -0.0
                                      : now - static_cast<double>(pick % 40) * (pick % 3 ? 1 : 86400.5);
      e.seeded = (seed >> 20) % 5 == 0;
    }
    check(step);
  }
}

TEST(RankedList, RankingIntoAnEarlierChordsListLeavesNothingOfIt) {
  RankingWorld w;
  w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Page"});
  auto editor = w.launchWithWindows("com.example.editor", "Editor", {"Doc"});
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  mru.stateForTesting().items = {w.windowItem(editor, w.desktop.windowsOf(editor)[0], now - 2),
                                 w.tabItem("tab:a", Browser::chrome, now - 5)};
  mru.stateForTesting().items[0].title = "Doc";
  mru.stateForTesting().items[1].url = "https://example.com/a";
  // A longer list whose entries carry what the new ones lack.
  SwitchableItem earlier = w.tabItem("tab:earlier", Browser::chrome, now - 9);
  earlier.url = "https://example.com/a-much-longer-address-than-the-new-one";
  earlier.favIconURL = "https://example.com/icon.png";
  earlier.session = "session-of-an-earlier-chord";
  earlier.windowID = "17";
  earlier.isMinimized = true;
  std::vector<SwitchableItem> list(3, earlier);
  mru.rankedForSwitcher(list, ChordSnapshot(w.windowList(), w.runningApps()));
  EXPECT_EQ(list, mru.rankedForSwitcher());
  ASSERT_EQ(list.size(), 2u);
}

TEST(RankedList, OffScreenPassDropsClosedWindowsMarksMinimizedAndKeepsOtherSpaces) {
  RankingWorld w;
  auto editor = w.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto shown = w.desktop.addWindow(editor, {.title = "Shown"});
  auto minimized = w.desktop.addWindow(editor, {.title = "Minimized", .minimized = true});
  auto elsewhere = w.desktop.addWindow(editor, {.title = "Elsewhere", .space = 2});
  auto ghost = w.desktop.addWindow(editor, {.title = "Ghost", .minimized = true});
  // The ghost is still listed by the window server but no longer known to Accessibility; the
  // window on another Space is not listed by Accessibility either (as on the real system).
  w.desktop.window(ghost)->inAccessibility = false;
  w.desktop.window(elsewhere)->inAccessibility = false;
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  mru.stateForTesting().items = {w.windowItem(editor, shown, now), w.windowItem(editor, minimized, now - 1),
                                 w.windowItem(editor, elsewhere, now - 2),
                                 w.windowItem(editor, ghost, now - 3)};
  auto result = mru.resolvingOffScreenWindows(mru.rankedForSwitcher());
  ASSERT_EQ(ids(result),
            (std::vector<std::string>{mru.entries()[0].id, mru.entries()[1].id, mru.entries()[2].id}));
  EXPECT_FALSE(result[0].isMinimized);
  EXPECT_TRUE(result[1].isMinimized);
  EXPECT_EQ(w.debugLines().back(),
            "snapshot dropped 1 closed-but-cached window(s): [" + std::to_string(ghost) + "]");
}

TEST(RankedList, WindowlessApplicationLosesItsEntriesButAMissingAnswerRemovesNothing) {
  RankingWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto ghostly = w.desktop.addWindow(chrome, {.title = "Closing", .minimized = true});
  w.desktop.window(ghostly)->inAccessibility = false;  // Accessibility already reports no windows
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  mru.stateForTesting().items = {w.tabItem("tab:a", Browser::chrome, now)};
  auto first = mru.rankedForSwitcher();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_TRUE(mru.resolvingOffScreenWindows(first).empty());
  EXPECT_EQ(w.debugLines().back(),
            "snapshot dropped app and tab entries of windowless pid(s): [" + std::to_string(chrome) + "]");

  // Without Accessibility there is no answer, and nothing is removed.
  w.desktop.accessibilityTrusted = false;
  EXPECT_EQ(mru.resolvingOffScreenWindows(first).size(), 1u);
}

TEST(RankedList, OffScreenPassStopsAtItsDeadlineAndKeepsTheRest) {
  RankingWorld w;
  const double now = w.loop.now();
  MRUManager& mru = w.mru();
  std::vector<SwitchableItem> list;
  for (int i = 0; i < 4; ++i) {
    auto pid = w.desktop.launch({.bundleID = "com.example.slow" + std::to_string(i), .name = "Slow"});
    auto number = w.desktop.addWindow(pid, {.minimized = true});
    w.desktop.window(number)->inAccessibility = false;  // would count as closed if asked
    w.desktop.app(pid)->axLatency = 0.2;
    list.push_back(w.windowItem(pid, number, now - i));
  }
  auto result = mru.resolvingOffScreenWindows(list);
  EXPECT_GT(result.size(), 0u);  // the processes not asked in time keep their windows
  EXPECT_LT(w.loop.elapsed(), 0.3 + 0.25 + 1e-6);
  auto lines = w.debugLines();
  EXPECT_NE(
      std::find(lines.begin(), lines.end(),
                "snapshot: off-screen check out of time; leaving the remaining apps' windows as they are"),
      lines.end());
}

TEST(RankedList, PureHelpers) {
  MRUManager::AXAnswers answers;
  answers.add(3, std::vector<std::int64_t>{});
  answers.add(1, std::vector<std::int64_t>{13, 10});
  answers.add(2, std::nullopt);
  EXPECT_EQ(MRUManager::closedWindowNumbers({{11, 1}, {10, 1}, {12, 1}, {13, 1}, {20, 2}, {30, 4}, {11, 1}},
                                            answers, {12}),
            (std::vector<std::int64_t>{11}));
  EXPECT_EQ(MRUManager::pidsWithNoWindows({1, 2, 3, 4}, answers, {}), (std::vector<platform::Pid>{3}));
  EXPECT_TRUE(MRUManager::pidsWithNoWindows({3}, answers, {3}).empty());
}

}  // namespace
}  // namespace velvix
