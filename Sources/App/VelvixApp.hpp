#pragma once
// The composition root: builds every long-lived service of the application over a main loop and
// a simulated desktop, fills the Services struct and creates the application delegate. The real
// program and the end-to-end scenarios build the application the same way through it.

#include <filesystem>
#include <functional>
#include <memory>

#include "App/AppDelegate.hpp"
#include "Core/Services.hpp"
#include "Platform/Application.hpp"
#include "Platform/NotificationCenter.hpp"

namespace velvix {
class DockPreviewPanel;
class WindowPeekPanel;
namespace platform {
class BackgroundTimers;
class NotificationCenter;
class UserDefaults;
}  // namespace platform
namespace qt {
class SimDesktopPicture;
}
namespace sim {
class SimApplication;
class SimDesktop;
class SimMenuBar;
}  // namespace sim

struct VelvixAppOptions {
  std::filesystem::path home;
  // The real program keeps its settings in a JSON file under the home folder; scenarios may keep
  // them in memory.
  bool persistentSettings = true;
  // Where the resources the application carries (the relay program) are; empty: beside the program.
  std::filesystem::path resources;
  // Background timers to use instead of real threads (scenarios run them on the virtual clock).
  platform::BackgroundTimers* backgroundTimers = nullptr;
  // The real program keeps one copy per home folder through a lock file in the support folder.
  bool singleInstanceLock = false;
  // Scenarios may let the simulated desktop's processes stand for the socket's peers (the test
  // program playing a browser's relay); the program asks the kernel alone who connected.
  bool simulatedSocketPeers = false;
};

class VelvixApp {
 public:
  VelvixApp(sim::SimDesktop& desktop, VelvixAppOptions options);
  ~VelvixApp();

  Services& services() { return services_; }
  AppDelegate& delegate() { return *delegate_; }
  // The simulated menu bar the main menu and the status item are shown in.
  sim::SimMenuBar& menuBar();
  // What glass panels blur: the window onto the desktop hands it each screen it draws.
  const qt::SimDesktopPicture& desktopPicture() const;
  // The Dock controller's two panels as drawn, for the render tools and the tests that look at them.
  const DockPreviewPanel& dockCards() const;
  const WindowPeekPanel& windowPeek() const;

  // The application was asked to terminate (its menu, the system, a signal): the delegate's
  // clean-up runs, then `onQuit` ends the main loop. Runs once: a request while the clean-up is
  // still asking the user joins the quit in progress. A reason other than `user` counts as a quit
  // the system initiated.
  void terminate(platform::Application::QuitReason reason = platform::Application::QuitReason::user);
  std::function<void()> onQuit;
  // True while a user-initiated quit's clean-up may be asking the user, false once it answered:
  // the quit-by-signal deadline must not cut that question short.
  std::function<void(bool)> onQuitAsking;
  bool hasTerminated() const { return terminated_; }

  // Where the settings file of a home folder lives.
  static std::filesystem::path settingsFile(const std::filesystem::path& home);

 private:
  struct Parts;
  Services services_;
  std::unique_ptr<Parts> parts_;
  std::unique_ptr<AppDelegate> delegate_;
  sim::SimApplication& application_;
  bool terminated_ = false;
  platform::NotificationCenter::Observation becameActive_;
  platform::NotificationCenter::Observation resignedActive_;
  bool leftOnce_ = false;
};

}  // namespace velvix
