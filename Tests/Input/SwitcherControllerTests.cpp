#include <gtest/gtest.h>

#include "Core/MRUManager.hpp"
#include "Core/Services.hpp"
#include "Core/WindowList.hpp"
#include "Input/SwitcherController.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/CountingWindowServer.hpp"
#include "TestSupport/Waits.hpp"
#include "UI/HUDController.hpp"
#include "UI/HUDModel.hpp"

namespace velvix {
namespace {

using platform::EventFlag::kCommand;
using test::AppWorld;
using test::CountingWindowServer;

struct SessionWorld : AppWorld {
  explicit SessionWorld(int apps = 6) {
    for (int i = 0; i < apps; ++i)
      pids.push_back(launchApp("com.example.app" + std::to_string(i), "App" + std::to_string(i), {"W"}));
    launch();
    for (auto pid : pids) {
      desktop.activate(pid);
      pause(2);
    }
  }
  SwitcherController& s() { return *app->delegate().switcher(); }
  std::vector<platform::Pid> pids;
};

TEST(SwitcherController, OpensOnTheEntryAfterTheCurrentOneOrTheLastWithShift) {
  SessionWorld w(3);
  w.hold(kCommand);
  ASSERT_TRUE(w.s().begin(false, false));
  EXPECT_EQ(w.s().index(), 1u);
  w.s().cancel();
  ASSERT_TRUE(w.s().begin(true, false));
  EXPECT_EQ(w.s().index(), w.s().session()->size() - 1);
  w.s().cancel();
  w.release();
}

TEST(SwitcherController, StepRowKeepsTheRelativeColumnAndWraps) {
  SessionWorld w(6);
  w.hold(kCommand);
  ASSERT_TRUE(w.s().begin(false, false));
  w.s().step(false);  // shows the HUD
  w.pause(0);
  w.s().hud().model().setRows({{0, 1, 2, 3}, {4, 5}});
  while (w.s().index() != 3) w.s().step(false);
  w.s().stepRow(true);  // (3 + 0.5) / 4 x 2 = 1.75: column 1 of the second row
  EXPECT_EQ(w.s().index(), 5u);
  w.s().stepRow(true);  // wraps to the first row: (1 + 0.5) / 2 x 4 = 3
  EXPECT_EQ(w.s().index(), 3u);
  w.s().hud().model().setRows({{0, 1, 2, 3}});  // one row: Up and Down step
  w.s().stepRow(true);
  EXPECT_EQ(w.s().index(), 4u);
  w.s().cancel();
  w.release();
}

// A second Tab within the reveal answers without building the HUD; the loop's next turn shows it
// with the selection as it is then. A release before that turn shows nothing.
TEST(SwitcherController, ASecondTabWithinTheRevealShowsTheHUDAtTheNextTurn) {
  SessionWorld w(4);
  w.hold(kCommand);
  ASSERT_TRUE(w.s().begin(false, false));
  w.s().step(false);
  w.s().step(false);
  EXPECT_TRUE(w.s().isHUDShown());
  EXPECT_FALSE(w.s().hud().isVisible());
  w.loop.runUntilIdle();
  EXPECT_TRUE(w.s().hud().isVisible());
  EXPECT_EQ(w.s().hud().model().selectedIndex(), 3);
  w.s().cancel();

  ASSERT_TRUE(w.s().begin(false, false));
  w.s().step(false);
  w.s().commit();
  w.loop.runUntilIdle();
  EXPECT_FALSE(w.s().hud().isVisible());
  w.release();
}

// The release leaves the HUD on screen only until the loop's next turn, which takes it off before
// activating the choice; a chord opened again before that turn keeps its own HUD.
TEST(SwitcherController, TheReleaseTakesTheHUDOffAtTheNextTurnBeforeActivating) {
  SessionWorld w(3);
  w.hold(kCommand);
  ASSERT_TRUE(w.s().begin(false, false));
  w.pause(test::kPastHUDReveal);
  ASSERT_TRUE(w.s().hud().isVisible());
  const auto front = w.frontmostPid();
  w.s().commit();
  EXPECT_EQ(w.frontmostPid(), front);
  w.loop.advance(0);
  EXPECT_FALSE(w.s().hud().isVisible());
  EXPECT_NE(w.frontmostPid(), front);

  ASSERT_TRUE(w.s().begin(false, false));
  w.pause(test::kPastHUDReveal);
  w.s().commit();
  ASSERT_TRUE(w.s().begin(false, false));
  w.s().step(false);  // the HUD counts as shown and is built at the next turn
  w.loop.runUntilIdle();
  EXPECT_TRUE(w.s().hud().isVisible());
  w.s().cancel();
  w.release();
}

TEST(SwitcherController, ClosingKeepsTheSameEntrySelectedAndTheLastCloseCancels) {
  SessionWorld w(3);
  w.hold(kCommand);
  ASSERT_TRUE(w.s().begin(false, false));
  w.s().step(false);
  const std::string selected = (*w.s().session())[w.s().index()].id;
  w.s().closeItem(0);
  EXPECT_EQ((*w.s().session())[w.s().index()].id, selected);
  while (w.s().session()) w.s().closeItem(0);
  EXPECT_FALSE(w.s().session());
  EXPECT_FALSE(w.hudVisible());
  w.release();
}

TEST(SwitcherController, TheAuxiliaryWindowEntryIsNeverClosed) {
  SessionWorld w(2);
  w.launchApp("com.apple.Safari", "Safari", {"Settings"});
  SwitchableItem aux;
  aux.id = "tab:safari:win:aux:url:x";
  aux.kind = ItemKind::tab;
  aux.browser = Browser::safari;
  aux.bundleID = "com.apple.Safari";
  aux.url = MRUManager::kAuxPlaceholderURL;
  aux.lastActivatedAt = w.loop.now() - 5;
  w.services().mru->stateForTesting().items.push_back(aux);
  w.hold(kCommand);
  ASSERT_TRUE(w.s().begin(false, false));
  const auto& session = *w.s().session();
  auto at =
      std::find_if(session.begin(), session.end(), [&](const SwitchableItem& e) { return e.id == aux.id; });
  ASSERT_NE(at, session.end());
  const auto size = session.size();
  w.s().closeItem(static_cast<std::size_t>(at - session.begin()));
  EXPECT_EQ(w.s().session()->size(), size);
  w.s().cancel();
  w.release();
}

TEST(SwitcherController, AClickOutsideTheHUDDismissesTheChordAndOneInsideDoesNot) {
  SessionWorld w(3);
  w.hold(kCommand);
  ASSERT_TRUE(w.s().begin(false, false));
  w.pause(test::kPastHUDReveal);
  ASSERT_TRUE(w.hudVisible());
  auto frame = *w.s().hud().panelFrame();
  w.s().handleMouseDown({frame.midX(), frame.midY()});
  EXPECT_TRUE(w.s().session());
  w.s().handleMouseDown({frame.maxX() + 50, frame.maxY() + 50});
  EXPECT_FALSE(w.s().session());
  w.release();
}

// Everything a chord's start does is told from one read of the window list, and the next chord
// reads again: a window minimized or closed between two chords shows so in the second.
TEST(SwitcherController, EachChordStartReadsTheWindowListOnceAndAfresh) {
  std::unique_ptr<CountingWindowServer> server;  // outlives the application, which uses it
  AppWorld w;
  server = std::make_unique<CountingWindowServer>(w.desktop.windowServer());
  w.options.windowServer = server.get();
  const auto editor = w.launchApp("com.example.editor", "Editor", {"One", "Two", "Three"});
  const auto other = w.launchApp("com.example.other", "Other", {"Four"});
  w.launch();
  w.desktop.activate(editor);
  w.pause(2);
  w.desktop.activate(other);
  w.pause(2);
  auto switcher = [&]() -> SwitcherController& { return *w.app->delegate().switcher(); };
  const auto editorWindows = w.desktop.windowsOf(editor);
  ASSERT_EQ(editorWindows.size(), 3u);
  auto entryOf = [&](std::int64_t number) -> const SwitchableItem* {
    for (const auto& e : *switcher().session())
      if (e.windowNumber == number) return &e;
    return nullptr;
  };

  w.hold(kCommand);
  server->reads = 0;
  ASSERT_TRUE(switcher().begin(false, false));
  EXPECT_EQ(server->reads, 1);
  ASSERT_TRUE(entryOf(editorWindows[0]) && entryOf(editorWindows[1]));
  EXPECT_FALSE(entryOf(editorWindows[0])->isMinimized);
  switcher().cancel();
  w.pause(1);

  w.desktop.setMinimized(editorWindows[0], true);
  w.desktop.closeWindow(editorWindows[1]);
  server->reads = 0;
  ASSERT_TRUE(switcher().begin(false, false));
  EXPECT_EQ(server->reads, 1);
  ASSERT_TRUE(entryOf(editorWindows[0]));
  EXPECT_TRUE(entryOf(editorWindows[0])->isMinimized);
  EXPECT_FALSE(entryOf(editorWindows[1]));
  switcher().cancel();
  w.release();
}

TEST(SwitcherController, AnEmptyListOpensNoChordAndSaysSo) {
  AppWorld w;
  w.launch();
  w.app->services().mru->stateForTesting().items.clear();
  w.desktop.windowServerFaults.windowListFails = false;
  for (auto pid : w.desktop.windowsOf(w.desktop.selfPid())) w.desktop.closeWindow(pid);
  EXPECT_FALSE(w.app->delegate().switcher()->begin(false, false));
  auto lines = w.healthLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "chord not opened: the switcher list came back empty"),
            lines.end());
}

}  // namespace
}  // namespace velvix
