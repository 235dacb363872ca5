#pragma once
// Draws the simulated screen: the wallpaper, the windows of the current Space back to front (each
// by the window painter that screen captures use too, the frontmost application's front window
// outlined), the menu-bar strip and the Dock strip. The window onto the simulated desktop shows
// it, and glass panels get the part of it that lies beneath them.

#include <cstdint>
#include <vector>

#include <QPointF>

class QPainter;

namespace velvix::sim {
class SimDesktop;
struct SimDesktopScene;
}  // namespace velvix::sim

namespace velvix::qt {

class SimDesktopPainter {
 public:
  // The screen's top-left corner lands at `origin`; `scale` painter units per point. The
  // `composed` windows are the program's own, whose content its panels draw over the screen: they
  // get a dark title bar and below it only their backing, a plain dark surface, so that nothing of
  // a stand-in (lines of text) shows through the panel's glass.
  static void paint(QPainter& painter, sim::SimDesktop& desktop, const sim::SimDesktopScene& scene,
                    QPointF origin, double scale, const std::vector<std::int64_t>& composed = {});
};

}  // namespace velvix::qt
