#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "App/VelvixMain.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

// A window that refuses to close, as the settings window does (its controller hides it instead).
class RefusingWindow final : public QWidget {
 protected:
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

// The program's quit ends the event loop with status 0 even while a window refuses to close.
TEST(VelvixMain, TheQuitEndsTheEventLoopWhateverWindowsAreOpen) {
  test::ensureQtApplication();
  RefusingWindow window;
  window.show();
  QTimer::singleShot(0, [] { VelvixMain::endEventLoop(); });
  QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });  // the bound, should the quit be cancelled
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace velvix
