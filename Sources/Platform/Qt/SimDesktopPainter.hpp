#pragma once
// Draws the simulated screen: the wallpaper, the windows of the current Space back to front (each
// by the window painter that screen captures use too, the frontmost application's front window
// outlined), the menu-bar strip and the Dock strip. The window onto the simulated desktop shows
// it, and glass panels get the part of it that lies beneath them.

#include <QPointF>

class QPainter;

namespace velvix::sim {
class SimDesktop;
struct SimDesktopScene;
}  // namespace velvix::sim

namespace velvix::qt {

class SimDesktopPainter {
 public:
  // The screen's top-left corner lands at `origin`; `scale` painter units per point.
  static void paint(QPainter& painter, sim::SimDesktop& desktop, const sim::SimDesktopScene& scene,
                    QPointF origin, double scale);
};

}  // namespace velvix::qt
