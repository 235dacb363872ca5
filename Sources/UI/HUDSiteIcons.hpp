#pragma once
// The site icons of the tab cells the HUD shows. Icons are kept per site (the favicon store's key
// of a tab's current address), so tabs on one site share one icon and one download, and a tab
// that moved to another site shows that site's icon. A site whose icon is not known yet is asked
// for again on every new list (the store remembers failures, so that costs no download); sites
// no listed tab is on are forgotten and their loads cancelled. Application entries get none.
// Main thread only.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Core/FaviconStore.hpp"
#include "Core/SwitchableItem.hpp"
#include "Platform/RGBAImage.hpp"

namespace velvix {

class HUDSiteIcons {
 public:
  // Without a store no tab gets a site icon.
  explicit HUDSiteIcons(FaviconStore* store) : store_(store) {}

  // Called when an icon arrives after follow() returned.
  std::function<void()> onChange;

  // Starts loading the icons of the listed tabs' sites that are not known yet, and forgets the
  // sites no listed tab is on.
  void follow(const std::vector<SwitchableItem>& items);
  std::optional<RGBAImage> icon(const std::string& itemID) const;

 private:
  struct Site {
    std::optional<RGBAImage> icon;
    FaviconStore::Fetch fetch;
  };

  FaviconStore* store_;
  std::map<std::string, std::string> siteOf_;  // tab item id → its site's key
  std::map<std::string, Site> sites_;
};

}  // namespace velvix
