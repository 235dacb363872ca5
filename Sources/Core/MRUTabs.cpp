// Tab entries and their identifiers: the two id forms (extension tabs and scripted tabs), tabs
// seen through Apple Events, the front tab of a browser whose extension is live, and the purge
// when a browser quits.

#include <set>

#include "Core/MRUManager.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Utf8.hpp"

namespace velvix {

std::string MRUManager::tabItemID(Browser browser, const std::optional<std::string>& session,
                                  std::int64_t tabID) {
  std::string id;
  id.reserve(40);  // built on every tab report: one allocation
  id += "tab:";
  id += browsers::rawValue(browser);
  id += ':';
  if (session && !session->empty()) {
    id += utf8::prefix(*session, 8);
    id += ':';
  }
  id += std::to_string(tabID);
  return id;
}

std::string MRUManager::stableHash(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : text) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(hash));
  return buffer;
}

bool MRUManager::isIdentifyingURL(const std::string& url) {
  static const std::set<std::string> nonIdentifying{
      "",
      "favorites://",
      "topsites://",
      "about:blank",
      "chrome://newtab/",
      "chrome://new-tab-page/",
      "brave://newtab/",
      "edge://newtab/",
  };
  return !nonIdentifying.contains(url);
}

void MRUManager::touchScriptedTab(Browser browser, const std::string& url, const std::string& title,
                                  const std::string& windowID, std::optional<int> tabPosition, double date,
                                  bool seeded) {
  if (url.empty()) return;
  const bool identifying = isIdentifyingURL(url);
  if (identifying) {
    // The script sees a tab that the extension already reports: that entry stands for it.
    for (auto& e : items_) {
      if (e.kind != ItemKind::tab || e.browser != browser || e.source != TabSource::webExtension ||
          e.url != url)
        continue;
      if (!seeded) {
        if (date > e.lastActivatedAt) e.lastActivatedAt = date;
        e.seeded = false;
      }
      return;
    }
  }
  std::string id =
      "tab:" + std::string(browsers::rawValue(browser)) + ":win:" + windowID + ":url:" + stableHash(url);
  if (!identifying && tabPosition) id += ":at:" + std::to_string(*tabPosition);

  if (SwitchableItem* it = entry(id)) {
    if (!seeded) {
      if (date > it->lastActivatedAt) it->lastActivatedAt = date;
      it->seeded = false;
    } else if (it->seeded && date > it->lastActivatedAt) {
      it->lastActivatedAt = date;  // a seeding never touches an entry the user used
    }
    // A report without a title (a page still loading) shows the address, as a new entry does,
    // rather than a nameless cell.
    it->title = title.empty() ? url : title;
    it->windowID = windowID;
    if (tabPosition) it->tabIndex = *tabPosition - 1;
  } else {
    SwitchableItem item;
    item.id = id;
    item.kind = ItemKind::tab;
    item.bundleID = std::string(browsers::bundleID(browser));
    item.browser = browser;
    item.windowID = windowID;
    if (tabPosition) item.tabIndex = *tabPosition - 1;
    item.title = title.empty() ? url : title;
    item.url = url;
    item.lastActivatedAt = date;
    item.source = TabSource::appleScript;
    item.seeded = seeded;
    items_.push_back(std::move(item));
  }
  enforceCaps();
  if (!seeded) captureSoon(browser, id);
}

void MRUManager::refreshFrontTab(Browser browser, double date) {
  auto focused = focusedTabID_.find(browser);
  if (focused == focusedTabID_.end()) return;
  for (auto& e : items_)
    if (e.id == focused->second) {
      e.lastActivatedAt = std::max(e.lastActivatedAt, date);
      e.seeded = false;
      return;
    }
}

void MRUManager::purgeTabs(Browser browser) {
  std::set<std::string> ids;
  for (const auto& e : items_)
    if (e.kind == ItemKind::tab && e.browser == browser) ids.insert(e.id);
  removeWhere([&](const SwitchableItem& e) { return e.kind == ItemKind::tab && e.browser == browser; });
  thumbnails_.remove(SwitchableItem::appID(std::string(browsers::bundleID(browser))));
  for (const auto& id : ids) reconcileStrikes_.erase(id);
  focusedTabID_.erase(browser);
}

void MRUManager::apply(const TabPack& pack, std::size_t index) {
  if (index >= items_.size()) return;
  SwitchableItem& e = items_[index];
  if (!pack.redacted) {
    e.title = pack.title.empty() ? pack.url : pack.title;
    e.url = pack.url;
  }
  std::string windowID = std::to_string(pack.windowID);
  if (e.windowID != windowID) tabMovedSinceCaps_ = true;
  e.windowID = std::move(windowID);
  e.tabID = pack.tabID;
  e.tabIndex = pack.tabIndex >= 0 ? std::optional<std::int64_t>(pack.tabIndex) : std::nullopt;
  if (pack.favIconURL && !pack.favIconURL->empty()) e.favIconURL = pack.favIconURL;
  e.isPrivate = pack.isPrivate;
}

}  // namespace velvix
