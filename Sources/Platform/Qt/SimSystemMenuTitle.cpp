#include "Platform/Qt/SimSystemMenuTitle.hpp"

#include <algorithm>

#include <QFontMetricsF>
#include <QPainter>

#include "Platform/Simulated/SimSystemMenu.hpp"

namespace velvix::qt {

namespace {

QFont titleFont(double scale) {
  QFont font;
  font.setPixelSize(std::max(9, static_cast<int>(13 * scale)));
  return font;
}

}  // namespace

QRectF SimSystemMenuTitle::rect(const QRectF& strip, double scale, double rightEdge) {
  const double width =
      QFontMetricsF(titleFont(scale)).horizontalAdvance(sim::SimSystemMenu::kTitle) + 16 * scale;
  return {rightEdge - 8 * scale - width, strip.top(), width, strip.height()};
}

void SimSystemMenuTitle::paint(QPainter& p, const QRectF& title, double scale) {
  p.save();
  p.setFont(titleFont(scale));
  p.setPen(QColor(20, 20, 24));
  p.drawText(title, Qt::AlignCenter, sim::SimSystemMenu::kTitle);
  p.restore();
}

}  // namespace velvix::qt
