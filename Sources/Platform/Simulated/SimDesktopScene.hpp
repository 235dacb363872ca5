#pragma once
// What the window onto the simulated desktop shows, worked out from the desktop without any
// drawing: the screen, the menu-bar strip with the frontmost application, the windows of the
// current Space back to front with the frontmost application and its front window marked, and the
// Dock strip with the applications' icons, their badges, the separator, folders, the trash and
// the minimized windows' tiles.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Geometry.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimDesktop;

struct SimDesktopScene {
  struct Window {
    std::int64_t number = 0;
    Rect frame;
    std::string title;
    std::string appName;
    platform::Pid owner = 0;
    bool isFrontWindow = false;  // the frontmost application's front window
    bool ofFrontApp = false;
    // What the window shows inside: its text area's text, its tabs' titles and addresses and the
    // active one. Two scenes equal in everything are drawn alike.
    std::string content;
    bool operator==(const Window&) const = default;
  };
  struct Tile {
    Rect frame;
    std::string title;
    std::optional<std::string> badge;
    std::optional<platform::Pid> pid;       // a running application's icon
    std::optional<std::int64_t> minimized;  // a minimized window's tile
    SimDockItem::Kind kind = SimDockItem::Kind::application;
    bool pointed = false;  // under the pointer: the Dock names it
    bool operator==(const Tile&) const = default;
  };

  Rect screen;
  Rect menuBar;
  Rect dockStrip;
  std::string menuBarTitle;
  std::vector<Window> windows;  // back to front
  std::vector<Tile> dock;
  bool operator==(const SimDesktopScene&) const = default;

  static SimDesktopScene build(const SimDesktop& desktop);
  // The front window under a point of the simulated screen.
  const Window* windowAt(Point point) const;
  const Window* frontWindow() const;
};

}  // namespace velvix::sim
