#include "UI/HUDCell.hpp"

#include <algorithm>

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "UI/FrostedMaterial.hpp"
#include "UI/HUDSymbols.hpp"
#include "UI/SoftShadow.hpp"

namespace velvix {

namespace {

// The system colours of the dark appearance.
const QColor kSystemBlue(10, 132, 255);
const QColor kSystemGreen(48, 209, 88);
const QColor kSystemRed(255, 69, 58);

QColor withAlpha(QColor colour, double alpha) {
  colour.setAlphaF(static_cast<float>(alpha));
  return colour;
}

QRectF q(const Rect& r) {
  return {r.x, r.y, r.width, r.height};
}

QPainterPath rounded(const QRectF& rect, double radius) {
  QPainterPath path;
  path.addRoundedRect(rect, radius, radius);
  return path;
}

// The image scaled to fit inside the box, keeping its aspect, centred.
void drawFitted(QPainter& painter, const QImage& image, const QRectF& box) {
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return;
  const double scale = std::min(box.width() / image.width(), box.height() / image.height());
  const QSizeF size(image.width() * scale, image.height() * scale);
  painter.drawImage(QRectF(box.center() - QPointF(size.width() / 2, size.height() / 2), size), image);
}

// The image scaled to fill the box, keeping its aspect, the overflow cut off evenly.
void drawFilling(QPainter& painter, const QImage& image, const QRectF& box) {
  if (image.isNull() || box.isEmpty()) return;
  const double scale = std::max(box.width() / image.width(), box.height() / image.height());
  const QSizeF used(box.width() / scale, box.height() / scale);
  const QRectF source(QPointF((image.width() - used.width()) / 2, (image.height() - used.height()) / 2),
                      used);
  painter.drawImage(box, image, source);
}

QFont systemFont(double pixelSize, QFont::Weight weight) {
  QFont font;
  font.setPixelSize(std::max(1, static_cast<int>(pixelSize)));
  font.setWeight(weight);
  return font;
}

// A stroke that lies inside the shape's border, as a border stroke does.
QPainterPath insideBorder(const QRectF& rect, double radius, double lineWidth) {
  const double inset = lineWidth / 2;
  return rounded(rect.adjusted(inset, inset, -inset, -inset), std::max(radius - inset, 0.0));
}

}  // namespace

// ---- geometry

Size HUDCell::size() const {
  const Rect content = contentFrame();
  return {content.width, content.maxY() + (metrics.thumbnails ? 0 : metrics.label())};
}

Rect HUDCell::contentFrame() const {
  const HUDMetrics::Size picture = metrics.pictureSize(frozenWidth);
  const double top = metrics.thumbnails ? metrics.header() : 0;
  return {0, top, picture.width + 2 * metrics.pad(), picture.height + 2 * metrics.pad()};
}

Rect HUDCell::pictureRect() const {
  const Rect content = contentFrame();
  const double pad = metrics.pad();
  return {content.x + pad, content.y + pad, content.width - 2 * pad, content.height - 2 * pad};
}

Rect HUDCell::iconRect() const {
  const Rect picture = pictureRect();
  if (!metrics.thumbnails) return picture;
  const double side = metrics.thumbH();
  return {picture.midX() - side / 2, picture.midY() - side / 2, side, side};
}

Rect HUDCell::siteBadgeRect() const {
  const Rect icon = iconRect();
  const double b = metrics.siteBadgeSize();
  return {icon.maxX() - b + 2, icon.maxY() - b + 2, b, b};
}

Rect HUDCell::headerRect() const {
  return {metrics.pad(), 0, pictureRect().width, metrics.headerHeight()};
}

Rect HUDCell::headerIconRect() const {
  const Rect header = headerRect();
  const double hdr = metrics.headerIconSize();
  return {header.x, header.midY() - hdr / 2, hdr, hdr};
}

Rect HUDCell::dockBadgeRect(double textWidth) const {
  const Rect icon = headerIconRect();
  const double e = metrics.dockBadgeHeight();
  const double width = std::max(e, textWidth + 2 * metrics.dockBadgeHorizontalPadding());
  const HUDMetrics::Size offset = metrics.dockBadgeOffset();
  return {icon.maxX() - width + offset.width, icon.y - offset.height, width, e};
}

Rect HUDCell::titleRect() const {
  const Rect content = contentFrame();
  double width = std::max(content.width * 2.2, metrics.titleMinimumWidth());
  double x = content.midX() - width / 2;
  if (titleLimits) {
    const auto [low, high] = *titleLimits;
    width = std::min(width, std::max(0.0, high - low));
    x = std::clamp(x, low, std::max(low, high - width));
  }
  return {x, content.maxY() + metrics.titleSpacing(), width, metrics.titleStripHeight()};
}

std::optional<Rect> HUDCell::cornerControlsBox() const {
  if (!metrics.thumbnails) return std::nullopt;
  return hasPicture() ? pictureRect() : iconRect();
}

std::optional<Rect> HUDCell::closeControlRect() const {
  auto box = cornerControlsBox();
  if (!box || !closable) return std::nullopt;
  const double d = metrics.controlDiameter(), inset = metrics.cornerControlPadding();
  return Rect{box->maxX() - inset - d, box->y + inset, d, d};
}

std::optional<Rect> HUDCell::minimizedBadgeRect() const {
  auto box = cornerControlsBox();
  if (!box || !item.isMinimized) return std::nullopt;
  const double d = metrics.controlDiameter(), inset = metrics.cornerControlPadding();
  // Left of the close control's place when the entry has one, shown or not.
  double right = box->maxX() - inset;
  if (closable) right -= d + metrics.cornerControlSpacing();
  return Rect{right - d, box->y + inset, d, d};
}

bool HUDCell::closeControlContains(Point point) const {
  auto control = closeControlRect();
  if (!showsCloseControl() || !control) return false;
  // The circle is the hit shape.
  const double dx = point.x - control->midX(), dy = point.y - control->midY(), r = control->width / 2;
  return dx * dx + dy * dy <= r * r;
}

std::optional<std::string> HUDCell::minimizedBadgeLabel() const {
  if (!minimizedBadgeRect()) return std::nullopt;
  return item.title + " is minimized";
}

std::optional<std::string> HUDCell::closeControlLabel() const {
  if (!closeControlRect()) return std::nullopt;
  return "Close " + item.title;
}

std::optional<std::string> HUDCell::helpText(Point point) const {
  if (closeControlContains(point)) return "Close";
  if (auto badge = minimizedBadgeRect(); badge && badge->contains(point)) return "Minimized";
  return std::nullopt;
}

double HUDCell::easeOut(double progress) {
  const double t = std::clamp(progress, 0.0, 1.0);
  return 1 - (1 - t) * (1 - t);
}

bool HUDCell::isAuxiliary(const SwitchableItem& item) {
  return item.kind == ItemKind::tab && item.url == kAuxiliaryURL;
}

std::string HUDCell::badgeSymbol(const SwitchableItem& item) {
  if (item.url == kAuxiliaryURL) return "gearshape";
  if (item.browser && browsers::isEditor(*item.browser)) return "chevron.left.forwardslash.chevron.right";
  if (item.browser == Browser::terminal) return "apple.terminal";
  return "globe";
}

// ---- drawing

void HUDCell::paint(QPainter& painter, bool reduceTransparency) const {
  const double fade = effectiveOpacity();
  if (fade >= 1) return paintLayers(painter, reduceTransparency);
  // The dragged cell fades as a whole: drawn into a layer first, so its overlapping parts do not
  // show through each other.
  const Size cell = size();
  const Rect title = titleRect();
  const QRectF bounds(QPointF(std::min(0.0, title.x) - kLayerMargin, -kLayerMargin),
                      QPointF(std::max(cell.width, title.maxX()) + kLayerMargin, cell.height + kLayerMargin));
  const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  QImage layer((bounds.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
  layer.setDevicePixelRatio(ratio);
  layer.fill(Qt::transparent);
  {
    QPainter layerPainter(&layer);
    layerPainter.translate(-bounds.topLeft());
    paintLayers(layerPainter, reduceTransparency);
  }
  painter.save();
  painter.setOpacity(painter.opacity() * fade);
  painter.drawImage(bounds.topLeft(), layer);
  painter.restore();
}

void HUDCell::paintLayers(QPainter& painter, bool reduceTransparency) const {
  painter.save();
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                         QPainter::TextAntialiasing);
  if (metrics.thumbnails) {
    paintHeader(painter);
    paintThumbnailView(painter, reduceTransparency);
    paintRing(painter);
  } else {
    paintHighlight(painter);
    paintIconView(painter, reduceTransparency);
    paintTitle(painter);
  }
  paintDragOverlay(painter);
  painter.restore();
}

void HUDCell::paintHighlight(QPainter& painter) const {
  if (!isSelected && !isHovered) return;
  painter.save();
  painter.setOpacity(painter.opacity() * (isSelected ? 1.0 : 0.5));
  const double inset = metrics.highlightInset();
  const QRectF rect = q(contentFrame()).adjusted(inset, inset, -inset, -inset);
  const QPainterPath shape = rounded(rect, metrics.highlightCornerRadius());
  paintSoftShadow(painter, shape, withAlpha(Qt::white, 0.18), 3, {});
  QLinearGradient fill(rect.topLeft(), rect.bottomLeft());
  fill.setColorAt(0, withAlpha(Qt::white, 0.34));
  fill.setColorAt(1, withAlpha(Qt::white, 0.12));
  painter.fillPath(shape, fill);
  painter.restore();
}

void HUDCell::paintRing(QPainter& painter) const {
  if (!isSelected && !isHovered) return;
  painter.save();
  painter.setOpacity(painter.opacity() * (isSelected ? 1.0 : 0.5));
  const QRectF rect = q(contentFrame());
  const double line = metrics.ringLineWidth(), radius = metrics.ringCornerRadius();
  paintSoftShadow(painter, rounded(rect, radius), withAlpha(kSystemBlue, 0.45), 4, {});
  QLinearGradient stroke(rect.topLeft(), rect.bottomLeft());
  stroke.setColorAt(0, withAlpha(kSystemBlue, 0.95));
  stroke.setColorAt(1, withAlpha(kSystemBlue, 0.65));
  painter.strokePath(insideBorder(rect, radius, line), QPen(QBrush(stroke), line));
  painter.restore();
}

void HUDCell::paintDragOverlay(QPainter& painter) const {
  if (dragRole == HUDDragRole::none || dragRole == HUDDragRole::source) return;
  const QRectF rect = q(contentFrame());
  const double radius = metrics.thumbnails ? metrics.ringCornerRadius() : metrics.highlightCornerRadius();
  if (dragRole == HUDDragRole::destination) {
    painter.fillPath(rounded(rect, radius), withAlpha(kSystemGreen, 0.14));
    return;
  }
  const double line = metrics.ringLineWidth();
  paintSoftShadow(painter, rounded(rect, radius), withAlpha(kSystemGreen, 0.45), 4, {});
  painter.strokePath(insideBorder(rect, radius, line), QPen(withAlpha(kSystemGreen, 0.95), line));
}

void HUDCell::paintIconView(QPainter& painter, bool reduceTransparency) const {
  drawFitted(painter, appIcon, q(iconRect()));
  if (item.kind == ItemKind::tab) paintSiteBadge(painter, reduceTransparency);
}

void HUDCell::paintSiteBadge(QPainter& painter, bool reduceTransparency) const {
  const QRectF rect = q(siteBadgeRect());
  const double b = rect.width();
  const QPainterPath shape = rounded(rect, b * 0.22);
  paintSoftShadow(painter, shape, withAlpha(Qt::black, 0.33), 1.5, {});
  painter.save();
  painter.setClipPath(shape, Qt::IntersectClip);
  FrostedMaterial(GlassMaterial::thick).paint(painter, rect, reduceTransparency);
  if (!siteIcon.isNull()) {
    const double inset = b * 0.12;
    drawFitted(painter, siteIcon, rect.adjusted(inset, inset, -inset, -inset));
  } else {
    HUDSymbols::paint(painter, badgeSymbol(item), rect, b * 0.55, HUDSymbols::Weight::semibold,
                      withAlpha(Qt::white, 0.6));
  }
  painter.restore();
}

void HUDCell::paintThumbnailView(QPainter& painter, bool reduceTransparency) const {
  if (!hasPicture()) {
    paintIconView(painter, reduceTransparency);
    paintCornerControls(painter);
    return;
  }
  const QRectF rect = q(pictureRect());
  const QPainterPath shape = rounded(rect, metrics.pictureCornerRadius());
  painter.save();
  painter.setClipPath(shape, Qt::IntersectClip);
  painter.fillPath(shape, withAlpha(Qt::black, 0.18));
  drawFilling(painter, picture(), rect);
  painter.restore();
  paintCornerControls(painter);
}

void HUDCell::paintCornerControls(QPainter& painter) const {
  const double symbol = metrics.controlSymbolSize();
  if (auto badge = minimizedBadgeRect()) {
    const QRectF circle = q(*badge);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(Qt::black, 0.55));
    painter.drawEllipse(circle);
    HUDSymbols::paint(painter, "minus", circle, symbol, HUDSymbols::Weight::bold, Qt::white);
  }
  if (auto control = closeControlRect(); control && showsCloseControl()) {
    const QRectF circle = q(*control);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(kSystemRed, 0.6));
    painter.drawEllipse(circle);
    HUDSymbols::paint(painter, "xmark", circle, symbol, HUDSymbols::Weight::semibold, Qt::white);
  }
}

void HUDCell::paintHeader(QPainter& painter) const {
  const Rect header = headerRect();
  const Rect icon = headerIconRect();
  drawFitted(painter, appIcon, q(icon));
  const double textX = icon.maxX() + metrics.headerSpacing();
  painter.setFont(systemFont(kHeaderFontSize, QFont::Medium));
  painter.setPen(Qt::white);
  const QRectF textBox(textX, header.y, std::max(0.0, header.maxX() - textX), header.height);
  const QString title = QFontMetricsF(painter.font())
                            .elidedText(QString::fromStdString(headerTitle), Qt::ElideRight, textBox.width());
  painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);

  if (!dockBadge) return;
  painter.save();
  painter.setFont(systemFont(metrics.dockBadgeFontSize(), QFont::Bold));
  const QString label = QString::fromStdString(*dockBadge);
  const QRectF capsule = q(dockBadgeRect(QFontMetricsF(painter.font()).horizontalAdvance(label)));
  painter.setPen(Qt::NoPen);
  painter.setBrush(kSystemRed);
  painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
  painter.setPen(Qt::white);
  painter.drawText(capsule, Qt::AlignCenter | Qt::TextSingleLine, label);
  painter.restore();
}

std::string HUDCell::shownTitle() const {
  const QFont font = systemFont(metrics.titleFontSize(), QFont::DemiBold);
  return QFontMetricsF(font)
      .elidedText(QString::fromStdString(item.title), Qt::ElideRight, titleRect().width)
      .toStdString();
}

void HUDCell::paintTitle(QPainter& painter) const {
  if (!isSelected) return;
  const QRectF box = q(titleRect());
  painter.setFont(systemFont(metrics.titleFontSize(), QFont::DemiBold));
  painter.setPen(Qt::white);
  painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(shownTitle()));
}

}  // namespace velvix
