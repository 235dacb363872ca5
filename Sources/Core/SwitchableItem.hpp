#pragma once
// One entry that the switcher can list: an application, one of its windows, or a browser,
// terminal or editor tab. The inventory owns every item; sessions, the HUD and the activator
// work on copies.

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Workspace.hpp"
#include "Support/Browser.hpp"

namespace velvix {

enum class ItemKind { app, tab };  // applications and their windows are `app`
enum class TabSource { webExtension, appleScript };

struct SwitchableItem {
  std::string id;  // "app:<bundle id>", "win:<bundle id>:<window number>" or "tab:..."
  ItemKind kind = ItemKind::app;
  std::string bundleID;
  std::optional<Browser> browser;            // tab entries only
  std::optional<std::string> windowID;       // the browser's own id of the tab's window
  std::optional<std::int64_t> windowNumber;  // window entries: the window-server number
  std::optional<std::int64_t> tabID;
  std::optional<std::string> session;
  std::optional<std::int64_t> tabIndex;
  std::string title;
  std::optional<std::string> url;
  std::optional<std::string> favIconURL;
  double lastActivatedAt = 0;  // wall time, seconds since the Unix epoch
  bool isPrivate = false;
  std::optional<TabSource> source;
  std::optional<platform::Pid> pid;
  bool isMinimized = false;
  bool seeded = false;  // lastActivatedAt is an estimate; a real use clears it

  bool isWindow() const { return windowNumber.has_value() && kind == ItemKind::app; }

  static std::string appID(const std::string& bundleID) { return "app:" + bundleID; }
  static std::string windowItemID(const std::string& bundleID, std::int64_t windowNumber) {
    return "win:" + bundleID + ":" + std::to_string(windowNumber);
  }

  // The application entry of a running application, dated `now`; nothing without a bundle id.
  static std::optional<SwitchableItem> appItem(const platform::RunningApplication& app, double now);

  bool operator==(const SwitchableItem&) const = default;
};

}  // namespace velvix
