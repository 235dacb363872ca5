// How entries leave the inventory when what they stand for is gone: the timer pass (expiry and
// dead windows) and the reconciliation of a browser's tabs against a live enumeration. Removals
// that rest on an absence are confirmed first: two passes for a window, strikes for a tab, and
// an empty enumeration counts only when the browser provably has no window.

#include <map>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Privacy.hpp"
#include "Support/DebugLog.hpp"
#include "Support/LogText.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

using logtext::quotedList;

std::optional<std::string> MRUManager::newestID() const {
  const SwitchableItem* best = nullptr;
  for (const auto& e : items_)
    if (!best || (best->seeded == e.seeded && e.lastActivatedAt > best->lastActivatedAt) ||
        (best->seeded && !e.seeded))
      best = &e;
  return best ? std::optional<std::string>(best->id) : std::nullopt;
}

void MRUManager::purgeDeadAndExpired() {
  const auto live = windowList_.liveWindowNumbers();
  if (live.empty()) return;  // no window list: nothing can be told, not even tab ages
  const double cutOff = now() - kTabExpiry;
  const auto newest = newestID();

  std::vector<std::string> removedTagged;
  std::set<std::string> removed;
  for (const auto& e : items_) {
    if (e.kind == ItemKind::tab) {
      if (e.id != newest && e.lastActivatedAt < cutOff) {
        removed.insert(e.id);
        removedTagged.push_back(e.id + "[expired]");
      }
      continue;
    }
    if (!e.windowNumber) continue;
    if (live.contains(*e.windowNumber)) {
      deadWindowStrikes_.erase(e.id);
      continue;
    }
    const int strikes = ++deadWindowStrikes_[e.id];
    if (strikes >= kDeadWindowStrikes) {
      deadWindowStrikes_.erase(e.id);
      removed.insert(e.id);
      removedTagged.push_back(e.id + "[deadwin]");
    }
  }
  if (!removed.empty()) removeWhere([&](const SwitchableItem& e) { return removed.contains(e.id); });
  std::erase_if(deadWindowStrikes_, [&](const auto& entry) {
    return std::none_of(items_.begin(), items_.end(),
                        [&](const SwitchableItem& e) { return e.id == entry.first; });
  });
  if (!removedTagged.empty()) log_.log("purgeDeadAndExpired removed " + quotedList(removedTagged));
}

bool MRUManager::isProvablyWindowless(platform::Pid pid) const {
  auto states = ax_.windowStatesIfEnumerable(pid);
  if (!states || !states->empty()) return false;
  std::vector<std::int64_t> own;
  for (const auto& w : windowList_.realWindows(false))
    if (w.pid == pid) own.push_back(w.windowNumber);
  return windowList_.numbersOnHiddenSpaces(own).empty();
}

std::set<std::string> MRUManager::reconcile(Browser browser, const std::vector<std::string>& liveKeys,
                                            int strikeLimit) {
  const std::string name(browsers::rawValue(browser));
  if (liveKeys.empty()) {
    auto app = runningApps_.first(std::string(browsers::bundleID(browser)));
    if (!app || !isProvablyWindowless(app->pid)) {
      log_.log("reconcile " + name + ": empty enumeration ignored");
      return {};
    }
  }
  std::map<std::string, int> liveCounts;
  for (const auto& key : liveKeys) ++liveCounts[key];

  auto isTab = [&](const SwitchableItem& e) { return e.kind == ItemKind::tab && e.browser == browser; };
  auto countable = [&](const SwitchableItem& e) {
    return isTab(e) && e.url && !e.url->empty() && *e.url != kAuxPlaceholderURL;
  };

  // A scripted entry for a tab that the extension also reports is a duplicate.
  std::set<std::string> extensionURLs;
  for (const auto& e : items_)
    if (isTab(e) && e.source == TabSource::webExtension && e.url) extensionURLs.insert(*e.url);
  std::vector<std::string> duplicates;
  for (const auto& e : items_)
    if (countable(e) && e.source == TabSource::appleScript && isIdentifyingURL(*e.url) &&
        extensionURLs.contains(*e.url))
      duplicates.push_back(e.id);
  if (!duplicates.empty()) {
    std::set<std::string> dup(duplicates.begin(), duplicates.end());
    removeWhere([&](const SwitchableItem& e) { return isTab(e) && dup.contains(e.id); });
  }

  // Missing: not listed at all (unless used in the last few seconds), or listed fewer times
  // than the store holds it, in which case the least recent ones miss.
  const double graceStart = now() - kRecentActivationGrace;
  std::set<std::string> missing;
  std::map<std::string, std::vector<SwitchableItem>> byURL;
  for (const auto& e : items_) {
    if (!countable(e)) continue;
    byURL[*e.url].push_back(e);
    auto count = liveCounts.find(*e.url);
    if (e.lastActivatedAt <= graceStart && (count == liveCounts.end() || count->second == 0))
      missing.insert(e.id);
  }
  for (auto& [url, group] : byURL) {
    auto count = liveCounts.find(url);
    if (count == liveCounts.end() || count->second == 0) continue;
    if (group.size() <= static_cast<std::size_t>(count->second)) continue;
    sortByRecency(group);
    for (std::size_t i = static_cast<std::size_t>(count->second); i < group.size(); ++i)
      missing.insert(group[i].id);
  }

  std::vector<std::string> struck;
  for (const auto& e : items_) {
    if (!isTab(e)) continue;
    if (!missing.contains(e.id)) {
      reconcileStrikes_.erase(e.id);
      unresolvableIDs_.erase(e.id);
      continue;
    }
    const int strikes = reconcileStrikes_[e.id] + 1;
    if (unresolvableIDs_.contains(e.id) || strikes >= strikeLimit) {
      reconcileStrikes_.erase(e.id);
      unresolvableIDs_.erase(e.id);
      struck.push_back(e.id);
    } else {
      reconcileStrikes_[e.id] = strikes;
    }
  }
  if (!struck.empty()) {
    std::set<std::string> gone(struck.begin(), struck.end());
    removeWhere([&](const SwitchableItem& e) { return isTab(e) && gone.contains(e.id); });
  }

  std::set<std::string> tabIDs;
  for (const auto& e : items_)
    if (e.kind == ItemKind::tab) tabIDs.insert(e.id);
  std::erase_if(reconcileStrikes_, [&](const auto& entry) { return !tabIDs.contains(entry.first); });
  std::erase_if(unresolvableIDs_, [&](const std::string& id) { return !tabIDs.contains(id); });

  std::vector<std::string> removed = duplicates;
  removed.insert(removed.end(), struck.begin(), struck.end());
  if (!removed.empty())
    log_.log("reconcile " + name + " liveKeys=" + std::to_string(liveKeys.size()) +
             " removed=" + quotedList(removed) + " (dup=" + std::to_string(duplicates.size()) +
             " strike=" + std::to_string(struck.size()) + ")");
  return {removed.begin(), removed.end()};
}

void MRUManager::noteUnresolvableTab(const std::string& id, Browser browser) {
  if (!find(id)) return;
  unresolvableIDs_.insert(id);
  verifyTabs(browser);
}

void MRUManager::verifyTabs(Browser browser) {
  if (browsers::isEditor(browser)) return;
  if (permissions_.automationStatus(browser) != platform::Privacy::kAutomationGranted) return;
  auto last = lastTabVerification_.find(browser);
  if (last != lastTabVerification_.end() && loop_.uptime() - last->second < kVerificationInterval) return;
  lastTabVerification_[browser] = loop_.uptime();
  appleScripts_.liveTabKeysAsync(browser, [this, browser](std::optional<std::vector<std::string>> keys) {
    if (keys) reconcile(browser, *keys, kStrikeLimit);
  });
}

}  // namespace velvix
