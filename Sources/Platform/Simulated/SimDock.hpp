#pragma once
// The Dock of the simulated desktop: its process (bundle id "com.apple.dock") and its icons, in
// Dock order (applications, then a separator, folders and minimized windows, the trash last),
// each with a title, the URL of what it stands for, a badge label and a frame along the bottom
// of the display that holds the Dock (the primary one unless moved). Through Accessibility the
// Dock reads as application > list > icons (> sub-elements), with the subroles, titles, URLs,
// status labels, positions, sizes and parents that the real Dock gives its icons, and answers
// element-at-position; every message is charged to the Dock's process like any application's.
// What the "Simulated desktop" window draws in its Dock strip is read from here too.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/Accessibility.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimDesktop;
struct SimDisplay;

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
  // Levels of plain sub-elements nested inside the icon, each covering all of it: element at
  // position answers the innermost one, and a walk up its parents reaches the icon.
  int nesting = 0;
  // Reads of these attributes fail for this icon and its sub-elements (injected faults).
  std::set<std::string> failingAttributes;
};

class SimDock {
 public:
  static constexpr const char* kBundleID = "com.apple.dock";
  static constexpr double kTileSize = 56;  // points, square
  static constexpr double kTileSpacing = 4;
  static constexpr double kSeparatorWidth = 16;  // as tall as a tile

  explicit SimDock(SimDesktop& desktop) : desktop_(desktop) {}

  // Launches the Dock's process when it does not run; its pid either way.
  platform::Pid start();
  // The Dock's process quits (it is not running until the next start()).
  void quit();
  std::optional<platform::Pid> pid() const;

  // Icons: applications at the end of the application part, the rest at the end of the other
  // part, before the trash. Each gives the icon's id.
  std::uint64_t add(SimDockItem item);
  // The icon of a desktop application, pointing at its bundle.
  std::uint64_t addApplication(platform::Pid pid, std::optional<std::string> badge = std::nullopt);
  void remove(std::uint64_t id);
  // An application quit: its icon (`bundleURL`, as its item's url) loses its badge.
  void noteTerminated(const std::string& bundleURL);
  // Minimized windows have tiles of their own while the Dock runs.
  void noteMinimized(std::int64_t window, bool minimized);
  // The icon under a point (global, top-left origin), if any, while the Dock runs.
  const SimDockItem* itemAt(Point point) const;
  void setBadge(std::uint64_t id, std::optional<std::string> label);
  SimDockItem* item(std::uint64_t id);
  const std::vector<SimDockItem>& items() const { return items_; }
  // Global top-left coordinates: tiles side by side, centred along the bottom of the Dock's display.
  std::optional<Rect> frame(std::uint64_t id) const;
  // The strip along the bottom of the Dock's display that the Dock takes.
  std::optional<Rect> strip() const;
  // Which display (index into the desktop's displays) holds the Dock; the first when out of range.
  std::size_t display = 0;
  // Element at position fails (injected fault).
  bool hitTestFails = false;

  // ---- Accessibility (used by SimAccessibility)
  static bool isDockElement(platform::AXElement element);
  static platform::AXElement listElement();
  // The icon's element (level 0) or one of its nested sub-elements (level 1 and deeper).
  static platform::AXElement itemElement(std::uint64_t id, int level = 0);
  // False for a Dock element whose icon (or sub-element) is gone.
  bool exists(platform::AXElement element) const;
  // The deepest element at a point: an icon's innermost sub-element, else the list over the
  // Dock's strip; noValue elsewhere.
  platform::AXError elementAt(Point point, platform::AXElement& element) const;
  // Attributes of the Dock's own elements and the Dock application's children; attributeUnsupported
  // for anything else.
  platform::AXError copyAttribute(platform::AXElement element, const std::string& attribute,
                                  platform::AXValue& value) const;

 private:
  static std::string subrole(SimDockItem::Kind kind);
  static int section(SimDockItem::Kind kind);
  const SimDisplay* dockDisplay() const;
  const SimDockItem* find(std::uint64_t id) const;
  std::optional<platform::AXError> copyItemAttribute(const SimDockItem& item, int level,
                                                     const std::string& attribute,
                                                     platform::AXValue& value) const;

  SimDesktop& desktop_;
  std::vector<SimDockItem> items_;
  std::uint64_t nextID_ = 1;
};

}  // namespace velvix::sim
