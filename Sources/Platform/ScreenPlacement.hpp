#pragma once
// Where a point of the simulated screen appears on the real display, and at what scale. The
// program's panels (the HUD, the window peek) are real windows: they are centred where this says
// and drawn at its scale, so they appear over the window that shows the simulated desktop, in
// proportion to it. Without one, simulated and real coordinates agree.

#include "Platform/Geometry.hpp"

namespace velvix::platform {

class ScreenPlacement {
 public:
  virtual ~ScreenPlacement() = default;
  virtual Point toDisplay(Point simulated) const = 0;
  // Display pixels per simulated point.
  virtual double displayScale() const { return 1.0; }
  // A real program beside the simulated desktop was just asked to come forward (a real browser
  // told to show a tab). The keyboard belongs to the simulated desktop, the person's screen: taken
  // back once when that program takes it within `seconds`.
  virtual void keepKeyboard(double seconds) {}
};

// A frame of the simulated screen as it appears on the display: its centre where the placement
// says, its size at the placement's scale.
inline Rect placedOnDisplay(const ScreenPlacement* placement, Rect frame) {
  if (!placement) return frame;
  const Point centre = placement->toDisplay({frame.midX(), frame.midY()});
  const double scale = placement->displayScale();
  const double width = frame.width * scale, height = frame.height * scale;
  return {centre.x - width / 2, centre.y - height / 2, width, height};
}

}  // namespace velvix::platform
