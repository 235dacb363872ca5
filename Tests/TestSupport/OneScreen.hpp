#pragma once
// The whole program launched over a simulated desktop with Mail in front, shown in the one window
// onto it at 0.75 of the simulated screen, and driven as a person drives that window: the
// pointer and keys handed over as the display hands them. For scenarios of the composed screen.

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimMenuBarStrip.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "TestSupport/AppWorld.hpp"

namespace velvix::test {

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

  platform::Pid mail = 0;
  std::int64_t mailIcon = 0;
  qt::SimDesktopView view{desktop};
};

}  // namespace velvix::test
