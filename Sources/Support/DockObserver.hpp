#pragma once
// Reads the Dock's icons through Accessibility: the application icons with their frames (for the
// hover previews and for clicks) and what lies under a point (for clicks). Holds no state; main
// thread only. Every read is bounded by a short messaging time-out, and the list walk by a
// deadline, because the calls run on the main thread, which also serves the event tap.
//
// Frames and points are in the global coordinates every platform interface here uses (origin at
// the top left of the primary screen, y downwards). Accessibility positions share that origin, so
// they are taken as they are, whichever screen holds the Dock.

#include <optional>
#include <string>
#include <vector>

#include "Platform/Accessibility.hpp"
#include "Platform/Geometry.hpp"

namespace velvix {

namespace platform {
class BundleReader;
class MainLoop;
class Screens;
class Workspace;
}  // namespace platform

class DockObserver {
 public:
  static constexpr const char* kDockBundleID = "com.apple.dock";
  static constexpr double kListMessagingTimeout = 0.25;
  static constexpr double kListBudget = 0.3;
  static constexpr double kHitMessagingTimeout = 0.05;
  static constexpr int kHitWalkLimit = 4;  // the hit element and three ancestors
  // The whole hit test: past it the answer is unknown, so a Dock that answers slowly cannot hold
  // the event tap that asks.
  static constexpr double kHitBudget = 0.1;

  // One application icon of the Dock.
  struct Item {
    std::optional<std::string> bundleID;  // none when the icon's URL is missing or no bundle
    std::string title;                    // empty when it has none
    Rect frame;
    bool operator==(const Item&) const = default;
  };

  // What lies under a point: an application icon; something else of the Dock (a folder, the
  // trash, a separator, a minimized window, the background), or a walk that found no answer;
  // or nothing readable at all.
  struct Hit {
    enum class Kind { app, other, unknown };
    Kind kind = Kind::unknown;
    std::optional<Item> item;  // only for app

    static Hit app(Item item) { return {Kind::app, std::move(item)}; }
    static Hit other() { return {Kind::other, std::nullopt}; }
    static Hit unknown() { return {Kind::unknown, std::nullopt}; }
    bool operator==(const Hit&) const = default;
  };

  // The Dock is found among the `workspace`'s running applications and read through
  // `accessibility`; an icon's application is named by `bundles`; `screens` tells whether there is
  // a screen to place frames on; the budgets are counted on `loop`'s monotonic clock.
  DockObserver(platform::Workspace& workspace, platform::Accessibility& accessibility,
               platform::Screens& screens, platform::BundleReader& bundles, platform::MainLoop& loop)
      : workspace_(workspace),
        accessibility_(accessibility),
        screens_(screens),
        bundles_(bundles),
        loop_(loop) {}

  // The application icons in the Dock's order; those read before the 0.3 s budget ran out.
  std::vector<Item> applicationItems() const;
  // The hit test at a point (global, top-left origin).
  Hit item(Point at) const;

 private:
  std::optional<platform::AXElement> dockApp(double messagingTimeout) const;
  std::optional<platform::AXElement> firstList(platform::AXElement element) const;
  std::optional<Rect> frame(platform::AXElement element) const;
  std::optional<std::string> bundleID(platform::AXElement element) const;
  std::optional<std::string> string(platform::AXElement element, const char* attribute) const;
  // With a deadline, nothing once it has passed.
  std::optional<Item> applicationItem(platform::AXElement element, std::optional<double> deadline = {}) const;

  platform::Workspace& workspace_;
  platform::Accessibility& accessibility_;
  platform::Screens& screens_;
  platform::BundleReader& bundles_;
  platform::MainLoop& loop_;
};

}  // namespace velvix
