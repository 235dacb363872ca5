#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

#include "Core/DockController.hpp"
#include "Input/SwitcherController.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopPainter.hpp"
#include "Platform/Qt/SimDesktopPicture.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimWindowPainter.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimDesktopScene.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Waits.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/HUDController.hpp"

namespace velvix {
namespace {

using qt::SimDesktopView;

void type(QWidget& view, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent event(type, key, modifiers);
  QCoreApplication::sendEvent(&view, &event);
}

TEST(SimulatedDesktop, TypingTheChordIntoTheWindowSwitchesAndTheWindowShowsIt) {
  test::AppWorld w;
  auto mail = w.launchApp("com.apple.mail", "Mail", {"Inbox"});
  auto notes = w.launchApp("com.example.notes", "Notes", {"Groceries"});
  auto editor = w.launchApp("com.example.editor", "Editor", {"main.cpp"});
  w.launch();
  for (auto pid : {mail, notes, editor}) {
    w.desktop.activate(pid);
    w.pause(2);
  }
  SimDesktopView view(w.desktop);
  view.resize(720, 450);
  w.services().placement = &view;

  type(view, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
  type(view, QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
  type(view, QEvent::KeyRelease, Qt::Key_Tab, Qt::ControlModifier);
  w.pause(test::kPastHUDReveal);
  EXPECT_TRUE(w.hudVisible());
  type(view, QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
  type(view, QEvent::KeyRelease, Qt::Key_Tab, Qt::ControlModifier);
  type(view, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
  w.pause(1.5);

  EXPECT_EQ(w.frontmostPid(), mail);
  QImage image(view.size(), QImage::Format_ARGB32);
  view.render(&image);
  const auto* front = view.scene().frontWindow();
  ASSERT_TRUE(front);
  EXPECT_EQ(front->title, "Inbox");
  // The front window is drawn with its marking: the highlight colour on its frame.
  const QPointF corner = view.toView({front->frame.x + front->frame.width / 2, front->frame.maxY()});
  const QColor edge = image.pixelColor(corner.toPoint() - QPoint(0, 1));
  EXPECT_GT(edge.red(), 200);
  EXPECT_GT(edge.green(), 150);
  EXPECT_LT(edge.blue(), 120);
}

// The regions the view was painted in, in order.
struct PaintLog : QObject {
  std::vector<QRegion> regions;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) regions.push_back(static_cast<QPaintEvent*>(event)->region());
    return false;
  }
};

// The view is told of the desktop's changes: at rest nothing wakes the loop, a change shows at
// the next turn, and a paint of part of a changed screen (the region a panel uncovers) is
// followed by one of the whole view, so no part keeps showing the previous state.
TEST(SimulatedDesktop, TheViewFollowsChangesWithoutLookingAndNeverStaysPartlyDrawn) {
  test::ensureQtApplication();
  sim::SimMainLoop loop;
  sim::SimDesktop desktop(loop);
  const auto mail = desktop.launch({.bundleID = "com.apple.mail", .name = "Mail"});
  desktop.addWindow(mail, {.title = "Inbox", .bounds = {100, 100, 600, 400}});
  const auto notes = desktop.launch({.bundleID = "com.example.notes", .name = "Notes"});
  desktop.addWindow(notes, {.title = "Groceries", .bounds = {300, 200, 600, 400}});
  desktop.activate(notes);
  SimDesktopView view(desktop);
  view.resize(720, 450);
  view.show();
  PaintLog paints;
  view.installEventFilter(&paints);
  loop.advance(1);
  QCoreApplication::processEvents();
  const auto fired = loop.timersFired();
  loop.advance(10);
  EXPECT_EQ(loop.timersFired(), fired);

  desktop.activate(mail);
  loop.runUntilIdle();
  ASSERT_TRUE(view.scene().frontWindow());
  EXPECT_EQ(view.scene().frontWindow()->title, "Inbox");

  QCoreApplication::processEvents();
  desktop.activate(notes);
  paints.regions.clear();
  view.repaint(QRect(10, 10, 40, 40));
  loop.runUntilIdle();
  QCoreApplication::processEvents();
  ASSERT_GE(paints.regions.size(), 2u);
  EXPECT_FALSE(QRegion(view.rect()).subtracted(paints.regions.front()).isEmpty());
  EXPECT_TRUE(QRegion(view.rect()).subtracted(paints.regions.back()).isEmpty());
  EXPECT_EQ(view.scene().frontWindow()->title, "Groceries");
}

// Whatever a person types on the keyboard reaches the terminal's shell: Qt names a shifted key by
// its symbol ("&" for Shift-7), which must still find its key.
TEST(SimulatedDesktop, EveryPrintableCharacterTypedIntoTheWindowHasItsKey) {
  for (char c = ' '; c <= '~'; ++c) {
    const int qtKey = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    EXPECT_GE(SimDesktopView::keyCodeFor(qtKey), 0) << "'" << c << "'";
  }
}

TEST(SimulatedDesktop, ClickingAWindowActivatesItAndADockTileBringsAMinimizedWindowBack) {
  test::AppWorld w;
  auto mail = w.launchApp("com.apple.mail", "Mail", {"Inbox"});
  auto notes = w.launchApp("com.example.notes", "Notes", {"Groceries"});
  w.desktop.dock().start();
  auto hidden =
      w.desktop.addWindow(notes, {.title = "Old note", .bounds = {600, 300, 400, 300}, .minimized = true});
  w.desktop.window(w.desktop.windowsOf(notes).back())->bounds = {700, 100, 500, 400};  // beside Mail's
  w.launch();
  w.desktop.activate(notes);
  SimDesktopView view(w.desktop);
  view.resize(1440, 900);
  auto click = [&](Point at) {
    const QPointF p = view.toView(at);
    QMouseEvent press(QEvent::MouseButtonPress, p, view.mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, p, view.mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &release);
    w.pause(0.1);
  };
  const auto inbox = w.desktop.windowsOf(mail).front();
  const Rect bounds = w.desktop.window(inbox)->bounds;
  click({bounds.x + 10, bounds.y + 10});
  EXPECT_EQ(w.frontmostPid(), mail);
  EXPECT_EQ(w.frontWindow(), inbox);

  const auto tile = std::find_if(view.scene().dock.begin(), view.scene().dock.end(),
                                 [&](const sim::SimDesktopScene::Tile& t) { return t.minimized == hidden; });
  ASSERT_NE(tile, view.scene().dock.end());
  click({tile->frame.midX(), tile->frame.midY()});
  EXPECT_FALSE(w.desktop.window(hidden)->minimized);
  EXPECT_EQ(w.frontWindow(), hidden);
}

// A real program beside the desktop that was told to come forward (a real browser showing a tab)
// takes the keyboard from the window onto the desktop once: the window takes it back, so the next
// chord reaches the switcher. Taken again later, it stays with that program.
TEST(SimulatedDesktop, TheWindowTakesTheKeyboardBackOnceAfterARealProgramWasToldToComeForward) {
  test::AppWorld w;
  w.launch();
  SimDesktopView view(w.desktop);
  QWidget other;
  view.show();
  other.show();
  auto activate = [](QWidget& window) {
    window.activateWindow();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  };
  activate(view);
  ASSERT_TRUE(view.isActiveWindow());
  view.keepKeyboard(5);
  activate(other);
  EXPECT_TRUE(view.isActiveWindow());
  activate(other);
  EXPECT_TRUE(other.isActiveWindow());
}

TEST(SimulatedDesktop, TheWindowOpensOnePixelAPointWhenTheDisplayHasRoomElseScaledToFit) {
  const Size screen{1440, 900};
  EXPECT_EQ(SimDesktopView::openingScale(screen, {1600, 1000}), 1.0);
  EXPECT_EQ(SimDesktopView::openingScale(screen, {2560, 1440}), 1.0);  // never larger
  // A desktop panel takes 72 pixels of a 1600 x 1000 display: the height decides.
  EXPECT_NEAR(SimDesktopView::openingScale(screen, {1600, 928}), 888.0 / 900, 1e-9);
  EXPECT_NEAR(SimDesktopView::openingScale(screen, {1280, 800}), 760.0 / 900, 1e-9);
  EXPECT_NEAR(SimDesktopView::openingScale(screen, {1000, 900}), 988.0 / 1440, 1e-9);  // the width decides
  EXPECT_EQ(SimDesktopView::openingScale(screen, {640, 480}), 0.5);  // the smallest scale it draws at
}

// The window is the user's screen: closing it quits the application (as the program wires it).
TEST(SimulatedDesktop, ClosingTheWindowQuitsTheApplication) {
  test::AppWorld w;
  w.launch();
  SimDesktopView view(w.desktop);
  view.onClose = [&] { w.app->terminate(); };
  view.show();
  EXPECT_TRUE(view.close());
  EXPECT_TRUE(w.app->hasTerminated());
  EXPECT_EQ(w.healthLines().back(), "quit");
}

// Every channel within `tolerance` of the other colour's.
bool near(const QColor& a, const QColor& b, int tolerance = 14) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

TEST(SimulatedDesktop, TheHUDAppearsAtTheViewsScaleInsideTheView) {
  test::AppWorld w;
  auto mail = w.launchApp("com.apple.mail", "Mail", {"Inbox"});
  auto notes = w.launchApp("com.example.notes", "Notes", {"Groceries"});
  w.launch();
  for (auto pid : {mail, notes}) {
    w.desktop.activate(pid);
    w.pause(2);
  }
  SimDesktopView view(w.desktop);
  view.resize(1080, 675);  // 0.75 of the simulated screen
  w.services().placement = &view;
  type(view, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
  type(view, QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
  type(view, QEvent::KeyRelease, Qt::Key_Tab, Qt::ControlModifier);
  w.pause(test::kPastHUDReveal);
  ASSERT_TRUE(w.hudVisible());
  const Rect frame = *w.app->delegate().switcher()->hud().panelFrame();
  QWidget* window = view.findChild<QWidget*>(QString(HUDController::kPanelName) + ".window");
  ASSERT_TRUE(window);
  EXPECT_FALSE(window->isWindow());  // composed inside the view
  EXPECT_NEAR(window->width(), frame.width * 0.75, 1);
  EXPECT_NEAR(window->height(), frame.height * 0.75, 1);
  const QRect shown(window->mapTo(&view, QPoint(0, 0)), window->size());
  EXPECT_TRUE(view.rect().contains(shown)) << shown.x() << " " << shown.width();
  EXPECT_NEAR(shown.x(), view.toView({frame.x, frame.y}).x(), 1);
  EXPECT_NEAR(shown.y(), view.toView({frame.x, frame.y}).y(), 1);
  // The window draws the panel, frost and cells, at that scale.
  const QImage drawn = view.grab(shown).toImage();
  EXPECT_GT(drawn.pixelColor(drawn.width() / 2, drawn.height() / 2).alpha(), 200);
  EXPECT_GT(drawn.pixelColor(drawn.width() / 8, drawn.height() / 2).alpha(), 100);
  type(view, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
  w.pause(1);
}

TEST(SimulatedDesktop, AScreenCaptureOfAWindowLooksLikeTheWindowOnTheDesktop) {
  test::AppWorld w;
  auto notes = w.launchApp("com.example.notes", "Notes", {});
  const auto shopping = w.desktop.addWindow(notes, {.title = "Shopping", .bounds = {100, 100, 600, 400}});
  w.desktop.addWindow(notes, {.title = "Ideas", .bounds = {760, 100, 600, 400}});  // in front
  w.launch();
  w.desktop.activate(notes);
  SimDesktopView view(w.desktop);
  view.resize(1440, 900);  // one pixel per point
  QImage screen(view.size(), QImage::Format_ARGB32);
  view.render(&screen);
  const auto still = w.desktop.renderWindow(shopping, 600, 400);
  ASSERT_TRUE(still);
  const QImage capture = qt::toQImage(*still);
  const QPointF origin = view.toView({100, 100});
  // The title bar, the body and a line of its text look the same in both.
  for (const QPoint at : {QPoint(300, 14), QPoint(300, 200), QPoint(20, 150), QPoint(590, 390)})
    EXPECT_TRUE(near(capture.pixelColor(at), screen.pixelColor((origin + QPointF(at)).toPoint())))
        << at.x() << "," << at.y();
  // And another application's window does not look like it.
  auto mail = w.launchApp("com.apple.mail", "Mail", {"Inbox"});
  const auto inbox = w.desktop.windowsOf(mail).front();
  const QImage other = qt::toQImage(*w.desktop.renderWindow(inbox, 600, 400));
  EXPECT_FALSE(near(other.pixelColor(590, 390), capture.pixelColor(590, 390)));
}

TEST(SimulatedDesktop, TheHUDsFrostShowsWhatLiesBeneathIt) {
  test::AppWorld w;
  auto notes = w.launchApp("com.example.notes", "Notes", {"Groceries"});
  auto mail = w.launchApp("com.apple.mail", "Mail", {"Inbox"});
  w.launch();
  w.desktop.activate(notes);
  w.pause(1);
  w.desktop.activate(mail);
  w.pause(1);
  auto& hud = w.app->delegate().switcher()->hud();
  for (auto number : w.desktop.windowsOf(notes)) w.desktop.window(number)->bounds = {1100, 30, 300, 200};
  auto frostAt = [&](Rect under) {
    for (auto number : w.desktop.windowsOf(mail)) w.desktop.window(number)->bounds = under;
    w.hold(platform::EventFlag::kCommand);
    w.tab();
    w.pause(test::kPastHUDReveal + 0.1);  // the HUD is up and drawn
    const auto still = hud.snapshot(1.0);
    w.key(platform::KeyCode::kEscape);  // nothing is activated
    w.release();
    w.pause(1);
    // Inside the frost, left of the first cell.
    return still ? qt::toQImage(*still).pixelColor(26, static_cast<int>(still->pixelHeight() / 2)) : QColor();
  };
  const QColor overWallpaper = frostAt({0, 30, 300, 200});  // Mail's window far from the HUD
  const QColor overWindow = frostAt({0, 30, 1440, 800});    // Mail's window all under it
  EXPECT_FALSE(near(overWallpaper, overWindow, 6))
      << overWallpaper.name().toStdString() << " " << overWindow.name().toStdString();
}

// At one pixel a point the screen is copied into the view in bands of rows: every row of it, also
// where only part of the view is painted, is the screen's own picture.
TEST(SimulatedDesktop, TheViewShowsEveryRowOfTheScreenWhereverItIsPainted) {
  test::AppWorld w;
  w.launchApp("com.example.notes", "Notes", {"Groceries"});
  w.launch();
  SimDesktopView view(w.desktop);
  view.resize(1440, 900);
  qt::SimDesktopPicture picture(w.desktop);
  view.picture = &picture;
  QImage whole(view.size(), QImage::Format_ARGB32);
  view.render(&whole);
  const QImage screen =
      qt::toQImage(*picture.beneath({0, 0, 1440, 900}, 1.0)).convertToFormat(QImage::Format_ARGB32);
  // Below the menu bar, which the view draws over the screen.
  const int top = static_cast<int>(view.toView({0, 30}).y());
  for (const QRect part : {QRect(0, top, 1440, 900 - top), QRect(333, 217, 301, 259)}) {
    QImage drawn(view.size(), QImage::Format_ARGB32);
    drawn.fill(Qt::black);
    view.render(&drawn, part.topLeft(), QRegion(part));
    for (int y = part.top(); y <= part.bottom(); ++y)
      ASSERT_EQ(drawn.copy(part.left(), y, part.width(), 1), screen.copy(part.left(), y, part.width(), 1))
          << "row " << y;
  }
}

// The screen the window onto the desktop drew is what a panel's picture is cut from while the
// scene stays the same; once a window moved, the screen is drawn anew.
TEST(SimulatedDesktop, ThePictureBeneathAPanelIsCutFromTheScreenLastDrawnForTheSameScene) {
  test::AppWorld w;
  auto notes = w.launchApp("com.example.notes", "Notes", {"Groceries"});
  w.launch();
  SimDesktopView view(w.desktop);
  view.resize(720, 450);
  qt::SimDesktopPicture picture(w.desktop);
  view.picture = &picture;
  QImage drawn(view.size(), QImage::Format_ARGB32);
  view.render(&drawn);
  const Rect under{400, 300, 200, 100};
  const auto fromView = picture.beneath(under, 1.0);
  ASSERT_TRUE(fromView);
  // The view drew at half a pixel a point: the picture beneath is that drawing, scaled up.
  const QPointF centre = view.toView({under.midX(), under.midY()});
  EXPECT_TRUE(near(qt::toQImage(*fromView).pixelColor(100, 50), drawn.pixelColor(centre.toPoint()), 24));

  QImage red(1440, 900, QImage::Format_RGBA8888_Premultiplied);
  red.fill(Qt::red);
  picture.remember(sim::SimDesktopScene::build(w.desktop), red, 1.0);
  EXPECT_EQ(qt::toQImage(*picture.beneath(under, 1.0)).pixelColor(100, 50), QColor(Qt::red));

  // At the screen's own pixels the picture is the part of that screen under the panel, at the
  // whole pixel the panel sits on, and holds no pixels of its own.
  QImage halves = red.copy();
  for (int y = 0; y < halves.height(); ++y)
    for (int x = 500; x < halves.width(); ++x) halves.setPixelColor(x, y, Qt::blue);
  picture.remember(sim::SimDesktopScene::build(w.desktop), halves, 1.0);
  const auto cut = picture.beneath({399.6, 300.2, 200, 100}, 1.0);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->pixelWidth(), 200);
  EXPECT_EQ(qt::toQImage(*cut).pixelColor(99, 50), QColor(Qt::red));
  EXPECT_EQ(qt::toQImage(*cut).pixelColor(100, 50), QColor(Qt::blue));
  EXPECT_EQ(cut->bits(), halves.constBits() + 300 * halves.bytesPerLine() + 400 * 4);

  for (auto number : w.desktop.windowsOf(notes)) w.desktop.window(number)->bounds = {350, 250, 300, 200};
  EXPECT_NE(qt::toQImage(*picture.beneath(under, 1.0)).pixelColor(100, 50), QColor(Qt::red));
}

TEST(SampleDesktop, TheBuiltInDesktopHasTwoSpacesABrowserAndATerminalWithTabs) {
  test::ensureQtApplication();
  sim::SimMainLoop loop;
  sim::SimDesktop desktop(loop);
  ASSERT_EQ(sim::SampleDesktop::load(desktop, sim::SampleDesktop::builtIn()), std::nullopt);
  EXPECT_EQ(desktop.displays().front().spaces.size(), 2u);
  int tabbedWindows = 0, onOtherSpace = 0;
  for (auto number : desktop.stackingOrder()) {
    const auto* w = desktop.window(number);
    tabbedWindows += !w->tabs.empty();
    onOtherSpace += !desktop.isOnScreen(*w) && !w->minimized;
  }
  EXPECT_GE(tabbedWindows, 3);
  EXPECT_EQ(onOtherSpace, 1);
  ASSERT_TRUE(desktop.frontmostPid());
  EXPECT_EQ(desktop.app(*desktop.frontmostPid())->bundleID, "com.google.Chrome");
}

TEST(SampleDesktop, ADocumentThatIsNotOneAddsNothing) {
  sim::SimMainLoop loop;
  sim::SimDesktop desktop(loop);
  EXPECT_TRUE(sim::SampleDesktop::load(desktop, "{\"apps\": [{\"name\": \"no id\"}]}"));
  EXPECT_TRUE(sim::SampleDesktop::load(desktop, "not json"));
  EXPECT_TRUE(
      sim::SampleDesktop::load(desktop, R"({"apps": [{"bundleID": "a", "windows": [{"frame": [1, 2]}]}]})"));
  EXPECT_TRUE(desktop.apps().empty());
  EXPECT_EQ(
      sim::SampleDesktop::load(
          desktop,
          R"({"apps": [{"bundleID": "com.example.a", "windows": [{"title": "W", "frame": [0, 30, 400, 300]}]}]})"),
      std::nullopt);
  EXPECT_EQ(desktop.apps().size(), 2u);  // the application and the Dock
}

// The Dock strip drives the Dock code: resting on an icon brings up the real card panel over the
// window, and the pointer moving over that panel moves the simulated pointer.
TEST(SimulatedDesktop, TheDockStripOpensTheCardsAndThePointerOverThemCounts) {
  test::AppWorld w;
  w.desktop.dock().start();
  const auto mail = w.launchApp("com.apple.mail", "Mail", {"Drafts", "Inbox"});
  const auto icon = w.desktop.dock().addApplication(mail);
  w.launch();
  SimDesktopView view(w.desktop);
  view.resize(720, 450);
  w.services().placement = &view;
  view.show();

  const Rect iconFrame = *w.desktop.dock().frame(icon);
  const QPointF onIcon = view.toView({iconFrame.midX(), iconFrame.midY()});
  QMouseEvent move(QEvent::MouseMove, onIcon, view.mapToGlobal(onIcon), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&view, &move);
  w.pause(test::kRestOnIcon);
  const DockCardsView& cards = w.services().dock->previewPanel();
  ASSERT_TRUE(cards.isVisible());

  QWidget* panel = view.findChild<QWidget*>(QString(DockPreviewPanel::kPanelName) + ".window");
  ASSERT_TRUE(panel && panel->isVisible());
  const Rect frame = *cards.frame();
  const Point inside{frame.x + 30, frame.y + 30};
  // The display hands the move to the one window; the panel under the pointer takes it.
  const QPointF local = view.toView(inside);
  QMouseEvent overPanel(QEvent::MouseMove, local, view.mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                        Qt::NoModifier);
  QCoreApplication::sendEvent(view.windowHandle(), &overPanel);
  EXPECT_NEAR(w.desktop.pointer().x, inside.x, 2);
  EXPECT_NEAR(w.desktop.pointer().y, inside.y, 2);
  w.pause(1.0);
  EXPECT_TRUE(cards.isVisible());
}

// The key window's marking lies inside it, so it goes with the window's own place.
TEST(SimulatedDesktop, TheKeyFrameLiesInsideTheKeyWindow) {
  test::AppWorld w;
  w.desktop.activate(w.launchApp("com.apple.mail", "Mail", {"Inbox"}));
  SimDesktopView view(w.desktop);
  view.resize(1440, 900);  // one pixel a point
  const QImage image = view.grab().toImage();
  const Rect frame = w.desktop.window(w.desktop.windowsOf(*w.frontmostPid()).front())->bounds;
  auto yellow = [&](double x) {
    const QColor c = image.pixelColor(int(x), int(frame.midY()));
    return c.red() > 200 && c.green() > 150 && c.blue() < 120;
  };
  EXPECT_TRUE(yellow(frame.x + 1) && yellow(frame.maxX() - 2));
  EXPECT_FALSE(yellow(frame.x - 1) || yellow(frame.maxX()));
}

// The Dock strip as the Dock has it: the icon under the pointer named (a new picture), a quit
// application's icon without its badge, a window minimised before the separator came right of it.
TEST(SimulatedDesktop, TheDockStripNamesThePointedIconDropsAQuitOnesBadgeAndKeepsMinimizedTilesRight) {
  test::AppWorld w;
  auto& dock = w.desktop.dock();
  dock.start();
  const auto mail = w.launchApp("com.apple.mail", "Mail", {"Inbox"});
  const auto icon = dock.addApplication(mail, "3");
  w.desktop.setMinimized(w.desktop.windowsOf(mail).front(), true);
  dock.add({.kind = sim::SimDockItem::Kind::separator});
  using Scene = sim::SimDesktopScene;
  const Scene away = Scene::build(w.desktop);
  ASSERT_EQ(away.dock.size(), 3u);
  EXPECT_EQ(away.dock[1].kind, sim::SimDockItem::Kind::separator);
  EXPECT_TRUE(away.dock[2].minimized);
  w.desktop.movePointer({dock.frame(icon)->midX(), dock.frame(icon)->midY()});
  EXPECT_TRUE(Scene::build(w.desktop).dock[0].pointed);
  EXPECT_FALSE(Scene::build(w.desktop) == away);
  w.desktop.terminate(mail);
  EXPECT_EQ(Scene::build(w.desktop).dock[0].badge, std::nullopt);
}

// Hundreds of windows stepping across each other, most showing only a sliver or a corner: the
// screen drawn from what shows of each is the screen of every window drawn whole, back to front.
TEST(SimulatedDesktop, WindowsDrawnOnlyWhereTheyShowLookAsIfDrawnWhole) {
  test::AppWorld w;
  const platform::Pid back = w.launchApp("com.apple.mail", "Mail", {});
  const platform::Pid front = w.launchApp("com.apple.Terminal", "Terminal", {});
  for (int i = 0; i < 300; ++i)
    w.desktop.addWindow(i % 3 ? back : front,
                        {.title = "Window " + std::to_string(i),
                         .bounds = {20.0 + (i * 37) % 500, 40.0 + (i * 23) % 300, 640, 480}});
  w.desktop.activate(front);
  const auto scene = sim::SimDesktopScene::build(w.desktop);
  for (const double scale : {1.0, 1.5}) {
    const QSize size(static_cast<int>(1440 * scale), static_cast<int>(900 * scale));
    QImage drawn(size, QImage::Format_RGBA8888_Premultiplied), whole = drawn;
    drawn.fill(Qt::black);
    {
      QPainter p(&drawn);
      qt::SimDesktopPainter::paint(p, w.desktop, scene, {0, 0}, scale);
    }
    whole = drawn.copy();
    {
      QPainter p(&whole);
      p.setRenderHint(QPainter::Antialiasing);
      for (const auto& window : scene.windows) {
        const QRectF frame(window.frame.x * scale, window.frame.y * scale, window.frame.width * scale,
                           window.frame.height * scale);
        qt::SimWindowPainter::paint(p, w.desktop, *w.desktop.window(window.number), frame, scale);
        const double radius = qt::SimWindowPainter::kCornerRadius * scale;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, window.ofFrontApp ? 0 : 30));
        p.drawRoundedRect(frame, radius, radius);
      }
    }
    // Between the menu bar and the Dock, away from the key window's marking (drawn on top), no
    // patch differs: a window edge at a fraction of a pixel may blend with a different neighbour
    // along its one-pixel line, but a missing or extra piece of a window shows as a patch.
    const Rect key = scene.frontWindow()->frame;
    const QRectF marking(key.x * scale - 4, key.y * scale - 4, key.width * scale + 8, key.height * scale + 8);
    const auto differs = [&](int x, int y) {
      const QColor a = drawn.pixelColor(x, y), b = whole.pixelColor(x, y);
      return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                       std::abs(a.blue() - b.blue())}) > 24;
    };
    int patches = 0;
    for (int y = static_cast<int>(60 * scale); y < static_cast<int>(800 * scale); ++y)
      for (int x = 1; x + 1 < size.width(); ++x)
        patches += !marking.contains(x, y) && differs(x, y) && differs(x - 1, y) && differs(x + 1, y) &&
                   differs(x, y - 1) && differs(x, y + 1);
    EXPECT_EQ(patches, 0) << "at scale " << scale;
  }
}

}  // namespace
}  // namespace velvix
