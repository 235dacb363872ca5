// The Dock controller's hover: the 0.08 s tick that follows the pointer over the Dock's icons and
// the card panel while it is near them, the hover and leave delays, and the cards themselves.

#include <algorithm>
#include <sstream>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/AppMonitor.hpp"
#include "Core/DockController.hpp"
#include "Core/MinimizeMemory.hpp"
#include "Core/Preferences.hpp"
#include "Core/Services.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/InputState.hpp"
#include "Support/AppIcon.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

DockController::DockController(Services& services, DockCardsView& cardsView, WindowPeekView& peekView)
    : services_(services),
      observer_(*services.workspace, *services.accessibility, *services.screens, *services.bundles,
                *services.loop),
      panel_(cardsView),
      peekPanel_(peekView),
      peekStream_(*services.screenCapture, *services.thumbnails, *services.loop) {
  auto watch = alive_.watch();
  preferencesObservation_ = services_.notifications->observe(
      Preferences::kChangedNotification, *services_.loop, [this, watch](const platform::Notification&) {
        if (!watch.expired()) applyPreference();
      });
  captureObservation_ =
      services_.notifications->observe(ThumbnailStore::kDidCaptureNotification, *services_.loop,
                                       [this, watch](const platform::Notification& n) {
                                         if (watch.expired()) return;
                                         std::vector<std::string> ids;
                                         if (n.userInfo.is_object()) {
                                           auto it = n.userInfo.find("ids");
                                           if (it != n.userInfo.end() && it->is_array())
                                             for (const auto& id : *it)
                                               if (id.is_string()) ids.push_back(id.get<std::string>());
                                         }
                                         captureLanded(ids);
                                       });
  panel_.onHover = [this, watch](std::optional<std::int64_t> number) {
    if (!watch.expired()) peek(number);
  };
}

DockController::~DockController() {
  if (monitoring_) services_.screens->setPointerMovedHandler(nullptr);
  // The panels stay with the composition root: nothing of this controller may be left on them.
  panel_.onHover = nullptr;
  panel_.hide();
  peekPanel_.hideImmediately();
}

double DockController::now() const {
  return services_.loop->uptime();
}

std::string DockController::key(const std::string& bundleID, std::int64_t number) {
  return "win:" + bundleID + ":" + std::to_string(number);
}

bool DockController::previewsWanted() const {
  const Preferences& prefs = *services_.preferences;
  return prefs.dockPreviewsEnabled.get() && prefs.showThumbnails.get();
}

bool DockController::clicksWanted() const {
  return services_.preferences->dockClickActions.get();
}

void DockController::applyPreference() {
  if (previewsWanted()) {
    if (!monitoring_) start();
  } else {
    stop();
  }
  // Clicks need the icons before the first of them; read now, off the tap.
  if (clicksWanted() || previewsWanted()) scheduleItemsRefresh();
}

void DockController::start() {
  monitoring_ = true;
  auto watch = alive_.watch();
  services_.screens->setPointerMovedHandler([this, watch](Point p) {
    if (!watch.expired()) pointerMoved(p);
  });
  pointerMoved(services_.screens->pointerLocation());
}

void DockController::pointerMoved(Point p) {
  // Anywhere but near an edge, with no cards up, nothing can open: the timer stays asleep.
  if (!monitoring_ || timer_.isValid()) return;
  if (isNearScreenEdge(p) || panelVisible()) startTicking();
}

void DockController::startTicking() {
  if (!monitoring_ || timer_.isValid()) return;
  auto watch = alive_.watch();
  timer_ = services_.loop->every(kTickInterval, [this, watch] {
    if (!watch.expired()) tick();
  });
}

void DockController::stop() {
  if (monitoring_) services_.screens->setPointerMovedHandler(nullptr);
  monitoring_ = false;
  timer_.invalidate();
  endPeek(false);
  panel_.hide();
  reset();
  clickedIcon_.reset();
  previewHoldBundleID_.reset();
}

void DockController::reset() {
  endPeek(false);
  hoverBundleID_.reset();
  hoverStart_.reset();
  resolvedBundleID_.reset();
  suppressedBundleID_.reset();
  leaveAt_.reset();
}

void DockController::hidePanel() {
  endPeek(false);
  panel_.hide();
}

bool DockController::panelVisible() const {
  return panel_.isVisible();
}

bool DockController::overPanelArea(Point p) const {
  if (!panelVisible()) return false;
  const auto frame = panel_.frame();
  if (!frame) return false;
  const Rect area{frame->x - kPanelMarginX, frame->y - kPanelMarginY, frame->width + 2 * kPanelMarginX,
                  frame->height + 2 * kPanelMarginY};
  return area.contains(p);
}

void DockController::refreshItems() {
  cachedItems_ = observer_.applicationItems();
  cachedAt_ = now();
}

std::optional<DockObserver::Item> DockController::iconUnderPointer(Point p) {
  // Reading every icon costs the Dock several messages an icon, which in a full Dock held up the
  // cards by a tenth of a second and more; the Dock's own hit test costs a few whatever its size.
  // Far from the screen's edges, where no Dock is, nothing is asked.
  if (!isNearScreenEdge(p)) return std::nullopt;
  DockObserver::Hit hit = observer_.item(p);
  if (hit.kind == DockObserver::Hit::Kind::app) return std::move(hit.item);
  if (hit.kind == DockObserver::Hit::Kind::other) return std::nullopt;
  // The hit test could not tell: the icons last read, when there are any (nothing is read here).
  const auto icons = itemsForClick();  // held here: the icon found points into it
  if (const DockObserver::Item* icon = itemAt(icons, p)) return *icon;
  return std::nullopt;
}

const DockObserver::Item* DockController::itemAt(const std::vector<DockObserver::Item>& items, Point p) {
  for (const auto& item : items)
    if (item.frame.contains(p)) return &item;
  return nullptr;
}

void DockController::tick() {
  step();
  if (panelVisible()) return;
  const Point p = services_.screens->pointerLocation();
  if (isNearScreenEdge(p)) {
    // A pointer resting near the Dock with no delay running needs no ticks until it moves again.
    const bool resting = lastTickPointer_ == p && !hoverStart_ && !leaveAt_;
    lastTickPointer_ = p;
    if (!resting) return;
    timer_.invalidate();
    lastTickPointer_.reset();
    return;
  }
  // Far from the Dock with the cards gone: forget the hover as a tick out here would, and sleep
  // until the pointer comes back near an edge.
  timer_.invalidate();
  lastTickPointer_.reset();
  reset();
  previewHoldBundleID_.reset();
  clickedIcon_.reset();
  wasOverDock_ = false;
}

void DockController::step() {
  // The delays count from when the pointer was seen, not from when the Dock had answered.
  const double seenAt = now();
  const bool visible = panelVisible();
  // 1. Nothing opens during a chord or while nobody uses the machine; an open panel is managed.
  if (!visible &&
      (services_.appMonitor->isChordActive || services_.appMonitor->userIdleSeconds() > kIdleLimit))
    return;
  // 2.
  const Point p = services_.screens->pointerLocation();
  const bool onPanel = overPanelArea(p);
  const bool pressed = services_.input->isAnyMouseButtonDown();

  // The icon under the pointer, asked of the Dock once a tick, when a step needs it.
  std::optional<std::optional<DockObserver::Item>> asked;
  const auto hitIcon = [&]() -> const DockObserver::Item* {
    if (!asked) asked = iconUnderPointer(p);
    return *asked ? &**asked : nullptr;
  };

  // 3. Previews a click asked to keep.
  if (previewHoldBundleID_) {
    const DockObserver::Item* icon = hitIcon();
    const bool kept = (icon && icon->bundleID == previewHoldBundleID_) || onPanel;
    if (kept) {
      leaveAt_.reset();
      hoverBundleID_.reset();
      hoverStart_.reset();
      if (pressed || resolvedBundleID_ == previewHoldBundleID_) return;
    } else {
      previewHoldBundleID_.reset();
    }
  }
  // 4. A press anywhere but on the panel closes it.
  if (pressed && !onPanel) {
    hoverBundleID_.reset();
    hoverStart_.reset();
    leaveAt_.reset();
    if (visible) {
      hidePanel();
      resolvedBundleID_.reset();
    }
    return;
  }
  // 5.
  const DockObserver::Item* hit = hitIcon();
  const bool overDock = onPanel || hit;
  if (overDock && !wasOverDock_) firstShowPending_ = true;
  wasOverDock_ = overDock;
  // 6. The icon just clicked opens nothing while the pointer stays on it. The Dock names the icon
  // under the pointer: when that is the clicked one its frame is the current one, and when it is
  // another the pointer has left the clicked icon, wherever that moved.
  if (clickedIcon_) {
    if (hit && hit->bundleID == clickedIcon_->bundleID) clickedIcon_->frame = hit->frame;
    const bool another = hit && hit->bundleID != clickedIcon_->bundleID;
    if (!another && clickedIcon_->frame.contains(p)) {
      leaveAt_.reset();
      hoverBundleID_.reset();
      hoverStart_.reset();
      return;
    }
    clickedIcon_.reset();
  }
  // 7. On the panel or in its margin.
  if (!hit && onPanel) {
    leaveAt_.reset();
    hoverBundleID_.reset();
    hoverStart_.reset();
    return;
  }
  // 8. On an application's icon.
  if (hit && hit->bundleID) {
    const std::string bundleID = *hit->bundleID;
    const Rect iconFrame = hit->frame;
    leaveAt_.reset();
    if (suppressedBundleID_ == bundleID) {
      hoverBundleID_.reset();
      hoverStart_.reset();
      return;
    }
    suppressedBundleID_.reset();
    if (resolvedBundleID_ == bundleID) {
      hoverBundleID_.reset();
      hoverStart_.reset();
      retryMissingPreviews();
      return;
    }
    if (hoverBundleID_ != bundleID) {
      hoverBundleID_ = bundleID;
      hoverStart_ = seenAt;
      if (resolvedBundleID_) {
        hidePanel();
        resolvedBundleID_.reset();
      }
      return;
    }
    if (hoverStart_ && seenAt - *hoverStart_ >= kHoverDelay - 1e-9) resolve(bundleID, iconFrame);
    return;
  }
  // 9. Away from the Dock (or on an icon that stands for no application).
  hoverBundleID_.reset();
  hoverStart_.reset();
  if (!visible) {
    reset();
    return;
  }
  if (!leaveAt_) leaveAt_ = seenAt;
  if (seenAt - *leaveAt_ >= kLeaveDelay - 1e-9) {
    hidePanel();
    reset();
  }
}

void DockController::resolve(const std::string& bundleID, const Rect& iconFrame) {
  resolvedBundleID_ = bundleID;
  const auto app = services_.runningApps->first(bundleID);
  if (!app) {
    hidePanel();
    return;
  }
  auto list = windows(*app);
  if (list.empty()) {
    // It stays resolved: resting on its icon starts no new attempt.
    hidePanel();
    return;
  }
  const bool animated = firstShowPending_;
  firstShowPending_ = false;
  showPreview(bundleID, iconFrame, animated, *app, std::move(list));
}

std::vector<WindowList::Info> DockController::windows(const platform::RunningApplication& app) {
  const auto states = services_.ax->windowStatesIfEnumerable(app.pid);
  std::vector<WindowList::Info> list;
  for (const auto& w : services_.windowList->realWindows(false)) {
    if (w.pid != app.pid || closedWindowNumbers_.contains(w.windowNumber)) continue;
    if (!w.isOnScreen && (!w.title || w.title->empty())) continue;
    if (states && std::none_of(states->begin(), states->end(),
                               [&](const auto& s) { return s.number == w.windowNumber; }))
      continue;
    list.push_back(w);
  }
  if (app.bundleIdentifier) {
    const auto tabmates =
        MinimizeMemory(*services_.defaults, *services_.log).tabmates(*app.bundleIdentifier, app.pid);
    if (!tabmates.empty()) {
      // A tabmate the Dock minimized along with its window is not a window of its own here.
      std::erase_if(list, [&](const WindowList::Info& w) {
        if (!tabmates.contains(w.windowNumber) || !states) return false;
        return std::any_of(states->begin(), states->end(),
                           [&](const auto& s) { return s.number == w.windowNumber && s.minimized; });
      });
    }
  }
  return list;
}

namespace {
template <typename T, typename F>
std::string listText(const std::vector<T>& values, F&& text) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ", ";
    out += text(values[i]);
  }
  return out + "]";
}
}  // namespace

void DockController::showPreview(const std::string& bundleID, const Rect& iconFrame, bool animated,
                                 const platform::RunningApplication& app,
                                 std::vector<WindowList::Info> list) {
  current_ = Current{bundleID, iconFrame, app, std::move(list)};
  const auto& shown = current_->windows;
  ThumbnailStore& store = *services_.thumbnails;
  if (services_.preferences->debugLogging.get()) {
    std::vector<WindowList::Info> missing;
    for (const auto& w : shown)
      if (!store.contains(key(bundleID, w.windowNumber))) missing.push_back(w);
    services_.log->log(
        "dock hover " + bundleID +
        " windows=" + listText(shown, [](const auto& w) { return std::to_string(w.windowNumber); }) +
        " noPreview=" + listText(missing, [](const auto& w) {
          return "\"" + std::to_string(w.windowNumber) + (w.isOnScreen ? "" : "[offscreen]") + "\"";
        }));
  }
  for (const auto& w : shown)
    store.captureWindow(w.windowNumber, app.pid, {key(bundleID, w.windowNumber)}, false);
  if (!current_) return;  // a capture's completion may have ended the preview
  const Current copy = *current_;
  present(copy.windows, bundleID, iconFrame, app, animated);
}

void DockController::present(const std::vector<WindowList::Info>& list, const std::string& bundleID,
                             const Rect& iconFrame, const platform::RunningApplication& app, bool animated) {
  // Cards brought up by a click are managed by the hover from here on.
  startTicking();
  auto watch = alive_.watch();
  panel_.show(
      previews(list, bundleID, app), iconFrame, animated,
      [this, watch, app](std::int64_t number) {
        if (!watch.expired()) raise(number, app);
      },
      [this, watch, bundleID, app](std::int64_t number) {
        if (!watch.expired()) closeWindow(number, bundleID, app);
      });
}

std::set<std::int64_t> DockController::minimizedWindowNumbers(const platform::RunningApplication& app) {
  std::set<std::int64_t> numbers;
  if (const auto states = services_.ax->windowStatesIfEnumerable(app.pid))
    for (const auto& s : *states)
      if (s.minimized) numbers.insert(s.number);
  return numbers;
}

std::vector<DockCard> DockController::previews(const std::vector<WindowList::Info>& list,
                                               const std::string& bundleID,
                                               const platform::RunningApplication& app) {
  const auto minimized = minimizedWindowNumbers(app);
  const auto excludedList = services_.preferences->excludedBundleIDs.get();
  const bool excluded = app.bundleIdentifier && std::find(excludedList.begin(), excludedList.end(),
                                                          *app.bundleIdentifier) != excludedList.end();
  const std::string appName = app.localizedName.value_or("");
  std::vector<DockCard> out;
  for (const auto& w : list) {
    DockCard preview;
    preview.windowNumber = w.windowNumber;
    const auto* cached = services_.thumbnails->entry(key(bundleID, w.windowNumber));
    const bool hasStill = cached != nullptr;
    if (hasStill) {
      preview.image = cached->image;
    } else {
      preview.image = services_.appIcons->icon(app.bundleIdentifier.value_or(""), app.pid);
    }
    if (excluded) {
      preview.title = appName;
    } else if (hasStill && cached->title) {
      preview.title = *cached->title;
    } else if (w.title) {
      preview.title = *w.title;
    } else {
      preview.title = appName;
    }
    preview.isMinimized = minimized.contains(w.windowNumber);
    out.push_back(std::move(preview));
  }
  return out;
}

void DockController::retryMissingPreviews() {
  if (!panelVisible() || !current_) return;
  for (const auto& w : current_->windows) {
    const std::string id = key(current_->bundleID, w.windowNumber);
    if (!services_.thumbnails->contains(id))
      services_.thumbnails->captureWindow(w.windowNumber, current_->app.pid, {id}, false);
  }
}

void DockController::captureLanded(const std::vector<std::string>& ids) {
  if (!panelVisible() || !current_ || resolvedBundleID_ != current_->bundleID || refreshPending_) return;
  const std::string prefix = "win:" + current_->bundleID + ":";
  if (std::none_of(ids.begin(), ids.end(), [&](const std::string& id) { return id.starts_with(prefix); }))
    return;
  refreshPending_ = true;
  auto watch = alive_.watch();
  services_.loop->postAfter(kRefreshDelay, [this, watch] {
    if (watch.expired()) return;
    refreshPending_ = false;
    if (!panelVisible() || !current_ || resolvedBundleID_ != current_->bundleID) return;
    const Current copy = *current_;
    present(copy.windows, copy.bundleID, copy.iconFrame, copy.app, false);
  });
}

}  // namespace velvix
