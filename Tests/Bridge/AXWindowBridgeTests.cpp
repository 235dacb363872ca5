#include <gtest/gtest.h>

#include "Bridge/AXWindowBridge.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using Outcome = AXWindowBridge::RaiseOutcome;
using test::TestWorld;

struct AXWorld : TestWorld {
  platform::Pid app = desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  platform::Pid other = desktop.launch({.bundleID = "com.example.other", .name = "Other"});
};

TEST(AXWindowBridge, EnumeratesTitlesNumbersAndStates) {
  AXWorld w;
  auto a = w.desktop.addWindow(w.app, {.title = "Alpha"});
  auto b = w.desktop.addWindow(w.app, {.title = "Beta", .minimized = true});
  auto c = w.desktop.addWindow(w.app, {.title = ""});
  EXPECT_EQ(w.ax().allWindowTitles(w.app), (std::vector<std::string>{"Beta", "Alpha"}));
  EXPECT_EQ(w.ax().windowTitles(w.app),
            std::vector<std::string>{"Alpha"});  // minimized and untitled left out
  EXPECT_EQ(w.ax().windowTitlesByNumber(w.app),
            (std::map<std::int64_t, std::string>{{a, "Alpha"}, {b, "Beta"}, {c, ""}}));
  auto states = w.ax().windowStatesIfEnumerable(w.app);
  ASSERT_TRUE(states);
  EXPECT_EQ(*states, (std::vector<AXWindowBridge::WindowState>{{c, false}, {b, true}, {a, false}}));
  EXPECT_EQ(w.ax().focusedWindowNumber(w.app), c);
  // Only the windows named are asked whether they are minimized.
  states = w.ax().windowStatesIfEnumerable(w.app, {}, [&](std::int64_t n) { return n != b; });
  ASSERT_TRUE(states);
  EXPECT_EQ(*states, (std::vector<AXWindowBridge::WindowState>{{c, false}, {b, false}, {a, false}}));
  // Front to back after a raise and a close, among another application's windows.
  auto d = w.desktop.addWindow(w.other, {.title = "Delta"});
  w.desktop.raiseWindow(a);
  w.desktop.closeWindow(c);
  w.desktop.raiseWindow(d);
  EXPECT_EQ(w.ax().allWindowTitles(w.app), (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_EQ(w.ax().allWindowTitles(w.other), std::vector<std::string>{"Delta"});
}

TEST(AXWindowBridge, WithoutPermissionEverythingAnswersNothing) {
  AXWorld w;
  auto a = w.desktop.addWindow(w.app, {.title = "Alpha"});
  w.desktop.accessibilityTrusted = false;
  EXPECT_TRUE(w.ax().allWindowTitles(w.app).empty());
  EXPECT_FALSE(w.ax().windowStatesIfEnumerable(w.app));
  EXPECT_FALSE(w.ax().focusedWindowNumber(w.app));
  EXPECT_EQ(w.ax().raiseWindow(a, "Alpha", w.app), Outcome::unknown);
  EXPECT_FALSE(w.ax().closeFrontWindow(w.app));
}

TEST(AXWindowBridge, RaiseOutcomes) {
  AXWorld w;
  EXPECT_EQ(w.ax().raiseWindow(4711, "", w.app), Outcome::missing);  // no windows: provably not there

  auto back = w.desktop.addWindow(w.app, {.title = "Back"});
  auto front = w.desktop.addWindow(w.app, {.title = "Front"});
  EXPECT_EQ(w.ax().raiseWindow(back, "", w.app), Outcome::raised);
  EXPECT_EQ(w.desktop.stackingOrder().front(), back);

  // Not found by number (the number was reused) but by its exact title.
  EXPECT_EQ(w.ax().raiseWindow(99999, "Front", w.app), Outcome::raised);
  EXPECT_EQ(w.desktop.stackingOrder().front(), front);

  // A window whose number cannot be read makes a miss unprovable.
  w.desktop.addWindow(w.app, {.title = "Opaque", .numberReadable = false});
  EXPECT_EQ(w.ax().raiseWindow(99999, "", w.app), Outcome::unknown);
  EXPECT_EQ(w.ax().raiseWindow(-1, "", w.app), Outcome::unknown);
}

TEST(AXWindowBridge, MinimizedWindowIsRestoredBeforeItIsRaisedAndRaiseFallsBackToMain) {
  AXWorld w;
  auto tucked = w.desktop.addWindow(w.app, {.title = "Tucked", .minimized = true});
  w.desktop.addWindow(w.app, {.title = "Top"});
  w.desktop.app(w.app)->failingActions = {platform::AXAction::kRaise};
  EXPECT_EQ(w.ax().raiseWindow(tucked, "", w.app), Outcome::raised);
  EXPECT_FALSE(w.desktop.window(tucked)->minimized);
  EXPECT_EQ(w.desktop.stackingOrder().front(), tucked);
  EXPECT_EQ(w.desktop.performedActions.back(), "set AXMain window " + std::to_string(tucked));
}

TEST(AXWindowBridge, UnresponsiveApplicationCostsOnlyTheTimeoutAndBudget) {
  AXWorld w;
  for (int i = 0; i < 3; ++i) w.desktop.addWindow(w.other, {.title = "Window " + std::to_string(i)});
  w.desktop.app(w.app)->axUnresponsive = true;
  const double before = w.loop.elapsed();
  EXPECT_TRUE(w.ax().allWindowTitles(w.app).empty());
  EXPECT_NEAR(w.loop.elapsed() - before, AXWindowBridge::kMessagingTimeout, 1e-9);

  // A slow application: each message costs 0.1 s, so the 0.4 s budget runs out part-way.
  for (int i = 0; i < 10; ++i) w.desktop.addWindow(w.app, {.title = "Slow " + std::to_string(i)});
  w.desktop.app(w.app)->axUnresponsive = false;
  w.desktop.app(w.app)->axLatency = 0.1;
  auto partial = w.ax().allWindowTitles(w.app);
  EXPECT_GT(partial.size(), 0u);
  EXPECT_LT(partial.size(), 10u);
  EXPECT_FALSE(w.ax().windowStatesIfEnumerable(w.app));  // all or nothing

  // The responsive application answers in full meanwhile.
  EXPECT_EQ(w.ax().allWindowTitles(w.other).size(), 3u);
}

TEST(AXWindowBridge, StatesWithAPassedDeadlineAnswerNothing) {
  AXWorld w;
  w.desktop.addWindow(w.app, {.title = "A"});
  EXPECT_FALSE(w.ax().windowStatesIfEnumerable(w.app, w.loop.uptime() - 1));
  EXPECT_TRUE(w.ax().windowStatesIfEnumerable(w.app, w.loop.uptime() + 1));
}

TEST(AXWindowBridge, RaisesByTitleAndClosesTheFrontWindow) {
  AXWorld w;
  auto inbox = w.desktop.addWindow(w.app, {.title = "Inbox — Ünïcode"});
  auto notes = w.desktop.addWindow(w.app, {.title = "Notes"});
  EXPECT_FALSE(w.ax().raiseWindow(std::string(), w.app));
  EXPECT_TRUE(w.ax().raiseWindow(std::string("ünï"), w.app));
  EXPECT_EQ(w.desktop.stackingOrder().front(), inbox);

  w.desktop.setMinimized(inbox, true);
  EXPECT_TRUE(w.ax().closeFrontWindow(w.app));  // the minimized one is skipped
  EXPECT_EQ(w.desktop.window(notes), nullptr);
  EXPECT_NE(w.desktop.window(inbox), nullptr);
}

TEST(AXWindowBridge, AuxiliaryAndScriptedWindows) {
  AXWorld w;
  auto work = w.desktop.addWindow(w.app, {.title = "Work"});
  auto downloads = w.desktop.addWindow(w.app, {.title = "Downloads"});
  auto settings = w.desktop.addWindow(w.app, {.title = "Settings"});
  (void)settings;
  EXPECT_TRUE(w.ax().raiseScriptedWindow({"Work"}, w.app));
  EXPECT_EQ(w.desktop.stackingOrder().front(), work);
  EXPECT_TRUE(w.ax().raiseAuxWindow("Downloads", {"Work"}, w.app));
  EXPECT_EQ(w.desktop.stackingOrder().front(), downloads);
  EXPECT_TRUE(w.ax().raiseAuxWindow("Gone", {"Work"}, w.app));  // the first non-scripted one instead
  EXPECT_NE(w.desktop.stackingOrder().front(), work);
  EXPECT_FALSE(w.ax().raiseScriptedWindow({"Nope"}, w.app));
}

TEST(AXWindowBridge, PrivateWindowTitles) {
  const std::vector<std::string> work{"Work"};
  EXPECT_TRUE(AXWindowBridge::isPrivateWindowTitle("Work \u2014 Private", work));
  EXPECT_TRUE(AXWindowBridge::isPrivateWindowTitle("Work - Private", work));
  EXPECT_FALSE(AXWindowBridge::isPrivateWindowTitle("Work", work));
  EXPECT_FALSE(AXWindowBridge::isPrivateWindowTitle("Workshop - Private", work));
  EXPECT_FALSE(AXWindowBridge::isPrivateWindowTitle("Some page", {}));
  EXPECT_TRUE(AXWindowBridge::isPrivateWindowTitle("X, Private Browsing", {"X, Private Browsing"}));

  EXPECT_EQ(AXWindowBridge::auxWindowTitle({"Downloads", "Work"}, "Browser", work), "Downloads");
  EXPECT_FALSE(AXWindowBridge::auxWindowTitle({"Browser"}, "Browser", work));
  EXPECT_FALSE(AXWindowBridge::auxWindowTitle({"Work"}, std::nullopt, work));
  EXPECT_FALSE(AXWindowBridge::auxWindowTitle({"Work, Private"}, std::nullopt, work));
  EXPECT_FALSE(AXWindowBridge::auxWindowTitle({}, std::nullopt, work));
}

}  // namespace
}  // namespace velvix
