#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include "App/AboutPanel.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimUpdater.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

// About names the version, on its dialog and its window, and OK takes both away; the updater's
// window says what this build does about updates.
TEST(AboutPanel, NamesTheVersionAndClosingItClosesItsWindowAndSoftwareUpdateSaysWhatItDoes) {
  test::ensureQtApplication();
  test::AppWorld w;
  w.launch();
  auto& application = w.desktop.application();
  AboutPanel::attach(application, nullptr, w.loop);

  ASSERT_TRUE(w.app->menuBar().chooseStatusItem("About Velvix"));
  QMessageBox* box = test::visibleMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text().toStdString(), "Velvix 1.0.0 (1)");
  const auto panel = application.aboutPanel();
  ASSERT_TRUE(panel);
  EXPECT_NE(w.desktop.window(*panel)->message.find("Velvix 1.0.0 (1)"), std::string::npos);
  box->button(QMessageBox::Ok)->click();
  QApplication::processEvents();
  EXPECT_FALSE(application.aboutPanel());
  EXPECT_FALSE(w.desktop.window(*panel));

  ASSERT_TRUE(w.app->menuBar().chooseStatusItem("Check for Updates\u2026"));
  w.pause(0.5);
  const auto update = application.panel("Software Update");
  ASSERT_TRUE(update);
  EXPECT_EQ(w.desktop.window(*update)->message, sim::SimUpdater::kPanelMessage);
}

}  // namespace
}  // namespace velvix
