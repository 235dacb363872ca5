#include "TestSupport/QtTestApplication.hpp"

#include <QApplication>
#include <QMessageBox>

namespace velvix::test {

void ensureQtApplication() {
  if (QCoreApplication::instance()) return;
  // ctest sets this; a test program started by hand must not open windows either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "velvix_tests";
  static char* argv[] = {name, nullptr};
  // Deliberately never destroyed: Qt objects of finished tests may still refer to it at exit.
  new QApplication(argc, argv);
}

QMessageBox* visibleMessageBox() {
  for (QWidget* widget : QApplication::allWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
  return nullptr;
}

}  // namespace velvix::test
