#pragma once
// The simulated desktop's stand-in for a real chromium on this machine: while a chromium process
// whose relay has connected to the socket runs, the desktop has a running application "Chromium"
// with one window per window its extension reports (titled by that window's active tab), so its
// tabs are switched to, closed and moved like any browser's. Gone when the last such process
// quits, and with it its tabs. A desktop that already has a Chromium of its own keeps it and gets
// no stand-in. Main thread only.

#include <map>
#include <optional>
#include <set>
#include <string>

#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/ScreenPlacement.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Observers.hpp"

namespace velvix {

class BrowserBridge;
class DebugLog;
class MRUManager;
class RunningApps;
struct ExtensionReport;
namespace platform {
class ProcessTable;
}
namespace sim {
class SimDesktop;
}

class RealChromiumMirror {
 public:
  static constexpr const char* kBundleID = "org.chromium.Chromium";
  static constexpr const char* kName = "Chromium";
  // How often a running stand-in checks that its chromium processes still run.
  static constexpr double kLivenessCheck = 1.0;

  // Where Debian's chromium is installed, the desktop has Chromium installed too, so the host
  // manifest is written into its user-data folder before it first runs. True when it is.
  static bool installWhereChromiumIs(sim::SimDesktop& desktop,
                                     const std::string& program = "/usr/lib/chromium/chromium");

  struct Collaborators {
    sim::SimDesktop& desktop;  // where the stand-in runs
    platform::NotificationCenter& notifications;
    BrowserBridge& browserBridge;
    MRUManager& mru;
    RunningApps& runningApps;
    platform::ProcessTable& processes;  // the socket's peers, real processes among them
    platform::MainLoop& loop;
    DebugLog& log;
    // The window onto the desktop once it exists: it keeps the keyboard when chromium is told to
    // show a tab.
    platform::ScreenPlacement* const& placement;
  };
  // How long after the stand-in was activated chromium's taking of the keyboard is undone.
  static constexpr double kKeyboardKeptFor = 5.0;

  explicit RealChromiumMirror(Collaborators collaborators);
  RealChromiumMirror(const RealChromiumMirror&) = delete;
  RealChromiumMirror& operator=(const RealChromiumMirror&) = delete;

  // The stand-in application's process id while it runs.
  std::optional<platform::Pid> standIn() const { return standIn_; }

 private:
  void noteActiveTabs(const ExtensionReport& report);
  void scheduleReconcile();
  void reconcile();
  void noteConnectedBrowsers();
  void syncWindows();
  void dropStandIn();

  sim::SimDesktop& desktop_;
  BrowserBridge& browserBridge_;
  MRUManager& mru_;
  RunningApps& runningApps_;
  platform::ProcessTable& processes_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  platform::ScreenPlacement* const& placement_;
  platform::NotificationCenter::Observation statusObservation_;
  platform::NotificationCenter::Observation activationObservation_;
  Subscription reportSubscription_;
  platform::Timer livenessTimer_;
  bool reconcilePosted_ = false;
  std::set<platform::Pid> browsers_;  // the real chromium processes whose relays connected
  std::optional<platform::Pid> standIn_;
  std::map<std::string, std::int64_t> windows_;     // the extension's window id to the window number
  std::map<std::string, std::int64_t> activeTabs_;  // the extension's window id to its active tab id
  std::optional<std::string> frontWindowID_;
  AliveToken alive_;
};

}  // namespace velvix
