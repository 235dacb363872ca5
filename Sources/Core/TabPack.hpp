#pragma once
// One tab as a browser or editor extension reports it.

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace velvix {

struct TabPack {
  std::int64_t tabID = 0;
  std::int64_t windowID = 0;
  std::int64_t tabIndex = -1;
  std::string title;
  std::string url;
  std::optional<std::string> favIconURL;
  bool isPrivate = false;
  bool active = false;
  bool redacted = false;

  // From one tab object of an extension message: nothing without whole-number "tabId" and
  // "windowId"; every other key falls back when missing or of another type.
  static std::optional<TabPack> fromJSON(const nlohmann::json& tab);

  bool operator==(const TabPack&) const = default;
};

}  // namespace velvix
