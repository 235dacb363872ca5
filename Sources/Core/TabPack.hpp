#pragma once
// One tab as a browser or editor extension reports it, and one window of tabs as a full report
// of the extension's windows lists it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace velvix {

struct TabPack {
  // Indices past any real window's tabs (or below 0) are read as unknown (-1), so the arithmetic
  // done on an index later (a position is the index plus one, a neighbour's index) cannot overflow.
  static constexpr std::int64_t kMaxTabIndex = 1'000'000;

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
  // The members of one tab object as read, each absent when missing or of another type.
  struct Members {
    std::optional<std::int64_t> tabId, windowId, index;
    std::optional<std::string> title, url, favIconUrl;
    std::optional<bool> isPrivate, active, redacted;
  };
  // As fromJSON, from the members of a tab object read one by one.
  static std::optional<TabPack> fromMembers(Members members);

  bool operator==(const TabPack&) const = default;
};

// One window of a full tab report.
struct SyncedWindow {
  std::int64_t windowID = 0;
  bool focused = false;
  std::vector<TabPack> tabs;  // in the window's order; tabs that cannot be read are left out
  bool operator==(const SyncedWindow&) const = default;
};

}  // namespace velvix
