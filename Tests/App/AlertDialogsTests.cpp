#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include "App/AlertDialogs.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

QMessageBox* openBox() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
  return nullptr;
}

TEST(AlertDialogs, AFloatingQuestionAppearsOverTheDesktopWindowAndTakesTheAnswer) {
  test::ensureQtApplication();
  test::TestWorld world;
  QWidget desktopWindow;
  desktopWindow.resize(800, 500);
  desktopWindow.show();
  AlertDialogs::attach(world.desktop.application(), &desktopWindow);

  int answer = -1;
  world.desktop.application().showAlert(
      TerminalIntegrationInstaller::kConsentMessage, TerminalIntegrationInstaller::kConsentText,
      {TerminalIntegrationInstaller::kAllowButton, TerminalIntegrationInstaller::kNotNowButton},
      [&](int button) { answer = button; });
  QMessageBox* box = openBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->parentWidget(), &desktopWindow);
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
