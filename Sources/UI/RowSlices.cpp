#include "UI/RowSlices.hpp"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QRect>
#include <QRectF>

namespace velvix {

namespace {
constexpr double kRowsPerSlice = 64;
}  // namespace

bool slicesExactly(const QPainter& painter) {
  const QTransform device = painter.deviceTransform();
  const double scale = device.m22();
  return device.type() <= QTransform::TxScale && scale >= 1 && scale == device.m11() &&
         scale == std::floor(scale);
}

void paintInRowSlices(QPainter& painter, const QRectF& area, const std::function<void()>& paint) {
  if (!slicesExactly(painter)) {
    paint();
    return;
  }
  const int step = std::max(1, static_cast<int>(kRowsPerSlice / painter.deviceTransform().m22()));
  const QRect bounds = area.toAlignedRect();
  for (int y = bounds.top(); y <= bounds.bottom(); y += step) {
    painter.save();
    painter.setClipRect(QRect(bounds.left(), y, bounds.width(), std::min(step, bounds.bottom() + 1 - y)),
                        Qt::IntersectClip);
    paint();
    painter.restore();
  }
}

}  // namespace velvix
