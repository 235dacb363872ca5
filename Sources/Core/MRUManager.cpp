#include "Core/MRUManager.hpp"

#include <algorithm>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Core/Preferences.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/ProcessTable.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

MRUManager::MRUManager(Collaborators collaborators)
    : loop_(collaborators.loop),
      workspace_(collaborators.workspace),
      processes_(collaborators.processes),
      notifications_(collaborators.notifications),
      log_(collaborators.log),
      preferences_(collaborators.preferences),
      windowList_(collaborators.windowList),
      ax_(collaborators.ax),
      runningApps_(collaborators.runningApps),
      thumbnails_(collaborators.thumbnails),
      browserBridge_(collaborators.browserBridge),
      appleScripts_(collaborators.appleScripts),
      permissions_(collaborators.permissions),
      appMonitor_(collaborators.appMonitor) {
  preferencesObservation_ = notifications_.observe(Preferences::kChangedNotification, loop_,
                                                   [this](const auto&) { applyPreferences(); });
  auto& workspace = workspace_.notificationCenter();
  sleepObservation_ = workspace.observe(platform::WorkspaceNotification::kWillSleep, loop_,
                                        [this](const auto&) { sleepBegan_ = now(); });
  wakeObservation_ = workspace.observe(platform::WorkspaceNotification::kDidWake, loop_,
                                       [this](const auto&) { creditSleepTime(); });
}

double MRUManager::now() const {
  return loop_.now();
}

void MRUManager::sortByRecency(std::vector<SwitchableItem>& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const SwitchableItem& a, const SwitchableItem& b) { return recencyBefore(a, b); });
}

void MRUManager::removeWhere(const std::function<bool(const SwitchableItem&)>& remove) {
  std::vector<std::string> removed;
  std::erase_if(items_, [&](const SwitchableItem& item) {
    if (!remove(item)) return false;
    removed.push_back(item.id);
    return true;
  });
  for (const auto& id : removed) thumbnails_.remove(id);
}

void MRUManager::upsertApp(const SwitchableItem& item) {
  SwitchableItem* it = entry(item.id);
  if (!it) {
    items_.push_back(item);
    return;
  }
  if (item.seeded) {
    // An estimate never changes an entry the user used.
    if (it->seeded) it->lastActivatedAt = std::max(it->lastActivatedAt, item.lastActivatedAt);
  } else {
    it->lastActivatedAt = std::max(it->lastActivatedAt, item.lastActivatedAt);
    it->seeded = false;
  }
  it->pid = item.pid;
  it->title = item.title;
}

void MRUManager::markActivated(const std::string& id) {
  SwitchableItem* it = entry(id);
  if (!it) return;
  it->lastActivatedAt = now();
  it->seeded = false;
}

void MRUManager::refreshFrontWindow(const std::string& bundleID, std::int64_t windowNumber) {
  markActivated(SwitchableItem::windowItemID(bundleID, windowNumber));
}

void MRUManager::removeItem(const std::string& id) {
  removeWhere([&](const SwitchableItem& e) { return e.id == id; });
}

void MRUManager::removeApp(const std::string& bundleID) {
  removeWhere([&](const SwitchableItem& e) { return e.kind == ItemKind::app && e.bundleID == bundleID; });
}

const SwitchableItem* MRUManager::find(const std::string& id) const {
  for (const auto& e : items_)
    if (e.id == id) return &e;
  return nullptr;
}

std::optional<std::string> MRUManager::title(const std::string& id) const {
  if (const SwitchableItem* e = find(id)) return e->title;
  return std::nullopt;
}

std::optional<std::string> MRUManager::mostRecentTabItemID(Browser browser) const {
  const SwitchableItem* best = nullptr;
  for (const auto& e : items_) {
    if (e.kind != ItemKind::tab || e.browser != browser) continue;
    if (!best || (best->seeded == e.seeded && e.lastActivatedAt > best->lastActivatedAt) ||
        (best->seeded && !e.seeded))
      best = &e;
  }
  return best ? std::optional<std::string>(best->id) : std::nullopt;
}

void MRUManager::enforceCaps() {
  tabMovedSinceCaps_ = false;
  // A limit below 1 would drop every tab; the store keeps at least one.
  const auto perWindow = static_cast<std::size_t>(std::max(1, preferences_.perWindowTabLimit.get()));
  const auto overall = static_cast<std::size_t>(std::max(1, preferences_.universalTabLimit.get()));
  auto byRecency = [](const SwitchableItem* a, const SwitchableItem* b) { return recencyBefore(*a, *b); };

  // Ordered and counted through pointers: entries are only read until the removal.
  std::map<std::string, std::vector<const SwitchableItem*>> byWindow;
  std::size_t tabCount = 0;
  for (const auto& e : items_) {
    if (e.kind != ItemKind::tab) continue;
    ++tabCount;
    byWindow[e.bundleID + "|" + e.session.value_or("-") + "|" + e.windowID.value_or("?")].push_back(&e);
  }
  std::set<std::string> surplus;
  for (auto& [key, group] : byWindow) {
    if (group.size() <= perWindow) continue;
    std::stable_sort(group.begin(), group.end(), byRecency);
    for (std::size_t i = perWindow; i < group.size(); ++i) surplus.insert(group[i]->id);
  }
  if (!surplus.empty()) {
    removeWhere([&](const SwitchableItem& e) { return surplus.contains(e.id); });
    tabCount = static_cast<std::size_t>(std::count_if(
        items_.begin(), items_.end(), [](const SwitchableItem& e) { return e.kind == ItemKind::tab; }));
  }
  if (tabCount <= overall) return;

  std::vector<const SwitchableItem*> tabs;
  tabs.reserve(tabCount);
  for (const auto& e : items_)
    if (e.kind == ItemKind::tab) tabs.push_back(&e);
  std::stable_sort(tabs.begin(), tabs.end(), byRecency);
  std::set<std::string> overflow;
  for (std::size_t i = overall; i < tabs.size(); ++i) overflow.insert(tabs[i]->id);
  removeWhere([&](const SwitchableItem& e) { return e.kind == ItemKind::tab && overflow.contains(e.id); });
}

void MRUManager::applyPreferences() {
  if (!preferences_.includePrivateTabs.get())
    removeWhere([](const SwitchableItem& e) { return e.isPrivate; });
  hideExcludedWindowTitles();
  enforceCaps();
}

// The window titles of excluded applications are never shown: a window entry of an application
// that has just been excluded takes its application's name at once, not at its next bump.
void MRUManager::hideExcludedWindowTitles() {
  for (auto& e : items_) {
    if (e.kind != ItemKind::app || !e.windowNumber || !isExcluded(e.bundleID)) continue;
    std::optional<std::string> name;
    if (e.pid)
      if (auto app = workspace_.application(*e.pid)) name = app->localizedName;
    e.title = name && !name->empty() ? *name : e.bundleID;
  }
}

// Time asleep adds to no entry's age: every date moves forward by the slept interval.
void MRUManager::creditSleepTime() {
  if (!sleepBegan_) return;
  const double slept = now() - *sleepBegan_;
  sleepBegan_.reset();
  if (slept <= 0) return;
  for (auto& e : items_) e.lastActivatedAt += slept;
}

bool MRUManager::isExcluded(const std::string& bundleID) const {
  const auto& excluded = preferences_.excludedBundleIDs.get();
  return std::find(excluded.begin(), excluded.end(), bundleID) != excluded.end();
}

// Dead: no running application for the id and the process is gone (a process of another user
// answers the probe with a permission error: it lives).
bool MRUManager::isDead(platform::Pid pid) const {
  // A running application, asked for without taking its snapshot.
  if (!workspace_.isTerminated(pid)) return false;
  if (pid <= 0) return true;
  return processes_.probe(pid) == platform::ProcessTable::Probe::gone;
}

}  // namespace velvix
