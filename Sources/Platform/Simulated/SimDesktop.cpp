#include "Platform/Simulated/SimDesktop.hpp"

#include "Platform/FileURL.hpp"
#include "Platform/Simulated/SimDock.hpp"

#include <algorithm>

#include "Platform/Simulated/SimAccessibility.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimAudioInput.hpp"
#include "Platform/Simulated/SimBundleReader.hpp"
#include "Platform/Simulated/SimChromiumExtension.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimExtensionsPage.hpp"
#include "Platform/Simulated/SimInProcessScripts.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimInputState.hpp"
#include "Platform/Simulated/SimKeyboardLayout.hpp"
#include "Platform/Simulated/SimLauncher.hpp"
#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "Platform/Simulated/SimPrivacy.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Platform/Simulated/SimScreenCapture.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimSecureInputState.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Platform/Simulated/SimSystemSettings.hpp"
#include "Platform/Simulated/SimURLOpener.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix::sim {

using platform::Pid;

SimDesktop::SimDesktop(platform::MainLoop& loop, std::function<void(double)> spendTime)
    : loop_(loop),
      spendTime_(std::move(spendTime)),
      activities_(std::make_shared<std::vector<std::string>>()),
      workspace_(std::make_unique<SimWorkspace>(*this)),
      loginItems_(std::make_unique<SimLoginItems>()),
      windowServer_(std::make_unique<SimWindowServer>(*this)),
      accessibility_(std::make_unique<SimAccessibility>(*this)),
      privacy_(std::make_unique<SimPrivacy>(*this)),
      application_(std::make_unique<SimApplication>(*this)),
      launcher_(std::make_unique<SimLauncher>()),
      processes_(std::make_unique<SimDesktopProcessTable>(*this)),
      scripts_(std::make_unique<SimScriptRunner>(*this)),
      inProcessScripts_(std::make_unique<SimInProcessScripts>(*this)),
      bundles_(std::make_unique<SimBundleReader>()),
      screens_(std::make_unique<SimScreens>(*this)),
      screenCapture_(std::make_unique<SimScreenCapture>(*this)),
      secureInputState_(std::make_unique<SimSecureInputState>(*this)),
      inputState_(std::make_unique<SimInputState>(*this)),
      input_(std::make_unique<SimInput>(*this)),
      symbolicHotKeys_(std::make_unique<SimSymbolicHotKeys>()),
      microphone_(std::make_unique<SimAudioInput>()) {
  setIdle(0);
}

SimDesktop::~SimDesktop() = default;

// ---- changes

void SimDesktop::noteChanged() {
  revision_.fetch_add(1, std::memory_order_relaxed);
  if (watchers_.empty()) return;
  std::erase_if(watchers_, [](const auto& watcher) { return watcher.expired(); });
  // A watcher may start or end a watch while it is told: it is told from a copy.
  const auto watchers = watchers_;
  for (const auto& watcher : watchers)
    if (auto changed = watcher.lock()) (*changed)();
}

std::shared_ptr<void> SimDesktop::watchChanges(std::function<void()> changed) {
  auto watch = std::make_shared<std::function<void()>>(std::move(changed));
  watchers_.push_back(watch);
  return watch;
}

// ---- applications

Pid SimDesktop::launch(const AppSpec& spec) {
  noteChanged();
  Pid pid = spec.pid.value_or(nextPid_);
  nextPid_ = std::max(nextPid_, pid) + 1;
  auto app = std::make_unique<SimApp>();
  app->pid = pid;
  if (!spec.bundleID.empty()) app->bundleID = spec.bundleID;
  if (!spec.name.empty()) app->name = spec.name;
  app->bundlePath = "/Applications/" + (spec.name.empty() ? spec.bundleID : spec.name) + ".app";
  app->activationPolicy = spec.activationPolicy;
  app->ignoresTermination = spec.ignoresTermination;
  app->quitDelay = spec.quitDelay;
  SimBundleReader::Bundle bundle;
  if (app->bundleID) bundle.info["CFBundleIdentifier"] = *app->bundleID;
  bundle.info["CFBundleIconFile"] = "AppIcon";
  bundles_->add(*app->bundlePath, std::move(bundle));
  // A running application is installed where it runs from.
  if (app->bundleID && std::none_of(installed_.begin(), installed_.end(),
                                    [&](const InstalledApp& i) { return i.path == *app->bundlePath; }))
    installed_.push_back({*app->bundleID, app->name.value_or(*app->bundleID), *app->bundlePath});
  postWorkspace(platform::WorkspaceNotification::kDidLaunchApplication, *app);
  auto lock = lockForChange();
  indexApp(*app);
  apps_[pid] = std::move(app);
  return pid;
}

Pid SimDesktop::launchSelf(const std::string& bundleID, const std::string& name, std::optional<Pid> pid) {
  if (pid && (*pid <= 0 || app(*pid))) pid.reset();
  selfPid_ = launch({.bundleID = bundleID,
                     .name = name,
                     .activationPolicy = platform::ActivationPolicy::Accessory,
                     .pid = pid});
  return selfPid_;
}

void SimDesktop::terminate(Pid pid) {
  noteChanged();
  SimApp* a = app(pid);
  if (!a || a->terminated) return;
  {
    auto lock = lockForChange();
    a->terminated = true;
  }
  for (auto number : windowsOf(pid)) closeWindow(number);
  if (frontmost_ == pid) frontmost_.reset();
  if (dock_ && a->bundlePath) dock_->noteTerminated(platform::FileURL::fromPath(*a->bundlePath, true));
  postWorkspace(platform::WorkspaceNotification::kDidTerminateApplication, *a);
}

SimApp* SimDesktop::app(Pid pid) {
  noteChanged();
  auto it = appsByPid_.find(pid);
  return it == appsByPid_.end() ? nullptr : it->second;
}

const SimApp* SimDesktop::app(Pid pid) const {
  auto it = appsByPid_.find(pid);
  return it == appsByPid_.end() ? nullptr : it->second;
}

std::vector<const SimApp*> SimDesktop::apps() const {
  std::vector<const SimApp*> result;
  for (const auto& [pid, app] : apps_)
    if (!app->terminated) result.push_back(app.get());
  return result;
}

std::vector<const SimApp*> SimDesktop::apps(const std::string& bundleID) const {
  std::vector<const SimApp*> result;
  auto it = appsByBundle_.find(bundleID);
  if (it == appsByBundle_.end()) return result;
  for (const SimApp* app : it->second)
    if (!app->terminated && app->bundleID == bundleID) result.push_back(app);
  return result;
}

// A launch under the pid of an earlier application replaces it: the index lets go of the old one.
void SimDesktop::indexApp(SimApp& app) {
  if (auto old = appsByPid_.find(app.pid); old != appsByPid_.end())
    for (auto& [bundleID, same] : appsByBundle_) std::erase(same, old->second);
  appsByPid_[app.pid] = &app;
  if (!app.bundleID) return;
  auto& same = appsByBundle_[*app.bundleID];
  auto at = std::lower_bound(same.begin(), same.end(), app.pid,
                             [](const SimApp* a, Pid pid) { return a->pid < pid; });
  same.insert(at, &app);
}

void SimDesktop::activate(Pid pid) {
  noteChanged();
  SimApp* a = app(pid);
  if (!a || a->terminated) return;
  a->hidden = false;
  if (frontmost_ != pid) {
    if (frontmost_)
      if (const SimApp* previous = app(*frontmost_))
        postWorkspace(platform::WorkspaceNotification::kDidDeactivateApplication, *previous);
    postWorkspace(platform::WorkspaceNotification::kDidActivateApplication, *a);
  }
  frontmost_ = pid;
  switchToSpaceOf(pid);
  for (auto number : windowsOf(pid)) {
    const SimWindow* w = window(number);
    if (w && !w->minimized && w->layer == 0) {
      raiseWindow(number);
      break;
    }
  }
  if (application_) application_->noteKeyWindow();
}

std::optional<Pid> SimDesktop::open(const std::string& path, bool activates) {
  auto it = std::find_if(installed_.begin(), installed_.end(),
                         [&](const InstalledApp& a) { return a.path == path; });
  if (it == installed_.end()) return std::nullopt;
  for (const SimApp* running : apps())
    if (running->bundleID == it->bundleID) {
      if (activates) activate(running->pid);
      return running->pid;
    }
  Pid pid = launch({.bundleID = it->bundleID, .name = it->name});
  SimApp* a = app(pid);
  a->bundlePath = path;
  a->finishedLaunching = false;
  pendingQuits_.push_back(loop_.after(
      it->launchTime,
      [this, pid] {
        if (SimApp* launched = app(pid)) launched->finishedLaunching = true;
      },
      platform::TimerMode::Common));
  if (activates) activate(pid);
  return pid;
}

void SimDesktop::postWorkspace(const char* name, const SimApp& app) {
  nlohmann::json info{{"pid", app.pid}, {"activationPolicy", static_cast<int>(app.activationPolicy)}};
  if (app.bundleID) info["bundleID"] = *app.bundleID;
  if (app.name) info["name"] = *app.name;
  loop_.post(
      [this, name = std::string(name), info = std::move(info)] { workspaceNotifications_.post(name, info); });
}

void SimDesktop::sleep() {
  if (asleep_) return;
  asleep_ = true;
  workspaceNotifications_.post(platform::WorkspaceNotification::kWillSleep);
}

void SimDesktop::wake() {
  if (!asleep_) return;
  asleep_ = false;
  for (auto tap : input().enabledTaps()) input().setEnabled(tap, false);
  workspaceNotifications_.post(platform::WorkspaceNotification::kDidWake);
  workspaceNotifications_.post(platform::WorkspaceNotification::kScreensDidWake);
}

void SimDesktop::lockScreen() {
  if (screenLocked_) return;
  screenLocked_ = true;
  workspaceNotifications_.post(platform::WorkspaceNotification::kScreenIsLocked);
}

void SimDesktop::unlockScreen() {
  if (!screenLocked_) return;
  screenLocked_ = false;
  for (auto tap : input().enabledTaps()) input().setEnabled(tap, false);
  workspaceNotifications_.post(platform::WorkspaceNotification::kScreenIsUnlocked);
}

void SimDesktop::deactivate(Pid pid) {
  noteChanged();
  if (frontmost_ != pid) return;
  frontmost_.reset();
  if (const SimApp* a = app(pid))
    postWorkspace(platform::WorkspaceNotification::kDidDeactivateApplication, *a);
  if (application_) application_->noteKeyWindow();
}

// ---- windows

std::int64_t SimDesktop::addWindow(Pid owner, const WindowSpec& spec) {
  noteChanged();
  SimWindow w;
  w.number = nextWindowNumber_++;
  w.owner = owner;
  w.title = spec.title;
  w.bounds = spec.bounds;
  w.layer = spec.layer;
  w.minimized = spec.minimized;
  w.spaces = {spec.space.value_or(displays_.front().currentSpace)};
  w.inAccessibility = spec.inAccessibility;
  w.numberReadable = spec.numberReadable;
  w.hasCloseButton = spec.hasCloseButton;
  SimWindow& stored = windows_[w.number] = w;
  windowsByNumber_[w.number] = &stored;
  stack_.insert(stack_.begin(), w.number);
  auto& own = stackOf_[w.owner];
  own.insert(own.begin(), w.number);
  if (w.minimized) dock().noteMinimized(w.number, true);
  return w.number;
}

SimWindow* SimDesktop::window(std::int64_t number) {
  noteChanged();
  auto it = windowsByNumber_.find(number);
  return it == windowsByNumber_.end() ? nullptr : it->second;
}

const SimWindow* SimDesktop::window(std::int64_t number) const {
  auto it = windowsByNumber_.find(number);
  return it == windowsByNumber_.end() ? nullptr : it->second;
}

std::vector<std::int64_t> SimDesktop::windowsOf(Pid pid) const {
  return windowOrderOf(pid);
}

const std::vector<std::int64_t>& SimDesktop::windowOrderOf(Pid pid) const {
  static const std::vector<std::int64_t> none;
  auto it = stackOf_.find(pid);
  return it == stackOf_.end() ? none : it->second;
}

void SimDesktop::raiseWindow(std::int64_t number) {
  noteChanged();
  auto it = std::find(stack_.begin(), stack_.end(), number);
  if (it == stack_.end()) return;
  std::rotate(stack_.begin(), it, it + 1);
  auto& own = stackOf_[windows_.at(number).owner];
  if (auto at = std::find(own.begin(), own.end(), number); at != own.end())
    std::rotate(own.begin(), at, at + 1);
  if (application_) application_->noteKeyWindow();
}

void SimDesktop::setMinimized(std::int64_t number, bool minimized) {
  noteChanged();
  SimWindow* w = window(number);
  if (!w || w->minimized == minimized) return;
  w->minimized = minimized;
  dock().noteMinimized(number, minimized);
  if (application_) application_->noteKeyWindow();
}

void SimDesktop::closeWindow(std::int64_t number) {
  noteChanged();
  auto found = windows_.find(number);
  if (found == windows_.end()) return;
  std::erase(stackOf_[found->second.owner], number);
  windowsByNumber_.erase(number);
  windows_.erase(found);
  std::erase(stack_, number);
  dock().noteMinimized(number, false);
  if (application_) application_->noteKeyWindow();
}

void SimDesktop::clickAt(Point point) {
  if (const SimDockItem* tile = dock().itemAt(point)) {
    if (tile->window) {
      // A minimized window's tile brings the window back.
      const std::int64_t number = *tile->window;
      if (const SimWindow* w = window(number)) {
        const Pid owner = w->owner;
        setMinimized(number, false);
        activate(owner);
        raiseWindow(number);
      }
      return;
    }
    for (const SimApp* a : apps())
      if (a->bundlePath && tile->url && platform::FileURL::fromPath(*a->bundlePath, true) == *tile->url) {
        activate(a->pid);
        return;
      }
    return;
  }
  for (auto number : stack_) {
    const SimWindow& w = windows_.at(number);
    if (!isOnScreen(w) || !w.bounds.contains(point)) continue;
    activate(w.owner);
    raiseWindow(number);
    SimSystemSettings::click(*this, w, point);
    return;
  }
}

std::int64_t SimDesktop::addTab(std::int64_t number, SimTab tab, bool activate) {
  noteChanged();
  SimWindow* w = window(number);
  if (!w) return 0;
  if (tab.id == 0) tab.id = nextTabID_++;
  nextTabID_ = std::max(nextTabID_, tab.id + 1);
  w->tabs.push_back(tab);
  if (activate || w->tabs.size() == 1) activateTab(number, w->tabs.size() - 1);
  return tab.id;
}

void SimDesktop::activateTab(std::int64_t number, std::size_t index) {
  noteChanged();
  SimWindow* w = window(number);
  if (!w || index >= w->tabs.size()) return;
  w->activeTab = index;
  w->title = w->tabs[index].title;
}

void SimDesktop::closeTab(std::int64_t number, std::size_t index) {
  noteChanged();
  SimWindow* w = window(number);
  if (!w || index >= w->tabs.size()) return;
  w->tabs.erase(w->tabs.begin() + static_cast<std::ptrdiff_t>(index));
  if (w->tabs.empty()) {
    closeWindow(number);
    return;
  }
  std::size_t active = w->activeTab;
  if (index < active) --active;
  activateTab(number, std::min(active, w->tabs.size() - 1));
}

bool SimDesktop::isOnScreen(const SimWindow& w) const {
  const SimApp* owner = app(w.owner);
  if (!owner || owner->terminated || owner->hidden || w.minimized) return false;
  if (w.spaces.empty()) return true;
  return std::any_of(displays_.begin(), displays_.end(), [&](const SimDisplay& d) {
    return std::find(w.spaces.begin(), w.spaces.end(), d.currentSpace) != w.spaces.end();
  });
}

void SimDesktop::switchToSpaceOf(Pid pid) {
  const SimWindow* front = nullptr;
  for (auto number : windowsOf(pid)) {
    const SimWindow* w = window(number);
    if (!w || w->minimized || w->layer != 0) continue;
    if (isOnScreen(*w)) return;  // something of it shows already
    if (!front) front = w;
  }
  if (!front) return;
  for (std::size_t i = 0; i < displays_.size(); ++i)
    if (std::find(displays_[i].spaces.begin(), displays_[i].spaces.end(), front->spaces.front()) !=
        displays_[i].spaces.end()) {
      switchSpace(i, front->spaces.front());
      return;
    }
}

void SimDesktop::switchSpace(std::size_t display, std::uint64_t space) {
  noteChanged();
  if (display >= displays_.size()) return;
  SimDisplay& d = displays_[display];
  if (std::find(d.spaces.begin(), d.spaces.end(), space) == d.spaces.end()) d.spaces.push_back(space);
  d.currentSpace = space;
}

std::optional<RGBAImage> SimDesktop::renderWindow(std::int64_t number, int width, int height) const {
  const SimWindow* w = window(number);
  if (!w || width < 1 || height < 1) return std::nullopt;
  if (windowPainter && !w->transparentContent) {
    const double perPoint = w->bounds.width > 0 ? width / w->bounds.width : 1.0;
    return windowPainter(number, width, height, static_cast<int>(std::lround(w->captureMargin * perPoint)));
  }
  // A stable colour per window, so tests and screenshots can tell pictures apart.
  const auto hash = static_cast<std::uint32_t>(number * 2654435761u);
  const RGBAPixel colour{static_cast<std::uint8_t>(64 + (hash & 0x7F)),
                         static_cast<std::uint8_t>(64 + ((hash >> 8) & 0x7F)),
                         static_cast<std::uint8_t>(64 + ((hash >> 16) & 0x7F)), 255};
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4, 0);
  if (!w->transparentContent) {
    const double perPoint = w->bounds.width > 0 ? width / w->bounds.width : 1.0;
    const int margin = static_cast<int>(std::lround(w->captureMargin * perPoint));
    for (int y = margin; y < height - margin; ++y)
      for (int x = margin; x < width - margin; ++x) {
        std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
        p[0] = colour.r, p[1] = colour.g, p[2] = colour.b, p[3] = colour.a;
      }
  }
  return RGBAImage::fromPremultiplied(width, height, std::move(pixels));
}

std::vector<std::string> SimDesktop::activeActivities() const {
  return *activities_;
}

SimDock& SimDesktop::dock() {
  if (!dock_) dock_ = std::make_unique<SimDock>(*this);
  return *dock_;
}

SimAccessibilityDisplay& SimDesktop::accessibilityDisplay() {
  if (!accessibilityDisplay_) accessibilityDisplay_ = std::make_unique<SimAccessibilityDisplay>();
  return *accessibilityDisplay_;
}

}  // namespace velvix::sim
