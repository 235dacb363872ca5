#include "App/VelvixMain.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <vector>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QApplication>
#include <QGuiApplication>
#include <QShortcut>

#include "App/AboutPanel.hpp"
#include "App/AlertDialogs.hpp"
#include "App/CommandLine.hpp"
#include "App/QuitSignals.hpp"
#include "App/RealChromiumMirror.hpp"
#include "App/VelvixApp.hpp"
#include "Platform/Linux/ProgramRelauncher.hpp"
#include "Platform/Qt/QtMainLoop.hpp"
#include "Platform/Qt/SimDesktopPicture.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/ProcessLog.hpp"
#include "UI/ChromeSetupPresenter.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"

namespace velvix {
namespace {

// The home folder the relay uses too, so both find the same socket.
std::filesystem::path homeFolder() {
  std::string home = hostchannel::homeFolder();
  return home.empty() ? std::filesystem::current_path() : std::filesystem::path(home);
}

// While Qt opens the display, its complaints are held back: if the display cannot be opened Qt
// ends the program (an abort, after a page of advice about plug-ins); instead the person gets one
// line naming the display and exit status 1. Once it is open, what was held is said as usual.
class DisplayOpening {
 public:
  DisplayOpening() {
    current_ = this;
    previous_ = qInstallMessageHandler(&DisplayOpening::handle);
  }
  ~DisplayOpening() {
    qInstallMessageHandler(previous_);
    current_ = nullptr;
    for (const auto& m : held_) {
      if (previous_)
        previous_(m.type, QMessageLogContext(), m.text);
      else
        std::cerr << m.text.toStdString() << "\n";
    }
  }

 private:
  struct Held {
    QtMsgType type;
    QString text;
  };
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
      const char* display = std::getenv("DISPLAY");
      if (!display || !*display) display = std::getenv("WAYLAND_DISPLAY");
      std::cerr << CommandLine::displayUnreachable(display ? display : "") << std::flush;
      std::_Exit(1);
    }
    std::lock_guard lock(mutex_);
    if (current_) current_->held_.push_back({type, qFormatLogMessage(type, context, text)});
  }

  static inline DisplayOpening* current_ = nullptr;
  static inline std::mutex mutex_;
  QtMessageHandler previous_ = nullptr;
  std::vector<Held> held_;
};

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

}  // namespace

void VelvixMain::endEventLoop() {
  QCoreApplication::exit(0);
}

int VelvixMain::main(int argc, char** argv) {
  switch (CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc))) {
    case CommandLine::Request::Help:
      std::cout << CommandLine::usage();
      return 0;
    case CommandLine::Request::Version:
      std::cout << AppIdentity::nameAndVersion() << "\n";
      return 0;
    case CommandLine::Request::Misuse:
      std::cerr << CommandLine::usage();
      return 2;
    case CommandLine::Request::Run:
      break;
  }
  // "Restart Velvix" starts the program again as it was started: taken before anything below
  // changes the environment.
  auto relauncher = platform::ProgramRelauncher::forThisProcess(argc, argv, environ);
  // A write to a closed socket must not kill the process.
  std::signal(SIGPIPE, SIG_IGN);
#if defined(__GLIBC__)
  // Pictures (thumbnails, frames of a live preview, the frost's layers) come and go by the
  // megabyte. Blocks from 128 KiB up always get pages of their own, given back when freed; the
  // allocator would otherwise raise that bound after the first such block is freed and keep
  // later pictures in its heap, where freed pages stay with the process.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
  // Every thread that allocates (the toolkit's pool that scales and converts pictures, the serial
  // queues) would get a heap of its own, up to eight a core, each keeping what was freed in it:
  // two heaps keep the memory a chord used from piling up with every chord.
  mallopt(M_ARENA_MAX, 2);
#endif
  if (!hasDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  std::optional<DisplayOpening> opening(std::in_place);
  QApplication application(argc, argv);
  opening.reset();
  QApplication::setQuitOnLastWindowClosed(false);  // a menu-bar application has no main window
  qt::QtMainLoop loop;
  // Ctrl-C, SIGTERM and SIGHUP quit through the application's terminate path below; declared
  // first, so its deadline covers everything the quit tears down.
  VelvixApp* running = nullptr;
  // A quit by signal is the system's (a session's end): it asks nothing.
  QuitSignals quitSignals([&loop, &running] {
    loop.post([&running] {
      if (running) running->terminate(platform::Application::QuitReason::signal);
    });
  });
  sim::SimDesktop desktop(loop);
  std::string problem;
  sim::SampleDesktop::populate(desktop, &problem);
  if (!problem.empty()) processLog(problem);
  RealChromiumMirror::installWhereChromiumIs(desktop);
  VelvixApp velvix(desktop, {.home = homeFolder(),
                             .singleInstanceLock = true,
                             .launcher = &relauncher,
                             .selfPid = static_cast<platform::Pid>(::getpid())});
  running = &velvix;

  // With a display, a window shows the simulated desktop and takes its keyboard and mouse; the
  // program's panels appear over it.
  std::unique_ptr<qt::SimDesktopView> view;
  const QString platform = QGuiApplication::platformName();
  if (platform == "offscreen" || platform == "minimal") {
    std::cerr << CommandLine::runningWithoutWindow(static_cast<long>(::getpid())) << std::flush;
  } else {
    view = std::make_unique<qt::SimDesktopView>(desktop);
    velvix.services().placement = view.get();
    view->onClose = [&velvix] { velvix.terminate(); };
    view->menuBar = &velvix.menuBar();
    view->picture = &velvix.desktopPicture();
    AboutPanel::attach(desktop.application(), view.get(), loop);
    // The main menu's editing commands go to the text field that has the keyboard focus.
    velvix.delegate().mainMenu().editResponder = &qt::SimScreenLayer::performEditCommand;
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

  // Quitting (the application's own terminate path: closing the window, Ctrl-C, SIGTERM, SIGHUP) ends
  // the Qt loop, and nothing queued runs after it. Not QApplication::quit(): that first asks every
  // window to close, and one that refuses would cancel the quit. Crash signals end the process
  // after giving the system its Command-Tab back.
  velvix.onQuit = [&loop] {
    loop.stopDelivering();
    VelvixMain::endEventLoop();
  };
  loop.post([&velvix] { velvix.launch(); });
  const int status = QApplication::exec();
  running = nullptr;
  return status;
}

}  // namespace velvix
