#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QToolTip>
#include <QWindow>

#include "App/AlertDialogs.hpp"
#include "Core/DockController.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopPicture.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimMenuBarStrip.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "TestSupport/AppWorld.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/HUDController.hpp"
#include "UI/HUDView.hpp"
#include "UI/SettingsWindowController.hpp"

// The program's windows and panels live inside the one window onto the simulated desktop, and a
// person uses them there as on a desktop: a click makes a window key, the key equivalents reach
// it, panels stack by their levels, and alerts come one at a time in front of everything.

namespace velvix {
namespace {

using qt::SimDesktopView;

struct OneScreen : test::AppWorld {
  OneScreen() {
    mail = launchApp("com.apple.mail", "Mail", {"Drafts", "Inbox"});
    desktop.dock().start();
    mailIcon = desktop.dock().addApplication(mail);
    launch();
    desktop.activate(mail);
    pause(0.5);
    view.resize(1080, 675);  // scaled to fit a smaller display: 0.75 of the simulated screen
    services().placement = &view;
    view.menuBar = &app->menuBar();
    view.show();
    view.activateWindow();  // the person's window has the keyboard
    QCoreApplication::processEvents();
  }
  // The pointer at a point of the simulated screen, as the display hands it to the window.
  void mouse(QEvent::Type type, Point at) {
    const QPointF local = view.toView(at);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, local, view.mapToGlobal(local), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view.windowHandle(), &event);
  }
  void click(Point at) {
    mouse(QEvent::MouseButtonPress, at);
    mouse(QEvent::MouseButtonRelease, at);
    pause(0.1);
  }
  // A key typed where the keyboard focus is.
  void type(int key, Qt::KeyboardModifiers modifiers) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(focus);
    for (auto kind : {QEvent::KeyPress, QEvent::KeyRelease}) {
      QKeyEvent event(kind, key, modifiers);
      QCoreApplication::sendEvent(focus, &event);
    }
    pause(0.1);
  }
  // The layer's panels, back to front.
  std::vector<QWidget*> stacking() {
    std::vector<QWidget*> order;
    for (QObject* child : view.screenLayer().children())
      if (auto* w = qobject_cast<QWidget*>(child); w && w->isVisible()) order.push_back(w);
    return order;
  }
  QWidget* panelNamed(const QString& prefix) {
    for (QWidget* w : stacking())
      if (w->objectName().startsWith(prefix)) return w;
    return nullptr;
  }

  platform::Pid mail = 0;
  std::int64_t mailIcon = 0;
  SimDesktopView view{desktop};
};

TEST(OneScreenScenario, AClickMakesTheSettingsWindowKeyAndControlWClosesIt) {
  OneScreen w;
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  SettingsWindowController& settings = *w.services().settingsWindow;
  ASSERT_TRUE(settings.isShownOnDisplay());
  // Inside the view, at its scale, and no window of its own.
  QWidget* shown = w.panelNamed("settings.window");
  ASSERT_TRUE(shown);
  EXPECT_FALSE(shown->isWindow());
  EXPECT_NEAR(shown->width(), SettingsWindowController::kWidth * 0.75, 1);
  EXPECT_GE(shown->y(), 0);

  // Another application comes in front; a click into the settings window brings Velvix back.
  w.desktop.activate(w.mail);
  w.pause(0.2);
  const Rect frame = w.desktop.window(settings.window()->number())->bounds;
  w.click({frame.midX(), frame.y + 40});
  EXPECT_EQ(w.frontmostPid(), w.desktop.selfPid());
  EXPECT_EQ(w.desktop.application().keyWindow(), settings.window()->number());
  EXPECT_TRUE(shown->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == shown);

  w.type(Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(settings.isShownOnDisplay());
  EXPECT_FALSE(settings.window());
}

TEST(OneScreenScenario, NothingOfTheSettingsWindowsStandInLiesUnderItsGlass) {
  OneScreen w;
  w.view.picture = &w.app->desktopPicture();
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  const Rect frame = w.desktop.window(w.services().settingsWindow->window()->number())->bounds;
  (void)w.view.grab();  // drawn as the display shows it
  // What the window draws beneath the panel (and hands to the frost): one plain surface, no title
  // bar or lines of text to show through the glass.
  const auto beneath = w.app->desktopPicture().beneath(frame, 1.0);
  ASSERT_TRUE(beneath);
  const QImage picture = qt::toQImage(*beneath);
  int lightest = 0, darkest = 255;
  for (int y = 12; y < picture.height() - 12; y += 3)
    for (int x = 12; x < picture.width() - 12; x += 3) {
      const int lightness = picture.pixelColor(x, y).lightness();
      lightest = std::max(lightest, lightness);
      darkest = std::min(darkest, lightness);
    }
  EXPECT_LE(lightest - darkest, 2);
}

TEST(OneScreenScenario, TheDockCardsStayAboveThePeekAtTheirCard) {
  OneScreen w;
  const Rect icon = *w.desktop.dock().frame(w.mailIcon);
  w.mouse(QEvent::MouseMove, {icon.midX(), icon.midY()});
  QMouseEvent onIcon(QEvent::MouseMove, w.view.toView({icon.midX(), icon.midY()}), QPointF(), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&w.view, &onIcon);
  w.pause(0.5);
  const DockPreviewPanel& cards = w.services().dock->previewPanel();
  ASSERT_TRUE(cards.isVisible());
  // The pointer rests on the first card: its window is peeked.
  const Rect frame = *cards.frame();
  w.mouse(QEvent::MouseMove, {frame.x + 40, frame.y + 40});
  w.pause(0.5);
  ASSERT_TRUE(w.services().dock->peeked());
  ASSERT_TRUE(w.services().dock->peekPanel().isVisible());
  const auto order = w.stacking();
  QWidget* cardPanel = w.panelNamed(DockPreviewPanel::kPanelName);
  QWidget* peek = w.panelNamed("velvix.peek");
  ASSERT_TRUE(cardPanel && peek);
  EXPECT_GT(std::find(order.begin(), order.end(), cardPanel), std::find(order.begin(), order.end(), peek));
  // The pointer over the cards still counts as over them.
  EXPECT_NEAR(w.desktop.pointer.x, frame.x + 40, 2);
  EXPECT_EQ(w.view.screenLayer().panelAt(
                w.view.screenLayer().mapFrom(&w.view, w.view.toView({frame.x + 40, frame.y + 40}).toPoint())),
            cardPanel);
}

TEST(OneScreenScenario, TwoAlertsDueAtOnceComeOneAtATimeInFrontAndOnlyTheFrontOneTakesReturn) {
  OneScreen w;
  AlertDialogs::attach(w.desktop.application(), w.view);
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  std::vector<std::pair<int, int>> answers;
  auto& application = w.desktop.application();
  application.showAlert("First question?", "", {"Yes", "No"}, [&](int b) { answers.push_back({1, b}); });
  application.showAlert("Second question?", "", {"Sure", "Never"}, [&](int b) { answers.push_back({2, b}); });
  auto boxes = [] {
    std::vector<QMessageBox*> shown;
    for (QWidget* widget : QApplication::allWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) shown.push_back(box);
    return shown;
  };
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes().front()->text(), "First question?");
  EXPECT_TRUE(w.stacking().back()->objectName().startsWith("velvix.alert"));

  // Return typed into the settings window answers the alert, not the window.
  w.panelNamed("settings.window")->setFocus();
  w.type(Qt::Key_Return, Qt::NoModifier);
  w.pause(0.1);
  ASSERT_EQ(answers, (std::vector<std::pair<int, int>>{{1, 0}}));
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes().front()->text(), "Second question?");
  EXPECT_TRUE(w.stacking().back()->objectName().startsWith("velvix.alert"));
  w.type(Qt::Key_Return, Qt::NoModifier);
  w.pause(0.1);
  EXPECT_EQ(answers, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}}));
  EXPECT_TRUE(boxes().empty());
  EXPECT_TRUE(w.services().settingsWindow->isShownOnDisplay());
}

TEST(OneScreenScenario, TheStatusItemsToolTipShowsOverItsIcon) {
  OneScreen w;
  w.app->menuBar().setStatusToolTip("Secure input is on in Terminal");
  const Rect& bar = w.view.scene().menuBar;
  const QRectF strip(w.view.toView({bar.x, bar.y}), QSizeF(bar.width, bar.height) * 0.75);
  const QPointF icon = qt::SimMenuBarStrip::layout(w.app->menuBar(), strip, 0.75, false).statusIcon.center();
  QHelpEvent help(QEvent::ToolTip, icon.toPoint(), w.view.mapToGlobal(icon.toPoint()));
  QCoreApplication::sendEvent(&w.view, &help);
  EXPECT_EQ(QToolTip::text(), "Secure input is on in Terminal");
  QToolTip::hideText();
}

TEST(OneScreenScenario, TheHUDsHelpTextsShowAsToolTipsUnderThePointer) {
  OneScreen w;
  for (auto number : w.desktop.windowsOf(w.mail))
    if (w.desktop.window(number)->title == "Drafts") w.desktop.setMinimized(number, true);
  w.pause(0.5);
  auto key = [&](QEvent::Type type, int code) {
    QKeyEvent event(type, code, Qt::ControlModifier);
    QCoreApplication::sendEvent(&w.view, &event);
  };
  key(QEvent::KeyPress, Qt::Key_Control);
  key(QEvent::KeyPress, Qt::Key_Tab);
  key(QEvent::KeyRelease, Qt::Key_Tab);
  w.pause(0.2);
  ASSERT_TRUE(w.hudVisible());
  auto* host = w.view.findChild<QGraphicsView*>(QString(HUDController::kPanelName) + ".window");
  HUDView* hud = nullptr;
  for (QWidget* widget : QApplication::allWidgets())
    if (auto* found = dynamic_cast<HUDView*>(widget)) hud = found;
  ASSERT_TRUE(host && hud);
  std::optional<int> minimized;
  for (const auto& [index, frame] : hud->cellFrames())
    if (hud->cell(index)->minimizedBadgeRect()) minimized = index;
  ASSERT_TRUE(minimized);
  // The pointer rests on a point of the cell (bar coordinates), as the display hands it over.
  auto toolTipAt = [&](auto rectOf) {
    const Rect frame = hud->cellFrames().at(*minimized);
    const Rect r = *rectOf(*hud->cell(*minimized));
    const QPoint inBar(qRound(frame.x + r.midX()), qRound(frame.y + r.midY()));
    const QPoint inHost = host->mapFromScene(QPointF(hud->bar()->mapTo(hud->bar()->window(), inBar)));
    w.mouse(QEvent::MouseMove, w.view.toSimulated(host->viewport()->mapTo(&w.view, inHost)));
    QHelpEvent help(QEvent::ToolTip, inHost, host->viewport()->mapToGlobal(inHost));
    QCoreApplication::sendEvent(host->viewport(), &help);
    const QString text = QToolTip::text();
    QToolTip::hideText();
    return text.toStdString();
  };
  EXPECT_EQ(toolTipAt([](const HUDCell& c) { return c.minimizedBadgeRect(); }), "Minimized");
  EXPECT_EQ(toolTipAt([](const HUDCell& c) { return c.closeControlRect(); }), "Close");
  key(QEvent::KeyRelease, Qt::Key_Control);
  w.pause(1);
}

}  // namespace
}  // namespace velvix
