#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>
#include <QWindow>

#include "App/AboutPanel.hpp"
#include "App/AlertDialogs.hpp"
#include "Core/DockController.hpp"
#include "Core/Preferences.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopPicture.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimMenuBarStrip.hpp"
#include "Platform/Qt/SimMenuPanel.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Qt/SimSystemMenuTitle.hpp"
#include "Platform/Qt/SimWindowPainter.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/Waits.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/HUDController.hpp"
#include "UI/HUDView.hpp"
#include "UI/SettingsSwitch.hpp"
#include "UI/SettingsView.hpp"
#include "UI/SettingsWindowController.hpp"

// The program's windows and panels live inside the one window onto the simulated desktop, and a
// person uses them there as on a desktop: a click makes a window key, the key equivalents reach
// it, panels stack by their levels, and alerts come one at a time in front of every window.

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
  void mouse(QEvent::Type type, Point at) { mouseAt(type, view.toView(at)); }
  void mouseAt(QEvent::Type type, QPointF local) {
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
  // A click on a point of a widget inside the view.
  void click(const QWidget& widget, QPoint at) {
    const QPointF local = widget.mapTo(&view, at);
    mouseAt(QEvent::MouseButtonPress, local);
    mouseAt(QEvent::MouseButtonRelease, local);
    pause(0.1);
  }
  // The windows the display has to place: only the desktop view's.
  static int topLevelWindows() {
    int shown = 0;
    for (QWindow* window : QGuiApplication::topLevelWindows()) shown += window->isVisible() ? 1 : 0;
    return shown;
  }
  // The strip's parts at the view's scale.
  QRectF strip() const {
    const Rect& bar = view.scene().menuBar;
    return {view.toView({bar.x, bar.y}), QSizeF(bar.width, bar.height) * 0.75};
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
  // The panel a click at a point of the simulated screen meets, if any.
  QWidget* front(Point at) {
    qt::SimScreenLayer& layer = view.screenLayer();
    return layer.panelAt(layer.mapFrom(&view, view.toView(at).toPoint()));
  }
  // A point of a widget inside the composed panel `host`, in the view's coordinates.
  QPointF inView(QWidget* host, const QWidget& inner, QPointF at) {
    auto* scaled = static_cast<QGraphicsView*>(host);
    const QPoint inHost = scaled->mapFromScene(QPointF(inner.mapTo(inner.window(), at.toPoint())));
    return scaled->viewport()->mapTo(&view, inHost);
  }
  void chordKey(QEvent::Type type, int code) {
    QKeyEvent event(type, code, Qt::ControlModifier);
    QCoreApplication::sendEvent(&view, &event);
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

  // Another application comes in front; a click into the settings window (where Mail's windows
  // do not lie over it) brings Velvix back.
  w.desktop.activate(w.mail);
  w.pause(0.2);
  const Rect frame = w.desktop.window(settings.window()->number())->bounds;
  w.click({frame.maxX() - 30, frame.maxY() - 30});
  EXPECT_EQ(w.frontmostPid(), w.desktop.selfPid());
  EXPECT_EQ(w.desktop.application().keyWindow(), settings.window()->number());
  EXPECT_TRUE(shown->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == shown);

  w.type(Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(settings.isShownOnDisplay());
  EXPECT_FALSE(settings.window());
}

TEST(OneScreenScenario, TheSettingsWindowHasADarkTitleBarWhoseButtonsMinimiseAndCloseIt) {
  OneScreen w;
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  SettingsWindowController& settings = *w.services().settingsWindow;
  const Rect frame = w.desktop.window(settings.window()->number())->bounds;
  QWidget* shown = w.panelNamed("settings.window");
  ASSERT_TRUE(shown);
  // The panel starts below the title bar, which the screen draws dark with the title in light text.
  const double bar = qt::SimWindowPainter::kTitleBarHeight;
  EXPECT_NEAR(shown->y(), w.view.toScreenLayer(frame).y + bar * 0.75, 1);
  EXPECT_NEAR(shown->height(), (frame.height - bar) * 0.75, 1);
  const QImage screen = w.view.grab().toImage();
  const QColor barColour = screen.pixelColor(w.view.toView({frame.maxX() - 24, frame.y + bar / 2}).toPoint());
  EXPECT_LT(barColour.lightness(), 70);
  EXPECT_GT(barColour.lightness(), 35);  // lighter than the backing below
  int light = 0;
  for (double x = frame.midX() - 50; x < frame.midX() + 50; x += 0.5)
    light += screen.pixelColor(w.view.toView({x, frame.y + bar / 2}).toPoint()).lightness() > 150 ? 1 : 0;
  EXPECT_GT(light, 4);

  // The yellow button minimises it, as Control-M does; back from the Dock, the red one closes it.
  w.click({frame.x + 34, frame.y + bar / 2});
  w.pause(0.5);
  ASSERT_TRUE(settings.window());
  EXPECT_TRUE(w.desktop.window(settings.window()->number())->minimized);
  EXPECT_FALSE(settings.isShownOnDisplay());
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  ASSERT_TRUE(settings.isShownOnDisplay());
  w.desktop.activate(w.mail);  // a click on the button of a window in the back still reaches it
  w.pause(0.2);
  w.click({frame.x + 14, frame.y + bar / 2});
  EXPECT_FALSE(settings.isShownOnDisplay());
  EXPECT_FALSE(settings.window());
}

TEST(OneScreenScenario, NothingOfTheSettingsWindowsStandInLiesUnderItsGlass) {
  OneScreen w;
  w.view.picture = &w.app->desktopPicture();
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  Rect frame = w.desktop.window(w.services().settingsWindow->window()->number())->bounds;
  frame.y += qt::SimWindowPainter::kTitleBarHeight;  // the panel lies below the title bar
  frame.height -= qt::SimWindowPainter::kTitleBarHeight;
  (void)w.view.grab();  // drawn as the display shows it
  // What the window draws beneath the panel (and hands to the frost): one plain surface, no lines
  // of text to show through the glass.
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
  w.pause(test::kRestOnIcon);
  const DockCardsView& cards = w.services().dock->previewPanel();
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
  EXPECT_NEAR(w.desktop.pointer().x, frame.x + 40, 2);
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

  // A menu left open when an alert comes up closes: the alert is in front and takes Return.
  const auto parts = qt::SimMenuBarStrip::layout(w.app->menuBar(), w.strip(), 0.75, false);
  w.mouseAt(QEvent::MouseButtonPress, parts.statusIcon.center());
  w.mouseAt(QEvent::MouseButtonRelease, parts.statusIcon.center());
  QPointer<qt::SimMenuPanel> menu = w.view.openMenu();
  ASSERT_TRUE(menu && menu->isVisible());
  application.showAlert("Third question?", "", {"Fine"}, [&](int b) { answers.push_back({3, b}); });
  EXPECT_TRUE(!menu || !menu->isVisible());
  EXPECT_TRUE(w.stacking().back()->objectName().startsWith("velvix.alert"));
  w.type(Qt::Key_Return, Qt::NoModifier);
  w.pause(0.1);
  EXPECT_EQ(answers.back(), (std::pair<int, int>{3, 0}));
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
  w.pause(test::kPastHUDReveal);
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

// The strip's menus, their submenus and the About panel are drawn inside the one window: the
// status menu inside the screen at its right end, the keyboard and a click elsewhere closing them;
// the About panel is a window of the screen that closes with its simulated window.
TEST(OneScreenScenario, StripMenusSubmenusAndAboutOpenInsideTheOneWindow) {
  OneScreen w;
  AboutPanel::attach(w.desktop.application(), &w.view, w.loop);
  const QRect screen = w.view.screenLayer().rect();
  const auto parts = qt::SimMenuBarStrip::layout(w.app->menuBar(), w.strip(), 0.75, false);
  w.mouseAt(QEvent::MouseButtonPress, parts.statusIcon.center());
  w.mouseAt(QEvent::MouseButtonRelease, parts.statusIcon.center());
  qt::SimMenuPanel* status = w.view.openMenu();
  ASSERT_TRUE(status && status->isVisible());
  EXPECT_EQ(status->parentWidget(), &w.view.screenLayer());
  EXPECT_TRUE(screen.contains(status->geometry())) << status->geometry().right() << " " << screen.right();
  EXPECT_EQ(w.stacking().back(), status);  // in front of everything
  EXPECT_EQ(OneScreen::topLevelWindows(), 1);
  // Escape closes it, and the keyboard is the desktop's again.
  w.type(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(status->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), &w.view);

  // The simulated system's menu and a submenu opened by the pointer: beside it, inside the screen.
  const QRectF system = qt::SimSystemMenuTitle::rect(w.strip(), 0.75, parts.statusIcon.left());
  w.mouseAt(QEvent::MouseButtonPress, system.center());
  w.mouseAt(QEvent::MouseButtonRelease, system.center());
  qt::SimMenuPanel* menu = w.view.openMenu();
  ASSERT_TRUE(menu && menu->isVisible());
  const int spaces = static_cast<int>(menu->texts().indexOf("Spaces"));
  ASSERT_GE(spaces, 0);
  w.mouseAt(QEvent::MouseMove, menu->mapTo(&w.view, menu->itemRect(spaces).center()));
  qt::SimMenuPanel* submenu = menu->submenu();
  ASSERT_TRUE(submenu && submenu->isVisible());
  EXPECT_TRUE(screen.contains(submenu->geometry()));
  EXPECT_EQ(submenu->texts().front(), "Space 1");
  EXPECT_EQ(OneScreen::topLevelWindows(), 1);
  // Left closes the submenu, Right opens it again.
  w.type(Qt::Key_Left, Qt::NoModifier);
  EXPECT_FALSE(submenu->isVisible());
  w.type(Qt::Key_Right, Qt::NoModifier);
  submenu = menu->submenu();
  ASSERT_TRUE(submenu && submenu->isVisible());
  // Right where there is no submenu steps to the strip's next menu, Left back; the pointer moving
  // onto another title opens that title's menu.
  w.type(Qt::Key_Right, Qt::NoModifier);
  ASSERT_TRUE(w.view.openMenu());
  EXPECT_EQ(w.view.openMenu()->texts().front(), "Enabled");
  w.type(Qt::Key_Left, Qt::NoModifier);
  ASSERT_TRUE(w.view.openMenu());
  EXPECT_TRUE(w.view.openMenu()->texts().contains("Spaces"));
  w.mouseAt(QEvent::MouseMove, parts.statusIcon.center());
  QPointer<qt::SimMenuPanel> open = w.view.openMenu();
  ASSERT_TRUE(open && open->isVisible());
  EXPECT_EQ(open->texts().front(), "Enabled");
  // A click elsewhere closes it and does nothing else: Mail stays in front.
  w.click({700, 400});
  EXPECT_TRUE(!open || !open->isVisible());
  EXPECT_EQ(w.frontmostPid(), w.mail);

  // Choosing About Velvix with the pointer: its panel is one of the screen's windows.
  w.mouseAt(QEvent::MouseButtonPress, parts.statusIcon.center());
  status = w.view.openMenu();
  ASSERT_TRUE(status);
  w.click(*status, status->itemRect(static_cast<int>(status->texts().indexOf("About Velvix"))).center());
  QWidget* about = w.panelNamed("velvix.about");
  ASSERT_TRUE(about);
  EXPECT_FALSE(about->isWindow());
  EXPECT_EQ(OneScreen::topLevelWindows(), 1);
  EXPECT_TRUE(screen.contains(about->geometry()));
  EXPECT_EQ(w.frontmostPid(), w.desktop.selfPid());
  // It is the key window: Control-W closes its window, and the dialog goes with it.
  w.type(Qt::Key_W, Qt::ControlModifier);
  w.pause(0.5);
  EXPECT_FALSE(w.desktop.application().aboutPanel());
  EXPECT_FALSE(w.panelNamed("velvix.about"));
}

// The program's windows take their places among the other applications' windows.
TEST(OneScreenScenario, AnotherApplicationsWindowComesInFrontOfTheSettingsWindowAndBack) {
  OneScreen w;
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  const auto number = w.services().settingsWindow->window()->number();
  QWidget* settings = w.panelNamed("settings.window");
  ASSERT_TRUE(settings);
  qt::SimScreenLayer& layer = w.view.screenLayer();
  const Rect mailFrame = w.desktop.window(w.desktop.windowsOf(w.mail).front())->bounds;
  const Rect frame = w.desktop.window(number)->bounds;
  // A point of both windows, and one of Mail's window only.
  const Point both{std::max(frame.x, mailFrame.x) + 30, std::max(frame.y, mailFrame.y) + 30};
  const Point mailOnly{mailFrame.x + 20, mailFrame.y + 60};
  ASSERT_TRUE(frame.contains(both) && mailFrame.contains(both) && !frame.contains(mailOnly));
  auto front = [&](Point at) { return layer.panelAt(layer.mapFrom(&w.view, w.view.toView(at).toPoint())); };
  EXPECT_EQ(front(both), settings);

  // A click on Mail's window brings it in front of the settings window, where it shows.
  w.click(mailOnly);
  EXPECT_EQ(w.frontmostPid(), w.mail);
  EXPECT_EQ(front(both), nullptr);
  QImage shown(w.view.size(), QImage::Format_ARGB32);
  w.view.render(&shown);
  QImage screenOnly(w.view.size(), QImage::Format_ARGB32);
  settings->hide();
  w.view.render(&screenOnly);
  settings->show();
  const QPoint at = w.view.toView(both).toPoint();
  EXPECT_EQ(shown.pixel(at), screenOnly.pixel(at));
  // A click there is Mail's; typing no longer reaches the settings window.
  w.click(both);
  EXPECT_EQ(w.frontmostPid(), w.mail);
  EXPECT_FALSE(settings->isAncestorOf(QApplication::focusWidget()));

  // A click on the settings window where nothing covers it brings it and Velvix back.
  w.click({frame.maxX() - 30, frame.maxY() - 30});
  EXPECT_EQ(w.frontmostPid(), w.desktop.selfPid());
  EXPECT_EQ(front(both), settings);
  // Activated some other way (the switcher), Mail's window comes in front again; the panels
  // of higher levels stay above it all.
  w.desktop.activate(w.mail);
  w.pause(0.2);
  EXPECT_EQ(front(both), nullptr);
  EXPECT_FALSE(settings->isAncestorOf(QApplication::focusWidget()));
}

// The Edit menu and its key equivalents act on the text field that has the focus inside the
// settings window.
TEST(OneScreenScenario, TheEditMenuActsOnTheFocusedFieldInsideTheSettingsWindow) {
  OneScreen w;
  w.app->delegate().mainMenu().editResponder = &qt::SimScreenLayer::performEditCommand;
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  w.services().settingsWindow->view()->selectTab(SettingsTab::general);
  auto* field = w.services().settingsWindow->view()->findChild<QLineEdit*>("excludedBundleIDs");
  ASSERT_TRUE(field);
  field->setFocus();
  field->setText("com.example.one");
  ASSERT_EQ(qt::SimScreenLayer::focusWidget(), field);

  w.type(Qt::Key_A, Qt::ControlModifier);  // Select All
  EXPECT_EQ(field->selectedText(), "com.example.one");
  w.type(Qt::Key_X, Qt::ControlModifier);  // Cut
  EXPECT_EQ(field->text(), "");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "com.example.one");
  w.type(Qt::Key_V, Qt::ControlModifier);  // Paste
  w.type(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(field->text(), "com.example.onecom.example.one");
  w.type(Qt::Key_Z, Qt::ControlModifier);  // Undo
  EXPECT_EQ(field->text(), "com.example.one");

  // Chosen from the strip's Edit menu, the item acts on the same field.
  const auto parts = qt::SimMenuBarStrip::layout(w.app->menuBar(), w.strip(), 0.75, true);
  ASSERT_GE(parts.titles.size(), 2u);
  w.mouseAt(QEvent::MouseButtonPress, parts.titles[1].first.center());  // Edit
  qt::SimMenuPanel* edit = w.view.openMenu();
  ASSERT_TRUE(edit);
  w.click(*edit, edit->itemRect(static_cast<int>(edit->texts().indexOf("Paste\t\u2318V"))).center());
  EXPECT_FALSE(edit->isVisible());
  EXPECT_EQ(field->text(), "com.example.onecom.example.one");
  EXPECT_EQ(qt::SimScreenLayer::focusWidget(), field);
  // Copy and Cut chosen there act on the field's selection, which opening the menu leaves alone.
  auto choose = [&](const QString& item) {
    w.mouseAt(QEvent::MouseButtonPress, parts.titles[1].first.center());
    qt::SimMenuPanel* menu = w.view.openMenu();
    ASSERT_TRUE(menu);
    w.click(*menu, menu->itemRect(static_cast<int>(menu->texts().indexOf(item))).center());
  };
  field->setText("alpha beta");
  field->setSelection(6, 4);
  choose("Copy\t\u2318C");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "beta");
  choose("Cut\t\u2318X");
  EXPECT_EQ(field->text(), "alpha ");
}

// The program's windows are simulated windows in everything: shown on their own Space only,
// hidden with the program, and where one lies over another the front one keeps its title bar.
TEST(OneScreenScenario, VelvixsWindowsKeepToTheirSpaceHideWithItAndTheFrontOneKeepsItsTitleBar) {
  OneScreen w;
  w.desktop.displays().front().spaces = {1, 2};
  AboutPanel::attach(w.desktop.application(), &w.view, w.loop);
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  QWidget* settings = w.panelNamed("settings.window");
  const Rect frame = w.desktop.window(w.services().settingsWindow->window()->number())->bounds;
  auto frontAfter = [&](const std::function<void()>& change) {
    change();
    w.pause(0.2);
    return w.front({frame.maxX() - 30, frame.maxY() - 30});
  };
  EXPECT_EQ(frontAfter([&] { w.desktop.switchSpace(0, 2); }), nullptr);  // covered by the screen
  EXPECT_EQ(frontAfter([&] { w.desktop.switchSpace(0, 1); }), settings);
  EXPECT_EQ(frontAfter([&] { w.desktop.application().hide(); }), nullptr);
  EXPECT_EQ(w.frontmostPid(), w.mail);  // the application of the front window left
  EXPECT_EQ(frontAfter([&] { w.desktop.activate(w.desktop.selfPid()); }), settings);
  w.desktop.application().orderFrontStandardAboutPanel();
  w.pause(0.5);
  const Rect about = w.desktop.window(*w.desktop.application().aboutPanel())->bounds;
  const Point bar{about.midX(), about.y + qt::SimWindowPainter::kTitleBarHeight / 2};
  ASSERT_TRUE(frame.contains(bar));
  EXPECT_EQ(w.front(bar), nullptr);  // the screen, drawing About's title bar, lies over the settings
}

TEST(OneScreenScenario, TheSwitcherStaysInFrontOfAnAlertThatComesDuringAChord) {
  OneScreen w;
  AlertDialogs::attach(w.desktop.application(), w.view);
  w.chordKey(QEvent::KeyPress, Qt::Key_Control);
  w.chordKey(QEvent::KeyPress, Qt::Key_Tab);
  w.pause(test::kPastHUDReveal);
  ASSERT_TRUE(w.hudVisible());
  w.desktop.application().showAlert("A question?", "", {"Yes"}, [](int) {});
  const auto order = w.stacking();
  auto place = [&](const char* name) { return std::find(order.begin(), order.end(), w.panelNamed(name)); };
  EXPECT_GT(place(HUDController::kPanelName), place("velvix.alert"));
  w.chordKey(QEvent::KeyRelease, Qt::Key_Control);
  w.pause(1);
}

// Dimmed or not, the Terminal pane's feature switches are drawn where they are, and only an
// enabled one takes a click.
TEST(OneScreenScenario, TheTerminalPanesFeatureSwitchesShowWhereTheyAreAndDimmedTakeNoClicks) {
  OneScreen w;
  w.app->delegate().openSettingsMenuItem();
  w.pause(0.5);
  SettingsView* settings = w.services().settingsWindow->view();
  settings->selectTab(SettingsTab::terminal);
  QScrollBar* scroll = settings->findChild<QScrollArea*>("settings.detail")->verticalScrollBar();
  scroll->setValue(scroll->maximum());  // the last card, at the bottom
  Preferences& prefs = *w.services().preferences;
  auto* cut = settings->findChild<SettingsSwitch*>("terminalCutEnabled");
  const bool before = prefs.terminalCutEnabled.get();
  for (const bool on : {false, true}) {
    prefs.terminalEditingKeysEnabled.set(on);
    w.pause(0.2);
    const QPointF knob = w.inView(w.panelNamed("settings.window"), *cut,
                                  {cut->isChecked() ? cut->width() - 11.0 : 11.0, cut->height() / 2.0});
    EXPECT_GT(w.view.grab().toImage().pixelColor(knob.toPoint()).lightness(), on ? 200 : 110);
    w.mouseAt(QEvent::MouseButtonPress, knob);
    w.mouseAt(QEvent::MouseButtonRelease, knob);
    w.pause(0.1);
    EXPECT_EQ(prefs.terminalCutEnabled.get(), on ? !before : before);
  }
}

TEST(OneScreenScenario, TheStockBoxesAndPickerListsAreDarkAndAnEmptyFieldsPlaceholderReads) {
  OneScreen w;
  AlertDialogs::attach(w.desktop.application(), w.view);
  AboutPanel::attach(w.desktop.application(), &w.view, w.loop);
  w.app->delegate().openSettingsMenuItem();
  w.desktop.application().showAlert("A question?", "", {"Yes"}, [](int) {});
  w.desktop.application().orderFrontStandardAboutPanel();
  w.pause(0.5);
  const QImage shown = w.view.grab().toImage();
  for (const char* name : {"velvix.alert", "velvix.about"}) {
    QWidget* host = w.panelNamed(name);
    ASSERT_TRUE(host) << name;
    EXPECT_LT(shown.pixelColor(host->mapTo(&w.view, QPoint(6, host->height() - 6))).lightness(), 70) << name;
  }
  SettingsView* settings = w.services().settingsWindow->view();
  EXPECT_LT(settings->findChild<QComboBox*>()->view()->palette().color(QPalette::Base).lightness(), 70);
  settings->selectTab(SettingsTab::general);
  auto* excluded = settings->findChild<QLineEdit*>("excludedBundleIDs");
  ASSERT_TRUE(excluded);
  const QPalette field = excluded->palette();
  EXPECT_GT(field.color(QPalette::PlaceholderText).lightness() - field.color(QPalette::Base).lightness(), 60);
}

}  // namespace
}  // namespace velvix
