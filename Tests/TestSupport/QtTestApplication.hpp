#pragma once
// One QApplication for the whole test program, made on first use on the calling (main) thread and
// kept until the process exits. Tests that draw widgets or use Qt's event loop call it first.

namespace velvix::test {

void ensureQtApplication();

}  // namespace velvix::test
