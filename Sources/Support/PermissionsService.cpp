#include "Support/PermissionsService.hpp"

#include "Core/Services.hpp"
#include "Platform/Application.hpp"
#include "Platform/Launcher.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/UserDefaults.hpp"
#include "Platform/Workspace.hpp"
#include "Support/ProcessLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

using platform::Privacy;

PermissionsService::PermissionsService(Services& services) : services_(services) {}

std::string PermissionsService::id(Permission permission) {
  switch (permission) {
    case Permission::accessibility:
      return "accessibility";
    case Permission::inputMonitoring:
      return "inputMonitoring";
    case Permission::screenRecording:
      return "screenRecording";
  }
  return {};
}

std::string PermissionsService::pane(Permission permission) {
  switch (permission) {
    case Permission::accessibility:
      return "Privacy_Accessibility";
    case Permission::inputMonitoring:
      return "Privacy_ListenEvent";
    case Permission::screenRecording:
      return "Privacy_ScreenCapture";
  }
  return {};
}

bool PermissionsService::isGranted(Permission permission) const {
  Privacy& privacy = *services_.privacy;
  switch (permission) {
    case Permission::accessibility:
      return privacy.accessibilityTrusted(false);
    case Permission::inputMonitoring:
      return privacy.listenEventPreflight();
    case Permission::screenRecording:
      return privacy.screenCapturePreflight();
  }
  return false;
}

// The system shows its prompt only once per permission; after that the only way to grant it is
// the pane in System Settings. So: the prompt the first time, the pane ever after.
void PermissionsService::request(Permission permission) {
  const std::string key = "prompted_" + id(permission);
  if (!isGranted(permission)) {
    const bool neverPrompted =
        permission == Permission::inputMonitoring
            ? services_.privacy->listenEventAccess() == platform::ListenEventAccess::undetermined
            : !services_.defaults->boolean(key);
    if (!neverPrompted) {
      openSystemSettings(pane(permission));
      return;
    }
  }
  if (alreadyRequested_.contains(permission)) {
    openSystemSettings(pane(permission));
    return;
  }
  alreadyRequested_.insert(permission);
  services_.defaults->set(key, true);
  switch (permission) {
    case Permission::accessibility:
      services_.privacy->accessibilityTrusted(true);
      break;
    case Permission::inputMonitoring:
      services_.privacy->requestListenEvent();
      break;
    case Permission::screenRecording:
      services_.privacy->requestScreenCapture();
      break;
  }
  services_.application->deactivate();  // let the system's prompt have the focus
}

void PermissionsService::openSystemSettings(const std::string& paneName) {
  services_.workspace->openURL(kPanePrefix + paneName);
}

bool PermissionsService::isRunning(Browser browser) const {
  return services_.runningApps->first(std::string(browsers::bundleID(browser))).has_value();
}

std::int32_t PermissionsService::automationStatus(Browser browser) {
  if (!isRunning(browser)) return Privacy::kAutomationNotRunning;
  auto it = automationCache_.find(browser);
  if (it == automationCache_.end() || services_.loop->uptime() - it->second.at > kAutomationStaleAfter)
    refreshAutomationStatus(browser);
  it = automationCache_.find(browser);  // a stale entry is still the best answer we have
  return it != automationCache_.end() ? it->second.status : Privacy::kAutomationNotRunning;
}

std::optional<PermissionsService::AutomationEntry> PermissionsService::automationCacheEntry(
    Browser browser) const {
  auto it = automationCache_.find(browser);
  if (it == automationCache_.end()) return std::nullopt;
  return it->second;
}

void PermissionsService::refreshAutomationStatus(Browser browser,
                                                 std::function<void(std::int32_t)> completion) {
  if (completion) automationWaiters_[browser].push_back(std::move(completion));
  if (automationChecking_.contains(browser)) return;  // the check in flight serves this waiter too
  startCheck(browser);
}

void PermissionsService::startCheck(Browser browser) {
  automationChecking_.insert(browser);
  services_.privacy->queryAutomation(
      std::string(browsers::bundleID(browser)), false,
      [this, browser, watch = alive_.watch(), loop = services_.loop](std::int32_t status) {
        loop->post([this, browser, status, watch] {
          if (watch.expired()) return;
          automationChecking_.erase(browser);
          automationCache_[browser] = {status, services_.loop->uptime()};
          auto waiters = std::move(automationWaiters_[browser]);
          automationWaiters_.erase(browser);
          for (auto& waiter : waiters) waiter(status);
        });
      });
}

void PermissionsService::invalidateAutomationCache() {
  automationCache_.clear();
  for (Browser b : browsers::all())
    if (isRunning(b) && !automationChecking_.contains(b)) startCheck(b);
}

void PermissionsService::sendAutomationProbe(Browser browser) {
  services_.privacy->queryAutomation(std::string(browsers::bundleID(browser)), true,
                                     [this, watch = alive_.watch(), loop = services_.loop](std::int32_t) {
                                       loop->post([this, watch] {
                                         if (!watch.expired()) invalidateAutomationCache();
                                       });
                                     });
}

void PermissionsService::requestAutomation(Browser browser) {
  if (isRunning(browser)) {
    sendAutomationProbe(browser);
    return;
  }
  auto paths = services_.workspace->applicationPaths(std::string(browsers::bundleID(browser)));
  if (paths.empty()) return;  // not installed
  services_.workspace->openApplication(
      paths.front(), true,
      [this, browser, watch = alive_.watch()](std::optional<platform::RunningApplication> app) {
        if (watch.expired() || !app) return;
        waitUntilRunning(browser, services_.loop->uptime() + kLaunchWaitDeadline,
                         [this, browser](bool launched) {
                           if (launched) sendAutomationProbe(browser);
                         });
      });
}

// Polls every 0.3 s until an instance of the browser reports that it finished launching, or the
// deadline passes. Runs on the main loop's timers rather than a sleeping thread.
void PermissionsService::waitUntilRunning(Browser browser, double deadline,
                                          std::function<void(bool)> completion) {
  const std::string bundleID(browsers::bundleID(browser));
  auto check = [this, bundleID, deadline, completion = std::move(completion)]() -> bool {
    for (const auto& app : services_.workspace->runningApplications(bundleID))
      if (app.isFinishedLaunching) {
        completion(true);
        return true;
      }
    if (services_.loop->uptime() >= deadline) {
      completion(false);
      return true;
    }
    return false;
  };
  if (check()) return;
  const int id = nextLaunchWait_++;
  launchWaits_[id] = services_.loop->every(kLaunchPollInterval, [this, check, id]() mutable {
    if (check()) launchWaits_.erase(id);
  });
}

void PermissionsService::relaunchApp() {
  const platform::Workspace& workspace = *services_.workspace;
  auto self = workspace.application(workspace.ownPid());
  const std::string bundlePath = self && self->bundlePath ? *self->bundlePath : std::string();
  // The path travels as the shell's positional argument "$1", never inside the script text, so
  // quotes, dollars, back-quotes and backslashes in it are only ever data.
  const std::string script = "while /bin/kill -0 " + std::to_string(workspace.ownPid()) +
                             " 2>/dev/null; do /bin/sleep 0.2; done\n" +
                             services_.launcher->openApplicationCommand() + " \"$1\"";
  if (auto error = services_.launcher->spawn("/bin/sh", {"-c", script, "sh", bundlePath})) {
    processLog("Relaunch failed to spawn: " + *error);
    return;
  }
  services_.application->terminate();
}

}  // namespace velvix
