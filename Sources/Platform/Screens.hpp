#pragma once
// The displays and the pointer. Frames are in global coordinates with the origin at the top left
// of the primary display and y growing downwards, like window bounds.

#include <functional>
#include <vector>

#include "Platform/Geometry.hpp"

namespace velvix::platform {

struct ScreenInfo {
  Rect frame;
  Rect visibleFrame;  // without the menu bar and the Dock
  double backingScale = 2.0;
};

class Screens {
 public:
  virtual ~Screens() = default;
  virtual std::vector<ScreenInfo> screens() const = 0;
  virtual Point pointerLocation() const = 0;
  // Called on the main thread each time the pointer moves, wherever it is and whichever
  // application is in front (a mouse-moved monitor); null removes it. One handler at a time.
  virtual void setPointerMovedHandler(std::function<void(Point)> handler) { (void)handler; }
};

}  // namespace velvix::platform
