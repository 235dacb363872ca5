#include "Core/TabPack.hpp"

#include <cmath>

#include <nlohmann/json.hpp>

namespace velvix {
namespace {

// A whole JSON number that fits 64 bits (1.0 counts; 1.5, "1" and true do not).
std::optional<std::int64_t> wholeNumber(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  if (it->is_number_integer()) return it->get<std::int64_t>();
  if (it->is_number_unsigned()) {
    auto value = it->get<std::uint64_t>();
    if (value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(value);
  }
  if (it->is_number_float()) {
    double value = it->get<double>();
    if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 9.2e18)
      return static_cast<std::int64_t>(value);
  }
  return std::nullopt;
}

std::optional<std::string> text(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

bool flag(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_boolean() && it->get<bool>();
}

}  // namespace

std::optional<TabPack> TabPack::fromJSON(const nlohmann::json& tab) {
  if (!tab.is_object()) return std::nullopt;
  auto tabID = wholeNumber(tab, "tabId");
  auto windowID = wholeNumber(tab, "windowId");
  if (!tabID || !windowID) return std::nullopt;
  TabPack pack;
  pack.tabID = *tabID;
  pack.windowID = *windowID;
  pack.tabIndex = wholeNumber(tab, "index").value_or(-1);
  pack.title = text(tab, "title").value_or("");
  pack.url = text(tab, "url").value_or("");
  pack.favIconURL = text(tab, "favIconUrl");
  pack.isPrivate = flag(tab, "isPrivate");
  pack.active = flag(tab, "active");
  pack.redacted = flag(tab, "redacted");
  return pack;
}

}  // namespace velvix
