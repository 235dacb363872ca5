// Single-tab reports of browser and editor extensions: a tab became active, changed, closed or
// took a new id, and a reporter went away. Entries are found by the extension tab id; entries of
// an earlier Safari extension session are merged into the new one so a tab keeps its place.

#include <algorithm>
#include <set>

#include "Bridge/BrowserBridge.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Utf8.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

SwitchableItem MRUManager::extensionTabEntry(Browser browser, const std::optional<std::string>& session,
                                             const TabPack& pack) {
  SwitchableItem item;
  item.id = tabItemID(browser, session, pack.tabID);
  item.kind = ItemKind::tab;
  item.bundleID = std::string(browsers::bundleID(browser));
  item.browser = browser;
  item.windowID = std::to_string(pack.windowID);
  item.tabID = pack.tabID;
  item.session = session;
  if (pack.tabIndex >= 0) item.tabIndex = pack.tabIndex;
  item.title = pack.title.empty() ? pack.url : pack.title;
  item.url = pack.url;
  item.isPrivate = pack.isPrivate;
  item.source = TabSource::webExtension;
  return item;
}

void MRUManager::noteClosedTab(const std::string& id) {
  const double at = loop_.uptime();
  std::erase_if(recentlyClosedTabs_, [&](const auto& e) { return at - e.second >= kReportOutranksSyncFor; });
  recentlyClosedTabs_[id] = at;
}

bool MRUManager::closedLately(const std::string& id) const {
  auto it = recentlyClosedTabs_.find(id);
  return it != recentlyClosedTabs_.end() && loop_.uptime() - it->second < kReportOutranksSyncFor;
}

std::optional<std::string> MRUManager::activatedLately(Browser browser) const {
  auto it = recentFocusedActivation_.find(browser);
  if (it == recentFocusedActivation_.end() || loop_.uptime() - it->second.at >= kReportOutranksSyncFor)
    return std::nullopt;
  return it->second.id;
}

bool MRUManager::sessionIsConnected(Browser browser, const std::optional<std::string>& session) const {
  return browserBridge_.client(browser, session) != nullptr;
}

bool MRUManager::includesPrivateTabs() const {
  return preferences_.includePrivateTabs.get();
}

void MRUManager::tabActivated(Browser browser, const std::optional<std::string>& session, const TabPack& pack,
                              bool inFocusedWindow) {
  const std::string id = tabItemID(browser, session, pack.tabID);
  if (pack.isPrivate && !includesPrivateTabs()) {
    removeWhere([&](const SwitchableItem& e) { return e.id == id; });
    return;
  }
  const auto prior = adoptPriorSessions(browser, session, pack);

  // The same page known through Apple Events, or under a session whose reporter is gone, is this
  // tab. A session that is still connected (another live profile) has the page open itself. Such an
  // entry is rare: the removal pass runs only when there is one.
  auto sameTab = [&](const SwitchableItem& e) {
    if (e.kind != ItemKind::tab || e.browser != browser || e.id == id || e.url != pack.url) return false;
    return e.source == TabSource::appleScript ||
           (e.source == TabSource::webExtension && e.session != session &&
            !sessionIsConnected(browser, e.session));
  };
  if (isIdentifyingURL(pack.url) && std::any_of(items_.begin(), items_.end(), sameTab)) removeWhere(sameTab);
  if (inFocusedWindow) {
    focusedTabID_[browser] = id;
    recentFocusedActivation_[browser] = {id, loop_.uptime()};
  }

  const double date = now();
  auto it = std::find_if(items_.begin(), items_.end(), [&](const SwitchableItem& e) { return e.id == id; });
  const bool added = it == items_.end();
  if (!added) {
    if (inFocusedWindow) {
      it->lastActivatedAt = date;
      it->seeded = false;
    } else if (prior) {
      it->lastActivatedAt = std::max(it->lastActivatedAt, prior->date);
    }
    apply(pack, static_cast<std::size_t>(it - items_.begin()));
    if (it->session != session) tabMovedSinceCaps_ = true;
    it->session = session;
  } else {
    // A tab activated in a background window enters as an estimate, not as a use.
    SwitchableItem item = extensionTabEntry(browser, session, pack);
    item.favIconURL = pack.favIconURL;
    item.lastActivatedAt = inFocusedWindow || !prior ? date : prior->date;
    item.seeded = inFocusedWindow ? false : (prior ? prior->seeded : true);
    items_.push_back(std::move(item));
  }
  if (added || tabMovedSinceCaps_) enforceCaps();
  if (inFocusedWindow) captureSoon(browser, id);
}

void MRUManager::tabUpdated(Browser browser, const std::optional<std::string>& session, const TabPack& pack) {
  const std::string id = tabItemID(browser, session, pack.tabID);
  auto it = std::find_if(items_.begin(), items_.end(), [&](const SwitchableItem& e) { return e.id == id; });
  if (it != items_.end()) apply(pack, static_cast<std::size_t>(it - items_.begin()));
}

void MRUManager::tabRemoved(Browser browser, const std::optional<std::string>& session, std::int64_t tabID) {
  const std::string id = tabItemID(browser, session, tabID);
  noteClosedTab(id);
  if (find(id)) {
    removeWhere([&](const SwitchableItem& e) { return e.id == id; });
    return;
  }
  // The entry may have been made before the extension reported a session.
  std::set<std::string> ids;
  for (const auto& e : items_)
    if (e.kind == ItemKind::tab && e.browser == browser && e.source == TabSource::webExtension &&
        !e.session && e.tabID == tabID)
      ids.insert(e.id);
  if (!ids.empty()) removeWhere([&](const SwitchableItem& e) { return ids.contains(e.id); });
}

void MRUManager::tabReplaced(Browser browser, const std::optional<std::string>& session,
                             std::int64_t oldTabID, const TabPack& pack) {
  const std::string oldID = tabItemID(browser, session, oldTabID);
  const std::string newID = tabItemID(browser, session, pack.tabID);
  auto it =
      std::find_if(items_.begin(), items_.end(), [&](const SwitchableItem& e) { return e.id == oldID; });
  if (it == items_.end()) return;
  // Taken out without its picture, which moves to the new id below.
  const SwitchableItem old = *it;
  items_.erase(it);
  // Entries only: a picture the new id already has stays if it is the newer one (rekey below).
  std::erase_if(items_, [&](const SwitchableItem& e) { return e.id == newID; });

  SwitchableItem item = extensionTabEntry(browser, session, pack);
  item.favIconURL = pack.favIconURL ? pack.favIconURL : old.favIconURL;
  item.lastActivatedAt = old.lastActivatedAt;
  item.seeded = old.seeded;
  items_.push_back(std::move(item));
  tabMovedSinceCaps_ = true;  // the new entry may lie in another window
  thumbnails_.rekey(oldID, newID);
}

void MRUManager::purgeTabs(Browser browser, const std::optional<std::string>& session) {
  std::set<std::string> ids;
  for (const auto& e : items_)
    if (e.kind == ItemKind::tab && e.browser == browser && e.source == TabSource::webExtension &&
        e.session == session)
      ids.insert(e.id);
  if (ids.empty()) return;
  removeWhere([&](const SwitchableItem& e) { return ids.contains(e.id); });
  for (const auto& id : ids) reconcileStrikes_.erase(id);
  if (auto focused = focusedTabID_.find(browser);
      focused != focusedTabID_.end() && ids.contains(focused->second))
    focusedTabID_.erase(focused);
  log_.log("purged " + std::to_string(ids.size()) + " tab(s) of " + std::string(browsers::rawValue(browser)) +
           " session " + (session ? utf8::prefix(*session, 8) : std::string("-")) +
           " \u2014 its reporter disconnected");
}

std::optional<MRUManager::PriorSessions> MRUManager::adoptPriorSessions(
    Browser browser, const std::optional<std::string>& session, const TabPack& pack) {
  if (browser != Browser::safari || !session || session->empty()) return std::nullopt;
  const bool identifying = isIdentifyingURL(pack.url);
  std::vector<const SwitchableItem*> candidates;
  for (const auto& e : items_) {
    if (e.kind != ItemKind::tab || e.browser != Browser::safari || e.source != TabSource::webExtension)
      continue;
    if (!e.session || *e.session == *session || e.url != pack.url) continue;
    // A blank page says nothing about which tab it was, unless it held the same place.
    if (!identifying && (!e.tabIndex || *e.tabIndex != pack.tabIndex)) continue;
    candidates.push_back(&e);
  }
  if (candidates.empty()) return std::nullopt;

  PriorSessions prior{candidates.front()->lastActivatedAt, true};
  std::set<std::string> ids;
  for (const SwitchableItem* c : candidates) {
    prior.date = std::max(prior.date, c->lastActivatedAt);
    prior.seeded = prior.seeded && c->seeded;
    ids.insert(c->id);
  }
  const std::string newID = tabItemID(Browser::safari, session, pack.tabID);
  const std::size_t count = candidates.size();
  // Each old picture moves over unless the new id already holds a newer one.
  for (const auto& id : ids)
    if (id != newID) thumbnails_.rekey(id, newID);
  // Entries of the reporting session stay, also one that already carries the new id.
  auto merged = [&](const SwitchableItem& e) { return ids.contains(e.id) && e.session != session; };
  std::erase_if(items_, [&](const SwitchableItem& e) { return e.id == newID && merged(e); });
  removeWhere(merged);
  log_.log("adopted " + std::to_string(count) + " record(s) of " + utf8::prefix(pack.url, 40) + " onto " +
           newID);
  return prior;
}

}  // namespace velvix
