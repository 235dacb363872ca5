#include <gtest/gtest.h>

#include "Core/AppMonitor.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct MonitorWorld : TestWorld {
  MonitorWorld() {
    services();
    appMonitor().start();
  }
  const SwitchableItem* find(const std::string& id) { return mru().find(id); }
  std::string win(platform::Pid pid) {
    return SwitchableItem::windowItemID(*desktop.app(pid)->bundleID, desktop.windowsOf(pid).front());
  }
};

TEST(AppMonitor, SwitchingDatesTheNewApplicationNowAndTheOldOneJustBefore) {
  MonitorWorld w;
  auto a = w.launchWithWindows("com.example.a", "A", {"A1"});
  auto b = w.launchWithWindows("com.example.b", "B", {"B1"});
  w.desktop.activate(a);
  w.loop.advance(2);
  const double switchedAt = w.loop.now();
  w.desktop.activate(b);
  w.loop.runUntilIdle();
  ASSERT_TRUE(w.find(w.win(a)) && w.find(w.win(b)));
  // Each handler dates at its own moment (Accessibility calls take a little time in between).
  EXPECT_NEAR(w.find(w.win(b))->lastActivatedAt, switchedAt, 0.05);
  EXPECT_NEAR(w.find(w.win(a))->lastActivatedAt, switchedAt - 0.75, 0.05);
  auto ranked = w.mru().rankedForSwitcher();
  EXPECT_EQ(ranked[0].id, w.win(b));
  EXPECT_EQ(ranked[1].id, w.win(a));
}

TEST(AppMonitor, AfterTheSwitcherActivatedNothingIsRecordedForOneSecond) {
  MonitorWorld w;
  auto a = w.launchWithWindows("com.example.a", "A", {"A1"});
  auto b = w.launchWithWindows("com.example.b", "B", {"B1"});
  w.desktop.activate(a);
  w.loop.advance(1);
  const std::size_t before = w.mru().entries().size();
  w.appMonitor().autoTrackSuppressedUntil = w.loop.uptime() + 1.0;
  w.desktop.activate(b);
  w.loop.runUntilIdle();
  EXPECT_EQ(w.mru().entries().size(), before);  // B was not bumped
  EXPECT_FALSE(w.find(w.win(b)));
}

TEST(AppMonitor, WindowFocusPollCapturesTheWindowLeftAndBumpsTheNewFront) {
  MonitorWorld w;
  auto pid = w.launchWithWindows("com.example.a", "A", {"First", "Second"});
  auto windows = w.desktop.windowsOf(pid);  // front to back: Second, First
  w.desktop.activate(pid);
  w.loop.advance(1.5);
  ASSERT_EQ(w.appMonitor().windowFocusPollPID(), pid);
  w.desktop.raiseWindow(windows[1]);  // the user brings "First" forward
  w.loop.advance(3);
  const auto* first = w.find(SwitchableItem::windowItemID("com.example.a", windows[1]));
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->seeded);
  EXPECT_TRUE(w.thumbnails().contains(SwitchableItem::windowItemID("com.example.a", windows[0])));
  EXPECT_EQ(w.mru().rankedForSwitcher().front().id, first->id);
}

TEST(AppMonitor, OneOfTwoInstancesQuittingTakesOnlyItsOwnEntries) {
  MonitorWorld w;
  auto one = w.launchWithWindows("com.google.Chrome", "Google Chrome", {"One"});
  auto two = w.launchWithWindows("com.google.Chrome", "Google Chrome", {"Two"});
  SwitchableItem tab;
  tab.id = "tab:chrome:1";
  tab.kind = ItemKind::tab;
  tab.browser = Browser::chrome;
  tab.bundleID = "com.google.Chrome";
  SwitchableItem ofOne;
  ofOne.id = "app:com.google.Chrome";
  ofOne.bundleID = "com.google.Chrome";
  ofOne.pid = one;
  w.mru().stateForTesting().items = {tab, ofOne};
  w.thumbnails().storeForTesting("app:com.google.Chrome", {});
  w.desktop.terminate(one);
  w.loop.runUntilIdle();
  ASSERT_EQ(w.mru().entries().size(), 1u);
  EXPECT_EQ(w.mru().entries()[0].id, "tab:chrome:1");
  EXPECT_FALSE(w.thumbnails().contains("app:com.google.Chrome"));

  w.desktop.terminate(two);  // the last instance: tabs go, the bridge is told
  int statusChanges = 0;
  auto observation = w.notifications().observe(BrowserBridge::kStatusChangedNotification,
                                               [&](const auto&) { ++statusChanges; });
  w.loop.runUntilIdle();
  EXPECT_TRUE(w.mru().entries().empty());
  EXPECT_EQ(statusChanges, 1);
}

TEST(AppMonitor, ReconcilePassScriptsOnlyGrantedBrowsersAndNothingWhenIdle) {
  MonitorWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto window = w.desktop.addWindow(chrome, {.title = "Window"});
  w.desktop.addTab(window, {.title = "Open", .url = "https://open/"});
  w.desktop.privacy.automation["com.google.Chrome"] = 0;
  w.loop.advance(12.5);  // first pass: no cached status yet, so only a background refresh
  const int afterFirst = w.desktop.scriptRuns;
  w.loop.advance(12);  // second pass: granted now, the live tabs are asked for
  EXPECT_EQ(w.desktop.scriptRuns, afterFirst + 1);
  w.desktop.setIdle(400);
  w.loop.advance(12);
  EXPECT_EQ(w.desktop.scriptRuns, afterFirst + 1);  // idle: nothing is scripted
  w.appMonitor().isChordActive = true;
  w.desktop.setIdle(0);
  w.loop.advance(12);
  EXPECT_EQ(w.desktop.scriptRuns, afterFirst + 1);  // a chord is open: the pass waits
}

TEST(AppMonitor, SafariPrivateFrontWindowIsRememberedAndNeverPictured) {
  MonitorWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  auto normal = w.desktop.addWindow(safari, {.title = "Work"});
  w.desktop.addTab(normal, {.title = "Work", .url = "https://work/"});
  auto secret = w.desktop.addWindow(safari, {.title = "Work"});
  w.desktop.addTab(secret, {.title = "Work", .url = "https://work/"});
  w.desktop.window(secret)->isPrivate = true;
  w.desktop.window(secret)->title = "Work \u2014 Private";  // its Accessibility title carries the suffix
  w.desktop.window(secret)->scriptName = "Work";
  w.desktop.privacy.automation["com.apple.Safari"] = 0;
  w.permissions().refreshAutomationStatus(Browser::safari);
  w.loop.advance(1);
  w.desktop.activate(safari);
  w.loop.advance(2);
  EXPECT_TRUE(w.appMonitor().frontWindowIsPrivate(safari));
  for (const auto& e : w.mru().entries()) EXPECT_NE(e.kind, ItemKind::tab) << e.id;
  w.preferences().includePrivateTabs.set(true);
  EXPECT_FALSE(w.appMonitor().frontWindowIsPrivate(safari));
}

TEST(AppMonitor, WhileSafarisSettingsWindowIsInFrontTheTabBehindItIsNotDatedByInput) {
  MonitorWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  auto browsing = w.desktop.addWindow(safari, {.title = "Work"});
  w.desktop.addTab(browsing, {.title = "Work", .url = "https://work/"});
  w.desktop.addWindow(safari, {.title = "General"});  // Settings: no tabs, in front
  w.desktop.privacy.automation["com.apple.Safari"] = 0;
  w.permissions().refreshAutomationStatus(Browser::safari);
  w.loop.advance(1);
  w.desktop.activate(safari);
  for (int second = 0; second < 4; ++second) {  // the user types into Settings; names stay cached
    w.desktop.noteInput(platform::InputEventType::keyDown);
    w.loop.advance(1);
  }
  const SwitchableItem* placeholder = nullptr;
  for (const auto& e : w.mru().entries()) {
    EXPECT_NE(e.url, std::optional<std::string>("https://work/")) << e.id;
    if (e.url == MRUManager::kAuxPlaceholderURL) placeholder = &e;
  }
  ASSERT_TRUE(placeholder);
  EXPECT_EQ(placeholder->title, "General");
}

TEST(AppMonitor, FrontWindowShowsATabByTitle) {
  MonitorWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  w.desktop.addWindow(chrome, {.title = "Docs - Google Chrome"});
  SwitchableItem tab;
  tab.id = "tab:chrome:1";
  tab.kind = ItemKind::tab;
  tab.browser = Browser::chrome;
  tab.title = "Docs";
  w.mru().stateForTesting().items = {tab};
  EXPECT_TRUE(w.appMonitor().frontWindowShows("tab:chrome:1", Browser::chrome, chrome));
  w.mru().stateForTesting().items[0].title = "Mail";
  EXPECT_FALSE(w.appMonitor().frontWindowShows("tab:chrome:1", Browser::chrome, chrome));
  EXPECT_FALSE(w.appMonitor().frontWindowShows("tab:chrome:1", Browser::safari, chrome));
  EXPECT_TRUE(w.appMonitor().frontWindowShows("tab:chrome:1", Browser::terminal, chrome));
}

}  // namespace
}  // namespace velvix
