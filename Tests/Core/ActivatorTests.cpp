#include <gtest/gtest.h>

#include "Core/Activator.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct ActivatorWorld : TestWorld {
  ActivatorWorld() {
    defaults.set("debugLogging", true);
    services();
  }
  SwitchableItem appEntry(platform::Pid pid) {
    return *SwitchableItem::appItem(*desktop.workspace().application(pid), loop.now());
  }
  int linesContaining(const std::string& text) {
    int n = 0;
    for (const auto& line : debugLines()) n += line.find(text) != std::string::npos;
    return n;
  }
};

TEST(Activator, StartPositionWrapsAndOurOwnApplicationEntryIsLeftOut) {
  ActivatorWorld w;
  auto a = w.launchWithWindows("com.example.a", "A", {"A"});
  auto b = w.launchWithWindows("com.example.b", "B", {"B"});
  auto c = w.launchWithWindows("com.example.c", "C", {"C"});
  w.activator().activate({w.appEntry(a), w.appEntry(b), w.appEntry(c)}, 5);
  w.loop.advance(0.5);
  EXPECT_EQ(w.desktop.frontmostPid(), c);

  SwitchableItem own = w.appEntry(w.desktop.selfPid());
  w.activator().activate({own, w.appEntry(b)}, 0);
  w.loop.advance(0.5);
  EXPECT_EQ(w.desktop.frontmostPid(), b);
  const auto generation = w.activator().generation();
  w.activator().activate({}, 0);
  EXPECT_EQ(w.activator().generation(), generation);
}

TEST(Activator, ASingleFailingEntryWritesNoGiveUpLine) {
  ActivatorWorld w;
  SwitchableItem gone;
  gone.id = "app:com.example.gone";
  gone.bundleID = "com.example.gone";
  w.activator().activate({gone}, 0);
  w.loop.advance(1);
  EXPECT_EQ(
      w.linesContaining("activate: app:com.example.gone failed (app absent from the running-app list), kept"),
      1);
  EXPECT_EQ(w.linesContaining("gave up"), 0);
}

TEST(Activator, OwnWindowsAreRaisedThroughTheApplicationObject) {
  ActivatorWorld w;
  auto other = w.launchWithWindows("com.example.a", "A", {"A"});
  w.desktop.activate(other);
  auto settings = w.desktop.addWindow(w.desktop.selfPid(), {.title = "Settings", .minimized = true});
  w.desktop.raiseWindow(w.desktop.windowsOf(other).front());
  SwitchableItem own;
  own.id = SwitchableItem::windowItemID("com.kolvi.velvix", settings);
  own.bundleID = "com.kolvi.velvix";
  own.windowNumber = settings;
  own.pid = w.desktop.selfPid();
  w.activator().activate({own}, 0);
  w.loop.advance(1);
  EXPECT_FALSE(w.desktop.window(settings)->minimized);
  EXPECT_EQ(w.desktop.stackingOrder().front(), settings);
  EXPECT_EQ(w.desktop.frontmostPid(), w.desktop.selfPid());
}

TEST(Activator, SafariTabsNeverGoThroughAnExtensionAndEditorTabsFailWithoutAHost) {
  ActivatorWorld w;
  auto safari = w.desktop.launch({.bundleID = "com.apple.Safari", .name = "Safari"});
  auto window = w.desktop.addWindow(safari, {.title = "x"});
  w.desktop.addTab(window, {.title = "One", .url = "https://one/"});
  w.desktop.addTab(window, {.title = "Two", .url = "https://two/"}, false);
  SwitchableItem tab;
  tab.id = "tab:safari:s:9";
  tab.kind = ItemKind::tab;
  tab.browser = Browser::safari;
  tab.tabID = 9;
  tab.windowID = "1";
  tab.session = "s";
  tab.url = "https://two/";
  tab.title = "Two";
  w.activator().activate({tab}, 0);
  w.loop.advance(1);
  EXPECT_EQ(w.desktop.window(window)->activeTab, 1u);
  EXPECT_EQ(w.linesContaining("falling back"), 0);

  w.desktop.launch({.bundleID = "com.microsoft.VSCode", .name = "Code"});
  SwitchableItem editorTab = tab;
  editorTab.id = "tab:vscode:s:3";
  editorTab.browser = Browser::vscode;
  w.activator().activate({editorTab}, 0);
  w.loop.advance(1);
  EXPECT_EQ(w.linesContaining("activate: tab:vscode:s:3 \u2014 no editor host to ask"), 1);
  EXPECT_EQ(w.linesContaining("activate: tab:vscode:s:3 failed (tab could not be resolved), kept"), 1);
}

TEST(Activator, ChromiumTabWithoutUsableIdsSaysSoAndUsesAppleEvents) {
  ActivatorWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto window = w.desktop.addWindow(chrome, {.title = "x"});
  w.desktop.addTab(window, {.title = "One", .url = "https://one/"});
  SwitchableItem tab;
  tab.id = "tab:chrome:5";
  tab.kind = ItemKind::tab;
  tab.browser = Browser::chrome;
  tab.tabID = 5;
  tab.windowID = "abc";
  tab.url = "https://one/";
  w.activator().activate({tab}, 0);
  w.loop.advance(1);
  EXPECT_EQ(
      w.linesContaining("activate: tab:chrome:5 \u2014 no tabID/windowID; falling back to Apple Events"), 1);
  EXPECT_EQ(w.desktop.frontmostPid(), chrome);
}

TEST(Activator, ANewerActivationIgnoresTheOlderOnesLateScriptResult) {
  ActivatorWorld w;
  auto chrome = w.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto window = w.desktop.addWindow(chrome, {.title = "x"});
  w.desktop.addTab(window, {.title = "One", .url = "https://one/"});
  auto other = w.launchWithWindows("com.example.a", "A", {"A"});
  SwitchableItem missing;
  missing.id = "tab:chrome:win:1:url:x";
  missing.kind = ItemKind::tab;
  missing.browser = Browser::chrome;
  missing.url = "https://nowhere/";
  w.desktop.scriptLatency = 0.5;
  w.activator().activate({missing, w.appEntry(other)}, 0);
  w.loop.advance(0.1);
  w.activator().activate({w.appEntry(chrome)}, 0);
  w.loop.advance(2);
  // The old script answered "false" after the new activation: its neighbour must not be tried.
  EXPECT_EQ(w.desktop.frontmostPid(), chrome);
  EXPECT_EQ(w.linesContaining("failed ("), 0);
}

}  // namespace
}  // namespace velvix
