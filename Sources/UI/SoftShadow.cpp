#include "UI/SoftShadow.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>

namespace velvix {

namespace {

void strokeRings(QPainter& painter, const QPainterPath& shape, const QColor& colour, double radius) {
  painter.setRenderHint(QPainter::Antialiasing);
  const int steps = std::max(2, static_cast<int>(std::ceil(radius * 2)));
  // Each ring adds a little; together the colour is strongest at the outline and gone at `radius`.
  QColor ring = colour;
  ring.setAlphaF(static_cast<float>(colour.alphaF() * 2.0 / steps));
  for (int i = steps; i >= 1; --i) {
    const double width = 2 * radius * i / steps;
    painter.strokePath(shape, QPen(ring, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }
}

// 64-bit FNV-1a over the values that decide the picture.
struct Fingerprint {
  std::uint64_t value = 14695981039346656037ull;
  void add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
  }
  void add(double number) { add(&number, sizeof number); }
};

}  // namespace

// The rings are drawn once into a picture at the device's scale and kept in the pixmap cache:
// the same highlight, ring and badge shadows come back on every frame. A painter that rotates
// or shears draws them directly.
void paintSoftShadow(QPainter& painter, const QPainterPath& shape, const QColor& colour, double radius,
                     const QPointF& offset) {
  if (radius <= 0 || colour.alphaF() <= 0) return;
  const QTransform device = painter.deviceTransform();
  const double scale = device.m11();
  if (device.type() > QTransform::TxScale || scale <= 0 || scale != device.m22() || shape.isEmpty()) {
    painter.save();
    painter.translate(offset);
    strokeRings(painter, shape, colour, radius);
    painter.restore();
    return;
  }
  // The picture covers the shape with the rings' reach around it, and a pixel more for the edge.
  const QRectF bounds = shape.boundingRect();
  const double margin = radius + 1;
  const QRectF area = bounds.adjusted(-margin, -margin, margin, margin);
  const double ratio = std::max(1.0, scale);  // an image's ratio is never below one
  const QSize pixels(static_cast<int>(std::ceil(area.width() * ratio)),
                     static_cast<int>(std::ceil(area.height() * ratio)));
  if (pixels.isEmpty() || pixels.width() > 4096 || pixels.height() > 4096) {
    painter.save();
    painter.translate(offset);
    strokeRings(painter, shape, colour, radius);
    painter.restore();
    return;
  }
  Fingerprint key;
  key.add(ratio);
  key.add(radius);
  const QRgb rgba = colour.rgba();
  key.add(&rgba, sizeof rgba);
  for (int i = 0; i < shape.elementCount(); ++i) {
    const QPainterPath::Element e = shape.elementAt(i);
    key.add(e.x - bounds.x());
    key.add(e.y - bounds.y());
    const int type = e.type;
    key.add(&type, sizeof type);
  }
  const QString name = QStringLiteral("velvix.shadow.%1").arg(key.value, 16, 16, QLatin1Char('0'));
  QPixmap picture;
  if (!QPixmapCache::find(name, &picture)) {
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
      QPainter rings(&image);
      rings.translate(-area.topLeft());
      strokeRings(rings, shape, colour, radius);
    }
    picture = QPixmap::fromImage(std::move(image));
    QPixmapCache::insert(name, picture);
  }
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(area.topLeft() + offset, picture);
  painter.restore();
}

}  // namespace velvix
