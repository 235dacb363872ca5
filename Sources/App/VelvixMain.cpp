#include "App/VelvixMain.hpp"

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include "App/VelvixApp.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "Platform/Qt/QtMainLoop.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix {
namespace {

int quitPipe[2] = {-1, -1};

// Only async-signal-safe work here: the loop picks the byte up and quits normally.
void requestQuit(int) {
  const char byte = 'q';
  [[maybe_unused]] auto ignored = ::write(quitPipe[1], &byte, 1);
}

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
  sim::SimDesktop desktop(loop);
  sim::SampleDesktop::populate(desktop);
  VelvixApp velvix(desktop, {.home = homeFolder()});

  // No Dock icon and no menu bar of its own until activated.
  desktop.workspace().setOwnActivationPolicy(platform::ActivationPolicy::Accessory);

  // Interrupt and terminate end the run through the normal quit path.
  if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [] { QApplication::quit(); });
    std::signal(SIGINT, requestQuit);
    std::signal(SIGTERM, requestQuit);
  }

  loop.post([&velvix] { velvix.delegate().applicationDidFinishLaunching(); });
  const int status = QApplication::exec();
  velvix.delegate().applicationWillTerminate();
  return status;
}

}  // namespace velvix
