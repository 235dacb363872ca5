#include "Support/PermissionsService.hpp"

#include "Platform/Application.hpp"
#include "Platform/Launcher.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/UserDefaults.hpp"
#include "Platform/Workspace.hpp"
#include "Support/ProcessLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

using platform::Privacy;

PermissionsService::PermissionsService(platform::Privacy& privacy, platform::UserDefaults& defaults,
                                       platform::Application& application, platform::Workspace& workspace,
                                       RunningApps& runningApps, platform::Launcher& launcher,
                                       platform::MainLoop& loop)
    : privacy_(privacy),
      defaults_(defaults),
      application_(application),
      workspace_(workspace),
      runningApps_(runningApps),
      launcher_(launcher),
      loop_(loop) {}

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
  Privacy& privacy = privacy_;
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
    const bool neverPrompted = permission == Permission::inputMonitoring
                                   ? privacy_.listenEventAccess() == platform::ListenEventAccess::undetermined
                                   : !defaults_.boolean(key);
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
  defaults_.set(key, true);
  switch (permission) {
    case Permission::accessibility:
      privacy_.accessibilityTrusted(true);
      break;
    case Permission::inputMonitoring:
      privacy_.requestListenEvent();
      break;
    case Permission::screenRecording:
      privacy_.requestScreenCapture();
      break;
  }
  application_.deactivate();  // let the system's prompt have the focus
}

void PermissionsService::openSystemSettings(const std::string& paneName) {
  workspace_.openURL(kPanePrefix + paneName);
}

bool PermissionsService::isRunning(Browser browser) const {
  return runningApps_.first(std::string(browsers::bundleID(browser))).has_value();
}

std::int32_t PermissionsService::automationStatus(Browser browser) {
  if (!isRunning(browser)) return Privacy::kAutomationNotRunning;
  auto it = automationCache_.find(browser);
  if (it == automationCache_.end() || loop_.uptime() - it->second.at > kAutomationStaleAfter)
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
  privacy_.queryAutomation(std::string(browsers::bundleID(browser)), false,
                           [this, browser, watch = alive_.watch(), loop = &loop_](std::int32_t status) {
                             loop->post([this, browser, status, watch] {
                               if (watch.expired()) return;
                               automationChecking_.erase(browser);
                               automationCache_[browser] = {status, loop_.uptime()};
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
  privacy_.queryAutomation(std::string(browsers::bundleID(browser)), true,
                           [this, watch = alive_.watch(), loop = &loop_](std::int32_t) {
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
  auto paths = workspace_.applicationPaths(std::string(browsers::bundleID(browser)));
  if (paths.empty()) return;  // not installed
  workspace_.openApplication(
      paths.front(), true,
      [this, browser, watch = alive_.watch()](std::optional<platform::RunningApplication> app) {
        if (watch.expired() || !app) return;
        waitUntilRunning(browser, loop_.uptime() + kLaunchWaitDeadline, [this, browser](bool launched) {
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
    for (const auto& app : workspace_.runningApplications(bundleID))
      if (app.isFinishedLaunching) {
        completion(true);
        return true;
      }
    if (loop_.uptime() >= deadline) {
      completion(false);
      return true;
    }
    return false;
  };
  if (check()) return;
  const int id = nextLaunchWait_++;
  launchWaits_[id] = loop_.every(kLaunchPollInterval, [this, check, id]() mutable {
    if (check()) launchWaits_.erase(id);
  });
}

void PermissionsService::relaunchApp() {
  const platform::Workspace& workspace = workspace_;
  auto self = workspace.application(workspace.ownPid());
  const std::string bundlePath = self && self->bundlePath ? *self->bundlePath : std::string();
  // The path travels as the shell's positional argument "$1", never inside the script text, so
  // quotes, dollars, back-quotes and backslashes in it are only ever data.
  const std::string script = "while /bin/kill -0 " + std::to_string(workspace.ownPid()) +
                             " 2>/dev/null; do /bin/sleep 0.2; done\n" + launcher_.openApplicationCommand() +
                             " \"$1\"";
  if (auto error = launcher_.spawn("/bin/sh", {"-c", script, "sh", bundlePath})) {
    processLog("Relaunch failed to spawn: " + *error);
    return;
  }
  application_.terminate();
}

}  // namespace velvix
