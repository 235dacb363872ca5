#pragma once
// One QApplication for the whole test program, made on first use on the calling (main) thread and
// kept until the process exits. Tests that draw widgets or use Qt's event loop call it first.

class QMessageBox;

namespace velvix::test {

void ensureQtApplication();
// The message box on show, a window of its own or composed inside the desktop window; or null.
QMessageBox* visibleMessageBox();

}  // namespace velvix::test
