#include "App/VelvixMain.hpp"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QShortcut>


#include "App/QuitSignals.hpp"
#include "App/AlertDialogs.hpp"
#include "App/VelvixApp.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "Platform/Qt/QtMainLoop.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Support/ProcessLog.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "UI/ChromeSetupPresenter.hpp"

namespace velvix {
namespace {

// The home folder the relay uses too, so both find the same socket.
std::filesystem::path homeFolder() {
  std::string home = hostchannel::homeFolder();
  return home.empty() ? std::filesystem::current_path() : std::filesystem::path(home);
}

}  // namespace

int VelvixMain::main(int argc, char** argv) {
  // A write to a closed socket must not kill the process.
  std::signal(SIGPIPE, SIG_IGN);

  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // a menu-bar application has no main window
  qt::QtMainLoop loop;
  // Ctrl-C and SIGTERM quit through the application's terminate path below; declared first, so
  // its deadline covers everything the quit tears down.
  VelvixApp* running = nullptr;
  QuitSignals quitSignals([&loop, &running] {
    loop.post([&running] {
      if (running) running->terminate();
    });
  });
  sim::SimDesktop desktop(loop);
  std::string problem;
  sim::SampleDesktop::populate(desktop, &problem);
  if (!problem.empty()) processLog(problem);
  VelvixApp velvix(desktop, {.home = homeFolder(), .singleInstanceLock = true});
  running = &velvix;

  // With a display, a window shows the simulated desktop and takes its keyboard and mouse; the
  // program's panels appear over it.
  std::unique_ptr<qt::SimDesktopView> view;
  const QString platform = QGuiApplication::platformName();
  if (platform != "offscreen" && platform != "minimal") {
    view = std::make_unique<qt::SimDesktopView>(desktop);
    velvix.services().placement = view.get();
    view->onClose = [&velvix] { velvix.terminate(); };
    view->menuBar = &velvix.menuBar();
    desktop.application().presentAbout = [v = view.get()] {
      auto* about = new QMessageBox(QMessageBox::Information, "About Velvix", "Velvix",
                                    QMessageBox::Ok, v);
      about->setInformativeText("A keyboard application switcher.");
      about->setAttribute(Qt::WA_DeleteOnClose);
      about->open();
    };
    // The main menu's editing commands go to the text field that has the keyboard focus.
    velvix.delegate().mainMenu().editResponder = [](const std::string& selector) {
      QWidget* focus = QApplication::focusWidget();
      const std::string slot = selector.substr(0, selector.size() - 1);  // "undo:" -> "undo"
      return focus && QMetaObject::invokeMethod(focus, slot.c_str());
    };
    AlertDialogs::attach(desktop.application(), *view);
    // F2 starts the automatic set-up of the Chromium extension (as the settings window's General
    // pane does).
    auto* setUp = new QShortcut(QKeySequence(Qt::Key_F2), view.get());
    QObject::connect(setUp, &QShortcut::activated, [&velvix] { velvix.services().chromeSetup->start(); });
    // F3 opens Velvix again, as opening it from the file manager would: the reopen rule shows the
    // settings window (or the set-up window while the event tap does not run).
    auto* reopen = new QShortcut(QKeySequence(Qt::Key_F3), view.get());
    QObject::connect(reopen, &QShortcut::activated, [&velvix, &desktop] {
      bool visible = false;
      for (const auto& w : desktop.application().windows()) visible = visible || w.visible;
      velvix.delegate().applicationShouldHandleReopen(visible);
    });
    view->show();
  }

  // No Dock icon and no menu bar of its own until activated.
  desktop.workspace().setOwnActivationPolicy(platform::ActivationPolicy::Accessory);

  // Quitting (the application's own terminate path: closing the window, Ctrl-C, SIGTERM) ends
  // the Qt loop. Crash signals end the process after giving the system its Command-Tab back.
  velvix.onQuit = [] { QApplication::quit(); };
  loop.post([&velvix] { velvix.delegate().applicationDidFinishLaunching(); });
  const int status = QApplication::exec();
  running = nullptr;
  return status;
}

}  // namespace velvix
