#include "UI/HUDSiteIcons.hpp"

#include <set>

namespace velvix {

void HUDSiteIcons::follow(const std::vector<SwitchableItem>& items) {
  std::set<std::string> listed;
  for (const SwitchableItem& item : items)
    if (item.kind == ItemKind::tab) listed.insert(item.id);
  std::erase_if(entries_, [&](const auto& entry) { return !listed.contains(entry.first); });
  if (!store_) return;
  for (const SwitchableItem& item : items) {
    if (item.kind != ItemKind::tab || entries_.contains(item.id)) continue;
    // The entry exists before the request, because a cached icon is answered at once.
    const std::string id = item.id;
    entries_[id];
    auto fetch = store_->icon(item, [this, id](std::optional<RGBAImage> image) {
      auto entry = entries_.find(id);
      if (entry == entries_.end() || !image) return;
      entry->second.icon = std::move(image);
      if (onChange) onChange();
    });
    if (auto entry = entries_.find(id); entry != entries_.end()) entry->second.fetch = std::move(fetch);
  }
}

std::optional<RGBAImage> HUDSiteIcons::icon(const std::string& itemID) const {
  auto entry = entries_.find(itemID);
  if (entry == entries_.end()) return std::nullopt;
  return entry->second.icon;
}

}  // namespace velvix
