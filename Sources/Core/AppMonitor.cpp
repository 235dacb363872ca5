#include "Core/AppMonitor.hpp"

#include <algorithm>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Core/ChordSnapshot.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Core/WindowList.hpp"
#include "Platform/InputState.hpp"
#include "Platform/Privacy.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

using platform::Pid;
using platform::RunningApplication;
namespace WN = platform::WorkspaceNotification;

namespace {

// The application a workspace notification is about.
std::optional<RunningApplication> applicationOf(const platform::Notification& n) {
  const auto& info = n.userInfo;
  if (!info.is_object() || !info.contains("pid") || !info["pid"].is_number_integer()) return std::nullopt;
  RunningApplication app;
  app.pid = info["pid"].get<Pid>();
  if (info.contains("bundleID") && info["bundleID"].is_string())
    app.bundleIdentifier = info["bundleID"].get<std::string>();
  if (info.contains("name") && info["name"].is_string()) app.localizedName = info["name"].get<std::string>();
  if (info.contains("activationPolicy") && info["activationPolicy"].is_number_integer())
    app.activationPolicy = static_cast<platform::ActivationPolicy>(info["activationPolicy"].get<int>());
  return app;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

AppMonitor::AppMonitor(const Collaborators& c)
    : workspace_(c.workspace),
      windowList_(c.windowList),
      ax_(c.ax),
      input_(c.input),
      runningApps_(c.runningApps),
      browserBridge_(c.browserBridge),
      appleScripts_(c.appleScripts),
      permissions_(c.permissions),
      preferences_(c.preferences),
      mru_(c.mru),
      thumbnails_(c.thumbnails),
      loop_(c.loop) {}

double AppMonitor::now() const {
  return loop_.now();
}

bool AppMonitor::isSuppressed() const {
  return loop_.uptime() < autoTrackSuppressedUntil;
}

double AppMonitor::userIdleSeconds() const {
  using T = platform::InputEventType;
  double idle = input_.secondsSinceLastEvent(T::keyDown);
  for (T type : {T::mouseMoved, T::leftMouseDown, T::scrollWheel, T::flagsChanged})
    idle = std::min(idle, input_.secondsSinceLastEvent(type));
  return idle;
}

void AppMonitor::start() {
  auto& center = workspace_.notificationCenter();
  auto on = [this, &center](const char* name, void (AppMonitor::*handler)(const RunningApplication&)) {
    observers_.push_back(center.observe(name, loop_, [this, handler](const platform::Notification& n) {
      if (auto app = applicationOf(n)) (this->*handler)(*app);
    }));
  };
  on(WN::kDidActivateApplication, &AppMonitor::didActivate);
  on(WN::kDidDeactivateApplication, &AppMonitor::didDeactivate);
  on(WN::kDidTerminateApplication, &AppMonitor::didTerminate);
  reconcileTimer_ = loop_.every(kReconcileInterval, [this] { reconcilePass(); });
  if (auto front = workspace_.frontmostApplication()) {
    restartWindowFocusPoll(*front);
    restartFrontTabPoll(*front);
  }
}

void AppMonitor::didActivate(const RunningApplication& app) {
  if (!isSuppressed()) mru_.bumpApp(app, now());
  snapshotCurrentTab(app, false);
  restartFrontTabPoll(app);
  restartWindowFocusPoll(app);
}

// The application being left is dated 0.75 s before the moment, so the one being activated ranks
// ahead of it whichever of the two notifications arrives first.
void AppMonitor::didDeactivate(const RunningApplication& app) {
  if (frontTabPollPID_ == app.pid) {
    frontTabPoll_.invalidate();
    frontTabPollPID_.reset();
  }
  if (windowFocusPollPID_ == app.pid) {
    windowFocusPoll_.invalidate();
    windowFocusPollPID_.reset();
  }
  lastPolledWindowNumber_.erase(app.pid);
  if (!isSuppressed()) mru_.bumpApp(app, now() - MRUManager::kDeactivationBackdate);
  snapshotCurrentTab(app, true);
  captureThumbnail(app, true, true);
  thumbnails_.captureOneMissingWindow();
}

void AppMonitor::didTerminate(const RunningApplication& app) {
  if (!app.bundleIdentifier) return;
  const std::string& bundleID = *app.bundleIdentifier;
  bool otherAlive = false;
  for (const auto& other : workspace_.runningApplications(bundleID))
    if (other.pid != app.pid && !other.isTerminated) otherAlive = true;
  if (otherAlive) {
    // Only this instance's entries go; the other instance keeps the bundle's tabs.
    mru_.removeWhere([&](const SwitchableItem& e) { return e.pid == app.pid; });
    return;
  }
  mru_.removeApp(bundleID);
  if (auto browser = browsers::fromBundleID(bundleID)) {
    mru_.purgeTabs(*browser);
    browserBridge_.browserQuit(*browser);
  }
}

void AppMonitor::reconcilePass() {
  if (isChordActive) return;
  mru_.purgeDeadAndExpired();
  if (userIdleSeconds() >= kIdleStopsTabWork) return;
  for (Browser browser : browsers::all()) {
    if (!runningApps_.first(std::string(browsers::bundleID(browser)))) continue;
    if (browsers::isEditor(browser)) continue;
    if (browsers::isChromiumFamily(browser) && browserBridge_.isExtensionLive(browser)) {
      browserBridge_.requestChromiumSync(browser);  // the extension answers with a full sync
      continue;
    }
    // The decision uses the status as cached now; a refresh only informs later passes.
    auto cached = permissions_.automationCacheEntry(browser);
    if (!cached || loop_.uptime() - cached->at > PermissionsService::kAutomationStaleAfter)
      permissions_.refreshAutomationStatus(browser);
    if (!cached || cached->status != platform::Privacy::kAutomationGranted) continue;
    appleScripts_.liveTabKeysAsync(
        browser, [this, browser, watch = alive_.watch()](std::optional<std::vector<std::string>> keys) {
          if (!watch.expired() && keys) mru_.reconcile(browser, *keys, MRUManager::kStrikeLimit);
        });
  }
}

void AppMonitor::restartWindowFocusPoll(const RunningApplication& app) {
  windowFocusPoll_.invalidate();
  windowFocusPollPID_.reset();
  if (!app.bundleIdentifier) return;
  if (auto browser = browsers::fromBundleID(*app.bundleIdentifier);
      browser && browserBridge_.reportsTabs(*browser))
    return;  // tracked by tab
  windowFocusPollPID_ = app.pid;
  if (auto front = windowList_.frontWindow(app.pid)) {
    lastPolledWindowNumber_[app.pid] = front->windowNumber;
  } else {
    lastPolledWindowNumber_.erase(app.pid);
  }
  windowFocusPoll_ = loop_.every(kPollInterval, [this, pid = app.pid] { windowFocusTick(pid); });
}

void AppMonitor::windowFocusTick(Pid pid) {
  if (isChordActive || isSuppressed()) return;
  auto front = workspace_.frontmostApplication();
  if (!front || front->pid != pid) {
    windowFocusPoll_.invalidate();
    windowFocusPollPID_.reset();
    return;
  }
  auto window = windowList_.frontWindow(pid);
  if (!window) return;
  auto last = lastPolledWindowNumber_.find(pid);
  if (last != lastPolledWindowNumber_.end() && last->second == window->windowNumber) {
    if (front->bundleIdentifier) mru_.refreshFrontWindow(*front->bundleIdentifier, window->windowNumber);
    return;
  }
  // The front window changed: picture the one just left once it has settled.
  if (last != lastPolledWindowNumber_.end() && front->bundleIdentifier)
    thumbnails_.captureWhenSettled(last->second, pid,
                                   {SwitchableItem::windowItemID(*front->bundleIdentifier, last->second)},
                                   ThumbnailStore::kSettleDelay, 0);
  lastPolledWindowNumber_[pid] = window->windowNumber;
  mru_.bumpApp(*front, now());
  captureThumbnail(*front, false, true);
}

void AppMonitor::restartFrontTabPoll(const RunningApplication& app) {
  frontTabPoll_.invalidate();
  frontTabPollPID_.reset();
  if (!app.bundleIdentifier) return;
  auto browser = browsers::fromBundleID(*app.bundleIdentifier);
  if (!browser) return;
  // Extensions report tab changes themselves; Safari is always polled.
  if (*browser != Browser::safari && browserBridge_.isExtensionLive(*browser)) return;
  frontTabPollPID_ = app.pid;
  frontTabPoll_ =
      loop_.every(kPollInterval, [this, bundleID = *app.bundleIdentifier] { frontTabTick(bundleID); });
}

void AppMonitor::frontTabTick(const std::string& bundleID) {
  if (isChordActive) return;
  auto front = workspace_.frontmostApplication();
  if (!front || front->bundleIdentifier != bundleID) {
    frontTabPoll_.invalidate();
    frontTabPollPID_.reset();
    return;
  }
  // Script the browser only when there was input since about the last snapshot.
  const double elapsed = loop_.uptime() - lastSnapshotAt;
  if (userIdleSeconds() <= elapsed + 1.0) snapshotCurrentTab(*front, false);
}

void AppMonitor::snapshotCurrentTab(const RunningApplication& app, bool backdated) {
  if (isSuppressed() || !app.bundleIdentifier) return;
  auto browser = browsers::fromBundleID(*app.bundleIdentifier);
  if (!browser || browsers::isEditor(*browser)) return;
  if (permissions_.automationStatus(*browser) != platform::Privacy::kAutomationGranted) return;
  const double date = backdated ? now() - MRUManager::kDeactivationBackdate : now();
  if (*browser != Browser::safari) {
    snapshotFrontTab(*browser, date);
    return;
  }
  lastSnapshotAt = loop_.uptime();
  appleScripts_.scriptedWindowNamesAsync(
      Browser::safari,
      [this, watch = alive_.watch(), app, date](std::optional<std::vector<std::string>> names, bool fresh) {
        if (watch.expired() || !names) return;
        const auto titles = ax_.windowTitles(app.pid);
        if (!titles.empty() && AXWindowBridge::isPrivateWindowTitle(titles.front(), *names)) {
          notePrivateFrontWindow(app);  // nothing about a private window is recorded
          return;
        }
        privateBrowserWindows_.erase(app.pid);
        auto aux = AXWindowBridge::auxWindowTitle(titles, app.localizedName, *names);
        if (aux) {
          // A window without tabs (Settings) is in front: the browsing tab behind it is not in use.
          // Names that are not fresh cannot tell that window apart, so nothing is recorded then.
          if (fresh)
            mru_.touchScriptedTab(Browser::safari, MRUManager::kAuxPlaceholderURL, *aux, "aux", std::nullopt,
                                  date, false);
          return;
        }
        if (!aux && !titles.empty()) {
          mru_.removeWhere([&](const SwitchableItem& e) {
            return e.kind == ItemKind::tab && e.browser == Browser::safari &&
                   e.url == MRUManager::kAuxPlaceholderURL &&
                   std::find(titles.begin(), titles.end(), e.title) == titles.end();
          });
        }
        snapshotFrontTab(Browser::safari, date);
      });
}

void AppMonitor::snapshotFrontTab(Browser browser, double date) {
  if (browserBridge_.isExtensionLive(browser)) {
    mru_.refreshFrontTab(browser, date);
    return;
  }
  lastSnapshotAt = loop_.uptime();
  appleScripts_.currentTabAsync(
      browser, [this, watch = alive_.watch(), browser, date](AppleScriptBridge::CurrentTab tab) {
        if (watch.expired()) return;
        mru_.touchScriptedTab(browser, tab.url, tab.title, tab.windowID, tab.position, date, false);
      });
}

void AppMonitor::captureFrontmostForChord(const ChordSnapshot& chord) {
  auto front = workspace_.frontmostApplication();
  if (!front) return;
  const std::string own = workspace_.ownBundleIdentifier();
  if (front->bundleIdentifier.value_or("") == own) return;
  captureThumbnail(*front, false, false, &chord);
}

void AppMonitor::recordFrontmostWindowNow(const ChordSnapshot& chord) {
  auto front = workspace_.frontmostApplication();
  if (!front || !front->bundleIdentifier || browsers::fromBundleID(*front->bundleIdentifier)) return;
  mru_.bumpApp(*front, now(), chord);
  if (auto window = windowList_.frontWindow(front->pid, chord)) {
    mru_.refreshFrontWindow(*front->bundleIdentifier, window->windowNumber);
    lastPolledWindowNumber_[front->pid] = window->windowNumber;
  } else {
    lastPolledWindowNumber_.erase(front->pid);
  }
}

void AppMonitor::captureThumbnail(const RunningApplication& app, bool allWindows, bool settled,
                                  const ChordSnapshot* chord) {
  if (!thumbnails_.isAvailable() || !app.bundleIdentifier) return;
  const std::string& bundleID = *app.bundleIdentifier;
  if (auto browser = browsers::fromBundleID(bundleID)) {
    if (frontWindowIsPrivate(app.pid, chord)) return;  // no picture of a private window
    std::vector<std::string> keys{SwitchableItem::appID(bundleID)};
    if (auto tab = mru_.mostRecentTabItemID(*browser);
        tab && frontWindowShows(*tab, *browser, app.pid, chord))
      keys.insert(keys.begin(), *tab);
    thumbnails_.captureFrontWindow(app.pid, keys, settled);
    return;
  }
  // The application's on-screen windows, front to back: told from the chord's read, or read now.
  std::vector<WindowList::Info> read;
  std::vector<const WindowList::Info*> own;
  if (chord) {
    own = chord->onScreenWindowsOf(app.pid);
  } else {
    read = windowList_.realWindows(true);
    for (const WindowList::Info& w : read)
      if (w.pid == app.pid) own.push_back(&w);
  }
  for (const WindowList::Info* w : own) {
    std::vector<std::string> keys{SwitchableItem::windowItemID(bundleID, w->windowNumber)};
    if (settled) {
      thumbnails_.captureWhenSettled(w->windowNumber, app.pid, keys, ThumbnailStore::kSettleDelay, 0);
    } else {
      thumbnails_.captureWindow(w->windowNumber, app.pid, keys, false);
    }
    if (!allWindows) break;
  }
}

void AppMonitor::notePrivateFrontWindow(const RunningApplication& app) {
  if (auto front = windowList_.frontWindow(app.pid))
    privateBrowserWindows_[app.pid].insert(front->windowNumber);
}

std::optional<WindowList::Info> AppMonitor::frontWindow(Pid pid, const ChordSnapshot* chord) const {
  return chord ? windowList_.frontWindow(pid, *chord) : windowList_.frontWindow(pid);
}

bool AppMonitor::frontWindowIsPrivate(Pid pid, const ChordSnapshot* chord) const {
  if (preferences_.includePrivateTabs.get()) return false;
  auto front = frontWindow(pid, chord);
  if (!front) return false;
  if (auto it = privateBrowserWindows_.find(pid);
      it != privateBrowserWindows_.end() && it->second.contains(front->windowNumber))
    return true;
  return front->title && endsWith(*front->title, ", Private Browsing");
}

bool AppMonitor::frontWindowShows(const std::string& tabItemID, Browser browser, Pid pid,
                                  const ChordSnapshot* chord) const {
  if (browser == Browser::terminal) return true;
  auto front = frontWindow(pid, chord);
  if (!front) return false;
  if (auto it = privateBrowserWindows_.find(pid);
      it != privateBrowserWindows_.end() && it->second.contains(front->windowNumber))
    return false;
  if (!front->title || front->title->empty()) return true;
  auto tabTitle = mru_.title(tabItemID);
  if (!tabTitle || tabTitle->empty()) return true;
  if (browser == Browser::safari) return *front->title == *tabTitle;
  return front->title->rfind(*tabTitle, 0) == 0;
}

}  // namespace velvix
