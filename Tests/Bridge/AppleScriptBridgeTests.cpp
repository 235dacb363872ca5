#include <gtest/gtest.h>

#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/AppleScriptLibrary.hpp"
#include "Bridge/AppleScriptOutput.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using sim::ScriptFault;
using test::TestWorld;

struct ScriptWorld : TestWorld {
  ScriptWorld() {
    defaults.set("debugLogging", true);
    services();
  }
  // A browser window with tabs; the first tab is active.
  std::int64_t browserWindow(platform::Pid pid, std::vector<std::pair<std::string, std::string>> tabs,
                             bool isPrivate = false) {
    auto number = desktop.addWindow(pid, {.title = "", .bounds = {0, 0, 900, 700}});
    desktop.window(number)->isPrivate = isPrivate;
    for (auto& [title, url] : tabs) desktop.addTab(number, {.title = title, .url = url}, false);
    return number;
  }
  SwitchableItem tabItem(Browser browser, const std::string& title, const std::string& url,
                         std::optional<std::int64_t> index = {}, bool isPrivate = false) {
    SwitchableItem e;
    e.id = "tab:" + std::string(browsers::rawValue(browser)) + ":win:as:1:url:" + title;
    e.kind = ItemKind::tab;
    e.browser = browser;
    e.title = title;
    e.url = url;
    e.tabIndex = index;
    e.isPrivate = isPrivate;
    return e;
  }
  std::optional<bool> resolve(const SwitchableItem& e, const std::string& handler = "resolvetab") {
    std::optional<bool> result;
    appleScripts().resolve(e, handler, [&](bool ok) { result = ok; });
    loop.advance(5);
    return result;
  }
  bool logged(const std::string& line) {
    auto lines = debugLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::vector<const SwitchableItem*> tabs() {
    std::vector<const SwitchableItem*> result;
    for (const auto& e : mru().entries())
      if (e.kind == ItemKind::tab) result.push_back(&e);
    return result;
  }
};

TEST(AppleScriptBridge, PositionsAreOnlyPositiveBaseTenIntegers) {
  EXPECT_EQ(AppleScriptBridge::position({"u", "t", "1", "3"}), 3);
  EXPECT_EQ(AppleScriptBridge::position({"u", "t", "1", "+2"}), 2);
  EXPECT_EQ(AppleScriptBridge::position({"u", "t", "1", "0"}), std::nullopt);
  EXPECT_EQ(AppleScriptBridge::position({"u", "t", "1", "x3"}), std::nullopt);
  EXPECT_EQ(AppleScriptBridge::position({"u", "t", "1", ""}), std::nullopt);
  EXPECT_EQ(AppleScriptBridge::position({"u", "t", "1"}), std::nullopt);
}

TEST(AppleScriptBridge, SeedingDatesTheFrontmostBrowsersTabsHalfASecondApart) {
  ScriptWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  w.browserWindow(chrome, {{"C", "https://c/"}});
  w.browserWindow(chrome, {{"B", "https://b/"}});
  w.browserWindow(chrome, {{"A", "https://a/"}});
  w.browserWindow(chrome, {{"Secret", "https://secret/"}}, true);  // private windows are never seeded
  w.desktop.activate(chrome);
  const double now = w.loop.now() + w.desktop.scriptLatency;
  w.appleScripts().seed(Browser::chrome);
  w.loop.advance(1);
  auto tabs = w.tabs();
  ASSERT_EQ(tabs.size(), 3u);
  EXPECT_EQ(tabs[0]->url, "https://a/");
  EXPECT_DOUBLE_EQ(tabs[0]->lastActivatedAt, now - 0.5);
  EXPECT_FALSE(tabs[0]->seeded);
  EXPECT_DOUBLE_EQ(tabs[2]->lastActivatedAt, now - 1.5);
  EXPECT_TRUE(tabs[1]->seeded && tabs[2]->seeded);
  EXPECT_EQ(tabs[0]->windowID->rfind("as:", 0), 0u);
  EXPECT_EQ(tabs[0]->tabIndex, 0);
}

TEST(AppleScriptBridge, TerminalRecordsHaveNoPositionAndNotRunningSeedsNothing) {
  ScriptWorld w;
  w.appleScripts().seed(Browser::terminal);
  w.loop.advance(1);
  EXPECT_EQ(w.desktop.scriptRuns, 0);
  auto terminal = w.desktop.launch({.bundleID = "com.apple.Terminal", .name = "Terminal"});
  w.browserWindow(terminal, {{"zsh", "/dev/ttys001"}});
  w.appleScripts().seed(Browser::terminal);
  w.loop.advance(1);
  ASSERT_EQ(w.tabs().size(), 1u);
  EXPECT_EQ(w.tabs()[0]->url, "/dev/ttys001");
  EXPECT_EQ(w.tabs()[0]->tabIndex, std::nullopt);
}

TEST(AppleScriptBridge, CurrentTabOfAPrivateFrontWindowCallsNoCompletion) {
  ScriptWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  w.browserWindow(chrome, {{"A", "https://a/"}, {"B", "https://b/"}});
  int calls = 0;
  AppleScriptBridge::CurrentTab current;
  w.appleScripts().currentTabAsync(Browser::chrome, [&](AppleScriptBridge::CurrentTab tab) {
    ++calls;
    current = tab;
  });
  w.loop.advance(1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(current.url, "https://a/");
  EXPECT_EQ(current.position, 1);
  w.browserWindow(chrome, {{"Secret", "https://s/"}}, true);
  w.appleScripts().currentTabAsync(Browser::chrome, [&](AppleScriptBridge::CurrentTab) { ++calls; });
  w.loop.advance(1);
  EXPECT_EQ(calls, 1);
}

TEST(AppleScriptBridge, SafariWindowNamesAreCachedAndAnInFlightRunIsNotDuplicated) {
  ScriptWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  w.browserWindow(safari, {{"Work", "https://w/"}});
  std::vector<std::pair<std::vector<std::string>, bool>> answers;
  auto record = [&](std::optional<std::vector<std::string>> names, bool fresh) {
    answers.push_back({names.value_or(std::vector<std::string>{"<none>"}), fresh});
  };
  w.appleScripts().scriptedWindowNamesAsync(Browser::safari, record);
  w.appleScripts().scriptedWindowNamesAsync(Browser::safari, record);  // in flight, nothing cached yet
  w.loop.advance(1);
  w.appleScripts().scriptedWindowNamesAsync(Browser::safari, record);  // within 5 s: from the cache
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0], (std::pair<std::vector<std::string>, bool>{{"<none>"}, false}));
  EXPECT_EQ(answers[1], (std::pair<std::vector<std::string>, bool>{{"Work"}, true}));
  EXPECT_EQ(answers[2], (std::pair<std::vector<std::string>, bool>{{"Work"}, false}));
  EXPECT_EQ(w.appleScripts().cachedScriptedWindowNames(Browser::safari), std::vector<std::string>{"Work"});

  w.appleScripts().scriptedWindowNamesAsync(Browser::chrome, record);
  EXPECT_EQ(answers.back(), (std::pair<std::vector<std::string>, bool>{{}, true}));
}

TEST(AppleScriptBridge, ResolveSwitchesToTheTabOrReportsItUnresolvable) {
  ScriptWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto back = w.browserWindow(chrome, {{"A", "https://a/"}, {"B", "https://b/"}});
  w.browserWindow(chrome, {{"C", "https://c/"}});
  SwitchableItem item;
  item.id = "tab:chrome:win:as:1:url:x";
  item.kind = ItemKind::tab;
  item.browser = Browser::chrome;
  item.url = "https://b/";
  item.title = "B";
  item.tabIndex = 1;
  w.mru().stateForTesting().items.push_back(item);
  std::optional<bool> result;
  w.appleScripts().resolve(item, "resolvetab", [&](bool ok) { result = ok; });
  w.loop.advance(1);
  EXPECT_EQ(result, true);
  EXPECT_EQ(w.desktop.stackingOrder().front(), back);
  EXPECT_EQ(w.desktop.window(back)->activeTab, 1u);

  item.url = "https://nowhere/";
  item.title = "Nowhere";
  w.appleScripts().resolve(item, "resolvetab", [&](bool ok) { result = ok; });
  w.loop.advance(1);
  EXPECT_EQ(result, false);
  auto lines = w.debugLines();
  EXPECT_NE(
      std::find(lines.begin(), lines.end(),
                "resolvetab chrome: no match for tab:chrome:win:as:1:url:x (index=2 url=https://nowhere/)"),
      lines.end());
  EXPECT_TRUE(w.mru().stateForTesting().unresolvableIDs.contains(item.id));

  w.desktop.hangingScripts.insert("com.google.Chrome");
  w.appleScripts().resolve(item, "resolvetab", [&](bool ok) { result = ok; });
  w.loop.advance(5);
  EXPECT_EQ(result, false);
  EXPECT_EQ(w.debugLines().back(),
            "resolvetab chrome: script failed or timed out for tab:chrome:win:as:1:url:x");
}

TEST(AppleScriptBridge, HostileTitlesTravelInsideTheirLiteralsToSwitchAndClose) {
  ScriptWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  const std::vector<std::string> titles = {"Say \"hi\" \\ to \u65e5\u672c",
                                           "\" & (do shell script \"touch /tmp/owned\") & \"", "ends with \\",
                                           "Gr\u00fc\u00dfe \U0001F600"};
  std::vector<std::pair<std::string, std::string>> tabs;
  for (const auto& t : titles) tabs.push_back({t, ""});
  auto window = w.browserWindow(chrome, tabs);
  w.browserWindow(chrome, {{"Front", "https://front/"}});
  for (std::size_t i = titles.size(); i-- > 1;) {
    EXPECT_EQ(w.resolve(w.tabItem(Browser::chrome, titles[i], "")), true) << titles[i];
    EXPECT_EQ(w.desktop.window(window)->activeTab, i);
    EXPECT_EQ(w.desktop.stackingOrder().front(), window);
  }
  EXPECT_EQ(w.resolve(w.tabItem(Browser::chrome, titles[1], ""), "closetab"), true);
  EXPECT_EQ(w.desktop.window(window)->tabs.size(), titles.size() - 1);
  // A line break in a title cannot end the statement: it is dropped, and the title no longer matches.
  EXPECT_EQ(w.resolve(w.tabItem(Browser::chrome, "Front\nreturn \"true\"", "")), false);
}

TEST(AppleScriptBridge, SafariTellsANormalAndAPrivateWindowOnTheSamePageApartByTheirTitles) {
  ScriptWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  w.safariHost();
  auto normal = w.browserWindow(safari, {{"Work", "https://work/"}, {"Other", "https://other/"}});
  auto secret = w.browserWindow(safari, {{"Work", "https://work/"}});
  w.desktop.window(normal)->title = "Work";
  w.desktop.window(secret)->title = "Work \u2014 Private";  // its Accessibility title carries the suffix
  w.desktop.window(secret)->scriptName = "Work";
  w.appleScripts().seed(Browser::safari);
  w.desktop.privacy.automation["com.apple.Safari"] = 0;
  w.permissions().refreshAutomationStatus(Browser::safari);
  w.loop.advance(41);
  ASSERT_EQ(w.tabs().size(), 1u);  // the private window is never seeded
  EXPECT_EQ(w.tabs()[0]->windowID, "as:" + std::to_string(normal));

  // The private tab is switched to in the private window; the host is busy, so the runner takes
  // the second request, with the same titles in its trailer.
  w.desktop.raiseWindow(normal);
  w.safariHost().resolve("resolvetab", {"x"}, 0, "", "", false, [](auto) {});
  EXPECT_EQ(w.resolve(w.tabItem(Browser::safari, "Work", "https://work/", 0, true)), true);
  EXPECT_EQ(w.desktop.stackingOrder().front(), secret);
  // Already the front window's current tab: true, without switching to the normal window's copy.
  EXPECT_EQ(w.resolve(w.tabItem(Browser::safari, "Work", "https://work/", 0, true)), true);
  EXPECT_EQ(w.desktop.stackingOrder().front(), secret);
}

TEST(AppleScriptBridge, TerminalClosesTheOnlyTabsWindowAndLeavesABusyTabAlone) {
  ScriptWorld w;
  auto terminal = w.desktop.launch({.bundleID = "com.apple.Terminal", .name = "Terminal"});
  auto single = w.browserWindow(terminal, {{"zsh", "/dev/ttys001"}});
  auto several = w.browserWindow(terminal, {{"make", "/dev/ttys002"}, {"zsh", "/dev/ttys003"}});
  w.desktop.window(several)->tabs[0].busy = true;
  EXPECT_EQ(w.resolve(w.tabItem(Browser::terminal, "make", "/dev/ttys002"), "closetab"), false);
  EXPECT_EQ(w.desktop.window(several)->tabs.size(), 2u);
  EXPECT_EQ(w.resolve(w.tabItem(Browser::terminal, "zsh", "/dev/ttys003"), "closetab"), true);
  EXPECT_EQ(w.desktop.window(several)->tabs.size(), 1u);
  EXPECT_EQ(w.resolve(w.tabItem(Browser::terminal, "zsh", "/dev/ttys001"), "closetab"), true);
  EXPECT_EQ(w.desktop.window(single), nullptr);
}

TEST(AppleScriptBridge, AClosedTabsKnownPositionIsTheOnlyPlaceItIsLookedFor) {
  ScriptWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  auto moved = w.browserWindow(safari, {{"Docs", "https://docs/"}, {"Other", "https://other/"}});
  auto blank = w.browserWindow(safari, {{"Mail", "https://mail/"}, {"Start Page", ""}});
  // Last seen second in its window, the Docs tab has moved or gone: the Docs tab first is kept.
  EXPECT_EQ(w.resolve(w.tabItem(Browser::safari, "Docs", "https://docs/", 1), "closetab"), false);
  EXPECT_EQ(w.desktop.window(moved)->tabs.size(), 2u);
  EXPECT_TRUE(
      w.logged("closetab safari: position 2 no longer holds tab:safari:win:as:1:url:Docs "
               "(url=https://docs/); left open"));
  // A start page without an address at its position, or not there, where a blank one is first.
  EXPECT_EQ(w.resolve(w.tabItem(Browser::safari, "Start Page", "", 0), "closetab"), false);
  EXPECT_EQ(w.resolve(w.tabItem(Browser::safari, "Start Page", "", 1), "closetab"), true);
  EXPECT_EQ(w.desktop.window(blank)->tabs.size(), 1u);
  EXPECT_EQ(w.resolve(w.tabItem(Browser::safari, "Docs", "https://docs/", 0), "closetab"), true);
  EXPECT_EQ(w.desktop.window(moved)->tabs.size(), 1u);

  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto window = w.browserWindow(chrome, {{"Docs", "https://docs/"}, {"Other", "https://other/"}});
  EXPECT_EQ(w.resolve(w.tabItem(Browser::chrome, "Docs", "https://docs/", 1), "closetab"), false);
  EXPECT_EQ(w.desktop.window(window)->tabs.size(), 2u);
}

TEST(AppleScriptBridge, ASafariTabWithoutAnAddressKeepsItsFieldsInPlace) {
  EXPECT_EQ(AppleScriptOutput::lines("\tStart Page\t100\t1 \r\n\t\t\n  \n\tnext\t\n"),
            (std::vector<std::string>{"\tStart Page\t100\t1", "\tnext\t"}));
  EXPECT_EQ(AppleScriptOutput::fields("\tnext\t"), (std::vector<std::string>{"", "next", ""}));

  // The start page has no address, so no entry; it no longer passes for one titled by its
  // window's number.
  ScriptWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  auto news = w.browserWindow(safari, {{"News", "https://news/"}});
  w.browserWindow(safari, {{"Start Page", ""}});
  w.desktop.privacy.automation["com.apple.Safari"] = 0;
  w.permissions().refreshAutomationStatus(Browser::safari);
  w.appleScripts().seed(Browser::safari);
  w.loop.advance(41);
  ASSERT_EQ(w.tabs().size(), 1u);
  EXPECT_EQ(w.tabs()[0]->title, "News");
  EXPECT_EQ(w.tabs()[0]->windowID, "as:" + std::to_string(news));
}

TEST(AppleScriptBridge, FrontTabsKeepOnlyWellFormedLinesInOrder) {
  ScriptWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  w.browserWindow(safari, {{"Back", "https://back/"}});
  w.browserWindow(safari, {{"Tab\tin title", "https://odd/"}});  // its fields shift: position is no number
  w.browserWindow(safari, {{"Front", "https://front/"}, {"Second", "https://second/"}});
  w.desktop.privacy.automation["com.apple.Safari"] = 0;
  w.permissions().refreshAutomationStatus(Browser::safari);
  w.loop.advance(1);
  std::vector<AppleScriptBridge::FrontTab> tabs;
  w.appleScripts().frontTabsAsync([&](auto result) { tabs = result; });
  w.loop.advance(1);
  ASSERT_EQ(tabs.size(), 2u);
  EXPECT_EQ(tabs[0].url, "https://front/");
  EXPECT_EQ(tabs[0].tabCount, 2);
  EXPECT_EQ(tabs[1].title, "Back");
}

// Faults of single runs: whatever the answer, it is logged and dropped and the inventory keeps
// what it had.
TEST(AppleScriptBridge, BadAnswersAreLoggedAndDroppedWithoutLosingInventory) {
  ScriptWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  w.browserWindow(chrome, {{"A", "https://a/"}, {"B", "https://b/"}});
  w.desktop.privacy.automation["com.google.Chrome"] = 0;
  w.permissions().refreshAutomationStatus(Browser::chrome);
  w.appleScripts().seed(Browser::chrome);
  w.loop.advance(1);
  ASSERT_EQ(w.tabs().size(), 1u);
  const std::string id = w.tabs()[0]->id;

  auto& runner = w.desktop.scripts();
  for (ScriptFault fault :
       {ScriptFault::garbled, ScriptFault::truncated, ScriptFault::empty, ScriptFault::enormous,
        ScriptFault::timeOut, ScriptFault::permissionRefused, ScriptFault::notRunning}) {
    runner.inject(fault, "livetabs", 3);  // as many times as the strike limit
    for (int i = 0; i < 3; ++i) {
      w.mru().stateForTesting().lastTabVerification.clear();
      w.mru().noteUnresolvableTab(id, Browser::chrome);  // asks for a verification of the live tabs
      w.loop.advance(5);
    }
    EXPECT_NE(w.item(id), nullptr) << static_cast<int>(fault);
  }
  EXPECT_TRUE(w.logged("osascript exit 0: answer is not UTF-8"));
  EXPECT_TRUE(w.logged("osascript exit 0: answer cut off or too long"));
  EXPECT_TRUE(w.logged("osascript killed by signal 15: "));
  EXPECT_TRUE(w.logged(
      "osascript exit 1: execution error: Not authorized to send Apple events to Google Chrome. (-1743)"));

  runner.inject(ScriptFault::garbled, "seedtabs");
  w.browserWindow(chrome, {{"C", "https://c/"}});
  w.appleScripts().seed(Browser::chrome);
  w.loop.advance(1);
  EXPECT_EQ(w.tabs().size(), 1u);
}

TEST(AppleScriptBridge, AScriptTheInterpreterCannotReadFailsAsASyntaxError) {
  ScriptWorld w;
  w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  std::optional<std::optional<std::vector<std::string>>> result;
  w.appleScripts().run(AppleScriptLibrary::forBrowser(Browser::chrome), "return nonsense(",
                       [&](auto lines) { result = lines; });
  w.loop.advance(1);
  ASSERT_TRUE(result);
  EXPECT_FALSE(*result);
  EXPECT_TRUE(
      w.logged("osascript exit 1: syntax error: Expected end of line but found unknown token. (-2741)"));
}

}  // namespace
}  // namespace velvix
