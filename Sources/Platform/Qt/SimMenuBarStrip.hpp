#pragma once
// The simulated desktop window's menu bar: while this program is frontmost its main menu's titles
// replace the application name at the left; at the right end its status item's icon is drawn.
// Clicking a title or the icon opens the program's menu model (the desktop view composes it).

#include <memory>
#include <optional>
#include <vector>

#include <QRectF>

#include "Platform/Menu.hpp"

class QPainter;

namespace velvix::sim {
class SimMenuBar;
}

namespace velvix::qt {

class SimMenuBarStrip {
 public:
  // Where the parts of the strip are, in the painter's coordinates.
  struct Layout {
    QRectF statusIcon;
    std::vector<std::pair<QRectF, platform::MenuItem*>> titles;  // the main menu's, when shown
  };

  static Layout layout(const sim::SimMenuBar& bar, const QRectF& strip, double scale, bool ownAppFrontmost);
  static void paint(QPainter& painter, const sim::SimMenuBar& bar, const QRectF& strip, double scale,
                    bool ownAppFrontmost);
  // The menu a click at `point` opens (the status menu asked to update first); null when none.
  static platform::Menu* menuAt(sim::SimMenuBar& bar, const QRectF& strip, double scale, bool ownAppFrontmost,
                                QPointF point, QRectF* under = nullptr);
  // Draws the status icon of a symbol into `box`.
  static void paintStatusSymbol(QPainter& painter, const std::string& symbol, const QRectF& box);
};

}  // namespace velvix::qt
