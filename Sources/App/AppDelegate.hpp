#pragma once
// The object the application framework calls at launch, reopen, activation and termination. It
// owns the long-lived pieces of the switcher core (the status item, the chord session and the
// event tap) and brings every service up in a fixed order. Main thread only.

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "App/MainMenu.hpp"
#include "Core/Services.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Observers.hpp"
#include "UI/StatusItemController.hpp"

namespace velvix {

class EventTap;
class SwitcherController;

class AppDelegate {
 public:
  // Options of the process activity held for the whole run: user initiated (idle system sleep
  // allowed) and latency critical, so timers are not coalesced and the process never naps.
  static constexpr std::uint64_t kNoNapActivityOptions = 0xFF00EFFFFFull;
  static constexpr const char* kNoNapReason = "The keyboard event tap must answer immediately";
  // How long the launch waits for older copies to quit, and the slices it spins the loop in.
  static constexpr double kOtherInstancesDeadline = 2.0;
  static constexpr double kOtherInstancesPollSlice = 0.05;
  static constexpr double kTapRetryInterval = 3.0;

  explicit AppDelegate(Services& services);
  ~AppDelegate();

  void applicationDidFinishLaunching();
  // Answers whether the application may terminate now (always: after the clean-up).
  bool applicationShouldTerminate();
  void applicationWillTerminate();
  bool applicationShouldHandleReopen(bool hasVisibleWindows);
  void applicationDidBecomeActive();

  // Menu actions.
  void openSettingsMenuItem();
  void openOnboardingMenuItem();
  void checkForUpdatesMenuItem();

  StatusItemController& statusItem() { return statusItem_; }
  MainMenu& mainMenu() { return mainMenu_; }
  SwitcherController* switcher() { return switcher_.get(); }
  EventTap* eventTap() { return eventTap_.get(); }
  bool isTapRetrying() const { return tapRetryTimer_.isValid(); }

 private:
  bool terminateOtherInstances();
  void startTapWhenPermitted();
  void observeBrowserLaunches();
  void seedBrowsersOverAppleEvents();
  void showOnboarding();
  // The main menu's window commands, for whichever of the program's windows is key.
  bool performWindowCommand(const std::string& selector);

  Services& services_;
  StatusItemController statusItem_;
  MainMenu mainMenu_;
  std::unique_ptr<SwitcherController> switcher_;
  std::unique_ptr<EventTap> eventTap_;
  platform::Timer tapRetryTimer_;
  std::unique_ptr<platform::ActivityToken> noNapActivity_;
  Subscription preferencesWatch_;
  bool debugLoggingWasOn_ = false;
  platform::NotificationCenter::Observation browserLaunches_;

  std::set<std::string> reinstalledForBrowsers_;
  bool quitting_ = false;
  bool tookOver_ = false;  // no other copy stands in the way: this run owns what it holds
  AliveToken alive_;
};

}  // namespace velvix
