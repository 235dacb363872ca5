#include "UI/SwitcherStylePreview.hpp"

#include <algorithm>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "UI/FrostedMaterial.hpp"
#include "UI/HUDGlassSurface.hpp"
#include "UI/HUDSymbols.hpp"

namespace velvix {
namespace {

constexpr double kSlabRadius = 16;
// The largest base size of each style: icons 38 points square as in the real bar's compact look;
// previews a little larger, so their window pictures read.
constexpr double kMaxIcon = 38;
constexpr double kMaxThumbnailBase = 44;
constexpr double kPictureScale = 2;  // pictures are made at twice their size, for sharp edges

struct Sample {
  const char* title;
  QColor colour;
  const char* symbol;
};

const Sample kSamples[3] = {{"Notes", QColor(255, 214, 10), "note.text"},
                            {"Safari", QColor(10, 132, 255), "globe"},
                            {"Messages", QColor(48, 209, 88), "bubble.left.fill"}};

// A white glyph for the symbols the HUD's own set lacks: lines of text, a speech bubble.
void paintGlyph(QPainter& painter, const char* symbol, const QRectF& box) {
  const std::string_view name(symbol);
  if (HUDSymbols::isKnown(name)) {
    HUDSymbols::paint(painter, name, box, box.height() * 0.45, HUDSymbols::Weight::semibold, Qt::white);
    return;
  }
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QPointF c = box.center();
  const double u = box.height() * 0.22;
  if (name == "note.text") {
    painter.setPen(QPen(Qt::white, u * 0.28, Qt::SolidLine, Qt::RoundCap));
    for (int i = -1; i <= 1; ++i) {
      const double w = i == 1 ? u * 1.2 : u * 2;
      painter.drawLine(QPointF(c.x() - u, c.y() + i * u * 0.75),
                       QPointF(c.x() - u + w, c.y() + i * u * 0.75));
    }
  } else {
    QPainterPath bubble;
    bubble.addEllipse(QRectF(c.x() - u * 1.25, c.y() - u * 1.0, u * 2.5, u * 1.9));
    QPainterPath tail;
    tail.moveTo(c.x() - u * 0.9, c.y() + u * 0.4);
    tail.lineTo(c.x() - u * 1.3, c.y() + u * 1.2);
    tail.lineTo(c.x() - u * 0.2, c.y() + u * 0.8);
    tail.closeSubpath();
    painter.fillPath(bubble.united(tail), Qt::white);
  }
  painter.restore();
}

// The application icon of a sample: a rounded square of its colour at 90 % with a white symbol.
QImage sampleIcon(const Sample& sample, double side) {
  const int px = static_cast<int>(side * kPictureScale);
  QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(kPictureScale, kPictureScale);
  QColor fill = sample.colour;
  fill.setAlphaF(0.9f);
  const QRectF box(0, 0, side, side);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(box, side * 10 / 38, side * 10 / 38);
  paintGlyph(painter, sample.symbol, box);
  return image;
}

// A still of a miniature window: a dot and a title capsule above a body that fades from white
// at 95 % to white at 70 %.
QImage sampleWindow(double width, double height) {
  const QSize px(static_cast<int>(width * kPictureScale), static_cast<int>(height * kPictureScale));
  QImage image(px, QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(40, 44, 52));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(kPictureScale, kPictureScale);
  const double bar = std::max(6.0, height * 0.2);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.9f));
  const double dot = bar * 0.45;
  painter.drawEllipse(QRectF(4, (bar - dot) / 2, dot, dot));
  painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.75f));
  painter.drawRoundedRect(QRectF(4 + dot + 4, (bar - dot) / 2, width * 0.45, dot), dot / 2, dot / 2);
  QLinearGradient body(0, bar, 0, height);
  body.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.95f));
  body.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.7f));
  painter.setBrush(body);
  painter.drawRoundedRect(QRectF(3, bar, width - 6, height - bar - 3), 4, 4);
  return image;
}

}  // namespace

SwitcherStylePreview::SwitcherStylePreview(bool showsThumbnails, QWidget* parent)
    : QWidget(parent), showsThumbnails_(showsThumbnails) {
  setMinimumHeight(kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_TransparentForMouseEvents);  // the card around it takes the click
}

void SwitcherStylePreview::setGlassStyle(GlassStyle style) {
  if (style == glass_) return;
  glass_ = style;
  update();
}

std::vector<HUDCell> SwitcherStylePreview::cells(double width) const {
  // The largest base size whose row of three fits inside the slab's padding, both ways.
  const double maxInner = std::max(0.0, width - 2 * kSideInset - 2 * padding());
  const double maxHeight = kHeight - 2 * padding() - 4;
  HUDMetrics metrics;
  metrics.thumbnails = showsThumbnails_;
  for (double s = showsThumbnails_ ? kMaxThumbnailBase : kMaxIcon; s >= HUDMetrics::kMinimumIcon; s -= 1) {
    metrics.icon = s;
    const double cellWidth = metrics.uniformTileWidth() + 2 * metrics.pad();
    if (3 * cellWidth + 2 * spacing() <= maxInner && metrics.cellHeight() <= maxHeight) break;
  }
  std::vector<HUDCell> result;
  for (int i = 0; i < 3; ++i) {
    HUDCell cell;
    cell.metrics = metrics;
    cell.isSelected = i == 1;
    cell.item.id = std::string("app:preview.") + kSamples[i].title;
    cell.item.kind = ItemKind::app;
    cell.item.title = kSamples[i].title;
    cell.headerTitle = kSamples[i].title;
    cell.appIcon = sampleIcon(kSamples[i], showsThumbnails_ ? metrics.headerIconSize() : metrics.icon);
    if (showsThumbnails_) {
      cell.frozenWidth = metrics.uniformTileWidth();
      cell.frozenThumb = sampleWindow(*cell.frozenWidth, metrics.thumbH());
    }
    result.push_back(std::move(cell));
  }
  return result;
}

QRectF SwitcherStylePreview::slabRect() const {
  const auto row = cells(width());
  double w = 2 * padding() + 2 * spacing(), h = 0;
  for (const HUDCell& c : row) {
    w += c.size().width;
    h = std::max(h, c.size().height);
  }
  h += 2 * padding();
  return {(width() - w) / 2, (height() - h) / 2, w, h};
}

void SwitcherStylePreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
  QLinearGradient backdrop(rect().topLeft(), rect().bottomRight());
  backdrop.setColorAt(0, QColor::fromRgbF(0.35f, 0.62f, 0.86f));
  backdrop.setColorAt(1, QColor::fromRgbF(0.20f, 0.58f, 0.62f));
  painter.fillRect(rect(), backdrop);

  const QRectF slab = slabRect();
  QPainterPath shape;
  shape.addRoundedRect(slab, kSlabRadius, kSlabRadius);
  painter.save();
  painter.setClipPath(shape);
  FrostedMaterial(GlassMaterial::ultraThin).paint(painter, slab, false);
  painter.restore();
  HUDGlassSurface glass{kSlabRadius, glass_};
  glass.paintUnderlay(painter, slab, false);

  double x = slab.x() + padding();
  for (const HUDCell& cell : cells(width())) {
    painter.save();
    painter.translate(x, slab.y() + padding());
    cell.paint(painter, false);
    painter.restore();
    x += cell.size().width + spacing();
  }
  glass.paintOverlay(painter, slab);
}

}  // namespace velvix
