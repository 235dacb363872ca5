#pragma once
// The composition root: builds every long-lived service of the application over a main loop and
// a simulated desktop, fills the Services struct and creates the application delegate. The real
// program, the end-to-end scenarios and every test world are built through it alone; the options
// say which platform parts a test puts in place of the program's.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "App/AppDelegate.hpp"
#include "Core/Services.hpp"
#include "Platform/Application.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Workspace.hpp"
#include "Support/ConsentQuestion.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"

namespace velvix {
class DockPreviewPanel;
class WindowPeekPanel;
namespace platform {
class BackgroundTimers;
class HttpClient;
class ImageDecoder;
class Launcher;
class MessagePorts;
class NotificationCenter;
class ProcessTable;
class Quarantine;
class UserDefaults;
class BundleReader;
class WindowServer;
class Accessibility;
class Workspace;
}  // namespace platform
namespace qt {
class SimDesktopPicture;
}
namespace sim {
class SimApplication;
class SimDesktop;
class SimMenuBar;
class SimUpdater;
}  // namespace sim

struct VelvixAppOptions {
  std::filesystem::path home;
  // What a test world puts in place of the program's own parts; left empty, the program's are
  // built: settings in a JSON file under the home folder, site icons of the simulated pages from
  // the simulation and of real pages from the web, Qt's image decoders, real threads for the
  // background timers, a real socket for the Safari handler's port, the file system's quarantine
  // marks, and the simulation's process table with this machine's real processes beside it.
  platform::UserDefaults* settings = nullptr;
  platform::HttpClient* http = nullptr;
  platform::ImageDecoder* imageDecoder = nullptr;
  platform::BackgroundTimers* backgroundTimers = nullptr;
  platform::MessagePorts* messagePorts = nullptr;
  platform::Quarantine* quarantine = nullptr;
  platform::ProcessTable* processes = nullptr;
  // The simulated desktop's window server, Accessibility and workspace, or stand-ins wrapped
  // around them (the benchmarks time the simulation's answers apart from the program's work).
  platform::WindowServer* windowServer = nullptr;
  platform::Accessibility* accessibility = nullptr;
  platform::Workspace* workspace = nullptr;
  // The bundles' files: a scenario with real programs reads real bundles.
  platform::BundleReader* bundles = nullptr;
  // Where the resources the application carries (the relay program) are; empty: beside the program.
  std::filesystem::path resources;
  // The real program keeps one copy per home folder through a lock file in the support folder.
  bool singleInstanceLock = false;
  // The real program starts itself again for real (the simulated desktop's launcher records what
  // it was asked to start), and is known on the simulated desktop by its real process id, which
  // the relaunch waits on.
  platform::Launcher* launcher = nullptr;
  std::optional<platform::Pid> selfPid;
  // Scenarios may let the simulated desktop's processes stand for the socket's peers (the test
  // program playing a browser's relay); the program asks the kernel alone who connected.
  bool simulatedSocketPeers = false;
  // Screen captures show the windows as the desktop's window draws them; a test world may keep
  // the simulation's own flat pictures, which its checks of captured pixels are written against.
  bool paintWindows = true;
  // Runs once everything is built, just before the launch: a scenario shapes its services here.
  std::function<void(Services&)> beforeLaunch;
};

class VelvixApp {
 public:
  VelvixApp(sim::SimDesktop& desktop, VelvixAppOptions options);
  ~VelvixApp();

  // Runs the options' `beforeLaunch`, then the delegate's launch sequence.
  void launch();

  Services& services() { return services_; }
  AppDelegate& delegate() { return *delegate_; }
  // The simulated menu bar the main menu and the status item are shown in.
  sim::SimMenuBar& menuBar();
  // The stand-in for the update framework Linux lacks.
  sim::SimUpdater& updaterFramework();
  // What glass panels blur: the window onto the desktop hands it each screen it draws.
  const qt::SimDesktopPicture& desktopPicture() const;
  // The Dock controller's two panels as drawn, for the render tools and the tests that look at them.
  const DockPreviewPanel& dockCards() const;
  const WindowPeekPanel& windowPeek() const;

  // The application was asked to terminate (its menu, the system, a signal): the delegate's
  // clean-up runs, then `onQuit` ends the main loop. Runs once: a request while the clean-up is
  // still under way joins the quit in progress, and one the system initiated (a reason other than
  // `user`) answers a question the clean-up is asking as a system quit.
  void terminate(platform::Application::QuitReason reason = platform::Application::QuitReason::user);
  std::function<void()> onQuit;
  bool hasTerminated() const { return terminated_; }

  // What the program's terminal and editor installers are built from, their consent questions
  // taking turns among `turns`: a test may build a run of its own beside the world's.
  static TerminalIntegrationInstaller::Collaborators terminalIntegrationCollaborators(
      Services& services, ConsentQuestion::Turns& turns);
  static VSCodeKeybindingsInstaller::Collaborators vscodeKeybindingsCollaborators(
      Services& services, ConsentQuestion::Turns& turns);

  // Where the settings file of a home folder lives.
  static std::filesystem::path settingsFile(const std::filesystem::path& home);

 private:
  struct Parts;
  Services services_;
  std::unique_ptr<Parts> parts_;
  std::function<void(Services&)> beforeLaunch_;
  std::unique_ptr<AppDelegate> delegate_;
  sim::SimApplication& application_;
  bool terminated_ = false;
  bool asking_ = false;  // the delegate's quit clean-up is running (it may be asking the user)
  platform::NotificationCenter::Observation becameActive_;
  platform::NotificationCenter::Observation resignedActive_;
  bool leftOnce_ = false;
};

}  // namespace velvix
