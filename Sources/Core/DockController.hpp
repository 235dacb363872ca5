#pragma once
// The Dock enhancements' controller, as far as the switcher core needs it: the preference is
// applied at launch and the event tap asks it about mouse clicks. Dock click actions and hover
// previews are not built yet, so it consumes no click.

#include "Platform/Geometry.hpp"

namespace velvix {

struct Services;

class DockController {
 public:
  explicit DockController(Services& services) : services_(services) {}
  void applyPreference() {}
  // True when a left click on a Dock icon was handled and must be dropped.
  bool handleDockMouseDown(Point) { return false; }
  void handleDockMenuClick(Point) {}
  // True when the mouse-up of a swallowed click must be dropped; always disarms.
  bool consumeSwallowedMouseUp() { return false; }

 private:
  [[maybe_unused]] Services& services_;
};

}  // namespace velvix
