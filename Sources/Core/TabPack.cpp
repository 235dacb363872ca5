#include "Core/TabPack.hpp"

#include <nlohmann/json.hpp>

#include "Core/JsonFields.hpp"

namespace velvix {

std::optional<TabPack> TabPack::fromJSON(const nlohmann::json& tab) {
  using jsonfields::member;
  if (!tab.is_object()) return std::nullopt;
  return fromMembers({.tabId = member(tab, "tabId"),
                      .windowId = member(tab, "windowId"),
                      .index = member(tab, "index"),
                      .title = member(tab, "title"),
                      .url = member(tab, "url"),
                      .favIconUrl = member(tab, "favIconUrl"),
                      .isPrivate = member(tab, "isPrivate"),
                      .active = member(tab, "active"),
                      .redacted = member(tab, "redacted")});
}

std::optional<TabPack> TabPack::fromMembers(const Members& members) {
  using namespace jsonfields;
  auto tabID = wholeNumber(members.tabId);
  auto windowID = wholeNumber(members.windowId);
  if (!tabID || !windowID) return std::nullopt;
  TabPack pack;
  pack.tabID = *tabID;
  pack.windowID = *windowID;
  const auto index = wholeNumber(members.index);
  pack.tabIndex = index && *index >= 0 && *index <= kMaxTabIndex ? *index : -1;
  pack.title = text(members.title).value_or("");
  pack.url = text(members.url).value_or("");
  pack.favIconURL = text(members.favIconUrl);
  pack.isPrivate = boolean(members.isPrivate).value_or(false);
  pack.active = boolean(members.active).value_or(false);
  pack.redacted = boolean(members.redacted).value_or(false);
  return pack;
}

}  // namespace velvix
