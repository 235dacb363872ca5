#include "Platform/Simulated/SimWorkspace.hpp"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimSystemSettings.hpp"

namespace velvix::sim {

using platform::Pid;
using platform::RunningApplication;

namespace {

RunningApplication snapshot(const SimApp& app) {
  RunningApplication info;
  info.pid = app.pid;
  info.bundleIdentifier = app.bundleID;
  info.localizedName = app.name;
  info.bundlePath = app.bundlePath;
  info.activationPolicy = app.activationPolicy;
  info.isTerminated = app.terminated;
  info.isFinishedLaunching = app.finishedLaunching;
  info.isHidden = app.hidden;
  return info;
}

class SimActivity final : public platform::ActivityToken {
 public:
  SimActivity(std::shared_ptr<std::vector<std::string>> list, std::string reason)
      : list_(std::move(list)), reason_(std::move(reason)) {
    list_->push_back(reason_);
  }
  ~SimActivity() override {
    if (auto it = std::find(list_->begin(), list_->end(), reason_); it != list_->end()) list_->erase(it);
  }

 private:
  std::shared_ptr<std::vector<std::string>> list_;
  std::string reason_;
};

}  // namespace

std::vector<RunningApplication> SimWorkspace::runningApplications() const {
  std::vector<RunningApplication> result;
  for (const SimApp* app : desktop_.apps()) result.push_back(snapshot(*app));
  return result;
}

std::vector<RunningApplication> SimWorkspace::runningApplications(const std::string& bundleID) const {
  std::vector<RunningApplication> result;
  for (const SimApp* app : desktop_.apps(bundleID)) result.push_back(snapshot(*app));
  return result;
}

std::optional<RunningApplication> SimWorkspace::application(Pid pid) const {
  const SimApp* app = std::as_const(desktop_).app(pid);
  if (!app || app->terminated) return std::nullopt;
  return snapshot(*app);
}

bool SimWorkspace::forceTerminate(Pid pid) {
  SimApp* app = desktop_.app(pid);
  if (!app || app->terminated) return false;
  if (app->ignoresTermination) return true;  // the request arrives; the process does not quit
  desktop_.pendingQuits_.push_back(desktop_.loop_.after(
      app->quitDelay, [this, pid] { desktop_.terminate(pid); }, platform::TimerMode::Common));
  return true;
}

bool SimWorkspace::isTerminated(Pid pid) const {
  const SimApp* app = std::as_const(desktop_).app(pid);
  return !app || app->terminated;
}

std::optional<RunningApplication> SimWorkspace::frontmostApplication() const {
  auto pid = desktop_.frontmostPid();
  return pid ? application(*pid) : std::nullopt;
}

bool SimWorkspace::activate(Pid pid) {
  const SimApp* app = std::as_const(desktop_).app(pid);
  if (!app || app->terminated || desktop_.refusesActivation.contains(pid)) return false;
  desktop_.activate(pid);
  return true;
}

bool SimWorkspace::isActive(Pid pid) const {
  return desktop_.frontmostPid() == pid;
}

std::vector<std::string> SimWorkspace::applicationPaths(const std::string& bundleID) const {
  std::vector<std::string> paths;
  for (const InstalledApp& app : desktop_.installed())
    if (app.bundleID == bundleID) paths.push_back(app.path);
  return paths;
}

void SimWorkspace::openApplication(const std::string& path, bool activates,
                                   std::function<void(std::optional<RunningApplication>)> completion) {
  auto pid = desktop_.open(path, activates);
  std::optional<RunningApplication> opened = pid ? application(*pid) : std::nullopt;
  desktop_.loop_.post([completion = std::move(completion), opened] { completion(opened); });
}

void SimWorkspace::activateFileViewerSelecting(const std::vector<std::string>& paths) {
  desktop_.revealedInFileViewer.push_back(paths);
}

bool SimWorkspace::openURL(const std::string& url) {
  if (url.empty() || url.find(':') == std::string::npos || url.find(' ') != std::string::npos) return false;
  desktop_.openedURLs.push_back(url);
  // The system's settings open at the pane the address names.
  if (url.starts_with(SimSystemSettings::kAddressPrefix)) SimSystemSettings::open(desktop_, url);
  return true;
}

// An application bundle's icon is drawn by the desktop's icon art from its name; without it, and
// for other files, icons are flat squares in a colour of their path, so tests can tell them apart.
RGBAImage SimWorkspace::iconForFile(const std::string& path) const {
  if (desktop_.iconArt && path.ends_with(".app")) {
    std::lock_guard lock(iconsMutex_);
    auto found = icons_.find(path);
    if (found == icons_.end()) {
      const auto ordinal = static_cast<int>(icons_.size());
      found =
          icons_.emplace(path, desktop_.iconArt(std::filesystem::path(path).stem().string(), ordinal)).first;
    }
    if (!found->second.isNull()) return found->second;
  }
  const auto hash = static_cast<std::uint32_t>(std::hash<std::string>{}(path));
  return RGBAImage::filled(
      64, 64,
      {static_cast<std::uint8_t>(40 + (hash & 0x9F)), static_cast<std::uint8_t>(40 + ((hash >> 8) & 0x9F)),
       static_cast<std::uint8_t>(40 + ((hash >> 16) & 0x9F)), 255},
      2.0);
}

RGBAImage SimWorkspace::applicationIcon(Pid pid) const {
  const SimApp* app = std::as_const(desktop_).app(pid);
  return app && app->bundlePath ? iconForFile(*app->bundlePath) : genericApplicationIcon();
}

RGBAImage SimWorkspace::genericApplicationIcon() const {
  return RGBAImage::filled(64, 64, {128, 128, 128, 255}, 2.0);
}

platform::NotificationCenter& SimWorkspace::notificationCenter() {
  return desktop_.workspaceNotifications();
}

std::string SimWorkspace::ownBundleIdentifier() const {
  const SimApp* self = std::as_const(desktop_).app(desktop_.selfPid_);
  return self && self->bundleID ? *self->bundleID : std::string();
}

Pid SimWorkspace::ownPid() const {
  return desktop_.selfPid_;
}

void SimWorkspace::setOwnActivationPolicy(platform::ActivationPolicy policy) {
  if (SimApp* self = desktop_.app(desktop_.selfPid_)) self->activationPolicy = policy;
}

std::unique_ptr<platform::ActivityToken> SimWorkspace::beginActivity(std::uint64_t,
                                                                     const std::string& reason) {
  return std::make_unique<SimActivity>(desktop_.activities_, reason);
}

}  // namespace velvix::sim
