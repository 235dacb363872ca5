#include <filesystem>

#include <gtest/gtest.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include "Bridge/BrowserBridge.hpp"
#include "TestSupport/BridgeTest.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"

namespace velvix {
namespace {

using nlohmann::json;
using test::activated;
using test::report;
using test::tabObject;
using BrowserBridgeTest = test::BridgeTest;

TEST_F(BrowserBridgeTest, AConnectionCountsAsTheBrowserThePeerCheckFindsNotTheOneItClaims) {
  connectionsComeFrom("com.brave.Browser", "Brave Browser");
  Peer relay = peers.connect();
  EXPECT_TRUE(bridge.handle(relay.client, activated("chrome", "s1", 4)));
  EXPECT_EQ(keys(Browser::brave), (std::vector<std::string>{"s1"}));
  EXPECT_FALSE(bridge.isChromiumConnected(Browser::chrome));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:brave:s1:4"}));
  EXPECT_EQ(statusPosts, 1);
}

TEST_F(BrowserBridgeTest, APeerThatFailsTheCheckIsClosedAsItConnects) {
  Peer stranger = peers.connect();
  EXPECT_TRUE(stranger.socket.waitForClose());  // before any line of it, with nothing sent back
  EXPECT_FALSE(bridge.handle(stranger.client, activated("chrome", "s1", 4)));
  EXPECT_TRUE(bridge.chromiumClients().empty());
  EXPECT_TRUE(tabIDs().empty());
  EXPECT_EQ(statusPosts, 0);
  EXPECT_EQ(world.debugLines(),
            (std::vector<std::string>{"rejecting socket peer pid=" + std::to_string(::getpid()) +
                                      ": not a Chromium relay"}));

  // A relay that checks out connects anew and is accepted.
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer relay = peers.connect();
  EXPECT_TRUE(bridge.handle(relay.client, activated("chrome", "s1", 4)));
  EXPECT_EQ(keys(Browser::chrome), (std::vector<std::string>{"s1"}));
}

TEST_F(BrowserBridgeTest, ThePageOpenInTwoLiveProfilesKeepsBothEntriesUntilOneProfileLeaves) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer work = peers.connect();
  Peer home = peers.connect();
  ASSERT_TRUE(bridge.handle(work.client, activated("chrome", "work", 4, "https://mail.example/")));
  ASSERT_TRUE(bridge.handle(home.client, activated("chrome", "home", 9, "https://mail.example/")));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:chrome:work:4", "tab:chrome:home:9"}));
  ASSERT_TRUE(bridge.handle(work.client, activated("chrome", "work", 4, "https://mail.example/")));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:chrome:work:4", "tab:chrome:home:9"}));

  // A session whose reporter is gone left its entries behind: the same page replaces them.
  bridge.handleDisconnect(home.client);
  world.mru().stateForTesting().items.push_back(
      test::extensionTab(Browser::chrome, "gone", 2, "1", "https://mail.example/"));
  ASSERT_TRUE(bridge.handle(work.client, activated("chrome", "work", 4, "https://mail.example/")));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:chrome:work:4"}));
}

TEST_F(BrowserBridgeTest, ASocketPeerThatClaimsAnotherKindOfReporterIsDroppedWithItsClaim) {
  const std::string pid = std::to_string(::getpid());
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  for (const std::string claim : {"terminal", "safari", "vscode"}) {
    Peer relay = peers.connect();
    EXPECT_FALSE(bridge.handle(relay.client, activated(claim, "s1", 2, "https://impostor.example/")));
    EXPECT_TRUE(relay.socket.waitForClose()) << claim;
    EXPECT_TRUE(logged("dropping socket peer pid=" + pid + " of chrome: it claims to be " + claim));
  }
  connectionsComeFrom("com.microsoft.VSCode", "Visual Studio Code");
  Peer host = peers.connect();
  EXPECT_FALSE(bridge.handle(host.client, activated("chrome", "s1", 3)));
  EXPECT_TRUE(host.socket.waitForClose());
  EXPECT_TRUE(logged("dropping socket peer pid=" + pid + " of vscode: it claims to be chrome"));
  EXPECT_TRUE(tabIDs().empty());
  EXPECT_TRUE(bridge.chromiumClients().empty());
  EXPECT_FALSE(bridge.isExtensionLive(Browser::safari));

  // Safari's own channel carries Safari only.
  EXPECT_FALSE(bridge.handle(nullptr, activated("chrome", "s1", 9)));
  EXPECT_TRUE(bridge.handle(nullptr, activated("safari", "p1", 9)));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:safari:p1:9"}));
}

TEST_F(BrowserBridgeTest, AConnectionMovesWithItsSessionAndARepeatChangesNothing) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer relay = peers.connect();
  bridge.handle(relay.client, report("chrome", "hello", "A"));
  bridge.handle(relay.client, report("chrome", "hello", "B"));
  EXPECT_EQ(keys(Browser::chrome), (std::vector<std::string>{"B"}));
  EXPECT_EQ(statusPosts, 2);
  bridge.handle(relay.client, report("chrome", "hello", "B"));
  EXPECT_EQ(statusPosts, 2);

  // A second relay of the same session displaces the first; the first's disconnect leaves it.
  Peer successor = peers.connect();
  bridge.handle(successor.client, report("chrome", "hello", "B"));
  bridge.handleDisconnect(relay.client);
  ASSERT_TRUE(bridge.client(Browser::chrome, "B"));
  EXPECT_EQ(bridge.client(Browser::chrome, "B"), successor.client);
}

TEST_F(BrowserBridgeTest, AConnectionWithoutSessionIsKeyedByItsNumber) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer first = peers.connect();
  Peer second = peers.connect();
  bridge.handle(first.client, report("chrome", "hello", std::nullopt));
  bridge.handle(first.client, activated("chrome", std::nullopt, 3));
  bridge.handle(second.client, report("chrome", "hello", std::nullopt));
  std::vector<std::string> expected{connKey(first), connKey(second)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(keys(Browser::chrome), expected);
  EXPECT_EQ(statusPosts, 2);
  // Commands follow the item's session; a tab reported without one has no connection to go to.
  EXPECT_FALSE(bridge.client(Browser::chrome, std::nullopt));
}

TEST_F(BrowserBridgeTest, DisconnectsUnregisterAndDropAnEditorsTabsButNotABrowsers) {
  connectionsComeFrom("com.microsoft.VSCode", "Visual Studio Code");
  Peer never = peers.connect();
  bridge.handleDisconnect(never.client);
  EXPECT_EQ(statusPosts, 0);

  Peer host = peers.connect();
  Peer sessionless = peers.connect();
  bridge.handle(host.client, activated("vscode", "9d2e5f7a-11aa-4b", 1, "file:///a.txt"));
  bridge.handle(sessionless.client, activated("vscode", std::nullopt, 2, "file:///b.txt"));
  bridge.handle(nullptr, activated("safari", std::nullopt, 3));
  ASSERT_EQ(tabIDs().size(), 3u);
  const int before = statusPosts;

  bridge.handleDisconnect(host.client);
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:vscode:2", "tab:safari:3"}));
  bridge.handleDisconnect(sessionless.client);
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:safari:3"}));
  EXPECT_FALSE(bridge.isChromiumConnected(Browser::vscode));
  EXPECT_EQ(statusPosts, before + 2);
  EXPECT_TRUE(logged("vscode host 9d2e5f7a-11a disconnected; dropping its tabs"));
  EXPECT_TRUE(
      logged("vscode host " + connKey(sessionless).substr(0, 12) + " disconnected; dropping its tabs"));
}

TEST_F(BrowserBridgeTest, AnEditorsTabsStayWhileASuccessorReportsThem) {
  connectionsComeFrom("com.microsoft.VSCode", "Visual Studio Code");
  Peer old = peers.connect();
  Peer successor = peers.connect();
  bridge.handle(old.client, activated("vscode", "window-1", 1, "file:///a.txt"));
  bridge.handle(successor.client, activated("vscode", "window-1", 2, "file:///b.txt"));
  bridge.handleDisconnect(old.client);
  EXPECT_EQ(tabIDs().size(), 2u);
  bridge.handleDisconnect(successor.client);
  EXPECT_TRUE(tabIDs().empty());
}

TEST_F(BrowserBridgeTest, ABrowserRelaysDisconnectKeepsItsTabs) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer relay = peers.connect();
  bridge.handle(relay.client, activated("chrome", "s1", 1));
  bridge.handleDisconnect(relay.client);
  EXPECT_FALSE(bridge.isChromiumConnected(Browser::chrome));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:chrome:s1:1"}));
  EXPECT_EQ(statusPosts, 2);
}

TEST_F(BrowserBridgeTest, SafariCountsAsBackAfterAGapOf75Seconds) {
  bridge.handle(nullptr, report("safari", "hello", "page-one-session"));
  EXPECT_EQ(statusPosts, 1);
  world.loop.advance(10);
  bridge.handle(nullptr, report("safari", "hello", "page-one-session"));
  EXPECT_EQ(statusPosts, 1);
  world.loop.advance(80);
  bridge.handle(nullptr, report("safari", "hello", "page-two"));
  EXPECT_EQ(statusPosts, 2);
  EXPECT_EQ(world.debugLines(),
            (std::vector<std::string>{"safari page page-one reporting (previous none)",
                                      "safari page page-two reporting (previous page-one)"}));
}

TEST_F(BrowserBridgeTest, ReportsDriveTheInventory) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer relay = peers.connect();
  const json windows = json::array(
      {{{"windowId", 1},
        {"focused", true},
        {"tabs", {tabObject(1, 1, "https://a.example/", true), tabObject(2, 1, "https://b.example/")}}},
       {{"windowId", 2}, {"tabs", {tabObject(3, 2, "https://c.example/")}}},
       {{"focused", true}}});
  EXPECT_TRUE(bridge.handle(relay.client, report("chrome", "sync", "s", {{"windows", windows}})));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:chrome:s:1", "tab:chrome:s:3"}));
  EXPECT_EQ(
      world.debugLines().back(),
      "sync chrome: windows=2 tabs=3 windowsWithActive=1 \u2192 tracked=2 [tab:chrome:s:1, tab:chrome:s:3]");

  json renamed = tabObject(3, 2, "https://c.example/moved");
  bridge.handle(relay.client, report("chrome", "updated", "s", {{"tab", renamed}}));
  bridge.handle(relay.client,
                report("chrome", "updated", "s", {{"tab", tabObject(2, 1, "https://b.example/")}}));
  EXPECT_EQ(world.mru().entries().back().url, "https://c.example/moved");
  EXPECT_EQ(tabIDs().size(), 2u);  // an update never creates an entry

  bridge.handle(relay.client,
                report("chrome", "replaced", "s",
                       {{"replacedTabId", 3}, {"tab", tabObject(30, 2, "https://c.example/")}}));
  bridge.handle(relay.client, report("chrome", "removed", "s", {{"tabId", 1}}));
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:chrome:s:30"}));

  bridge.handle(relay.client, report("chrome", "cmdresult", "s", {{"cmd", "move"}, {"ok", true}}));
  EXPECT_EQ(world.debugLines().back(), "safari cmd result: move ok=true error=-");
}

// A full report of thousands of tabs is read while the main loop goes on; the lines sent after it
// and the connection's close wait their turn, so each is taken in after it, as it was sent.
TEST_F(BrowserBridgeTest, ALongReportIsReadAsideAndWhatFollowsItKeepsItsOrder) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer relay = peers.connect();
  int handled = 0;
  auto counting = bridge.reportsHandled.add([&](const ExtensionReport&, Browser) { ++handled; });
  json tabs = json::array();
  for (int t = 1; t <= 4000; ++t)
    tabs.push_back(tabObject(t, 1, "https://page.example/" + std::to_string(t), t == 7));
  const std::string sync =
      report("chrome", "sync", "s",
             {{"windows", json::array({{{"windowId", 1}, {"focused", true}, {"tabs", tabs}}})}});
  ASSERT_GE(sync.size(), BrowserBridge::kReadAsideBytes);

  EXPECT_TRUE(bridge.handle(relay.client, sync));
  EXPECT_TRUE(bridge.handle(relay.client, report("chrome", "removed", "s", {{"tabId", 7}})));
  bridge.handleDisconnect(relay.client);
  EXPECT_EQ(handled, 0);  // the key presses of the meantime are not held up
  ASSERT_TRUE(world.loop.runUntil([&] { return handled == 2; }));
  world.loop.runUntilIdle();
  EXPECT_TRUE(tabIDs().empty());  // the tab the sync made active, closed after it
  EXPECT_TRUE(keys(Browser::chrome).empty());
  EXPECT_TRUE(
      logged("sync chrome: windows=1 tabs=4000 windowsWithActive=1 \u2192 tracked=1 [tab:chrome:s:7]"));
}

TEST_F(BrowserBridgeTest, MalformedLinesAreDroppedWithoutHarmingWhatIsStored) {
  connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer relay = peers.connect();
  bridge.handle(relay.client, activated("chrome", "s", 1));
  const auto stored = world.mru().entries();
  const int posts = statusPosts;
  for (const std::string& line :
       {std::string(), std::string("not json"), std::string("[1,2]"), std::string("{}"),
        std::string(R"({"browser":"netscape","event":"hello"})"),
        std::string(R"({"browser":"chrome","event":7})"), std::string(100000, '['),
        std::string("{\"browser\":\"chrome\",\"event\":\"hello\",\"x\":\"\xC3\x28\"}")})
    EXPECT_FALSE(bridge.handle(relay.client, line)) << line.substr(0, 40);
  // Readable envelopes with unusable values are accepted and change nothing.
  EXPECT_TRUE(bridge.handle(relay.client, report("chrome", "activated", "s", {{"tab", "tab one"}})));
  EXPECT_TRUE(bridge.handle(relay.client, report("chrome", "removed", "s", {{"tabId", "1"}})));
  EXPECT_TRUE(bridge.handle(relay.client, report("chrome", "sync", "s", {{"windows", 3}})));
  EXPECT_TRUE(bridge.handle(relay.client, report("chrome", "launched", "s")));
  EXPECT_EQ(world.mru().entries(), stored);
  EXPECT_EQ(statusPosts, posts);
  EXPECT_TRUE(logged("bridge: dropped a line that is no report (8 bytes)"));

  // A title cut inside a character keeps the rest of the report.
  bridge.handle(relay.client,
                R"({"browser":"chrome","event":"activated","session":"s",)"
                R"("tab":{"tabId":2,"windowId":1,"title":"Caf\u00e9 \ud83d","url":"https://x.example/"}})");
  EXPECT_EQ(world.mru().entries().back().title, "Caf\u00e9 \uFFFD");
}

TEST_F(BrowserBridgeTest, AStartThatCannotListenIsLoggedAndTheRestGoesOn) {
  // A folder where the socket should be: it cannot be cleared away, so the bind fails.
  std::filesystem::create_directories(hostchannel::socketPath(world.home.path().string()));
  testing::internal::CaptureStderr();
  bridge.start();
  const std::string logged = testing::internal::GetCapturedStderr();
  EXPECT_NE(logged.find("Velvix: Chrome socket failed to start: "), std::string::npos) << logged;
  EXPECT_FALSE(bridge.isListening());
  EXPECT_EQ(bridge.drainSafariCommands("any page"), R"({"cmds":[{"cmd":"sync"}]})");
}

}  // namespace
}  // namespace velvix
