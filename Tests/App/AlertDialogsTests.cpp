#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include "App/AlertDialogs.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

TEST(AlertDialogs, AFloatingQuestionAppearsOverTheDesktopWindowAndTakesTheAnswer) {
  test::ensureQtApplication();
  test::TestWorld world;
  qt::SimDesktopView desktopWindow(world.desktop);
  desktopWindow.resize(800, 500);
  desktopWindow.show();
  AlertDialogs::attach(world.desktop.application(), desktopWindow);

  int answer = -1;
  world.desktop.application().showAlert(
      TerminalIntegrationInstaller::kConsentMessage, TerminalIntegrationInstaller::kConsentText,
      {TerminalIntegrationInstaller::kAllowButton, TerminalIntegrationInstaller::kNotNowButton},
      [&](int button) { answer = button; });
  QMessageBox* box = test::visibleMessageBox();
  ASSERT_TRUE(box);
  // Composed on the window's screen, not a window of its own.
  QWidget* panel = desktopWindow.findChild<QWidget*>("velvix.alert.window");
  ASSERT_TRUE(panel);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(box->graphicsProxyWidget());
  EXPECT_EQ(box->text().toStdString(), TerminalIntegrationInstaller::kConsentMessage);
  test::saveScreenshot(*box, "zsh-consent");
  QPushButton* allow = nullptr;
  for (auto* button : box->buttons())
    if (button->text() == TerminalIntegrationInstaller::kAllowButton)
      allow = qobject_cast<QPushButton*>(button);
  ASSERT_TRUE(allow);
  allow->click();
  EXPECT_EQ(answer, 0);
}

}  // namespace
}  // namespace velvix
