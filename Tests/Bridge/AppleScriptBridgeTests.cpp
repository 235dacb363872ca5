#include <gtest/gtest.h>

#include "Bridge/AppleScriptBridge.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

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
  std::vector<const SwitchableItem*> tabs() {
    std::vector<const SwitchableItem*> result;
    for (const auto& e : mru().items)
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
  w.scripts().seed(Browser::chrome);
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
  w.scripts().seed(Browser::terminal);
  w.loop.advance(1);
  EXPECT_EQ(w.desktop.scriptRuns, 0);
  auto terminal = w.desktop.launch({.bundleID = "com.apple.Terminal", .name = "Terminal"});
  w.browserWindow(terminal, {{"zsh", "/dev/ttys001"}});
  w.scripts().seed(Browser::terminal);
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
  w.scripts().currentTabAsync(Browser::chrome, [&](AppleScriptBridge::CurrentTab tab) {
    ++calls;
    current = tab;
  });
  w.loop.advance(1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(current.url, "https://a/");
  EXPECT_EQ(current.position, 1);
  w.browserWindow(chrome, {{"Secret", "https://s/"}}, true);
  w.scripts().currentTabAsync(Browser::chrome, [&](AppleScriptBridge::CurrentTab) { ++calls; });
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
  w.scripts().scriptedWindowNamesAsync(Browser::safari, record);
  w.scripts().scriptedWindowNamesAsync(Browser::safari, record);  // in flight, nothing cached yet
  w.loop.advance(1);
  w.scripts().scriptedWindowNamesAsync(Browser::safari, record);  // within 5 s: from the cache
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0], (std::pair<std::vector<std::string>, bool>{{"<none>"}, false}));
  EXPECT_EQ(answers[1], (std::pair<std::vector<std::string>, bool>{{"Work"}, true}));
  EXPECT_EQ(answers[2], (std::pair<std::vector<std::string>, bool>{{"Work"}, false}));
  EXPECT_EQ(w.scripts().cachedScriptedWindowNames(Browser::safari), std::vector<std::string>{"Work"});

  w.scripts().scriptedWindowNamesAsync(Browser::chrome, record);
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
  w.mru().items.push_back(item);
  std::optional<bool> result;
  w.scripts().resolve(item, "resolvetab", [&](bool ok) { result = ok; });
  w.loop.advance(1);
  EXPECT_EQ(result, true);
  EXPECT_EQ(w.desktop.stackingOrder().front(), back);
  EXPECT_EQ(w.desktop.window(back)->activeTab, 1u);

  item.url = "https://nowhere/";
  item.title = "Nowhere";
  w.scripts().resolve(item, "resolvetab", [&](bool ok) { result = ok; });
  w.loop.advance(1);
  EXPECT_EQ(result, false);
  auto lines = w.debugLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "resolvetab chrome: no match for tab:chrome:win:as:1:url:x (index=2 url=https://nowhere/)"),
            lines.end());
  EXPECT_TRUE(w.mru().unresolvableIDs.contains(item.id));

  w.desktop.hangingScripts.insert("com.google.Chrome");
  w.scripts().resolve(item, "resolvetab", [&](bool ok) { result = ok; });
  w.loop.advance(5);
  EXPECT_EQ(result, false);
  EXPECT_EQ(w.debugLines().back(), "resolvetab chrome: script failed or timed out for tab:chrome:win:as:1:url:x");
}

}  // namespace
}  // namespace velvix
