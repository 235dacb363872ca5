#include "UI/SoftShadow.hpp"

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QPainter>
#include <QPainterPath>

namespace velvix {

void paintSoftShadow(QPainter& painter, const QPainterPath& shape, const QColor& colour, double radius,
                     const QPointF& offset) {
  if (radius <= 0 || colour.alphaF() <= 0) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(offset);
  const int steps = std::max(2, static_cast<int>(std::ceil(radius * 2)));
  // Each ring adds a little; together the colour is strongest at the outline and gone at `radius`.
  QColor ring = colour;
  ring.setAlphaF(static_cast<float>(colour.alphaF() * 2.0 / steps));
  for (int i = steps; i >= 1; --i) {
    const double width = 2 * radius * i / steps;
    painter.strokePath(shape, QPen(ring, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }
  painter.restore();
}

}  // namespace velvix
