#pragma once
// Asks the system for the privacy permissions the switcher depends on — Accessibility (windows
// and the event tap), Input Monitoring (keys), Screen Recording (thumbnails) — and caches the one
// that is asked per target: Automation, per browser, for the tab scripts. Also restarts the
// application on request. Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/MainLoop.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class RunningApps;
namespace platform {
class Application;
class Launcher;
class Privacy;
class UserDefaults;
class Workspace;
}  // namespace platform

class PermissionsService {
 public:
  enum class Permission { accessibility, inputMonitoring, screenRecording };

  // One cached Automation status and when it was taken (monotonic clock, seconds).
  struct AutomationEntry {
    std::int32_t status;
    double at;
  };

  static constexpr double kAutomationStaleAfter = 60.0;
  static constexpr double kLaunchWaitDeadline = 10.0;
  static constexpr double kLaunchPollInterval = 0.3;
  static constexpr const char* kPanePrefix = "x-apple.systempreferences:com.apple.preference.security?";

  // `privacy` answers and prompts; `defaults` remembers which prompts were shown; `workspace` opens
  // the panes and launches browsers, whose running state `runningApps` tells; `application` steps
  // aside for a prompt and quits for a relaunch, which `launcher` starts; `loop` times the waits.
  PermissionsService(platform::Privacy& privacy, platform::UserDefaults& defaults,
                     platform::Application& application, platform::Workspace& workspace,
                     RunningApps& runningApps, platform::Launcher& launcher, platform::MainLoop& loop);

  static std::string id(Permission permission);
  static std::string pane(Permission permission);
  bool isGranted(Permission permission) const;

  void requestAccessibility() { request(Permission::accessibility); }
  void requestInputMonitoring() { request(Permission::inputMonitoring); }
  void requestScreenRecording() { request(Permission::screenRecording); }

  // The cached status, never blocking; a stale or missing entry starts a check in the background.
  std::int32_t automationStatus(Browser browser);
  std::optional<AutomationEntry> automationCacheEntry(Browser browser) const;
  // Re-checks without prompting; every completion gets the new status on the main loop, in the
  // order they were given. Concurrent refreshes of one browser share one query.
  void refreshAutomationStatus(Browser browser, std::function<void(std::int32_t)> completion = {});
  // Has the system ask the user, launching the browser first when needed.
  void requestAutomation(Browser browser);

  // Opens the System Settings privacy pane of that name ("Privacy_ScreenCapture", ...).
  void openSystemSettings(const std::string& paneName);

  // Starts a shell that waits for this process to end and opens the application again, then quits.
  void relaunchApp();

 private:
  void request(Permission permission);
  void startCheck(Browser browser);
  void invalidateAutomationCache();
  void sendAutomationProbe(Browser browser);
  void waitUntilRunning(Browser browser, double deadline, std::function<void(bool)> completion);
  bool isRunning(Browser browser) const;

  platform::Privacy& privacy_;
  platform::UserDefaults& defaults_;
  platform::Application& application_;
  platform::Workspace& workspace_;
  RunningApps& runningApps_;
  platform::Launcher& launcher_;
  platform::MainLoop& loop_;
  std::set<Permission> alreadyRequested_;
  std::map<Browser, AutomationEntry> automationCache_;
  std::set<Browser> automationChecking_;
  std::map<Browser, std::vector<std::function<void(std::int32_t)>>> automationWaiters_;
  std::map<int, platform::Timer> launchWaits_;
  int nextLaunchWait_ = 0;
  AliveToken alive_;
};

}  // namespace velvix
