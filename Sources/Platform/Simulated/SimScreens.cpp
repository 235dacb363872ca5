#include "Platform/Simulated/SimScreens.hpp"

#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDock.hpp"

namespace velvix::sim {

std::vector<platform::ScreenInfo> SimScreens::screens() const {
  std::vector<platform::ScreenInfo> result;
  const auto& displays = std::as_const(desktop_).displays();
  const SimDock* dock = desktop_.dockIfMade();
  const std::size_t dockDisplay = dock && dock->display < displays.size() ? dock->display : 0;
  for (std::size_t i = 0; i < displays.size(); ++i) {
    const SimDisplay& d = displays[i];
    Rect visible = d.frame;
    visible.y += kMenuBarHeight;
    visible.height -= kMenuBarHeight + (i == dockDisplay ? kDockHeight : 0);
    result.push_back({d.frame, visible, d.backingScale});
  }
  return result;
}

Point SimScreens::pointerLocation() const {
  return desktop_.pointer();
}

void SimScreens::setPointerMovedHandler(std::function<void(Point)> handler) {
  desktop_.pointerMoved = std::move(handler);
}

}  // namespace velvix::sim
