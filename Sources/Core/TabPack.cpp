#include "Core/TabPack.hpp"

#include <nlohmann/json.hpp>

#include "Core/JsonFields.hpp"

namespace velvix {

std::optional<TabPack> TabPack::fromJSON(const nlohmann::json& tab) {
  using namespace jsonfields;
  if (!tab.is_object()) return std::nullopt;
  auto tabID = wholeNumber(tab, "tabId");
  auto windowID = wholeNumber(tab, "windowId");
  if (!tabID || !windowID) return std::nullopt;
  TabPack pack;
  pack.tabID = *tabID;
  pack.windowID = *windowID;
  const auto index = wholeNumber(tab, "index");
  pack.tabIndex = index && *index >= 0 && *index <= kMaxTabIndex ? *index : -1;
  pack.title = text(tab, "title").value_or("");
  pack.url = text(tab, "url").value_or("");
  pack.favIconURL = text(tab, "favIconUrl");
  pack.isPrivate = flag(tab, "isPrivate");
  pack.active = flag(tab, "active");
  pack.redacted = flag(tab, "redacted");
  return pack;
}

}  // namespace velvix
