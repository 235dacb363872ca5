#pragma once
// The composition root: builds every long-lived service of the application over a main loop and
// a simulated desktop, fills the Services struct and creates the application delegate. The real
// program and the end-to-end scenarios build the application the same way through it.

#include <filesystem>
#include <functional>
#include <memory>

#include "App/AppDelegate.hpp"
#include "Core/Services.hpp"
#include "Platform/NotificationCenter.hpp"

namespace velvix {
namespace platform {
class BackgroundTimers;
class NotificationCenter;
class UserDefaults;
}  // namespace platform
namespace qt {
class SimDesktopPicture;
}
namespace sim {
class SimDesktop;
class SimMenuBar;
}

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

  // The application was asked to terminate (its menu, the system): the delegate's clean-up runs,
  // then `onQuit` ends the main loop. Runs once.
  void terminate();
  std::function<void()> onQuit;
  bool hasTerminated() const { return terminated_; }

  // Where the settings file of a home folder lives.
  static std::filesystem::path settingsFile(const std::filesystem::path& home);

 private:
  struct Parts;
  Services services_;
  std::unique_ptr<Parts> parts_;
  std::unique_ptr<AppDelegate> delegate_;
  bool terminated_ = false;
  platform::NotificationCenter::Observation becameActive_;
  platform::NotificationCenter::Observation resignedActive_;
  bool leftOnce_ = false;
};

}  // namespace velvix
