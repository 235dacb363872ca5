#pragma once
// The Dock of the simulated desktop: its process (bundle id "com.apple.dock") and its icons, in
// Dock order, each with a title, the URL of what it stands for, a badge label and a frame along
// the bottom of the main display. Through Accessibility the Dock reads as application > list >
// icons, with the subroles, titles, URLs, status labels, positions and sizes that the real Dock
// gives its icons; every message is charged to the Dock's process like any application's.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Accessibility.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimDesktop;

struct SimDockItem {
  enum class Kind { application, folder, trash, separator, minimizedWindow };

  Kind kind = Kind::application;
  std::string title;
  // "file:///Applications/Mail.app/" for an application; any text (or nothing) for tests of
  // icons that stand for no bundle.
  std::optional<std::string> url;
  std::optional<std::string> statusLabel;  // the badge, such as "3" or "99+"
  std::optional<std::int64_t> window;      // a minimized window's tile: that window
  std::uint64_t id = 0;                    // given by the Dock; stable while the icon stays
};

class SimDock {
 public:
  static constexpr const char* kBundleID = "com.apple.dock";
  static constexpr double kTileSize = 56;  // points, square
  static constexpr double kTileSpacing = 4;

  explicit SimDock(SimDesktop& desktop) : desktop_(desktop) {}

  // Launches the Dock's process when it does not run; its pid either way.
  platform::Pid start();
  // The Dock's process quits (it is not running until the next start()).
  void quit();
  std::optional<platform::Pid> pid() const;

  // Icons, appended at the end of the application part of the Dock. Each gives the icon's id.
  std::uint64_t add(SimDockItem item);
  // The icon of a desktop application, pointing at its bundle.
  std::uint64_t addApplication(platform::Pid pid, std::optional<std::string> badge = std::nullopt);
  void remove(std::uint64_t id);
  // Minimized windows have tiles of their own while the Dock runs.
  void noteMinimized(std::int64_t window, bool minimized);
  // The icon under a point (global, top-left origin), if any.
  const SimDockItem* itemAt(Point point) const;
  void setBadge(std::uint64_t id, std::optional<std::string> label);
  SimDockItem* item(std::uint64_t id);
  const std::vector<SimDockItem>& items() const { return items_; }
  // Global top-left coordinates: tiles side by side, centred along the main display's bottom.
  std::optional<Rect> frame(std::uint64_t id) const;

  // ---- Accessibility (used by SimAccessibility)
  static bool isDockElement(platform::AXElement element);
  static platform::AXElement listElement();
  static platform::AXElement itemElement(std::uint64_t id);
  // False for a Dock element whose icon is gone.
  bool exists(platform::AXElement element) const;
  // Attributes of the Dock's own elements and the Dock application's children; attributeUnsupported
  // for anything else.
  platform::AXError copyAttribute(platform::AXElement element, const std::string& attribute,
                                  platform::AXValue& value) const;

 private:
  static std::string subrole(SimDockItem::Kind kind);
  const SimDockItem* find(std::uint64_t id) const;
  std::optional<platform::AXError> copyItemAttribute(const SimDockItem& item, const std::string& attribute,
                                                     platform::AXValue& value) const;

  SimDesktop& desktop_;
  std::vector<SimDockItem> items_;
  std::uint64_t nextID_ = 1;
};

}  // namespace velvix::sim
