#include "UI/FrostedMaterial.hpp"

#include <algorithm>
#include <random>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QRectF>

namespace velvix {

namespace {

constexpr double kBackdropOpacity = 0.82;  // colour, not detail, of what is behind gets through
constexpr int kGrainTile = 48;

QColor saturated(QColor c, double amount) {
  const double luma = 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
  auto channel = [&](double v) { return std::clamp(luma + (v - luma) * amount, 0.0, 1.0); };
  return QColor::fromRgbF(channel(c.redF()), channel(c.greenF()), channel(c.blueF()), c.alphaF());
}

// A fixed, soft noise tile: light and dark specks whose strength falls as the blur grows.
QImage grainTile(int strength) {
  std::minstd_rand random(7);
  std::uniform_int_distribution<int> speck(-1, 1);
  QImage tile(kGrainTile, kGrainTile, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < kGrainTile; ++y) {
    auto* line = tile.scanLine(y);
    for (int x = 0; x < kGrainTile; ++x) {
      const int kind = speck(random);
      const int alpha = kind == 0 ? 0 : strength;
      const int value = kind > 0 ? alpha : 0;  // premultiplied white, or black
      reinterpret_cast<QRgb*>(line)[x] = qRgba(value, value, value, alpha);
    }
  }
  return tile;
}

// The tile is the same for every paint of a strength: made once and kept in the pixmap cache,
// in the painting's own pixel format.
QPixmap grain(double blurRadius) {
  const int strength = static_cast<int>(std::lround(14.0 / (1.0 + std::max(blurRadius, 0.0) / 6.0)));
  const QString name = QStringLiteral("velvix.grain.%1").arg(strength);
  QPixmap tile;
  if (!QPixmapCache::find(name, &tile)) {
    tile = QPixmap::fromImage(grainTile(strength));
    QPixmapCache::insert(name, tile);
  }
  return tile;
}

}  // namespace

QColor FrostedMaterial::tint(GlassMaterial material) {
  switch (material) {
    case GlassMaterial::menu:
      return QColor(40, 40, 42, 158);
    case GlassMaterial::hudWindow:
      return QColor(24, 24, 26, 178);
    case GlassMaterial::popover:
      return QColor(46, 46, 48, 153);
    case GlassMaterial::underWindowBackground:
      return QColor(30, 30, 32, 184);
    case GlassMaterial::ultraThin:
      return QColor(56, 56, 60, 64);
    case GlassMaterial::thin:
      return QColor(52, 52, 56, 97);
    case GlassMaterial::regular:
      return QColor(48, 48, 50, 133);
    case GlassMaterial::thick:
      return QColor(40, 40, 42, 168);
  }
  return QColor(40, 40, 42, 158);
}

QColor FrostedMaterial::opaqueFill(GlassMaterial material) {
  QColor c = tint(material);
  c.setAlpha(255);
  return c.lighter(112);
}

void FrostedMaterial::paint(QPainter& painter, const QRectF& rect, bool reduceTransparency) const {
  painter.save();
  if (reduceTransparency) {
    painter.fillRect(rect, opaqueFill(material_));
    painter.restore();
    return;
  }
  // The backdrop stand-in: a blurred desktop's dim, cool wash.
  QLinearGradient wash(rect.topLeft(), rect.bottomRight());
  const double s = tuning_.saturation;
  wash.setColorAt(0.0, saturated(QColor(58, 68, 96), s));
  wash.setColorAt(0.55, saturated(QColor(52, 58, 76), s));
  wash.setColorAt(1.0, saturated(QColor(70, 56, 86), s));
  painter.setOpacity(kBackdropOpacity);
  painter.fillRect(rect, wash);
  painter.setOpacity(1.0);
  painter.fillRect(rect, QBrush(grain(tuning_.blurRadius)));
  // The material's tint layers.
  const double tintOpacity = std::clamp(tuning_.tintOpacity, 0.0, 1.0);
  if (tintOpacity > 0) {
    painter.setOpacity(tintOpacity);
    painter.fillRect(rect, tint(material_));
  }
  painter.restore();
}

}  // namespace velvix
