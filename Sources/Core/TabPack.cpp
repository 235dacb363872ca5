#include "Core/TabPack.hpp"

#include <nlohmann/json.hpp>

#include "Core/JsonFields.hpp"

namespace velvix {

std::optional<TabPack> TabPack::fromJSON(const nlohmann::json& tab) {
  using namespace jsonfields;
  if (!tab.is_object()) return std::nullopt;
  return fromMembers({.tabId = wholeNumber(tab, "tabId"),
                      .windowId = wholeNumber(tab, "windowId"),
                      .index = wholeNumber(tab, "index"),
                      .title = text(tab, "title"),
                      .url = text(tab, "url"),
                      .favIconUrl = text(tab, "favIconUrl"),
                      .isPrivate = boolean(tab, "isPrivate"),
                      .active = boolean(tab, "active"),
                      .redacted = boolean(tab, "redacted")});
}

std::optional<TabPack> TabPack::fromMembers(Members members) {
  if (!members.tabId || !members.windowId) return std::nullopt;
  TabPack pack;
  pack.tabID = *members.tabId;
  pack.windowID = *members.windowId;
  const auto index = members.index;
  pack.tabIndex = index && *index >= 0 && *index <= kMaxTabIndex ? *index : -1;
  pack.title = std::move(members.title).value_or("");
  pack.url = std::move(members.url).value_or("");
  pack.favIconURL = std::move(members.favIconUrl);
  pack.isPrivate = members.isPrivate.value_or(false);
  pack.active = members.active.value_or(false);
  pack.redacted = members.redacted.value_or(false);
  return pack;
}

}  // namespace velvix
