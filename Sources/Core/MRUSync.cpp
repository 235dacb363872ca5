// A full snapshot of one extension's windows and tabs. It is complete for the session it names:
// afterwards every extension entry of that session stands for a listed tab (or a tab newer than
// every listed one), no scripted entry duplicates or outlives a listed tab, and for Safari no
// entry of an earlier session is left.

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "Core/MRUManager.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Utf8.hpp"
#include "Support/DebugLog.hpp"
#include "Support/LogText.hpp"

namespace velvix {
namespace {

const TabPack& chosenTab(const SyncedWindow& window) {
  auto active =
      std::find_if(window.tabs.begin(), window.tabs.end(), [](const TabPack& t) { return t.active; });
  return active != window.tabs.end() ? *active : window.tabs.front();
}

}  // namespace

void MRUManager::adoptSync(Browser browser, const std::optional<std::string>& session,
                           const std::vector<SyncedWindow>& windows) {
  const std::string name(browsers::rawValue(browser));
  if (windows.empty()) {
    log_.log("adoptSync " + name + ": empty sync ignored");
    return;
  }
  // Hashed, and the addresses viewed in place: a browser may report tens of thousands of tabs.
  std::size_t tabCount = 0;
  for (const auto& window : windows) tabCount += window.tabs.size();
  std::unordered_map<std::int64_t, const TabPack*> packs;
  packs.reserve(tabCount);
  std::optional<std::int64_t> largestID;
  for (const auto& window : windows)
    for (const auto& pack : window.tabs) {
      packs[pack.tabID] = &pack;
      largestID = std::max(largestID.value_or(pack.tabID), pack.tabID);
    }
  const bool anyTab = largestID.has_value();
  const std::int64_t largest = largestID.value_or(0);
  std::unordered_set<std::string_view> reportedURLs;
  reportedURLs.reserve(packs.size());
  for (const auto& [id, pack] : packs) reportedURLs.insert(pack->url);

  // Closed tabs. A tab newer than every listed one may have opened after the snapshot was taken.
  std::vector<std::string> closed;
  for (const auto& e : items_)
    if (e.kind == ItemKind::tab && e.browser == browser && e.source == TabSource::webExtension &&
        e.session == session && e.tabID && !packs.contains(*e.tabID) && (!anyTab || *e.tabID <= largest))
      closed.push_back(e.id);
  if (!closed.empty()) {
    log_.log("adoptSync " + name + " session=" + (session ? utf8::prefix(*session, 8) : std::string("-")) +
             " pruned closed=" + logtext::quotedList(closed));
    const std::set<std::string> gone(closed.begin(), closed.end());
    removeWhere([&](const SwitchableItem& e) {
      return e.kind == ItemKind::tab && e.browser == browser && e.session == session && gone.contains(e.id);
    });
  }

  for (std::size_t i = 0; i < items_.size(); ++i) {
    const SwitchableItem& e = items_[i];
    if (e.kind != ItemKind::tab || e.browser != browser || e.session != session || !e.tabID) continue;
    if (auto pack = packs.find(*e.tabID); pack != packs.end()) apply(*pack->second, i);
  }

  // The active tab of every window, the focused window's first, each an estimated half second
  // older than the one before.
  std::vector<const SyncedWindow*> ordered;
  for (const auto& window : windows) ordered.push_back(&window);
  std::stable_partition(ordered.begin(), ordered.end(), [](const SyncedWindow* w) { return w->focused; });
  const double date = now();
  double offset = 0.5;
  for (const SyncedWindow* window : ordered) {
    if (window->tabs.empty()) continue;
    const TabPack& chosen = chosenTab(*window);
    if (chosen.isPrivate && !includesPrivateTabs()) continue;
    const std::string id = tabItemID(browser, session, chosen.tabID);
    // A tab closed just before the sync arrived stays closed; a tab the user left just before it
    // is not brought back to the front, nor made the focused tab again.
    if (closedLately(id)) continue;
    const auto reported = activatedLately(browser);
    const bool focused = window->focused && (!reported || *reported == id);
    if (focused) focusedTabID_[browser] = id;
    const double stamp = date - offset;
    offset += 0.5;

    if (SwitchableItem* it = entry(id)) {
      if (focused) {
        it->lastActivatedAt = std::max(it->lastActivatedAt, stamp);
        it->seeded = false;
      }
      continue;
    }
    const auto prior = adoptPriorSessions(browser, session, chosen);
    double activated = prior ? prior->date : stamp;
    bool seeded = focused ? false : (prior ? prior->seeded : true);
    auto scripted = std::find_if(items_.begin(), items_.end(), [&](const SwitchableItem& e) {
      return e.kind == ItemKind::tab && e.browser == browser && e.source == TabSource::appleScript &&
             e.url == chosen.url;
    });
    if (scripted != items_.end()) {
      activated = std::max(activated, scripted->lastActivatedAt);
      seeded = seeded && scripted->seeded;
      const std::string scriptedID = scripted->id;
      removeWhere([&](const SwitchableItem& e) { return e.id == scriptedID; });
    }
    SwitchableItem item = extensionTabEntry(browser, session, chosen);
    item.favIconURL = chosen.favIconURL;
    item.lastActivatedAt = activated;
    item.seeded = seeded;
    items_.push_back(std::move(item));
  }

  reconcileForeignSessions(browser, session, windows);

  // Scripted entries the extension now stands for, or whose tab is no longer open.
  std::set<std::string> extensionURLs;
  for (const auto& e : items_)
    if (e.kind == ItemKind::tab && e.browser == browser && e.source == TabSource::webExtension && e.url)
      extensionURLs.insert(*e.url);
  removeWhere([&](const SwitchableItem& e) {
    if (e.kind != ItemKind::tab || e.browser != browser || e.source != TabSource::appleScript) return false;
    if (!e.url) return true;
    if (extensionURLs.contains(*e.url)) return true;
    return *e.url != kAuxPlaceholderURL && !reportedURLs.contains(*e.url);
  });
  enforceCaps();
}

void MRUManager::reconcileForeignSessions(Browser browser, const std::optional<std::string>& session,
                                          const std::vector<SyncedWindow>& windows) {
  if (browser != Browser::safari || !session || session->empty()) return;
  std::vector<SwitchableItem> foreign;
  std::set<std::int64_t> claimed;
  std::set<std::string> seen;
  for (const auto& e : items_) {
    if (e.kind != ItemKind::tab || e.browser != Browser::safari) continue;
    if (e.session == session) {
      if (e.tabID) claimed.insert(*e.tabID);
    } else if (e.source == TabSource::webExtension && seen.insert(e.id).second) {
      foreign.push_back(e);
    }
  }
  if (foreign.empty()) return;
  std::vector<const TabPack*> packs;
  for (const auto& window : windows)
    for (const auto& pack : window.tabs) packs.push_back(&pack);
  std::stable_sort(foreign.begin(), foreign.end(), [](const SwitchableItem& a, const SwitchableItem& b) {
    return a.lastActivatedAt > b.lastActivatedAt;
  });

  auto findPack = [&](const SwitchableItem& f) -> const TabPack* {
    auto first = [&](auto matches) -> const TabPack* {
      for (const TabPack* p : packs)
        if (!claimed.contains(p->tabID) && matches(*p)) return p;
      return nullptr;
    };
    const bool placed = f.tabIndex.has_value();
    if (auto p =
            first([&](const TabPack& t) { return f.url == t.url && placed && t.tabIndex == *f.tabIndex; }))
      return p;
    if (auto p = first([&](const TabPack& t) { return f.url == t.url; })) return p;
    if (windows.size() == 1 && placed)
      return first([&](const TabPack& t) { return t.tabIndex == *f.tabIndex; });
    return nullptr;
  };

  int migrated = 0, dropped = 0;
  for (const SwitchableItem& f : foreign) {
    // The old session's entries go with their pictures (a moved picture is gone from f's id).
    auto forget = [&] {
      removeWhere([&](const SwitchableItem& e) { return e.id == f.id && e.session != session; });
    };
    const TabPack* pack = findPack(f);
    if (!pack) {
      forget();
      ++dropped;
      continue;
    }
    claimed.insert(pack->tabID);
    ++migrated;
    const std::string newID = tabItemID(Browser::safari, session, pack->tabID);
    if (newID == f.id) {
      // Sessions that share their first characters share ids: the entry moves over in place.
      for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].id == f.id && items_[i].session != session) {
          apply(*pack, i);
          items_[i].session = session;
        }
      continue;
    }
    auto existing =
        std::find_if(items_.begin(), items_.end(), [&](const SwitchableItem& e) { return e.id == newID; });
    if (existing != items_.end()) {
      existing->lastActivatedAt = std::max(existing->lastActivatedAt, f.lastActivatedAt);
      existing->seeded = existing->seeded && f.seeded;
    } else {
      SwitchableItem item = extensionTabEntry(Browser::safari, session, *pack);
      item.favIconURL = f.favIconURL ? f.favIconURL : pack->favIconURL;
      item.lastActivatedAt = f.lastActivatedAt;
      item.seeded = f.seeded;
      items_.push_back(std::move(item));
    }
    thumbnails_.rekey(f.id, newID);
    forget();
  }
  if (migrated + dropped > 0)
    log_.log("foreign-session reconcile safari: migrated=" + std::to_string(migrated) +
             " dropped=" + std::to_string(dropped));
}

}  // namespace velvix
