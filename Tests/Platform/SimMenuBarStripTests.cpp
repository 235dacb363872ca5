#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include "Core/Preferences.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimMenuBarStrip.hpp"
#include "Platform/Qt/SimMenuPanel.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsWindowController.hpp"

namespace velvix {
namespace {

using qt::SimDesktopView;
using qt::SimMenuBarStrip;

struct MenuBarStripTest : ::testing::Test {
  test::AppWorld w;
  std::unique_ptr<SimDesktopView> view;

  MenuBarStripTest() {
    test::ensureQtApplication();
    w.launchApp("com.example.notes", "Notes", {"Groceries"});
    w.launch();
    w.services().preferences->hasCompletedOnboarding.set(true);
    if (w.services().onboardingWindow->window()) w.services().onboardingWindow->window()->close();
    view = std::make_unique<SimDesktopView>(w.desktop);
    view->resize(1080, 675);
    view->menuBar = &w.app->menuBar();
    w.services().placement = view.get();
  }
  QRectF strip() const {
    const Rect r = view->scene().menuBar;
    return {view->toView({r.x, r.y}), view->toView({r.x + r.width, r.y + r.height})};
  }
};

TEST_F(MenuBarStripTest, ClickingTheStatusIconOpensItsMenuWhoseItemsAct) {
  const auto layout = SimMenuBarStrip::layout(w.app->menuBar(), strip(), 1.0, false);
  ASSERT_FALSE(layout.statusIcon.isNull());
  EXPECT_TRUE(layout.titles.empty());  // another application is in front
  ASSERT_TRUE(view->openMenuAt(layout.statusIcon.center()));
  qt::SimMenuPanel* menu = view->openMenu();
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->texts(),
            (QStringList{"Enabled", "-", "Settings\u2026\t\u2318,", "Setup Assistant\u2026", "-",
                         "Check for Updates\u2026", "About Velvix", "Quit Velvix\t\u2318Q"}));
  EXPECT_TRUE(menu->items().front()->checked);
  test::saveScreenshot(*menu, "status-menu");
  // Down, Down (past the separator) and Return choose Settings…; the menu closes.
  for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &press);
  }
  EXPECT_TRUE(w.services().settingsWindow->window());
  EXPECT_TRUE(menu->isHidden());
}

TEST_F(MenuBarStripTest, WhileVelvixIsFrontmostTheStripShowsItsMenusAndTheirKeyEquivalentsWork) {
  w.services().settingsWindow->show();
  w.pause(0.1);
  const auto layout = SimMenuBarStrip::layout(w.app->menuBar(), strip(), 1.0, true);
  ASSERT_EQ(layout.titles.size(), 3u);
  ASSERT_TRUE(view->openMenuAt(layout.titles[0].first.center()));
  EXPECT_EQ(view->openMenu()->texts().front(), "About Velvix");
  test::saveScreenshot(*view->openMenu(), "application-menu");

  // Control stands for Command: Control-W closes the settings window, Control-comma reopens it.
  QKeyEvent closeKey(QEvent::KeyPress, Qt::Key_W, Qt::ControlModifier);
  QCoreApplication::sendEvent(view.get(), &closeKey);
  EXPECT_FALSE(w.services().settingsWindow->window());
  QKeyEvent commaKey(QEvent::KeyPress, Qt::Key_Comma, Qt::ControlModifier);
  QCoreApplication::sendEvent(view.get(), &commaKey);
  ASSERT_TRUE(w.services().settingsWindow->window());

  QImage picture(view->size(), QImage::Format_ARGB32);
  picture.fill(Qt::black);
  view->render(&picture);
  if (const char* folder = std::getenv("VELVIX_SCREENSHOTS"))
    picture.save(QString::fromStdString(std::string(folder) + "/desktop-with-menus.png"));
  // The status icon is drawn in dark ink on the light strip.
  const QPoint icon = layout.statusIcon.center().toPoint();
  bool inked = false;
  for (int dx = -6; dx <= 6 && !inked; ++dx) inked = qGray(picture.pixel(icon + QPoint(dx, 0))) < 100;
  EXPECT_TRUE(inked);
}

}  // namespace
}  // namespace velvix
