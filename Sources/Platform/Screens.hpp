#pragma once
// The displays and the pointer. Frames are in global coordinates with the origin at the top left
// of the primary display and y growing downwards, like window bounds.

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
};

}  // namespace velvix::platform
