#include "UI/HUDCell.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>

#include "Core/MRUManager.hpp"
#include "Platform/Qt/RowSlices.hpp"
#include "UI/EntryCompositions.hpp"
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

// Draws the part `source` of the image into `target`. A picture that comes back on every frame
// (`keep`) is scaled once to the device pixels it covers and kept in the pixmap cache under its
// identity, so a frame copies pixels instead of converting and filtering the whole picture again.
void drawScaled(QPainter& painter, const QImage& image, const QRectF& target, const QRectF& source,
                bool keep) {
  const QTransform device = painter.deviceTransform();
  const double scale = device.m11();
  // Below one pixel a point the picture is kept at one (an image's ratio is never below one) and
  // the painter scales the copy.
  const double ratio = std::max(1.0, scale);
  if (keep && device.type() <= QTransform::TxScale && scale > 0 && scale == device.m22()) {
    const QSize pixels(static_cast<int>(std::lround(target.width() * ratio)),
                       static_cast<int>(std::lround(target.height() * ratio)));
    if (!pixels.isEmpty() && pixels.width() <= 4096 && pixels.height() <= 4096) {
      const QString name = QStringLiteral("velvix.scaled.%1.%2x%3.%4,%5,%6,%7@%8")
                               .arg(image.cacheKey())
                               .arg(pixels.width())
                               .arg(pixels.height())
                               .arg(source.x())
                               .arg(source.y())
                               .arg(source.width())
                               .arg(source.height())
                               .arg(scale);
      QPixmap scaled;
      if (!QPixmapCache::find(name, &scaled)) {
        QImage canvas(pixels, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        {
          QPainter p(&canvas);
          p.setRenderHint(QPainter::SmoothPixmapTransform);
          p.drawImage(QRectF(QPointF(0, 0), QSizeF(pixels)), image, source);
        }
        canvas.setDevicePixelRatio(ratio);
        scaled = QPixmap::fromImage(std::move(canvas));
        QPixmapCache::insert(name, scaled);
      }
      painter.drawPixmap(target, scaled, QRectF(scaled.rect()));
      return;
    }
  }
  painter.drawImage(target, image, source);
}

// The image scaled to fit inside the box, keeping its aspect, centred.
void drawFitted(QPainter& painter, const QImage& image, const QRectF& box, bool keep = true) {
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return;
  const double scale = std::min(box.width() / image.width(), box.height() / image.height());
  const QSizeF size(image.width() * scale, image.height() * scale);
  drawScaled(painter, image, QRectF(box.center() - QPointF(size.width() / 2, size.height() / 2), size),
             QRectF(image.rect()), keep);
}

// The image scaled to fill the box, keeping its aspect, the overflow cut off evenly.
void drawFilling(QPainter& painter, const QImage& image, const QRectF& box, bool keep = true) {
  if (image.isNull() || box.isEmpty()) return;
  const double scale = std::max(box.width() / image.width(), box.height() / image.height());
  const QSizeF used(box.width() / scale, box.height() / scale);
  const QRectF source(QPointF((image.width() - used.width()) / 2, (image.height() - used.height()) / 2),
                      used);
  drawScaled(painter, image, box, source, keep);
}

// The compositions kept for the entries: one still and one header each.
EntryCompositions& entryCompositions() {
  static EntryCompositions compositions;
  return compositions;
}

// Draws what `paint` draws within `area`, composed once at the device's pixels and kept in the
// pixmap cache under `key` (which names everything the drawing depends on): the HUD's glows,
// rings, badges and headers come back unchanged on every frame. What only one entry draws is
// kept in that entry's `slot`, in place of what it drew before. A painter that rotates, shears
// or fades draws directly.
void drawComposed(QPainter& painter, const QString& key, const QRectF& area,
                  const std::function<void(QPainter&)>& paint, const std::string& slot = {}) {
  const QTransform device = painter.deviceTransform();
  const double scale = device.m11();
  // Composed at the same fraction of a pixel as it lands on, so the copy is exact. Below one
  // pixel a point it is composed at one (an image's ratio is never below one) and the painter
  // scales the copy.
  const double ratio = std::max(1.0, scale);
  const QPointF origin = device.map(area.topLeft());
  const QPointF fraction =
      scale >= 1 ? QPointF(origin.x() - std::floor(origin.x()), origin.y() - std::floor(origin.y()))
                 : QPointF();
  const QSize pixels(static_cast<int>(std::ceil(area.width() * ratio + fraction.x())),
                     static_cast<int>(std::ceil(area.height() * ratio + fraction.y())));
  if (device.type() > QTransform::TxScale || scale <= 0 || scale != device.m22() || pixels.isEmpty() ||
      pixels.width() > 4096 || pixels.height() > 4096 || painter.opacity() != 1.0) {
    paint(painter);
    return;
  }
  const QString name = key + QStringLiteral("|%1x%2@%3+%4,%5")
                                 .arg(area.width())
                                 .arg(area.height())
                                 .arg(scale)
                                 .arg(fraction.x())
                                 .arg(fraction.y());
  QPixmap composed;
  if (slot.empty() ? !QPixmapCache::find(name, &composed)
                   : (composed = entryCompositions().find(slot, name)).isNull()) {
    QImage canvas(pixels, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::transparent);
    {
      QPainter p(&canvas);
      p.setRenderHints(painter.renderHints());
      p.setFont(painter.font());
      p.translate(fraction / ratio - area.topLeft());
      paint(p);
    }
    composed = QPixmap::fromImage(std::move(canvas));
    if (slot.empty())
      QPixmapCache::insert(name, composed);
    else
      entryCompositions().keep(slot, name, composed);
  }
  painter.drawPixmap(area.topLeft() - fraction / ratio, composed);
}

// The selection ring around `rect`, reaching `reach` outside it and `innerReach` into it, drawn
// by `paint` around any frame. Cells of one row height differ only in the straight run along the
// ring's top and bottom, so the ring is not composed per cell but drawn in pieces: its two ends,
// taken from a short ring of the same height composed once (at the same fractions of a pixel),
// and the run between them, one column of that short ring repeated. A cell selected for the
// first time then composes nothing, and the clear inside of the ring is never blended.
void drawRing(QPainter& painter, const QString& key, const QRectF& rect, double reach, double innerReach,
              double cornerRadius, const std::function<void(QPainter&, const QRectF&)>& paint) {
  const QRectF area = rect.adjusted(-reach, -reach, reach, reach);
  const QTransform device = painter.deviceTransform();
  const double scale = device.m11();
  // An end holds the rounded corner and all the ring and glow around it, and a pixel either side
  // for the fractions and the edge.
  const int endWidth = static_cast<int>(std::ceil((reach + cornerRadius + innerReach) * scale)) + 2;
  const QPointF origin = device.map(area.topLeft());
  const QPointF fraction(origin.x() - std::floor(origin.x()), origin.y() - std::floor(origin.y()));
  const int height = static_cast<int>(std::ceil(area.height() * scale + fraction.y()));
  const double pixelWidth = rect.width() * scale;
  // The short ring is as wide as the two ends and the same fraction of a pixel wider, so its
  // right end lands where the cell's does, to the fraction.
  const int shortWidth = 2 * endWidth + 2;
  const int shift =
      static_cast<int>(std::floor(pixelWidth)) - shortWidth;  // short ring column to ring column
  // The pieces are copied pixel for pixel, which needs at least one pixel a point.
  if (device.type() > QTransform::TxScale || scale < 1 || scale != device.m22() || painter.opacity() != 1.0 ||
      shift < -2 || height <= 0 || height > 4096 || area.width() * scale > 4096) {
    drawComposed(painter, key, area, [&](QPainter& p) { paint(p, rect); });
    return;
  }
  const double widthFraction = pixelWidth - std::floor(pixelWidth);
  const QString name = key + QStringLiteral("|ends|%1x%2@%3+%4,%5,%6")
                                 .arg(shortWidth)
                                 .arg(rect.height())
                                 .arg(scale)
                                 .arg(fraction.x())
                                 .arg(fraction.y())
                                 .arg(widthFraction);
  constexpr int kRunWidth = 256;
  QPixmap ends, run;
  if (!QPixmapCache::find(name, &ends) || !QPixmapCache::find(name + QStringLiteral("|run"), &run)) {
    const double shortArea = (shortWidth + widthFraction) / scale + 2 * reach;
    QImage canvas(static_cast<int>(std::ceil(shortArea * scale + fraction.x())), height,
                  QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(scale);
    canvas.fill(Qt::transparent);
    {
      QPainter p(&canvas);
      p.setRenderHints(painter.renderHints());
      p.setFont(painter.font());
      p.translate(fraction / scale);
      paint(p, QRectF(reach, reach, shortArea - 2 * reach, rect.height()));
    }
    // Past the left end only the straight top and bottom run remains, the same in every column.
    QImage columns(kRunWidth, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
      const QRgb pixel = reinterpret_cast<const QRgb*>(canvas.constScanLine(y))[endWidth];
      std::fill_n(reinterpret_cast<QRgb*>(columns.scanLine(y)), kRunWidth, pixel);
    }
    columns.setDevicePixelRatio(scale);
    ends = QPixmap::fromImage(std::move(canvas));
    run = QPixmap::fromImage(std::move(columns));
    QPixmapCache::insert(name, ends);
    QPixmapCache::insert(name + QStringLiteral("|run"), run);
  }
  const QTransform toLogical = device.inverted();
  const QPointF first(std::floor(origin.x()), std::floor(origin.y()));
  // Copies the source pixels to the device's, from column `x` of the ring's first row on.
  auto copy = [&](const QPixmap& from, int x, const QRect& source) {
    const QRectF target(toLogical.map(first + QPointF(x, source.y())), QSizeF(source.size()) / scale);
    qt::paintInRowSlices(painter, target, [&] { painter.drawPixmap(target, from, QRectF(source)); });
  };
  // Whole pixels onto whole pixels: nothing is filtered.
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  copy(ends, 0, QRect(0, 0, endWidth, height));
  copy(ends, endWidth + 2 + shift, QRect(endWidth + 2, 0, ends.width() - endWidth - 2, height));
  // The run, in the rows the ring reaches: the middle of the ring is clear.
  int top = static_cast<int>(std::ceil(fraction.y() + (reach + innerReach) * scale)) + 1;
  const int bottom =
      static_cast<int>(std::floor(fraction.y() + (area.height() - reach - innerReach) * scale)) - 1;
  if (top >= bottom) top = height;
  for (int x = endWidth; x < endWidth + 2 + shift; x += kRunWidth) {
    const int width = std::min(kRunWidth, endWidth + 2 + shift - x);
    copy(run, x, QRect(0, 0, width, top));
    if (top < height) copy(run, x, QRect(0, bottom, width, height - bottom));
  }
  painter.restore();
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

double HUDCell::ringInnerReach() const {
  // The glow spreads as far inward as outward, the stroke lies inside the frame, and its
  // picture may land a pixel off.
  return std::max(kRingGlowRadius, metrics.ringLineWidth()) + 2;
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
  return item.kind == ItemKind::tab && item.url == MRUManager::kAuxPlaceholderURL;
}

std::string HUDCell::badgeSymbol(const SwitchableItem& item) {
  if (item.url == MRUManager::kAuxPlaceholderURL) return "gearshape";
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
  const QRectF rect = q(contentFrame());
  const double line = metrics.ringLineWidth(), radius = metrics.ringCornerRadius();
  const double opacity = isSelected ? 1.0 : 0.5;
  auto paint = [&](QPainter& p, const QRectF& frame) {
    p.save();
    p.setOpacity(p.opacity() * opacity);
    paintSoftShadow(p, rounded(frame, radius), withAlpha(kSystemBlue, 0.45), kRingGlowRadius, {});
    QLinearGradient stroke(frame.topLeft(), frame.bottomLeft());
    stroke.setColorAt(0, withAlpha(kSystemBlue, 0.95));
    stroke.setColorAt(1, withAlpha(kSystemBlue, 0.65));
    p.strokePath(insideBorder(frame, radius, line), QPen(QBrush(stroke), line));
    p.restore();
  };
  // The ring (its glow and its stroke) is the same on every frame, and the same for every cell of
  // a row height but for its length.
  drawRing(painter, QStringLiteral("velvix.ring|%1|%2|%3").arg(line).arg(radius).arg(opacity), rect,
           kRingOuterReach, ringInnerReach(), radius, paint);
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

namespace {

void paintSiteBadgeLayers(QPainter& painter, const QRectF& rect, const QImage& siteIcon,
                          const std::string& symbol, bool reduceTransparency) {
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
    HUDSymbols::paint(painter, symbol, rect, b * 0.55, HUDSymbols::Weight::semibold,
                      withAlpha(Qt::white, 0.6));
  }
  painter.restore();
}

}  // namespace

// The badge (its shadow, frosted plate and site icon or symbol) is the same on every frame.
void HUDCell::paintSiteBadge(QPainter& painter, bool reduceTransparency) const {
  const QRectF rect = q(siteBadgeRect());
  const std::string symbol = badgeSymbol(item);
  const double margin = 3;  // the shadow's reach, and a pixel for its edge
  const QString key =
      QStringLiteral("velvix.badge|%1|%2")
          .arg(siteIcon.isNull() ? QString::fromStdString(symbol) : QString::number(siteIcon.cacheKey()))
          .arg(reduceTransparency ? 1 : 0);
  drawComposed(painter, key, rect.adjusted(-margin, -margin, margin, margin),
               [&](QPainter& p) { paintSiteBadgeLayers(p, rect, siteIcon, symbol, reduceTransparency); });
}

void HUDCell::paintThumbnailView(QPainter& painter, bool reduceTransparency) const {
  if (!hasPicture()) {
    paintIconView(painter, reduceTransparency);
    paintCornerControls(painter);
    return;
  }
  const QRectF rect = q(pictureRect());
  const double radius = metrics.pictureCornerRadius();
  const QTransform device = painter.deviceTransform();
  const double scale = device.m11();
  const double ratio = std::max(1.0, scale);  // an image's ratio is never below one
  const QSize pixels(static_cast<int>(std::lround(rect.width() * ratio)),
                     static_cast<int>(std::lround(rect.height() * ratio)));
  if (liveThumb.isNull() && device.type() <= QTransform::TxScale && scale > 0 && scale == device.m22() &&
      !pixels.isEmpty() && pixels.width() <= 4096 && pixels.height() <= 4096) {
    // A still is the same on every frame: composed once (the shade behind it, the picture, the
    // rounded corners) at the device's pixels and kept in the pixmap cache, it is then one copy.
    // An entry keeps the composition of its newest still only.
    const QString name = QStringLiteral("velvix.still.%1.%2x%3.r%4@%5")
                             .arg(frozenThumb.cacheKey())
                             .arg(pixels.width())
                             .arg(pixels.height())
                             .arg(radius)
                             .arg(ratio);
    const std::string slot = item.id + "|still";
    QPixmap composed = entryCompositions().find(slot, name);
    if (composed.isNull()) {
      QImage canvas(pixels, QImage::Format_ARGB32_Premultiplied);
      canvas.setDevicePixelRatio(ratio);
      canvas.fill(Qt::transparent);
      {
        QPainter p(&canvas);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        const QRectF local(QPointF(0, 0), rect.size());
        const QPainterPath shape = rounded(local, radius);
        p.setClipPath(shape);
        p.fillPath(shape, withAlpha(Qt::black, 0.18));
        // Stills come in the byte order of their platform image; filtered from it, every pixel
        // is converted on the way. Converted once first, the same pixels are filtered on the
        // painter's own fast path.
        drawFilling(p, frozenThumb.convertToFormat(QImage::Format_ARGB32_Premultiplied), local, false);
      }
      composed = QPixmap::fromImage(std::move(canvas));
      entryCompositions().keep(slot, name, composed);
    }
    qt::paintInRowSlices(painter, rect, [&] { painter.drawPixmap(rect, composed, QRectF(composed.rect())); });
    paintCornerControls(painter);
    return;
  }
  const QPainterPath shape = rounded(rect, radius);
  painter.save();
  painter.setClipPath(shape, Qt::IntersectClip);
  painter.fillPath(shape, withAlpha(Qt::black, 0.18));
  // Live frames come and go. In a cell that a still sized, a frame fills it as the still did;
  // in one that no still sized (a window new since the last capture) the cell's shape is not
  // the window's, and a frame filling it would be scaled up and cut off: it is fitted whole.
  if (frozenThumb.isNull())
    drawFitted(painter, picture(), rect, false);
  else
    drawFilling(painter, picture(), rect, false);
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

// The header (icon, title and Dock badge) is the same on every frame.
void HUDCell::paintHeader(QPainter& painter) const {
  const Rect header = headerRect();
  const Rect icon = headerIconRect();
  const QFont titleFont = systemFont(kHeaderFontSize, QFont::Medium);
  const QFont badgeFont = systemFont(metrics.dockBadgeFontSize(), QFont::Bold);
  const QString label = dockBadge ? QString::fromStdString(*dockBadge) : QString();
  const QRectF capsule =
      dockBadge ? q(dockBadgeRect(QFontMetricsF(badgeFont).horizontalAdvance(label))) : QRectF();
  auto paint = [&](QPainter& p) {
    drawFitted(p, appIcon, q(icon));
    const double textX = icon.maxX() + metrics.headerSpacing();
    p.setFont(titleFont);
    p.setPen(Qt::white);
    const QRectF textBox(textX, header.y, std::max(0.0, header.maxX() - textX), header.height);
    const QString title = QFontMetricsF(p.font()).elidedText(QString::fromStdString(headerTitle),
                                                             Qt::ElideRight, textBox.width());
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    if (!dockBadge) return;
    p.save();
    p.setFont(badgeFont);
    p.setPen(Qt::NoPen);
    p.setBrush(kSystemRed);
    p.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    p.setPen(Qt::white);
    p.drawText(capsule, Qt::AlignCenter | Qt::TextSingleLine, label);
    p.restore();
  };
  QRectF area = q(header);
  if (dockBadge) area = area.united(capsule);
  const QString key = QStringLiteral("velvix.header|%1|%2|%3|%4")
                          .arg(appIcon.cacheKey())
                          .arg(metrics.icon)
                          .arg(dockBadge ? label : QStringLiteral("-"))
                          .arg(QString::fromStdString(headerTitle));
  drawComposed(painter, key, area.adjusted(-2, -2, 2, 2), paint, item.id + "|header");
  // What follows in the cell draws with the header's font and pen, as it always has.
  painter.setFont(titleFont);
  painter.setPen(Qt::white);
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
