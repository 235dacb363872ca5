#include <gtest/gtest.h>

#include "Core/MRUManager.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct ReconcileWorld : TestWorld {
  ReconcileWorld() { defaults.set("debugLogging", true); }
  SwitchableItem tab(const std::string& id, const std::string& url, double age,
                     TabSource source = TabSource::appleScript) {
    SwitchableItem e;
    e.id = id;
    e.kind = ItemKind::tab;
    e.browser = Browser::chrome;
    e.bundleID = "com.google.Chrome";
    e.url = url;
    e.lastActivatedAt = loop.now() - age;
    e.source = source;
    return e;
  }
  std::vector<std::string> ids() {
    std::vector<std::string> result;
    for (const auto& e : mru().entries()) result.push_back(e.id);
    return result;
  }
};

TEST(PurgeDeadAndExpired, ExpiresOldTabsButNotTheNewestEntry) {
  ReconcileWorld w;
  w.launchWithWindows("com.example.editor", "Editor", {"Doc"});
  w.mru().stateForTesting().items = {w.tab("tab:old", "https://a/", 26 * 60),
                                     w.tab("tab:older", "https://b/", 30 * 60)};
  w.mru().purgeDeadAndExpired();
  EXPECT_EQ(w.ids(), std::vector<std::string>{"tab:old"});  // the newest entry of the store stays
  EXPECT_EQ(w.debugLines().back(), "purgeDeadAndExpired removed [\"tab:older[expired]\"]");
}

TEST(PurgeDeadAndExpired, WithoutAWindowListNothingIsRemoved) {
  ReconcileWorld w;
  w.mru().stateForTesting().items = {w.tab("tab:a", "https://a/", 1), w.tab("tab:b", "https://b/", 3600)};
  w.mru().purgeDeadAndExpired();  // no windows at all: the list is empty
  EXPECT_EQ(w.mru().entries().size(), 2u);
}

TEST(PurgeDeadAndExpired, AWindowGoesOnlyAfterTwoConsecutiveMisses) {
  ReconcileWorld w;
  auto pid = w.launchWithWindows("com.example.editor", "Editor", {"A", "B"});
  auto windows = w.desktop.windowsOf(pid);
  for (auto number : windows) {
    SwitchableItem e;
    e.id = SwitchableItem::windowItemID("com.example.editor", number);
    e.bundleID = "com.example.editor";
    e.windowNumber = number;
    e.lastActivatedAt = w.loop.now();
    w.mru().stateForTesting().items.push_back(e);
  }
  auto hiddenFromList = [&](std::int64_t number, bool hidden) {
    w.desktop.window(number)->layer = hidden ? 25 : 0;
  };
  hiddenFromList(windows[0], true);
  w.mru().purgeDeadAndExpired();
  EXPECT_EQ(w.mru().entries().size(), 2u);
  hiddenFromList(windows[0], false);  // back: its strike goes
  w.mru().purgeDeadAndExpired();
  hiddenFromList(windows[0], true);
  w.mru().purgeDeadAndExpired();
  EXPECT_EQ(w.mru().entries().size(), 2u);
  w.mru().purgeDeadAndExpired();
  EXPECT_EQ(w.mru().entries().size(), 1u);
  EXPECT_EQ(w.debugLines().back(), "purgeDeadAndExpired removed [\"win:com.example.editor:" +
                                       std::to_string(windows[0]) + "[deadwin]\"]");
}

TEST(Reconcile, AClosedTabLeavesAtItsThirdMissUnlessUsedInTheLastSixSeconds) {
  ReconcileWorld w;
  w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Window"});
  w.mru().stateForTesting().items = {w.tab("tab:closed", "https://gone/", 60),
                                     w.tab("tab:fresh", "https://fresh/", 3),
                                     w.tab("tab:open", "https://open/", 60)};
  for (int pass = 1; pass <= 2; ++pass)
    EXPECT_TRUE(w.mru().reconcile(Browser::chrome, {"https://open/"}, 3).empty());
  EXPECT_EQ(w.mru().stateForTesting().reconcileStrikes["tab:closed"], 2);
  EXPECT_FALSE(w.mru().stateForTesting().reconcileStrikes.contains("tab:fresh"));
  EXPECT_EQ(w.mru().reconcile(Browser::chrome, {"https://open/"}, 3), std::set<std::string>{"tab:closed"});
  EXPECT_EQ(w.ids(), (std::vector<std::string>{"tab:fresh", "tab:open"}));
}

TEST(Reconcile, MoreStoredTabsOnAURLThanOpenOnesStrikeTheLeastRecent) {
  ReconcileWorld w;
  w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Window"});
  w.mru().stateForTesting().items = {w.tab("tab:1", "https://same/", 10), w.tab("tab:2", "https://same/", 30),
                                     w.tab("tab:3", "https://same/", 20)};
  w.mru().reconcile(Browser::chrome, {"https://same/", "https://same/"}, 3);
  EXPECT_EQ(w.mru().stateForTesting().reconcileStrikes, (std::map<std::string, int>{{"tab:2", 1}}));
}

TEST(Reconcile, ScriptedDuplicatesOfExtensionTabsGoAtOnceAndUnresolvableOnesAtTheFirstMiss) {
  ReconcileWorld w;
  w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Window"});
  w.mru().stateForTesting().items = {w.tab("tab:chrome:7", "https://dup/", 60, TabSource::webExtension),
                                     w.tab("tab:scripted", "https://dup/", 60),
                                     w.tab("tab:failed", "https://failed/", 60)};
  w.mru().stateForTesting().unresolvableIDs.insert("tab:failed");
  auto removed = w.mru().reconcile(Browser::chrome, {"https://dup/"}, 3);
  EXPECT_EQ(removed, (std::set<std::string>{"tab:scripted", "tab:failed"}));
  EXPECT_EQ(w.debugLines().back(),
            "reconcile chrome liveKeys=1 removed=[\"tab:scripted\", \"tab:failed\"] (dup=1 strike=1)");
}

TEST(Reconcile, EmptyEnumerationCountsOnlyWhenTheBrowserProvablyHasNoWindow) {
  ReconcileWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto elsewhere = w.desktop.addWindow(chrome, {.space = 2});
  w.desktop.window(elsewhere)->inAccessibility = false;  // Accessibility lists no window of it
  SwitchableItem aux = w.tab("tab:aux", MRUManager::kAuxPlaceholderURL, 60);
  w.mru().stateForTesting().items = {w.tab("tab:a", "https://a/", 60), aux};
  for (int i = 0; i < 3; ++i) w.mru().reconcile(Browser::chrome, {}, 3);
  EXPECT_EQ(w.mru().entries().size(), 2u);  // its window is on another Space
  EXPECT_EQ(w.debugLines().back(), "reconcile chrome: empty enumeration ignored");

  w.desktop.closeWindow(elsewhere);
  for (int i = 0; i < 3; ++i) w.mru().reconcile(Browser::chrome, {}, 3);
  EXPECT_EQ(w.ids(), std::vector<std::string>{"tab:aux"});  // the placeholder is never struck

  ReconcileWorld notRunning;
  notRunning.mru().stateForTesting().items = {notRunning.tab("tab:a", "https://a/", 60)};
  for (int i = 0; i < 3; ++i) notRunning.mru().reconcile(Browser::chrome, {}, 3);
  EXPECT_EQ(notRunning.mru().entries().size(), 1u);
}

TEST(Reconcile, FailedScriptedActivationVerifiesTheBrowserOncePerInterval) {
  ReconcileWorld w;
  auto chrome = w.launchWithWindows("com.google.Chrome", "Google Chrome", {});
  auto window = w.desktop.addWindow(chrome, {.title = "Window"});
  w.desktop.addTab(window, {.title = "Open", .url = "https://open/"});
  w.desktop.privacy.automation["com.google.Chrome"] = 0;
  w.services();
  w.permissions().refreshAutomationStatus(Browser::chrome);
  w.loop.advance(1);
  w.mru().stateForTesting().items = {w.tab("tab:failed", "https://failed/", 60)};
  const int runs = w.desktop.scriptRuns;
  w.mru().noteUnresolvableTab("tab:failed", Browser::chrome);
  w.mru().noteUnresolvableTab("tab:failed", Browser::chrome);
  w.loop.advance(1);
  EXPECT_EQ(w.desktop.scriptRuns, runs + 1);
  EXPECT_TRUE(w.mru().entries().empty());  // unresolvable and missing: gone at the first enumeration
  w.mru().noteUnresolvableTab("tab:unknown", Browser::chrome);  // no such entry: nothing
  w.loop.advance(2);
  EXPECT_EQ(w.desktop.scriptRuns, runs + 1);
}

}  // namespace
}  // namespace velvix
