#pragma once
// Where a point of the simulated screen appears on the real display. The program's panels (the
// HUD, the window peek) are real windows: they are centred where this says, so they appear over
// the window that shows the simulated desktop. Without one, simulated and real coordinates agree.

#include "Platform/Geometry.hpp"

namespace velvix::platform {

class ScreenPlacement {
 public:
  virtual ~ScreenPlacement() = default;
  virtual Point toDisplay(Point simulated) const = 0;
};

// A frame of the simulated screen moved so that its centre lands where the placement says.
inline Rect placedOnDisplay(const ScreenPlacement* placement, Rect frame) {
  if (!placement) return frame;
  const Point centre = placement->toDisplay({frame.midX(), frame.midY()});
  return {centre.x - frame.width / 2, centre.y - frame.height / 2, frame.width, frame.height};
}

}  // namespace velvix::platform
