// The Dock as a person uses it with the whole application running: the pointer rests on icons and
// cards, clicks go through the event tap, and the outcomes are what is on the simulated screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>

#include "Core/DockController.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimScreenCapture.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/Waits.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/PreviewCard.hpp"

namespace velvix {
namespace {

struct DockDesk : test::AppWorld {
  DockDesk() {
    desktop.dock().start();
    notes = launchApp("com.apple.Notes", "Notes", {"Ideas"});
    mail = launchApp("com.apple.mail", "Mail", {"Drafts", "Inbox"});
    maps = launchApp("com.apple.Maps", "Maps", {});
    for (auto pid : {notes, mail, maps}) icons.push_back(desktop.dock().addApplication(pid));
    launch();
  }
  platform::Pid notes = 0, mail = 0, maps = 0;
  std::vector<std::uint64_t> icons;

  DockController& dock() { return *services().dock; }
  Point icon(std::size_t i) {
    const Rect f = *desktop.dock().frame(icons.at(i));
    return {f.midX(), f.midY()};
  }
  void rest(Point p, double seconds) {
    desktop.movePointer(p);
    desktop.noteInput(platform::InputEventType::mouseMoved);
    loop.advance(seconds);
  }
  void click(Point p) {
    desktop.input().click(p);
    loop.advance(0.01);
  }
  bool cardsUp() { return dock().previewPanel().isVisible(); }
  bool swallowedUp() {
    const auto& reached = desktop.input().reachedFrontApplication;
    return reached.empty() || reached.back().type != platform::EventType::leftMouseUp;
  }
  PreviewCard* card(std::int64_t number) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == DockPreviewPanel::kPanelName && w->isVisible())
        return w->findChild<PreviewCard*>(QString("velvix.dock.card.%1").arg(number));
    return nullptr;
  }
};

TEST(DockScenario, AHoverThatLeavesBeforeTheDelayOpensNothing) {
  DockDesk d;
  for (int pass = 0; pass < 5; ++pass) {
    d.rest(d.icon(1), DockController::kHoverDelay - 0.09);
    d.rest({700, 300}, 0.4);
  }
  EXPECT_FALSE(d.cardsUp());
  EXPECT_FALSE(d.dock().resolvedBundleID());
  d.rest(d.icon(1), test::kRestOnIcon);
  EXPECT_TRUE(d.cardsUp());
}

// Each Accessibility message costs the Dock's process time, so reading every icon is slow in a
// full Dock: the cards must not wait for it. Whenever the pointer comes to rest, relative to the
// tick, the cards come after the hover delay and within half a second, with 3 icons as with 30.
TEST(DockScenario, TheCardsComeWithinHalfASecondOfTheRestHoweverFullTheDock) {
  for (int icons : {3, 30}) {
    test::AppWorld d;
    d.desktop.dock().start();
    std::vector<std::uint64_t> ids;
    for (int i = 0; i < icons; ++i)
      ids.push_back(d.desktop.dock().addApplication(
          d.launchApp("com.example.app" + std::to_string(i), "App " + std::to_string(i), {"One"})));
    d.launch();
    DockController& dock = *d.services().dock;
    for (int pass = 0; pass < 16; ++pass) {
      d.desktop.movePointer({700, 300});
      d.loop.advance(1.0 + pass * 0.071);  // the cards gone; the rest comes at another moment each pass
      const Rect icon = *d.desktop.dock().frame(ids.at(static_cast<std::size_t>(icons / 2 + pass % 2)));
      d.desktop.movePointer({icon.midX(), icon.midY()});
      d.desktop.noteInput(platform::InputEventType::mouseMoved);
      const double restedAt = d.loop.uptime();
      while (!dock.previewPanel().isVisible() && d.loop.uptime() - restedAt < 2.0) d.loop.advance(0.005);
      const double took = d.loop.uptime() - restedAt;
      EXPECT_GE(took, DockController::kHoverDelay) << icons << " icons, pass " << pass;
      EXPECT_LE(took, 0.5) << icons << " icons, pass " << pass;
    }
  }
}

TEST(DockScenario, ACaptureThatLandsAfterTheHoverMovedOnChangesNothing) {
  DockDesk d;
  const std::int64_t inbox = d.desktop.windowsOf(d.mail).front();
  d.loop.advance(2.0);  // the stills taken at launch are old enough to be taken again
  d.services().thumbnails->clear();
  d.desktop.captureLatency = test::kRestOnIcon + 0.15;  // the stills of Mail's windows come late
  d.rest(d.icon(1), test::kRestOnIcon);
  ASSERT_TRUE(d.cardsUp());
  d.rest(d.icon(0), test::kRestOnIcon);  // on to Notes before Mail's captures land
  ASSERT_TRUE(d.cardsUp());
  ASSERT_EQ(d.dock().resolvedBundleID(), "com.apple.Notes");
  d.loop.advance(2 * d.desktop.captureLatency);  // Mail's two stills are taken one after the other
  EXPECT_TRUE(d.services().thumbnails->contains("win:com.apple.mail:" + std::to_string(inbox)));
  EXPECT_FALSE(d.card(inbox));  // Notes' cards stay; Mail's do not come back
  EXPECT_EQ(d.dock().resolvedBundleID(), "com.apple.Notes");
}

TEST(DockScenario, AClickWhileTheMinimizeIsPendingLeavesTheWindowMinimizedOnce) {
  DockDesk d;
  const std::int64_t ideas = d.desktop.windowsOf(d.notes).front();
  d.desktop.activate(d.notes);
  d.desktop.captureLatency = 5.0;  // the still never comes in time: the fallback minimizes
  d.click(d.icon(0));
  EXPECT_TRUE(d.swallowedUp());
  EXPECT_FALSE(d.desktop.window(ideas)->minimized);  // pending
  d.click(d.icon(0));
  EXPECT_TRUE(d.swallowedUp());
  d.loop.advance(0.3);
  EXPECT_TRUE(d.desktop.window(ideas)->minimized);
  d.loop.advance(6.0);
  EXPECT_TRUE(d.desktop.window(ideas)->minimized);  // late captures undo nothing
  // The next click brings it back.
  d.click(d.icon(0));
  d.loop.advance(0.3);
  EXPECT_FALSE(d.desktop.window(ideas)->minimized);
  EXPECT_EQ(d.desktop.frontmostPid(), d.notes);
}

TEST(DockScenario, AnApplicationWithoutWindowsIsLeftToTheDock) {
  DockDesk d;
  d.rest(d.icon(2), 2 * test::kRestOnIcon);
  EXPECT_FALSE(d.cardsUp());
  d.click(d.icon(2));
  EXPECT_FALSE(d.swallowedUp());
  EXPECT_EQ(d.desktop.frontmostPid(), d.maps);  // the Dock activated it
}

TEST(DockScenario, OnlyMinimizedWindowsOpenTheCardsAndACardBringsOneBack) {
  DockDesk d;
  const auto windows = d.desktop.windowsOf(d.mail);
  for (auto number : windows) d.desktop.setMinimized(number, true);
  d.click(d.icon(1));
  EXPECT_TRUE(d.swallowedUp());
  ASSERT_TRUE(d.cardsUp());
  ASSERT_TRUE(d.card(windows[0]) && d.card(windows[1]));
  EXPECT_TRUE(d.card(windows[0])->isMinimizedWindow());
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(d.card(windows[1]), &enter);
  d.card(windows[1])->onSelect();
  d.loop.advance(0.3);
  EXPECT_FALSE(d.cardsUp());
  EXPECT_FALSE(d.desktop.window(windows[1])->minimized);
  EXPECT_TRUE(d.desktop.window(windows[0])->minimized);
  EXPECT_EQ(d.frontWindow(), windows[1]);
}

TEST(DockScenario, WindowsOnAnotherSpaceAreNotMinimizedOnes) {
  DockDesk d;
  d.desktop.displays()[0].spaces = {1, 2};
  const std::int64_t away = d.desktop.addWindow(d.maps, {.title = "Route", .space = 2});
  d.rest(d.icon(2), test::kRestOnIcon);
  // Titled and off screen: a card, not marked minimized.
  ASSERT_TRUE(d.cardsUp());
  ASSERT_TRUE(d.card(away));
  EXPECT_FALSE(d.card(away)->isMinimizedWindow());
  d.rest({700, 300}, test::kLeaveIcon);
  // A click settles: nothing minimized to restore and nothing visible, so the Dock takes it.
  d.click(d.icon(2));
  d.loop.advance(0.3);
  EXPECT_FALSE(d.desktop.window(away)->minimized);
  EXPECT_EQ(d.desktop.frontmostPid(), d.maps);
}

}  // namespace
}  // namespace velvix
