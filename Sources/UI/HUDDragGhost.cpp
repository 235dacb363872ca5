#include "UI/HUDDragGhost.hpp"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "UI/FrostedMaterial.hpp"
#include "UI/SoftShadow.hpp"

namespace velvix {

namespace {

QFont ghostFont() {
  QFont font;
  font.setPixelSize(static_cast<int>(HUDDragGhost::kFontSize));
  font.setWeight(QFont::Medium);
  return font;
}

}  // namespace

double HUDDragGhost::titleWidth() const {
  const double natural = QFontMetricsF(ghostFont()).horizontalAdvance(QString::fromStdString(item.title));
  const double room = kMaximumWidth - 2 * kHorizontalPadding - kIconSize - kSpacing;
  return std::min(std::ceil(natural), room);
}

Rect HUDDragGhost::frame(Point centre) const {
  const double width = 2 * kHorizontalPadding + kIconSize + kSpacing + titleWidth();
  const double height = 2 * kVerticalPadding + std::max(kIconSize, QFontMetricsF(ghostFont()).height());
  return {centre.x - width / 2, centre.y - height / 2, width, height};
}

void HUDDragGhost::paint(QPainter& painter, Point centre, bool reduceTransparency) const {
  const Rect f = frame(centre);
  const QRectF rect(f.x, f.y, f.width, f.height);
  QPainterPath shape;
  shape.addRoundedRect(rect, kCornerRadius, kCornerRadius);
  painter.save();
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                         QPainter::TextAntialiasing);
  painter.setOpacity(kOpacity);
  paintSoftShadow(painter, shape, QColor::fromRgbF(0, 0, 0, 0.35f), 8, {0, 3});
  painter.save();
  painter.setClipPath(shape);
  FrostedMaterial(GlassMaterial::thick).paint(painter, rect, reduceTransparency);
  const QRectF icon(rect.left() + kHorizontalPadding, rect.center().y() - kIconSize / 2, kIconSize,
                    kIconSize);
  if (!appIcon.isNull()) painter.drawImage(icon, appIcon);
  painter.setFont(ghostFont());
  painter.setPen(Qt::white);
  const QRectF text(icon.right() + kSpacing, rect.top(), titleWidth(), rect.height());
  const QString title = QFontMetricsF(painter.font())
                            .elidedText(QString::fromStdString(item.title), Qt::ElideRight, text.width());
  painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
  painter.restore();
  if (accepted) {
    painter.strokePath(shape, QPen(QColor::fromRgbF(48 / 255.f, 209 / 255.f, 88 / 255.f, 0.9f), 2));
  } else {
    painter.strokePath(shape, QPen(QColor::fromRgbF(1, 1, 1, 0.25f), 1));
  }
  painter.restore();
}

}  // namespace velvix
