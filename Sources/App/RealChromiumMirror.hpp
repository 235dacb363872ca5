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
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Observers.hpp"

namespace velvix {

struct Services;
struct ExtensionReport;
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

  RealChromiumMirror(Services& services, sim::SimDesktop& desktop);
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

  Services& services_;
  sim::SimDesktop& desktop_;
  platform::NotificationCenter::Observation statusObservation_;
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
