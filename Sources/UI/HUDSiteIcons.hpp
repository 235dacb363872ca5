#pragma once
// The site icons of the tab cells the HUD shows: each tab entry's icon comes from the favicon
// store (at once from its cache, or when its download ends) and is kept under the entry's id. An
// id that leaves the list forgets its icon and cancels its load, so a reused cell never shows the
// icon of the entry it held before. Application entries get none. Main thread only.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Core/FaviconStore.hpp"
#include "Core/SwitchableItem.hpp"
#include "Support/RGBAImage.hpp"

namespace velvix {

class HUDSiteIcons {
 public:
  // Without a store no tab gets a site icon.
  explicit HUDSiteIcons(FaviconStore* store) : store_(store) {}

  // Called when an icon arrives after follow() returned.
  std::function<void()> onChange;

  // Starts loading the icons of new tab entries and forgets those of entries no longer listed.
  void follow(const std::vector<SwitchableItem>& items);
  std::optional<RGBAImage> icon(const std::string& itemID) const;

 private:
  struct Entry {
    std::optional<RGBAImage> icon;
    FaviconStore::Fetch fetch;
  };

  FaviconStore* store_;
  std::map<std::string, Entry> entries_;
};

}  // namespace velvix
