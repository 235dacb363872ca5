#include "UI/HUDSiteIcons.hpp"

#include <set>

namespace velvix {

void HUDSiteIcons::follow(const std::vector<SwitchableItem>& items) {
  siteOf_.clear();
  std::map<std::string, const SwitchableItem*> wanted;  // site → one tab on it
  for (const SwitchableItem& item : items) {
    if (item.kind != ItemKind::tab) continue;
    auto key = FaviconStore::iconKey(item);
    if (!key) continue;
    siteOf_[item.id] = *key;
    wanted.emplace(*key, &item);
  }
  std::erase_if(sites_, [&](const auto& site) { return !wanted.contains(site.first); });
  if (!store_) return;
  for (const auto& [key, item] : wanted) {
    Site& site = sites_[key];
    if (site.icon || site.fetch.isPending()) continue;
    // The completion may run before icon() returns (a cached icon), so it finds the site by key.
    auto fetch = store_->icon(*item, [this, key = key](std::optional<RGBAImage> image) {
      auto found = sites_.find(key);
      if (found == sites_.end() || !image) return;
      found->second.icon = std::move(image);
      if (onChange) onChange();
    });
    if (auto found = sites_.find(key); found != sites_.end()) found->second.fetch = std::move(fetch);
  }
}

std::optional<RGBAImage> HUDSiteIcons::icon(const std::string& itemID) const {
  auto site = siteOf_.find(itemID);
  if (site == siteOf_.end()) return std::nullopt;
  auto found = sites_.find(site->second);
  if (found == sites_.end()) return std::nullopt;
  return found->second.icon;
}

}  // namespace velvix
