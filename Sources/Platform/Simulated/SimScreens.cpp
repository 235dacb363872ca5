#include "Platform/Simulated/SimScreens.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

std::vector<platform::ScreenInfo> SimScreens::screens() const {
  std::vector<platform::ScreenInfo> result;
  bool main = true;
  for (const SimDisplay& d : desktop_.displays()) {
    Rect visible = d.frame;
    visible.y += kMenuBarHeight;
    visible.height -= kMenuBarHeight + (main ? kDockHeight : 0);
    result.push_back({d.frame, visible, d.backingScale});
    main = false;
  }
  return result;
}

Point SimScreens::pointerLocation() const { return desktop_.pointer; }

}  // namespace velvix::sim
