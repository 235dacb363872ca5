#pragma once
// The picture beneath a panel on the simulated desktop: the part of the simulated screen under
// it, drawn as the window onto the desktop draws it (without the program's own panels). The whole
// screen is drawn once and kept while the desktop shows the same scene, so a panel shown again
// (every chord's HUD) crops it instead of painting every window again; the window onto the
// desktop hands over each screen it drew.

#include <cstdint>
#include <optional>
#include <vector>

#include <QImage>

#include "Platform/DesktopPicture.hpp"
#include "Platform/Simulated/SimDesktopScene.hpp"

namespace velvix::sim {
class SimDesktop;
}

namespace velvix::qt {

class SimDesktopPicture final : public platform::DesktopPicture {
 public:
  explicit SimDesktopPicture(sim::SimDesktop& desktop) : desktop_(desktop) {}
  std::optional<RGBAImage> beneath(const Rect& frame, double scale) const override;
  // The whole screen as drawn for `scene`, `pixelsPerPoint` pixels a point, with the program's
  // `composed` windows drawn as their backing (SimDesktopPainter); a screen it draws itself does
  // the same with them.
  void remember(const sim::SimDesktopScene& scene, const QImage& screen, double pixelsPerPoint,
                const std::vector<std::int64_t>& composed = {}) const;

 private:
  sim::SimDesktop& desktop_;
  // The screen last drawn, and the scene it shows.
  mutable sim::SimDesktopScene scene_;
  mutable std::uint64_t revision_ = 0;  // the desktop's revision when scene_ was last found current
  mutable QImage screen_;
  mutable double pixelsPerPoint_ = 0;
  mutable std::vector<std::int64_t> composed_;
};

}  // namespace velvix::qt
