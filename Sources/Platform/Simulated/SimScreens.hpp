#pragma once
// The displays of the simulated desktop, as screens, and its pointer.

#include "Platform/Screens.hpp"

namespace velvix::sim {

class SimDesktop;

class SimScreens final : public platform::Screens {
 public:
  // The menu bar takes this much of the top of every screen, the Dock this much of the bottom of the
  // screen that holds it.
  static constexpr double kMenuBarHeight = 24;
  static constexpr double kDockHeight = 70;

  explicit SimScreens(SimDesktop& desktop) : desktop_(desktop) {}
  std::vector<platform::ScreenInfo> screens() const override;
  Point pointerLocation() const override;
  void setPointerMovedHandler(std::function<void(Point)> handler) override;

 private:
  SimDesktop& desktop_;
};

}  // namespace velvix::sim
