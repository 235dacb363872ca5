#include "Platform/Qt/RowSlices.hpp"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QRect>
#include <QRectF>

namespace velvix::qt {

namespace {
constexpr double kRowsPerSlice = 64;
// A larger area (the whole glass of the panel) is worth the worker threads. What decides is the
// area drawn, not the repaint it is part of: a whole frame of the panel copies twenty stills of
// some hundred thousand pixels each, and handing each of them to the worker threads costs the
// painting thread several times what copying it in bands does.
constexpr double kMostPixels = 768 * 1024;
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
  const double scale = painter.deviceTransform().m22();
  const QRect bounds = area.toAlignedRect();
  const bool small = area.width() * area.height() * scale * scale <= kMostPixels;
  const int step = small ? std::max(1, static_cast<int>(kRowsPerSlice / scale)) : bounds.height();
  for (int y = bounds.top(); y <= bounds.bottom(); y += step) {
    painter.save();
    painter.setClipRect(QRect(bounds.left(), y, bounds.width(), std::min(step, bounds.bottom() + 1 - y)),
                        Qt::IntersectClip);
    paint();
    painter.restore();
  }
}

}  // namespace velvix::qt
