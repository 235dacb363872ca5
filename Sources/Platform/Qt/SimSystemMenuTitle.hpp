#pragma once
// The title of the simulated system's menu in the desktop window's menu-bar strip: at the strip's
// right, left of the status item, where the system's own menu extras sit.

#include <QRectF>

class QPainter;

namespace velvix::qt {

class SimSystemMenuTitle {
 public:
  // `rightEdge`: where the status item begins (the strip's right end without one).
  static QRectF rect(const QRectF& strip, double scale, double rightEdge);
  // Draws the title into the rectangle rect() gave.
  static void paint(QPainter& painter, const QRectF& title, double scale);
};

}  // namespace velvix::qt
