// Activation and closing over the simulated desktop, across the inventory, the monitor, the
// activator and the closer: what is in front afterwards, and what the inventory lists.

#include <gtest/gtest.h>

#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct Desk : TestWorld {
  Desk() {
    defaults.set("debugLogging", true);
    services();
    mail = launchWithWindows("com.apple.mail", "Mail", {"Inbox"});
    notes = launchWithWindows("com.example.notes", "Notes", {"Groceries", "Ideas"});
    editor = launchWithWindows("com.example.editor", "Editor", {"main.cpp"});
    desktop.activate(editor);
    mru().seedRunningApps();
    appMonitor().start();
    loop.runUntilIdle();
  }
  std::int64_t windowTitled(platform::Pid pid, const std::string& title) {
    for (auto n : desktop.windowsOf(pid))
      if (desktop.window(n)->title == title) return n;
    return 0;
  }
  SwitchableItem entry(platform::Pid pid, std::int64_t number) {
    for (const auto& e : mru().entries())
      if (e.windowNumber == number) return e;
    ADD_FAILURE() << "no entry for window " << number;
    return {};
  }
  std::int64_t frontWindow() { return desktop.stackingOrder().front(); }
  platform::Pid mail, notes, editor;
};

TEST(ActivationScenario, ActivatingABackgroundWindowBringsItAndItsApplicationToTheFront) {
  Desk d;
  auto groceries = d.windowTitled(d.notes, "Groceries");
  d.activator().activate({d.entry(d.notes, groceries)}, 0);
  d.loop.advance(1.5);
  EXPECT_EQ(d.frontWindow(), groceries);
  EXPECT_EQ(d.desktop.frontmostPid(), d.notes);
  EXPECT_EQ(d.mru().rankedForSwitcher().front().windowNumber, groceries);
}

TEST(ActivationScenario, AClosedChoiceFallsThroughToItsNeighbourAndAtMostThreeAreTried) {
  Desk d;
  auto groceries = d.windowTitled(d.notes, "Groceries");
  auto inbox = d.windowTitled(d.mail, "Inbox");
  std::vector<SwitchableItem> list{d.entry(d.editor, d.windowTitled(d.editor, "main.cpp")),
                                   d.entry(d.notes, groceries), d.entry(d.mail, inbox)};
  d.desktop.closeWindow(groceries);  // closed while the chord was open
  d.activator().activate(list, 1);
  d.loop.advance(1.5);
  EXPECT_EQ(d.frontWindow(), inbox);
  EXPECT_EQ(d.desktop.frontmostPid(), d.mail);

  // Every window gone: three candidates failed, then the give-up line; the fourth is not tried.
  std::vector<SwitchableItem> dead;
  for (int i = 0; i < 5; ++i) {
    auto pid = d.launchWithWindows("com.example.gone" + std::to_string(i), "Gone", {"W"});
    auto number = d.desktop.windowsOf(pid).front();
    SwitchableItem e;
    e.id = SwitchableItem::windowItemID("com.example.gone" + std::to_string(i), number);
    e.bundleID = "com.example.gone" + std::to_string(i);
    e.windowNumber = number;
    e.pid = pid;
    d.desktop.closeWindow(number);
    dead.push_back(e);
  }
  const std::size_t linesBefore = d.debugLines().size();
  d.activator().activate(dead, 0);
  d.loop.advance(1);
  auto lines = d.debugLines();
  int failed = 0;
  for (std::size_t i = linesBefore; i < lines.size(); ++i)
    failed += lines[i].find(" failed (window ") != std::string::npos;
  EXPECT_EQ(failed, 3);
  EXPECT_EQ(lines.back().rfind("activate: gave up after 3 candidates", 0), 0u);
}

TEST(ActivationScenario, ANewerActivationSilencesTheFollowUpsOfTheOlderOne) {
  Desk d;
  auto groceries = d.windowTitled(d.notes, "Groceries");
  auto inbox = d.windowTitled(d.mail, "Inbox");
  d.activator().activate({d.entry(d.notes, groceries)}, 0);
  d.loop.advance(0.1);
  d.activator().activate({d.entry(d.mail, inbox)}, 0);
  d.loop.advance(2);
  // The first activation's re-raises at 0.2, 0.5 and 0.9 s would have pulled Groceries back.
  EXPECT_EQ(d.frontWindow(), inbox);
  EXPECT_EQ(d.desktop.frontmostPid(), d.mail);
}

TEST(ActivationScenario, AClickStopsTheReRaises) {
  Desk d;
  auto groceries = d.windowTitled(d.notes, "Groceries");
  auto inbox = d.windowTitled(d.mail, "Inbox");
  d.activator().activate({d.entry(d.notes, groceries)}, 0);
  d.loop.advance(0.3);
  // The user clicks another window: it comes forward, and the activation must not fight it.
  d.desktop.noteInput(platform::InputEventType::leftMouseDown);
  d.desktop.activate(d.mail);
  d.desktop.raiseWindow(inbox);
  d.loop.advance(1);
  EXPECT_EQ(d.frontWindow(), inbox);
}

TEST(ActivationScenario, TheMonitorDoesNotReorderTheListForOneSecondAfterAnActivation) {
  Desk d;
  d.loop.advance(10.5);
  auto groceries = d.windowTitled(d.notes, "Groceries");
  auto editorWindow = d.entry(d.editor, d.windowTitled(d.editor, "main.cpp"));
  d.activator().activate({d.entry(d.notes, groceries)}, 0);
  const double markedAt = d.loop.now();
  d.loop.advance(0.5);  // the activation notifications arrive inside the suppression
  auto ranked = d.mru().rankedForSwitcher();
  ASSERT_EQ(ranked.front().windowNumber, groceries);
  EXPECT_NEAR(ranked.front().lastActivatedAt, markedAt, 0.01);
  // The editor, which was left, was not re-dated by its deactivation.
  EXPECT_EQ(d.entry(d.editor, *editorWindow.windowNumber).lastActivatedAt, editorWindow.lastActivatedAt);
}

TEST(ActivationScenario, ClosingAWindowRemovesItsEntryAndPictureAfterTwoPasses) {
  Desk d;
  auto ideas = d.windowTitled(d.notes, "Ideas");
  auto item = d.entry(d.notes, ideas);
  d.thumbnails().storeForTesting(item.id, {});
  d.closer().close(item);
  d.loop.runUntilIdle();
  EXPECT_EQ(d.desktop.window(ideas), nullptr);
  d.loop.advance(25);  // two reconcile passes
  for (const auto& e : d.mru().entries()) EXPECT_NE(e.id, item.id);
  EXPECT_FALSE(d.thumbnails().contains(item.id));
}

TEST(ActivationScenario, ClosingAnApplicationEntryClosesOneWindowNeverTheApplication) {
  Desk d;
  SwitchableItem app = *SwitchableItem::appItem(*d.desktop.workspace().application(d.notes), 0);
  d.closer().close(app);
  EXPECT_EQ(d.desktop.windowsOf(d.notes).size(), 1u);
  EXPECT_FALSE(d.desktop.workspace().isTerminated(d.notes));
}

TEST(ActivationScenario, QuittingAnApplicationRemovesItsEntries) {
  Desk d;
  d.desktop.terminate(d.notes);
  d.loop.runUntilIdle();
  for (const auto& e : d.mru().entries()) EXPECT_NE(e.bundleID, "com.example.notes") << e.id;
}

TEST(ActivationScenario, ChromiumTabWithoutAConnectionFallsBackToAppleEvents) {
  Desk d;
  auto chrome = d.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto window = d.desktop.addWindow(chrome, {.title = "x"});
  d.desktop.addTab(window, {.title = "Docs", .url = "https://docs/"});
  d.desktop.addTab(window, {.title = "Mail", .url = "https://mail/"}, false);
  SwitchableItem tab;
  tab.id = "tab:chrome:abc:2";
  tab.kind = ItemKind::tab;
  tab.browser = Browser::chrome;
  tab.bundleID = "com.google.Chrome";
  tab.tabID = 2;
  tab.windowID = "+7";
  tab.session = "abc";
  tab.url = "https://mail/";
  tab.title = "Mail";
  d.activator().activate({tab}, 0);
  d.loop.advance(1);
  EXPECT_EQ(d.desktop.window(window)->activeTab, 1u);
  EXPECT_EQ(d.desktop.frontmostPid(), chrome);
  auto lines = d.debugLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "activate: tab:chrome:abc:2 \u2014 extension declined tab 2 in window +7; falling back "
                      "to Apple Events"),
            lines.end());
}

}  // namespace
}  // namespace velvix
