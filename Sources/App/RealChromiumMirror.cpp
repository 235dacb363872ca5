#include "App/RealChromiumMirror.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include <unistd.h>

#include "Bridge/BrowserBridge.hpp"
#include "Bridge/ExtensionReport.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/ProcessTable.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "Support/DebugLog.hpp"
#include "Support/ProcessLineage.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {
namespace {

// Where the stand-in's windows go, each a little below and right of the one before.
Rect windowFrame(std::size_t index) {
  const double offset = 28.0 * static_cast<double>(index % 8);
  return {180 + offset, 90 + offset, 1040, 700};
}

}  // namespace

bool RealChromiumMirror::installWhereChromiumIs(sim::SimDesktop& desktop, const std::string& program) {
  if (::access(program.c_str(), X_OK) != 0) return false;
  const auto& installed = desktop.installed();
  if (std::none_of(installed.begin(), installed.end(),
                   [](const auto& app) { return app.bundleID == kBundleID; }))
    desktop.install({.bundleID = kBundleID, .name = kName, .path = "/Applications/Chromium.app"});
  return true;
}

RealChromiumMirror::RealChromiumMirror(Collaborators collaborators)
    : desktop_(collaborators.desktop),
      browserBridge_(collaborators.browserBridge),
      mru_(collaborators.mru),
      runningApps_(collaborators.runningApps),
      processes_(collaborators.processes),
      loop_(collaborators.loop),
      log_(collaborators.log),
      placement_(collaborators.placement) {
  statusObservation_ =
      collaborators.notifications.observe(BrowserBridge::kStatusChangedNotification,
                                          [this](const platform::Notification&) { scheduleReconcile(); });
  // Choosing one of chromium's tabs activates the stand-in and has the extension bring chromium's
  // window forward, which takes the keyboard on a display without a window manager: the person's
  // screen is the simulated desktop, so its window takes the keyboard back and the next chord
  // still reaches the switcher.
  activationObservation_ = desktop_.workspace().notificationCenter().observe(
      platform::WorkspaceNotification::kDidActivateApplication, loop_,
      [this](const platform::Notification& n) {
        const bool standIn =
            standIn_ && n.userInfo.is_object() && n.userInfo.value("pid", platform::Pid{0}) == *standIn_;
        if (standIn && placement_) placement_->keepKeyboard(kKeyboardKeptFor);
      });
  reportSubscription_ =
      browserBridge_.reportsHandled.add([this](const ExtensionReport& report, Browser browser) {
        if (browser != Browser::chromium) return;
        noteActiveTabs(report);
        scheduleReconcile();
      });
}

// Which tab each window shows, as the extension says it: the window's title follows it.
void RealChromiumMirror::noteActiveTabs(const ExtensionReport& report) {
  if (report.event == ReportEvent::sync && report.windows) {
    for (const auto& window : *report.windows)
      for (const auto& tab : window.tabs)
        if (tab.active) activeTabs_[std::to_string(window.windowID)] = tab.tabID;
  } else if (report.tab && (report.event == ReportEvent::activated || report.tab->active)) {
    activeTabs_[std::to_string(report.tab->windowID)] = report.tab->tabID;
  }
}

// Reports come in bursts (a sync, then an activation): one look at the inventory after them.
void RealChromiumMirror::scheduleReconcile() {
  if (reconcilePosted_) return;
  reconcilePosted_ = true;
  loop_.post([this, watch = alive_.watch()] {
    if (watch.expired()) return;
    reconcilePosted_ = false;
    reconcile();
  });
}

void RealChromiumMirror::reconcile() {
  noteConnectedBrowsers();
  const platform::ProcessTable& real = processes_.peers();
  std::erase_if(browsers_,
                [&](platform::Pid pid) { return real.probe(pid) == platform::ProcessTable::Probe::gone; });
  if (browsers_.empty()) return dropStandIn();

  if (standIn_) {
    const auto* app = std::as_const(desktop_).app(*standIn_);
    if (!app || app->terminated) {  // quit from the simulated desktop: a new one stands in
      standIn_.reset();
      windows_.clear();
      frontWindowID_.reset();
    }
  }
  if (!standIn_) {
    // A desktop with a Chromium of its own (a sample file that lists one) keeps it.
    if (runningApps_.first(kBundleID)) return;
    standIn_ = desktop_.launch({.bundleID = kBundleID, .name = kName});
    log_.log("real chromium: standing in as pid " + std::to_string(*standIn_) + " for " +
             std::to_string(browsers_.size()) + " process(es)");
    livenessTimer_ = loop_.every(
        kLivenessCheck, [this] { reconcile(); }, platform::TimerMode::Common);
  }
  syncWindows();
}

// The chromium processes behind the connections registered for Chromium: the nearest ancestor
// of each relay that the kernel's table knows as chromium's own program.
void RealChromiumMirror::noteConnectedBrowsers() {
  const auto& clients = browserBridge_.chromiumClients();
  auto found = clients.find(Browser::chromium);
  if (found == clients.end()) return;
  const platform::ProcessTable& real = processes_.peers();
  for (const auto& [key, client] : found->second) {
    auto pid = client ? client->peerPID() : std::nullopt;
    for (int examined = 0; pid && *pid > 1 && examined < ProcessLineage::kRelayWalk; ++examined) {
      if (real.bundleIdentifier(*pid) == std::string(kBundleID)) {
        browsers_.insert(*pid);
        break;
      }
      pid = real.parent(*pid);
    }
  }
}

void RealChromiumMirror::syncWindows() {
  // Each reported window's tabs, the latest used first: its first tab is the one it shows.
  std::map<std::string, std::vector<const SwitchableItem*>> reported;
  for (const auto& item : mru_.entries())
    if (item.kind == ItemKind::tab && item.browser == Browser::chromium && item.windowID)
      reported[*item.windowID].push_back(&item);
  const SwitchableItem* latest = nullptr;
  for (auto& [id, tabs] : reported) {
    std::sort(tabs.begin(), tabs.end(), [](const SwitchableItem* a, const SwitchableItem* b) {
      return MRUManager::recencyBefore(*a, *b);
    });
    if (!latest || MRUManager::recencyBefore(*tabs.front(), *latest)) latest = tabs.front();
  }

  for (auto it = windows_.begin(); it != windows_.end();) {
    if (reported.contains(it->first) && std::as_const(desktop_).window(it->second)) {
      ++it;
      continue;
    }
    if (std::as_const(desktop_).window(it->second)) desktop_.closeWindow(it->second);
    it = windows_.erase(it);
  }
  for (const auto& [id, tabs] : reported) {
    const SwitchableItem* shown = tabs.front();
    if (auto active = activeTabs_.find(id); active != activeTabs_.end())
      for (const SwitchableItem* tab : tabs)
        if (tab->tabID == active->second) shown = tab;
    const std::string& title = shown->title;
    auto known = windows_.find(id);
    if (known == windows_.end()) {
      windows_[id] = desktop_.addWindow(*standIn_, {.title = title, .bounds = windowFrame(windows_.size())});
      continue;
    }
    if (const auto* window = std::as_const(desktop_).window(known->second);
        window && window->title != title) {
      auto lock = desktop_.lockForChange();
      desktop_.window(known->second)->title = title;
    }
  }
  // The window of the tab used last comes to the front when chromium is the frontmost browser.
  if (latest && latest->windowID != frontWindowID_) {
    frontWindowID_ = latest->windowID;
    if (desktop_.frontmostPid() == standIn_) desktop_.raiseWindow(windows_.at(*frontWindowID_));
  }
}

void RealChromiumMirror::dropStandIn() {
  livenessTimer_.invalidate();
  windows_.clear();
  activeTabs_.clear();
  frontWindowID_.reset();
  if (!standIn_) return;
  log_.log("real chromium: no chromium process left; the stand-in quits");
  desktop_.terminate(*std::exchange(standIn_, std::nullopt));
}

}  // namespace velvix
