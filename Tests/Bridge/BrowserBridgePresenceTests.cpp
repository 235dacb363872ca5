#include <gtest/gtest.h>

#include "Platform/Privacy.hpp"
#include "TestSupport/BridgeTest.hpp"

namespace velvix {
namespace {

using nlohmann::json;
using test::activated;
using test::extensionTab;
using test::report;
using test::tabObject;
using BrowserBridgePresence = test::BridgeTest;

TEST_F(BrowserBridgePresence, SafariIsLiveFor75SecondsAfterItsLastReportAndNotOnceItQuit) {
  EXPECT_FALSE(bridge.isExtensionLive(Browser::safari));
  bridge.handle(nullptr, report("safari", "hello", "p"));
  world.loop.advance(74);
  EXPECT_TRUE(bridge.isExtensionLive(Browser::safari));
  EXPECT_FALSE(bridge.canAcceptCommands(Browser::safari));  // Safari takes no socket commands
  world.loop.advance(1);
  EXPECT_FALSE(bridge.isExtensionLive(Browser::safari));

  bridge.handle(nullptr, report("safari", "hello", "p"));
  const int posts = statusPosts;
  bridge.browserQuit(Browser::safari);
  EXPECT_FALSE(bridge.isExtensionLive(Browser::safari));
  bridge.browserQuit(Browser::chrome);
  EXPECT_EQ(statusPosts, posts + 2);
  EXPECT_FALSE(bridge.isExtensionLive(Browser::terminal));
}

TEST_F(BrowserBridgePresence, ABrowsersOrEditorsExtensionIsLiveWhileItsConnectionIsRegistered) {
  connectionsComeFrom("com.microsoft.VSCode", "Visual Studio Code");
  Peer host = peers.connect();
  bridge.handle(host.client, report("vscode", "hello", "h"));
  EXPECT_TRUE(bridge.isExtensionLive(Browser::vscode));
  EXPECT_TRUE(bridge.canAcceptCommands(Browser::vscode));
  EXPECT_FALSE(bridge.isAnyChromiumConnected());  // an editor is no browser extension
  bridge.handleDisconnect(host.client);
  EXPECT_FALSE(bridge.isExtensionLive(Browser::vscode));
}

TEST_F(BrowserBridgePresence, ASilentExtensionCountsAsRemovedAfterItsGraceAndAsSeenOnceItConnects) {
  Preferences& preferences = world.preferences();
  preferences.chromeExtensionSeen.set(true);
  bridge.refreshExtensionPresence();  // no Chromium browser runs: nothing to judge
  world.loop.advance(100);
  bridge.refreshExtensionPresence();
  EXPECT_TRUE(preferences.chromeExtensionSeen.get());

  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  bridge.refreshExtensionPresence();  // the grace starts
  world.loop.advance(75);
  bridge.refreshExtensionPresence();
  EXPECT_TRUE(preferences.chromeExtensionSeen.get());
  world.loop.advance(1);
  bridge.refreshExtensionPresence();
  EXPECT_FALSE(preferences.chromeExtensionSeen.get());
  bridge.refreshExtensionPresence();
  const auto lines = world.debugLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "extension silent past grace; treating as removed"), 1);

  Peer relay = peers.connect();
  bridge.handle(relay.client, report("chrome", "hello", "s"));
  const int posts = statusPosts;
  bridge.refreshExtensionPresence();
  EXPECT_TRUE(preferences.chromeExtensionSeen.get());
  EXPECT_TRUE(bridge.isAnyChromiumConnected());
  EXPECT_EQ(statusPosts, posts);
}

TEST_F(BrowserBridgePresence, CommandsGoToTheConnectionOfTheItemsOwnSession) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer one = peers.connect();
  Peer two = peers.connect();
  bridge.handle(one.client, report("chrome", "hello", "session-one"));
  bridge.handle(two.client, report("chrome", "hello", "session-two"));

  EXPECT_TRUE(
      bridge.sendActivate(extensionTab(Browser::chrome, "session-two", 41, "7", "https://a.example/")));
  EXPECT_EQ(two.readLine(), R"({"cmd":"activate","tabId":41,"windowId":7})");
  EXPECT_FALSE(
      bridge.sendActivate(extensionTab(Browser::chrome, "session-three", 41, "7", "https://a.example/")));
  EXPECT_FALSE(
      bridge.sendActivate(extensionTab(Browser::chrome, std::nullopt, 41, "7", "https://a.example/")));
  EXPECT_FALSE(
      bridge.sendActivate(extensionTab(Browser::chrome, "session-two", 41, "as:7", "https://a.example/")));
  EXPECT_FALSE(
      bridge.sendActivate(extensionTab(Browser::brave, "session-two", 41, "7", "https://a.example/")));

  bridge.requestChromiumSync(Browser::chrome);
  EXPECT_EQ(one.readLine(), R"({"cmd":"sync"})");
  EXPECT_EQ(two.readLine(), R"({"cmd":"sync"})");
}

class ClosingTabs : public test::BridgeTest {
 protected:
  ClosingTabs() {
    window = world.desktop.addWindow(chrome, {.title = "Docs"});
    world.desktop.addTab(window, {.id = 7, .title = "Docs", .url = "https://docs.example/"});
    world.desktop.privacy.automation["com.google.Chrome"] = platform::Privacy::kAutomationGranted;
    bridge.handle(relay.client, report("chrome", "hello", "s"));
    // The extension's window ids are the browser's script window ids.
    item = extensionTab(Browser::chrome, "s", 7, std::to_string(window), "https://docs.example/");
  }
  std::size_t tabsOpen(std::int64_t of = 0) {
    auto* w = world.desktop.window(of ? of : window);
    return w ? w->tabs.size() : 0;
  }

  platform::Pid chrome = connectionsComeFrom("com.google.Chrome", "Google Chrome");
  std::int64_t window = 0;
  Peer relay = peers.connect();  // after the line above: the relay is judged as it connects
  SwitchableItem item;
};

TEST_F(ClosingTabs, ACloseTheExtensionConfirmsRunsNoAppleEvents) {
  ASSERT_TRUE(bridge.closeChromiumTab(item));
  EXPECT_EQ(relay.readLine(), R"({"cmd":"close","tabId":7})");
  world.loop.advance(1.0);
  bridge.handle(relay.client, report("chrome", "removed", "s", {{"tabId", 7}}));
  const int runs = world.desktop.scriptRuns;
  world.loop.advance(5);
  EXPECT_EQ(world.desktop.scriptRuns, runs);
  EXPECT_EQ(tabsOpen(), 1u);  // the simulated extension did not really close it
}

TEST_F(ClosingTabs, ACloseTheExtensionLeavesUnansweredIsDoneOverAppleEvents) {
  ASSERT_TRUE(bridge.closeChromiumTab(item));
  // Another browser's or session's report of the same tab number is not this close's answer.
  bridge.handle(nullptr, report("safari", "removed", std::nullopt, {{"tabId", 7}}));
  bridge.handle(relay.client, report("chrome", "removed", "t", {{"tabId", 7}}));
  world.loop.advance(1.1);
  EXPECT_EQ(tabsOpen(), 1u);
  world.loop.advance(1.0);
  EXPECT_EQ(tabsOpen(), 0u);
  EXPECT_TRUE(logged("extension silent on close(tab 7); AppleScript fallback result=true"));
}

TEST_F(ClosingTabs, ClosesOfEqualTabIDsInTwoSessionsEachGetTheirFallback) {
  Peer other = peers.connect();
  bridge.handle(other.client, report("chrome", "hello", "t"));
  const auto second = world.desktop.addWindow(chrome, {.title = "Mail"});
  world.desktop.addTab(second, {.id = 7, .title = "Mail", .url = "https://mail.example/"});
  ASSERT_TRUE(bridge.closeChromiumTab(item));
  ASSERT_TRUE(bridge.closeChromiumTab(
      extensionTab(Browser::chrome, "t", 7, std::to_string(second), "https://mail.example/")));
  world.loop.advance(3);
  EXPECT_EQ(tabsOpen(), 0u);
  EXPECT_TRUE(world.desktop.window(second) == nullptr || world.desktop.window(second)->tabs.empty());
}

TEST_F(ClosingTabs, TheFallbackClosesOnlyTheTabStillAtItsPlaceWithItsAddress) {
  // The late extension closed the tab after all; the tab now in its place shows another page,
  // and one elsewhere shows the same page: the user keeps both.
  world.desktop.addTab(window, {.id = 9, .title = "Mail", .url = "https://mail.example/"});
  world.desktop.closeTab(window, 0);
  world.desktop.addTab(window, {.id = 8, .title = "Docs", .url = "https://docs.example/"});
  ASSERT_TRUE(bridge.closeChromiumTab(item));
  world.loop.advance(3);
  EXPECT_EQ(tabsOpen(), 2u);
  EXPECT_TRUE(logged("extension silent on close(tab 7); AppleScript fallback result=false"));
}

TEST_F(ClosingTabs, TheFallbackClosesTheTabInItsOwnWindowNotTheSamePageInAnother) {
  const auto front = world.desktop.addWindow(chrome, {.title = "Docs"});
  world.desktop.addTab(front, {.id = 8, .title = "Docs", .url = "https://docs.example/"});
  world.desktop.raiseWindow(front);
  ASSERT_TRUE(bridge.closeChromiumTab(item));
  world.loop.advance(3);
  EXPECT_EQ(tabsOpen(), 0u);
  EXPECT_EQ(tabsOpen(front), 1u);
}

TEST_F(ClosingTabs, ATwinThatSlidIntoTheLateClosedTabsPlaceStaysOpen) {
  world.desktop.addTab(window, {.id = 8, .title = "Docs", .url = "https://docs.example/"});
  ASSERT_TRUE(bridge.closeChromiumTab(item));
  world.desktop.closeTab(window, 0);  // the extension closed it, and its "removed" comes late
  world.loop.advance(3);
  bridge.handle(relay.client, report("chrome", "removed", "s", {{"tabId", 7}}));
  ASSERT_EQ(tabsOpen(), 1u);
  EXPECT_EQ(world.desktop.window(window)->tabs[0].id, 8);
  EXPECT_TRUE(logged("extension silent on close(tab 7); AppleScript fallback result=false"));
}

TEST_F(ClosingTabs, ACloseThatCannotBeSentReturnsFalseAndSchedulesNothing) {
  auto noSession = item;
  noSession.session.reset();
  EXPECT_FALSE(bridge.closeChromiumTab(noSession));
  EXPECT_FALSE(
      bridge.closeChromiumTab(extensionTab(Browser::chrome, "elsewhere", 7, "1", "https://docs.example/")));
  bridge.handleDisconnect(relay.client);
  EXPECT_FALSE(bridge.closeChromiumTab(item));
  world.loop.advance(5);
  EXPECT_EQ(tabsOpen(), 1u);
}

TEST_F(BrowserBridgePresence, SafarisQueueKeepsTheNewestCommandsAndHandsEachPageItsOwn) {
  for (int i = 1; i <= 9; ++i)
    bridge.enqueueSafariCommand({{"cmd", "c" + std::to_string(i)}},
                                i % 3 == 0 ? std::optional<std::string>() : (i % 3 == 1 ? "A" : "B"));
  // c1 fell out; due for A: the commands without a page and A's.
  EXPECT_EQ(bridge.drainSafariCommands("A"),
            R"({"cmds":[{"cmd":"c3"},{"cmd":"c4"},{"cmd":"c6"},{"cmd":"c7"},{"cmd":"c9"}]})");
  EXPECT_EQ(bridge.drainSafariCommands("A"), R"({"ok":true})");
  EXPECT_EQ(bridge.drainSafariCommands(std::nullopt), R"({"ok":true})");
  bridge.enqueueSafariCommand({{"what", 1}}, std::nullopt);
  EXPECT_EQ(bridge.drainSafariCommands("B"),
            R"({"cmds":[{"cmd":"c2"},{"cmd":"c5"},{"cmd":"c8"},{"what":1}]})");
  EXPECT_TRUE(logged(R"(safari cmds → A: ["c3", "c4", "c6", "c7", "c9"])"));
  EXPECT_TRUE(logged(R"(safari cmds → B: ["c2", "c5", "c8", "?"])"));
}

// Safari on a site its extension may not read: the bridge names the tabs over Apple Events.
class WithheldSafariTabs : public test::BridgeTest {
 protected:
  WithheldSafariTabs() {
    safari = world.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
    front = world.desktop.addWindow(safari, {.title = "Bank"});
    world.desktop.addTab(front, {.title = "News", .url = "https://news.example/"});
    world.desktop.addTab(front, {.title = "Bank", .url = "https://bank.example/"});
    world.desktop.privacy.automation["com.apple.Safari"] = platform::Privacy::kAutomationGranted;
    world.permissions().refreshAutomationStatus(Browser::safari);
    world.loop.advance(1);
  }
  static json withheld(std::int64_t tabID, std::int64_t index, bool active) {
    json tab = tabObject(tabID, 1, "", active, index);
    tab["title"] = "";
    tab["redacted"] = true;
    return tab;
  }

  platform::Pid safari = 0;
  std::int64_t front = 0;
};

TEST_F(WithheldSafariTabs, AnActivatedTabIsNamedBeforeItEntersTheInventory) {
  bridge.handle(nullptr, report("safari", "activated", "p", {{"tab", withheld(5, 1, true)}}));
  EXPECT_TRUE(tabIDs().empty());  // Apple Events answer later
  world.loop.advance(1);
  ASSERT_EQ(tabIDs(), (std::vector<std::string>{"tab:safari:p:5"}));
  EXPECT_EQ(world.mru().entries().front().url, "https://bank.example/");
  EXPECT_EQ(world.mru().entries().front().title, "Bank");
  EXPECT_TRUE(bridge.safariNeedsWebsiteAccess());
  world.loop.advance(90);
  EXPECT_FALSE(bridge.safariNeedsWebsiteAccess());
}

TEST_F(WithheldSafariTabs, EverySyncAsksAppleEventsButTheAccessNoticeComesOnceIn90Seconds) {
  const json windows =
      json::array({{{"windowId", 1},
                    {"focused", true},
                    {"tabs", {tabObject(4, 1, "https://news.example/", false, 0), withheld(5, 1, true)}}}});
  const int runs = world.desktop.scriptRuns;
  const int posts = statusPosts;
  bridge.handle(nullptr, report("safari", "sync", "p", {{"windows", windows}}));
  world.loop.advance(30);
  bridge.handle(nullptr, report("safari", "sync", "p", {{"windows", windows}}));
  world.loop.advance(1);
  EXPECT_EQ(world.desktop.scriptRuns, runs + 2);
  EXPECT_EQ(statusPosts, posts + 2);  // the first report, and the first withheld tabs
  const auto lines = world.debugLines();
  EXPECT_EQ(
      std::count(lines.begin(), lines.end(),
                 "safari: tabs arrive without URL or title \u2014 the extension lacks website access; naming "
                 "them over Apple Events"),
      1);
  EXPECT_EQ(world.mru().entries().front().url, "https://bank.example/");
}

TEST_F(WithheldSafariTabs, AnswersThatFitNoWindowLeaveTheTabWithheldAndSaySo) {
  bridge.handle(nullptr,
                report("safari", "activated", "p", {{"tab", withheld(5, 0, true)}}));  // front tab is 2nd
  world.loop.advance(1);
  ASSERT_EQ(tabIDs(), (std::vector<std::string>{"tab:safari:p:5"}));
  EXPECT_EQ(world.mru().entries().front().url, "");
  EXPECT_TRUE(logged("safari: 1 window(s) from Apple Events, none matched a withheld tab"));
}

}  // namespace
}  // namespace velvix
