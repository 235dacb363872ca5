#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>

#include "Core/DockController.hpp"
#include "Core/MinimizeMemory.hpp"
#include "Platform/InputEvent.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/LogLines.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/TestWorld.hpp"
#include "TestSupport/Waits.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/PreviewCard.hpp"
#include "UI/WindowPeekPanel.hpp"

namespace velvix {
namespace {

// A desktop with a Dock of three applications: Mail (two windows), Notes (one) and Maps (none),
// and the Dock controller over it, running.
struct DockWorld : test::TestWorld {
  DockWorld() {
    test::ensureQtApplication();
    dock.start();
    mailIcon = dock.addApplication(mail);
    notesIcon = dock.addApplication(notes);
    mapsIcon = dock.addApplication(maps);
    services();
    preferences().debugLogging.set(true);
    controller.applyPreference();
    loop.advance(0.01);
  }
  platform::Pid mail = launchWithWindows("com.apple.mail", "Mail", {"Drafts", "Inbox"});
  platform::Pid notes = launchWithWindows("com.apple.Notes", "Notes", {"Ideas"});
  platform::Pid maps = desktop.launch({.bundleID = "com.apple.Maps", .name = "Maps"});
  sim::SimDock& dock = desktop.dock();
  std::uint64_t mailIcon = 0, notesIcon = 0, mapsIcon = 0;
  // The application's own Dock controller and the panels it shows.
  DockController& controller = *services().dock;
  const DockPreviewPanel& cardsPanel = app().dockCards();
  const WindowPeekPanel& peekPanel = app().windowPeek();

  Point on(std::uint64_t icon) { return {dock.frame(icon)->midX(), dock.frame(icon)->midY()}; }
  void pointAt(Point p) {
    desktop.movePointer(p);
    desktop.noteInput(platform::InputEventType::mouseMoved);
  }
  void rest(Point p, double seconds) {
    pointAt(p);
    loop.advance(seconds);
  }
  bool cardsUp() { return controller.previewPanel().isVisible(); }
  QWidget* panelWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == DockPreviewPanel::kPanelName && w->isVisible()) return w;
    return nullptr;
  }
  std::vector<std::int64_t> cards() {
    std::vector<std::int64_t> numbers;
    if (QWidget* w = panelWindow())
      // PreviewCard declares no meta-object of its own: tell cards by their names.
      for (QWidget* child : w->findChildren<QWidget*>())
        if (child->objectName().startsWith("velvix.dock.card.") && child->isVisible())
          numbers.push_back(static_cast<PreviewCard*>(child)->windowNumber());
    return numbers;
  }
  PreviewCard* card(std::int64_t number) {
    QWidget* w = panelWindow();
    return w ? w->findChild<PreviewCard*>(QString("velvix.dock.card.%1").arg(number)) : nullptr;
  }
  void hoverCard(std::int64_t number) {
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(card(number), &enter);
  }
  void leaveCard(std::int64_t number) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(card(number), &leave);
  }
  std::int64_t window(platform::Pid pid, std::size_t frontToBack) {
    return desktop.windowsOf(pid).at(frontToBack);
  }
  void still(const std::string& bundleID, std::int64_t number, std::uint8_t shade,
             std::optional<std::string> title = std::nullopt) {
    thumbnails().storeForTesting(
        "win:" + bundleID + ":" + std::to_string(number),
        {RGBAImage::filled(160, 100, {shade, shade, shade, 255}), title, loop.uptime()});
  }
  std::vector<std::string> debugLines() { return test::logMessages(log().debugPath()); }
  bool logged(const std::string& text) {
    log().flush();
    for (const auto& line : debugLines())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  // A plain left click as the event tap hands it over: down, then up.
  bool clickDown(Point p) {
    pointAt(p);
    return controller.handleDockMouseDown(p);
  }
};

TEST(DockHover, CardsOpenAfterRestingOnAnIconAndFollowThePointer) {
  DockWorld w;
  // Less than the delay opens nothing, even when the pointer comes back later.
  w.rest(w.on(w.mailIcon), DockController::kHoverDelay - 0.05);
  w.rest({700, 300}, 1.0);
  EXPECT_FALSE(w.cardsUp());

  // Resting long enough: one card per window, sliding in because the pointer came from outside.
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  EXPECT_EQ(w.cards().size(), 2u);
  EXPECT_LT(w.cardsPanel.alpha(), 1.0);
  EXPECT_TRUE(w.logged("dock hover com.apple.mail windows=["));

  // The next icon: the first cards go at once, the next ones come after the delay, without the slide.
  w.rest(w.on(w.notesIcon), DockController::kTickInterval + 0.01);
  EXPECT_FALSE(w.cardsUp());
  w.rest(w.on(w.notesIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  EXPECT_EQ(w.cards(), std::vector<std::int64_t>{w.window(w.notes, 0)});
  EXPECT_EQ(w.cardsPanel.alpha(), 1.0);

  // Up into the panel keeps it; off both for less than the leave delay too; longer closes it.
  const Rect panel = *w.controller.previewPanel().frame();
  w.rest({panel.midX(), panel.midY()}, 1.0);
  EXPECT_TRUE(w.cardsUp());
  w.rest({panel.midX(), panel.minY() - 100}, DockController::kLeaveDelay - 0.08);
  w.rest({panel.midX(), panel.midY()}, 0.5);
  EXPECT_TRUE(w.cardsUp());
  w.rest({panel.midX(), panel.minY() - 100}, test::kLeaveIcon);
  EXPECT_FALSE(w.cardsUp());

  // An application without windows gets no panel.
  w.rest(w.on(w.mapsIcon), 2 * test::kRestOnIcon);
  EXPECT_FALSE(w.cardsUp());
  EXPECT_EQ(w.controller.resolvedBundleID(), "com.apple.Maps");
}

TEST(DockHover, TheTimerRunsOnlyWhileThePointerIsNearTheDockOrTheCardsShow) {
  DockWorld w;
  w.rest({700, 300}, 1.0);
  EXPECT_FALSE(w.controller.isTicking());
  // Coming to the Dock wakes it, and the cards come as they always did.
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  EXPECT_TRUE(w.cardsUp());
  // Gone from the Dock and the cards gone: asleep.
  w.rest({700, 300}, test::kLeaveIcon + 2 * DockController::kTickInterval);
  EXPECT_FALSE(w.cardsUp());
  EXPECT_FALSE(w.controller.isTicking());
  // Resting near an edge where no icon is: asleep too, until the pointer moves.
  w.rest({50, 300}, 1.0);
  EXPECT_FALSE(w.controller.isTicking());
  w.pointAt({51, 300});
  EXPECT_TRUE(w.controller.isTicking());
}

TEST(DockHover, PressesIdleAndSettingsKeepTheCardsAway) {
  DockWorld w;
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  // A press anywhere but on the panel closes the cards at once.
  w.desktop.input().send({.type = platform::EventType::leftMouseDown, .location = {700, 300}});
  w.rest({700, 300}, 0.09);
  EXPECT_FALSE(w.cardsUp());
  w.desktop.input().send({.type = platform::EventType::leftMouseUp, .location = {700, 300}});

  // After two minutes without input, hovering opens nothing.
  w.pointAt({700, 300});
  w.loop.advance(0.1);
  w.desktop.movePointer(w.on(w.mailIcon));
  w.desktop.setIdle(DockController::kIdleLimit + 1);
  w.loop.advance(2 * test::kRestOnIcon);
  EXPECT_FALSE(w.cardsUp());

  // Switching the previews off stops the watch and takes down panel and peek.
  w.rest(w.on(w.notesIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  w.preferences().showThumbnails.set(false);
  w.loop.advance(0.1);
  EXPECT_FALSE(w.cardsUp());
  EXPECT_FALSE(w.controller.isRunning());
}

TEST(DockHover, CardsShowTheWindowsAPersonCanGoTo) {
  DockWorld w;
  const std::int64_t inbox = w.window(w.mail, 0), drafts = w.window(w.mail, 1);
  const std::int64_t untitled = w.desktop.addWindow(w.mail, {.title = std::nullopt, .minimized = true});
  const std::int64_t tabmate = w.desktop.addWindow(w.mail, {.title = "Sent", .minimized = true});
  MinimizeMemory(w.defaults, w.log()).record("com.apple.mail", w.mail, {inbox}, {tabmate});
  w.desktop.setMinimized(drafts, true);
  w.still("com.apple.mail", inbox, 90, "Inbox (stored)");

  // The new minimized windows' tiles moved the icons; the Dock names the one under the pointer.
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  // The untitled window off screen and the minimized tabmate get no card.
  EXPECT_EQ(w.cards(), (std::vector<std::int64_t>{inbox, drafts}));
  EXPECT_TRUE(w.card(drafts)->isMinimizedWindow());
  EXPECT_FALSE(w.card(inbox)->isMinimizedWindow());
  EXPECT_EQ(w.card(inbox)->thumb()->toolTip(), "Inbox (stored)");
  (void)untitled;

  // An excluded application's cards carry only its name.
  w.rest({700, 300}, test::kLeaveIcon);
  w.preferences().excludedBundleIDs.set({"com.apple.mail"});
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  EXPECT_EQ(w.card(drafts)->thumb()->toolTip(), "Mail");
}

TEST(DockHover, ALandedCaptureRebuildsTheCardsOfThatApplicationOnly) {
  DockWorld w;
  const std::int64_t ideas = w.window(w.notes, 0);
  w.rest(w.on(w.notesIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  w.loop.advance(2.0);  // the captures the cards asked for have landed
  w.thumbnails().clear();
  // A new still at once, so no retried capture of a missing one can land in between.
  w.still("com.apple.Notes", ideas, 30);
  PreviewCard* before = w.card(ideas);
  w.notifications().post(ThumbnailStore::kDidCaptureNotification, {{"ids", {"win:com.apple.mail:1"}}});
  w.loop.advance(0.06);
  EXPECT_EQ(w.card(ideas), before);  // another application's picture changes nothing
  w.notifications().post(ThumbnailStore::kDidCaptureNotification,
                         {{"ids", {"win:com.apple.Notes:" + std::to_string(ideas)}}});
  w.loop.advance(0.06);
  ASSERT_TRUE(w.card(ideas));
  EXPECT_NE(w.card(ideas), before);
  EXPECT_EQ(w.card(ideas)->width(), 240);  // the new still's aspect
}

TEST(DockPeek, TheHoveredCardsWindowShowsOverItsPlaceAndGoesShortlyAfterLeaving) {
  DockWorld w;
  const std::int64_t inbox = w.window(w.mail, 0), drafts = w.window(w.mail, 1);
  w.still("com.apple.mail", inbox, 200);
  w.still("com.apple.mail", drafts, 100);
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  const WindowPeekPanel& peek = w.peekPanel;

  w.hoverCard(inbox);
  EXPECT_EQ(w.controller.peeked(), inbox);
  EXPECT_TRUE(peek.isVisible());
  EXPECT_EQ(peek.frame(), w.desktop.window(inbox)->bounds);
  // The full-resolution capture and the live frames replace the still.
  w.loop.advance(0.5);
  ASSERT_TRUE(peek.image());
  EXPECT_GT(peek.image()->pixelWidth(), 160);

  // Card to card within 0.12 s: no gap.
  w.leaveCard(inbox);
  w.loop.advance(0.05);
  w.hoverCard(drafts);
  EXPECT_TRUE(peek.isVisible());
  EXPECT_EQ(w.controller.peeked(), drafts);
  EXPECT_EQ(peek.frame(), w.desktop.window(drafts)->bounds);

  // A sharper picture of a window that is no longer peeked at is dropped.
  w.leaveCard(drafts);
  w.loop.advance(0.3);
  w.desktop.captureLatency = 0.5;
  w.hoverCard(inbox);
  w.leaveCard(inbox);
  w.loop.advance(0.05);
  w.hoverCard(drafts);
  w.loop.advance(0.47);  // inbox's capture has landed, drafts' has not
  ASSERT_TRUE(peek.image());
  EXPECT_EQ(peek.image()->pixelWidth(), 160);  // still the still of drafts

  // Leaving the cards ends the peek 0.12 s later.
  w.leaveCard(drafts);
  w.loop.advance(0.1);
  EXPECT_EQ(w.controller.peeked(), drafts);
  w.loop.advance(0.3);
  EXPECT_FALSE(w.controller.peeked());
  EXPECT_FALSE(peek.isVisible());
}

TEST(DockClicks, TheOnlyWindowOfTheFrontApplicationIsMinimizedAndRestored) {
  DockWorld w;
  const std::int64_t ideas = w.window(w.notes, 0);
  w.desktop.activate(w.notes);
  w.loop.advance(0.1);
  EXPECT_TRUE(w.clickDown(w.on(w.notesIcon)));
  EXPECT_TRUE(w.controller.consumeSwallowedMouseUp());
  w.loop.advance(0.3);
  EXPECT_TRUE(w.desktop.window(ideas)->minimized);
  EXPECT_EQ(MinimizeMemory(w.defaults, w.log()).windows("com.apple.Notes", w.notes),
            std::set<std::int64_t>{ideas});
  EXPECT_TRUE(w.logged("dockClick com.apple.Notes at="));
  EXPECT_TRUE(w.logged("→ minimize(window: " + std::to_string(ideas) + ")"));
  EXPECT_TRUE(
      w.logged("dockMinimize com.apple.Notes window=" + std::to_string(ideas) + " tabmates=[] ok=true"));

  // Clicking again restores it and forgets the memory.
  EXPECT_TRUE(w.clickDown(w.on(w.notesIcon)));
  w.loop.advance(0.3);
  EXPECT_FALSE(w.desktop.window(ideas)->minimized);
  EXPECT_TRUE(MinimizeMemory(w.defaults, w.log()).windows("com.apple.Notes", w.notes).empty());
  EXPECT_TRUE(w.logged("→ restore(window: " + std::to_string(ideas) + ")"));

  // A mouse-up 1.5 s after the swallowed mouse-down passes.
  EXPECT_TRUE(w.clickDown(w.on(w.notesIcon)));
  w.loop.advance(1.6);
  EXPECT_FALSE(w.controller.consumeSwallowedMouseUp());
}

TEST(DockClicks, SeveralWindowsBringTheFirstForwardAndStayThere) {
  DockWorld w;
  const std::int64_t inbox = w.window(w.mail, 0);
  const std::int64_t drafts = w.window(w.mail, 1);
  w.desktop.activate(w.notes);
  w.desktop.raiseWindow(w.window(w.notes, 0));
  EXPECT_TRUE(w.clickDown(w.on(w.mailIcon)));
  w.loop.advance(0.01);
  EXPECT_EQ(w.desktop.frontmostPid(), w.mail);
  // Another window of the application comes in front just after: the chosen one is raised again.
  w.desktop.raiseWindow(drafts);
  w.loop.advance(0.3);
  EXPECT_EQ(w.desktop.frontmostPid(), w.mail);
  EXPECT_EQ(w.desktop.stackingOrder().front(), inbox);
  EXPECT_TRUE(w.logged("dockFocus com.apple.mail window=" + std::to_string(inbox) + " raise=raised"));
}

TEST(DockClicks, ClicksTheControllerLeavesToTheDock) {
  DockWorld w;
  // Far from every screen edge: not examined.
  EXPECT_FALSE(w.clickDown({700, 300}));
  // A hidden application always passes.
  w.desktop.app(w.mail)->hidden = true;
  EXPECT_FALSE(w.clickDown(w.on(w.mailIcon)));
  w.desktop.app(w.mail)->hidden = false;
  // One window of an application not in front: the Dock activates it.
  EXPECT_FALSE(w.clickDown(w.on(w.notesIcon)));
  EXPECT_TRUE(w.logged("hidden=false front=false → passThrough"));
  // Click actions off, previews on: the pass-through line and the click goes through.
  w.preferences().dockClickActions.set(false);
  EXPECT_FALSE(w.clickDown(w.on(w.mailIcon)));
  EXPECT_TRUE(w.logged("dockClick com.apple.mail → passThrough (clicks off or not running)"));
  EXPECT_FALSE(w.controller.consumeSwallowedMouseUp());
}

TEST(DockClicks, AllWindowsMinimizedOpenTheCardsInsteadOfRestoringOne) {
  DockWorld w;
  w.desktop.setMinimized(w.window(w.mail, 0), true);
  w.desktop.setMinimized(w.window(w.mail, 1), true);
  EXPECT_TRUE(w.clickDown(w.on(w.mailIcon)));
  w.loop.advance(0.01);
  ASSERT_TRUE(w.cardsUp());
  EXPECT_EQ(w.cards().size(), 2u);
  EXPECT_TRUE(w.logged("settle: ax=[\""));
  EXPECT_TRUE(w.logged("→ showPreviews"));
  // Held while the pointer stays on the icon, even across ticks with the button down.
  w.loop.advance(1.0);
  EXPECT_TRUE(w.cardsUp());
  // A card's select brings that window back.
  const std::int64_t chosen = w.cards().front();
  w.card(chosen)->thumb()->click();
  w.loop.advance(0.1);
  EXPECT_FALSE(w.cardsUp());
  EXPECT_FALSE(w.desktop.window(chosen)->minimized);
  EXPECT_EQ(w.desktop.frontmostPid(), w.mail);
}

TEST(DockClicks, AMenuClickKeepsThatIconsCardsAwayUntilThePointerMovesOn) {
  DockWorld w;
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  w.controller.handleDockMenuClick(w.on(w.mailIcon));
  EXPECT_FALSE(w.cardsUp());
  w.rest(w.on(w.mailIcon), 2 * test::kRestOnIcon);
  EXPECT_FALSE(w.cardsUp());
  w.rest(w.on(w.notesIcon), DockController::kTickInterval + 0.02);
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  EXPECT_TRUE(w.cardsUp());
}

// The tap never reads the Dock's icon list; a Dock too slow for the hit test's overall deadline
// answers unknown, and then only a fresh cache can name the icon.
// A controller that goes away while the minimize's still is being taken is not called back:
// the capture's completion holds it only through its alive watch, and the window stays as it is.
TEST(DockClickMends, AMinimizeOutlivedByItsControllerTouchesNothing) {
  DockWorld w;
  const std::int64_t ideas = w.window(w.notes, 0);
  DockPreviewPanel cards{w.loop, w.desktop.screens(), w.desktop.accessibilityDisplay(),
                         w.services().placement};
  WindowPeekPanel peek{w.loop, w.desktop.screens(), w.services().placement};
  auto gone = std::make_unique<DockController>(w.services(), cards, peek);
  gone->applyPreference();
  w.desktop.activate(w.notes);
  w.loop.advance(0.1);
  w.pointAt(w.on(w.notesIcon));
  ASSERT_TRUE(gone->handleDockMouseDown(w.on(w.notesIcon)));
  w.loop.runUntilIdle();  // the click is performed and the still is being taken
  gone.reset();
  w.loop.advance(2.0);
  EXPECT_FALSE(w.desktop.window(ideas)->minimized);
}

TEST(DockClickMends, ASlowDockCannotHoldTheTapAndAnUnknownHitNeedsAFreshCache) {
  DockWorld w;
  w.desktop.activate(w.notes);
  sim::SimApp* dockApp = w.desktop.app(*w.dock.pid());
  dockApp->axLatency = 0.03;  // each message answers, but the walk takes longer than 0.1 s
  const double before = w.loop.uptime();
  const bool fresh = w.clickDown(w.on(w.notesIcon));
  EXPECT_LT(w.loop.uptime() - before, 0.2);
  EXPECT_TRUE(fresh);  // the icons the controller read before the click name it

  // With a cache older than allowed, the same click passes through to the Dock.
  w.loop.advance(0.5);
  w.preferences().showThumbnails.set(false);  // no timer: nothing reads the icons now
  w.loop.advance(DockController::kClickItemsFreshFor + 1);
  EXPECT_FALSE(w.clickDown(w.on(w.notesIcon)));
  // The click itself brought a new read off the tap, so the next one is answered again.
  w.loop.advance(0.01);
  dockApp->axLatency = 0.03;
  EXPECT_TRUE(w.clickDown(w.on(w.notesIcon)));
}

TEST(DockClickMends, ACardsCloseRemovesTheWindowFromTheSwitcherOnlyWhenItReallyClosed) {
  DockWorld w;
  const std::int64_t inbox = w.window(w.mail, 0), drafts = w.window(w.mail, 1);
  w.desktop.window(drafts)->hasCloseButton = false;
  w.rest(w.on(w.mailIcon), test::kRestOnIcon);
  ASSERT_TRUE(w.cardsUp());
  const std::string draftsID = "win:com.apple.mail:" + std::to_string(drafts);
  SwitchableItem entry;
  entry.id = draftsID;
  entry.bundleID = "com.apple.mail";
  entry.windowNumber = drafts;
  entry.pid = w.mail;
  w.mru().stateForTesting().items.push_back(entry);

  w.card(drafts)->closeButton()->click();
  EXPECT_TRUE(w.desktop.window(drafts));
  EXPECT_TRUE(w.item(draftsID));  // not closed: still offered, still a card
  EXPECT_EQ(w.cards(), (std::vector<std::int64_t>{inbox, drafts}));

  w.card(inbox)->closeButton()->click();
  EXPECT_FALSE(w.desktop.window(inbox));
  EXPECT_EQ(w.cards(), std::vector<std::int64_t>{drafts});
}

}  // namespace
}  // namespace velvix
