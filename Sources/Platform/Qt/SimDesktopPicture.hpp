#pragma once
// The picture beneath a panel on the simulated desktop: the part of the simulated screen under
// it, drawn as the window onto the desktop draws it (without the program's own panels).

#include "Platform/DesktopPicture.hpp"

namespace velvix::sim {
class SimDesktop;
}

namespace velvix::qt {

class SimDesktopPicture final : public platform::DesktopPicture {
 public:
  explicit SimDesktopPicture(sim::SimDesktop& desktop) : desktop_(desktop) {}
  std::optional<RGBAImage> beneath(const Rect& frame, double scale) const override;

 private:
  sim::SimDesktop& desktop_;
};

}  // namespace velvix::qt
