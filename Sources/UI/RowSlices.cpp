#include "UI/RowSlices.hpp"

#include <algorithm>
#include <cmath>

#include <QPaintEngine>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QRegion>

namespace velvix {

namespace {
constexpr double kRowsPerSlice = 64;
// A larger area, or a paint of a larger part of a window (a whole frame of the panel), is worth
// the worker threads.
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
  // What this paint repaints, in device pixels: nothing known is a whole picture.
  const QRegion repainted = painter.paintEngine() ? painter.paintEngine()->systemClip() : QRegion();
  const QRect dirty = repainted.boundingRect();
  const bool small = area.width() * area.height() * scale * scale <= kMostPixels && !repainted.isEmpty() &&
                     static_cast<double>(dirty.width()) * dirty.height() <= kMostPixels;
  const int step = small ? std::max(1, static_cast<int>(kRowsPerSlice / scale)) : bounds.height();
  for (int y = bounds.top(); y <= bounds.bottom(); y += step) {
    painter.save();
    painter.setClipRect(QRect(bounds.left(), y, bounds.width(), std::min(step, bounds.bottom() + 1 - y)),
                        Qt::IntersectClip);
    paint();
    painter.restore();
  }
}

}  // namespace velvix
