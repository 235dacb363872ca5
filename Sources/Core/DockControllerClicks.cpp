// The Dock controller's clicks: the decision inside the event tap's mouse-down (hit test, window
// server list and settings only), the actions a moment later on the main loop, and the cards'
// raise and close.

#include <algorithm>
#include <cmath>
#include <memory>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/DockController.hpp"
#include "Core/MRUManager.hpp"
#include "Core/MinimizeMemory.hpp"
#include "Core/Preferences.hpp"
#include "Core/Services.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Accessibility.hpp"
#include "Support/Browser.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

namespace {

std::string numberList(const std::vector<std::int64_t>& numbers) {
  std::string out = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i) out += (i ? ", " : "") + std::to_string(numbers[i]);
  return out + "]";
}

std::string whole(double value) {
  return std::to_string(static_cast<long long>(std::trunc(value)));
}

}  // namespace

std::string DockController::ClickAction::describe() const {
  const std::string n = "(window: " + std::to_string(window) + ")";
  switch (kind) {
    case Kind::minimize:
      return "minimize" + n;
    case Kind::restore:
      return "restore" + n;
    case Kind::focus:
      return "focus" + n;
    case Kind::passThrough:
      return "passThrough";
    case Kind::showPreviews:
      return "showPreviews";
    case Kind::settle:
      return "settle";
  }
  return "passThrough";
}

bool DockController::isNearScreenEdge(Point p) const {
  for (const auto& s : services_.screens->screens()) {
    if (!s.frame.contains(p)) continue;
    // Top-left coordinates: the bottom edge is the frame's maxY.
    return s.frame.maxY() - p.y < kEdgeReach || p.x - s.frame.minX() < kEdgeReach ||
           s.frame.maxX() - p.x < kEdgeReach;
  }
  return false;
}

std::vector<DockObserver::Item> DockController::itemsForClick() const {
  if (cachedItems_.empty() || now() - cachedAt_ > kClickItemsFreshFor) return {};
  return cachedItems_;
}

void DockController::scheduleItemsRefresh() {
  if (itemsRefreshPosted_) return;
  itemsRefreshPosted_ = true;
  auto watch = alive_.watch();
  services_.loop->post([this, watch] {
    if (watch.expired()) return;
    itemsRefreshPosted_ = false;
    refreshItems();
  });
}

std::vector<std::int64_t> DockController::onScreenWindows(platform::Pid pid,
                                                          std::size_t* offScreenTitled) const {
  std::vector<std::int64_t> onScreen;
  std::size_t off = 0;
  for (const auto& w : services_.windowList->realWindows(false)) {
    if (w.pid != pid) continue;
    if (w.isOnScreen) {
      onScreen.push_back(w.windowNumber);
    } else if (w.title && !w.title->empty()) {
      ++off;
    }
  }
  if (offScreenTitled) *offScreenTitled = off;
  return onScreen;
}

bool DockController::handleDockMouseDown(Point at) {
  // 1-3.
  swallowArmedAt_.reset();
  const double started = now();
  if (!clicksWanted() && !previewsWanted()) return false;
  if (!isNearScreenEdge(at)) return false;
  // Whatever happens next, the icons are read again after the click, off the tap.
  scheduleItemsRefresh();

  // 4. The hit test, bounded as a whole; when it cannot tell, the cached icons (never read here).
  std::string bundleID;
  Rect iconFrame;
  const DockObserver::Hit hit = observer_.item(at);
  if (hit.kind == DockObserver::Hit::Kind::other) return false;
  if (hit.kind == DockObserver::Hit::Kind::app) {
    if (!hit.item->bundleID) return false;
    bundleID = *hit.item->bundleID;
    iconFrame = hit.item->frame;
  } else {
    const auto cached = itemsForClick();
    const DockObserver::Item* icon = itemAt(cached, at);
    if (icon && icon->bundleID) {
      bundleID = *icon->bundleID;
      iconFrame = icon->frame;
    } else if (current_ && current_->iconFrame.contains(at)) {
      bundleID = current_->bundleID;
      iconFrame = current_->iconFrame;
    } else {
      return false;
    }
  }

  // 5-6.
  const auto app = services_.runningApps->first(bundleID);
  const auto front = services_.workspace->frontmostApplication();
  const bool isFrontmost = app && front && front->pid == app->pid;
  if (!app || !clicksWanted()) {
    services_.log->log("dockClick " + bundleID + " → passThrough (clicks off or not running)");
    passThroughExit(bundleID, iconFrame);
    return false;
  }

  // 7-8.
  std::size_t offScreen = 0;
  const auto onScreen = onScreenWindows(app->pid, &offScreen);
  ClickAction action;
  using Kind = ClickAction::Kind;
  if (app->isHidden) {
    action = {Kind::passThrough};
  } else if (onScreen.size() >= 2) {
    action = {Kind::focus, onScreen.front()};
  } else if (onScreen.empty()) {
    action = {offScreen > 0 ? Kind::settle : Kind::passThrough};
  } else if (offScreen > 0) {
    action = {Kind::settle};
  } else if (isFrontmost) {
    action = {Kind::minimize, onScreen.front()};
  } else {
    action = {Kind::passThrough};
  }

  // 9.
  services_.log->log("dockClick " + bundleID + " at=" + whole(at.x) + "," + whole(at.y) +
                     " icon=" + whole(iconFrame.minX()) + "-" + whole(iconFrame.maxX()) +
                     " onScreen=" + numberList(onScreen) + " offScreen=" + std::to_string(offScreen) +
                     " hidden=" + (app->isHidden ? "true" : "false") +
                     " front=" + (isFrontmost ? "true" : "false") + " → " + action.describe());

  // 10-11.
  if (action.kind == Kind::passThrough) {
    passThroughExit(bundleID, iconFrame);
    return false;
  }
  swallowArmedAt_ = started;
  if (action.kind == Kind::settle) previewHoldBundleID_ = bundleID;
  auto watch = alive_.watch();
  services_.loop->post([this, watch, action, app = *app, bundleID, iconFrame, isFrontmost] {
    if (!watch.expired()) perform(action, app, bundleID, iconFrame, isFrontmost);
  });
  return true;
}

void DockController::passThroughExit(const std::string& bundleID, const Rect& iconFrame) {
  hidePanel();
  reset();
  clickedIcon_ = ClickedIcon{bundleID, iconFrame};
}

void DockController::perform(ClickAction action, const platform::RunningApplication& app,
                             const std::string& bundleID, const Rect& iconFrame, bool isFrontmost) {
  using Kind = ClickAction::Kind;
  if (action.kind != Kind::showPreviews && action.kind != Kind::settle) endClick(bundleID, iconFrame);
  switch (action.kind) {
    case Kind::minimize:
      minimize(action.window, app, bundleID);
      break;
    case Kind::restore:
      MinimizeMemory(*services_.defaults, *services_.log).forget(bundleID);
      focus(action.window, app);
      break;
    case Kind::focus:
      focus(action.window, app);
      break;
    case Kind::passThrough:
      if (app.bundlePath) {
        services_.workspace->openApplication(*app.bundlePath, true, [](auto) {});
      } else {
        services_.workspace->activate(app.pid);
      }
      break;
    case Kind::showPreviews:
      showClickPreviews(bundleID, iconFrame);
      break;
    case Kind::settle:
      settle(app, bundleID, iconFrame, isFrontmost);
      break;
  }
}

void DockController::endClick(const std::string& bundleID, const Rect& iconFrame) {
  previewHoldBundleID_.reset();
  hidePanel();
  reset();
  cachedAt_ = -1e18;
  scheduleItemsRefresh();
  current_.reset();
  clickedIcon_ = ClickedIcon{bundleID, iconFrame};
}

void DockController::settle(const platform::RunningApplication& app, const std::string& bundleID,
                            const Rect& iconFrame, bool isFrontmost) {
  const auto states = services_.ax->windowStatesIfEnumerable(app.pid);
  const auto tabmates = MinimizeMemory(*services_.defaults, *services_.log).tabmates(bundleID, app.pid);
  std::vector<std::int64_t> minimized;
  if (states)
    for (const auto& s : *states)
      if (s.minimized && !tabmates.contains(s.number)) minimized.push_back(s.number);
  const auto visible = onScreenWindows(app.pid, nullptr);
  const std::size_t total = visible.size() + minimized.size();

  using Kind = ClickAction::Kind;
  ClickAction action{Kind::passThrough};
  if (total == 1) {
    if (!minimized.empty()) {
      action = {Kind::restore, minimized.front()};
    } else {
      action = {isFrontmost ? Kind::minimize : Kind::focus, visible.front()};
    }
  } else if (total >= 2) {
    if (!visible.empty()) {
      action = {Kind::focus, visible.front()};
    } else {
      action = {previewsWanted() ? Kind::showPreviews : Kind::passThrough};
    }
  }

  std::string ax = "nil";
  if (states) {
    ax = "[";
    for (std::size_t i = 0; i < states->size(); ++i)
      ax += (i ? ", \"" : "\"") + std::to_string((*states)[i].number) + ((*states)[i].minimized ? "m" : "") +
            "\"";
    ax += "]";
  }
  services_.log->log("dockClick " + bundleID + " settle: ax=" + ax +
                     " tabmates=" + numberList({tabmates.begin(), tabmates.end()}) +
                     " visible=" + numberList(visible) + " → " + action.describe());
  perform(action, app, bundleID, iconFrame, isFrontmost);
}

void DockController::showClickPreviews(const std::string& bundleID, const Rect& iconFrame) {
  previewHoldBundleID_ = bundleID;
  if (panelVisible() && resolvedBundleID_ == bundleID) return;
  hoverBundleID_.reset();
  hoverStart_.reset();
  firstShowPending_ = false;
  resolve(bundleID, iconFrame);
}

void DockController::holdCaptures(std::int64_t windowNumber) {
  services_.thumbnails->holdCaptures(windowNumber, now() + kCaptureHold);
}

void DockController::minimize(std::int64_t window, const platform::RunningApplication& app,
                              const std::string& bundleID) {
  std::set<std::int64_t> ax{window};
  if (const auto states = services_.ax->windowStatesIfEnumerable(app.pid)) {
    ax.clear();
    for (const auto& s : *states) ax.insert(s.number);
  }
  std::set<std::int64_t> tabmates;
  for (const auto& w : services_.windowList->realWindows(false))
    if (w.pid == app.pid && !w.isOnScreen && w.title && !w.title->empty() && !ax.contains(w.windowNumber))
      tabmates.insert(w.windowNumber);
  MinimizeMemory(*services_.defaults, *services_.log).record(bundleID, app.pid, {window}, tabmates);

  std::vector<std::string> keys{key(bundleID, window)};
  if (const auto browser = browsers::fromBundleID(bundleID)) {
    if (auto tab = services_.mru->mostRecentTabItemID(*browser)) {
      keys.push_back(*tab);
      keys.push_back("app:" + bundleID);
    }
  }
  // The still is taken before the window goes; a capture that never ends cannot keep it up.
  auto done = std::make_shared<bool>(false);
  auto watch = alive_.watch();
  auto minimizer = [this, watch, done, window, app, bundleID, tabmates] {
    if (watch.expired() || *done) return;
    *done = true;
    holdCaptures(window);
    bool ok = false;
    if (auto element = services_.ax->axWindow(window, app.pid))
      ok = services_.accessibility->setAttribute(*element, platform::AXAttribute::kMinimized, true) ==
           platform::AXError::success;
    services_.log->log("dockMinimize " + bundleID + " window=" + std::to_string(window) + " tabmates=" +
                       numberList({tabmates.begin(), tabmates.end()}) + " ok=" + (ok ? "true" : "false"));
  };
  // The completion holds nothing of the controller but the minimizer's alive watch.
  services_.thumbnails->captureWindow(window, app.pid, keys, true,
                                      [loop = services_.loop, minimizer] { loop->post(minimizer); });
  services_.loop->postAfter(kMinimizeFallback, minimizer);
}

void DockController::focus(std::int64_t windowNumber, const platform::RunningApplication& app) {
  holdCaptures(windowNumber);
  const auto outcome = services_.ax->raiseWindow(windowNumber, "", app.pid);
  services_.workspace->activate(app.pid);
  const char* said = outcome == AXWindowBridge::RaiseOutcome::raised    ? "raised"
                     : outcome == AXWindowBridge::RaiseOutcome::missing ? "missing"
                                                                        : "unknown";
  services_.log->log("dockFocus " + app.bundleIdentifier.value_or("?") +
                     " window=" + std::to_string(windowNumber) + " raise=" + said);
  // Something else may come in front just after (the Dock's own activation): raise it again.
  auto watch = alive_.watch();
  auto check = [this, watch, windowNumber, app] {
    if (watch.expired()) return;
    const auto front = services_.windowList->frontWindow(app.pid);
    if (front && front->windowNumber == windowNumber) return;
    services_.ax->raiseWindow(windowNumber, "", app.pid);
    if (!services_.workspace->isActive(app.pid)) services_.workspace->activate(app.pid);
  };
  services_.loop->postAfter(kReRaiseFirst, check);
  services_.loop->postAfter(kReRaiseSecond, check);
}

void DockController::handleDockMenuClick(Point at) {
  if (!previewsWanted() || !isNearScreenEdge(at)) return;
  const auto cached = itemsForClick();
  const DockObserver::Item* icon = itemAt(cached, at);
  if (!icon || !icon->bundleID) return;
  suppressedBundleID_ = icon->bundleID;
  resolvedBundleID_ = icon->bundleID;
  hidePanel();
}

bool DockController::consumeSwallowedMouseUp() {
  const auto armed = swallowArmedAt_;
  swallowArmedAt_.reset();
  return armed && now() - *armed < kSwallowWindow;
}

void DockController::raise(std::int64_t windowNumber, const platform::RunningApplication& app) {
  endPeek(true);
  panel_.hide();
  previewHoldBundleID_.reset();
  if (current_) {
    suppressedBundleID_ = current_->bundleID;
    resolvedBundleID_ = current_->bundleID;
  }
  auto watch = alive_.watch();
  services_.loop->post([this, watch, windowNumber, app] {
    if (watch.expired()) return;
    if (app.bundleIdentifier) {
      MinimizeMemory memory(*services_.defaults, *services_.log);
      if (memory.windows(*app.bundleIdentifier, app.pid).contains(windowNumber))
        memory.forget(*app.bundleIdentifier);
    }
    holdCaptures(windowNumber);
    services_.ax->raiseWindow(windowNumber, "", app.pid);
    services_.workspace->activate(app.pid);
    services_.loop->postAfter(kReRaiseFirst, [this, watch, windowNumber, app] {
      if (!watch.expired()) services_.ax->raiseWindow(windowNumber, "", app.pid);
    });
  });
}

void DockController::closeWindow(std::int64_t number, const std::string& bundleID,
                                 const platform::RunningApplication& app) {
  const std::string id = key(bundleID, number);
  std::string fallbackTitle;
  if (const auto* cached = services_.thumbnails->entry(id)) fallbackTitle = cached->title.value_or("");
  const auto found = services_.ax->findWindow(number, fallbackTitle, app.pid);
  const bool closed = found.element && services_.ax->pressCloseButton(*found.element);
  // Only a window whose close button was really pressed leaves the switcher and the cards; one
  // that could not be closed keeps both.
  if (closed) {
    services_.mru->removeItem(id);
    closedWindowNumbers_.insert(number);
    auto watch = alive_.watch();
    services_.loop->postAfter(kClosedWindowMemory, [this, watch, number] {
      if (!watch.expired()) closedWindowNumbers_.erase(number);
    });
  } else {
    services_.log->log("dock close " + bundleID + " window=" + std::to_string(number) + " not closed");
  }
  if (!current_ || current_->bundleID != bundleID) return;
  current_->windows = windows(current_->app);
  if (!current_->windows.empty()) {
    const Current copy = *current_;
    present(copy.windows, copy.bundleID, copy.iconFrame, copy.app, false);
  } else {
    hidePanel();
  }
}

}  // namespace velvix
