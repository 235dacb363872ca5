#pragma once
// The running applications of the desktop and this process's own place among them: lookup by
// bundle identifier and process id, force termination, the activation policy, process activity.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/RGBAImage.hpp"

namespace velvix::platform {

class NotificationCenter;

using Pid = std::int32_t;

// Notifications of the workspace's own notification centre; their user info carries "pid" and,
// when the application has one, "bundleID".
namespace WorkspaceNotification {
inline constexpr const char* kDidLaunchApplication = "WorkspaceDidLaunchApplication";
inline constexpr const char* kDidActivateApplication = "WorkspaceDidActivateApplication";
inline constexpr const char* kDidDeactivateApplication = "WorkspaceDidDeactivateApplication";
inline constexpr const char* kDidTerminateApplication = "WorkspaceDidTerminateApplication";
// The sleep, wake and session notifications carry the system's own names, which the health log
// repeats.
inline constexpr const char* kWillSleep = "NSWorkspaceWillSleepNotification";
inline constexpr const char* kDidWake = "NSWorkspaceDidWakeNotification";
inline constexpr const char* kScreensDidWake = "NSWorkspaceScreensDidWakeNotification";
inline constexpr const char* kSessionDidBecomeActive = "NSWorkspaceSessionDidBecomeActiveNotification";
// Posted on the system's distributed centre; the workspace's centre carries them here.
inline constexpr const char* kScreenIsLocked = "com.apple.screenIsLocked";
inline constexpr const char* kScreenIsUnlocked = "com.apple.screenIsUnlocked";
}  // namespace WorkspaceNotification

enum class ActivationPolicy { Regular, Accessory, Prohibited };

// A snapshot of one running application, taken when it was asked for.
struct RunningApplication {
  Pid pid = 0;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> localizedName;
  std::optional<std::string> bundlePath;
  ActivationPolicy activationPolicy = ActivationPolicy::Regular;
  bool isTerminated = false;
  bool isFinishedLaunching = true;
  bool isHidden = false;
};

// Held while a process activity (no app nap, latency-critical) is in force.
class ActivityToken {
 public:
  virtual ~ActivityToken() = default;
};

class Workspace {
 public:
  virtual ~Workspace() = default;

  virtual std::vector<RunningApplication> runningApplications() const = 0;
  virtual std::vector<RunningApplication> runningApplications(const std::string& bundleID) const = 0;
  virtual std::optional<RunningApplication> application(Pid pid) const = 0;
  // Asks the application to quit at once; true when the request was delivered.
  virtual bool forceTerminate(Pid pid) = 0;
  // Live state: true once the process has exited (or was never known).
  virtual bool isTerminated(Pid pid) const = 0;

  virtual std::optional<RunningApplication> frontmostApplication() const = 0;
  // Brings the application forward (its front window first); false when it cannot be activated.
  virtual bool activate(Pid pid) = 0;
  virtual bool isActive(Pid pid) const = 0;
  // Where the applications with this bundle identifier are installed, best first.
  virtual std::vector<std::string> applicationPaths(const std::string& bundleID) const = 0;
  // Opens the application at `path`; the completion gets the running application, or nothing
  // when it could not be opened. Called on the main loop.
  virtual void openApplication(const std::string& path, bool activates,
                               std::function<void(std::optional<RunningApplication>)> completion) = 0;
  // Opens a URL with its handler (System Settings panes); false for an invalid URL.
  virtual bool openURL(const std::string& url) = 0;
  // Shows the file manager with exactly these files or folders selected.
  virtual void activateFileViewerSelecting(const std::vector<std::string>& paths) {}
  virtual NotificationCenter& notificationCenter() = 0;
  // Icons as the file manager shows them: of the file or bundle at a path, of a running
  // application, and the generic application icon.
  virtual RGBAImage iconForFile(const std::string& path) const = 0;
  virtual RGBAImage applicationIcon(Pid pid) const = 0;
  virtual RGBAImage genericApplicationIcon() const = 0;
  // The operating system's version, as the state line shows it.
  virtual std::string operatingSystemVersion() const = 0;

  // This process: its bundle identifier (empty when the bundle has none) and pid.
  virtual std::string ownBundleIdentifier() const = 0;
  virtual Pid ownPid() const = 0;
  virtual void setOwnActivationPolicy(ActivationPolicy policy) = 0;
  virtual std::unique_ptr<ActivityToken> beginActivity(std::uint64_t options, const std::string& reason) = 0;
};

}  // namespace velvix::platform
