#include "UI/HUDGlassSurface.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include <QImage>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QResizeEvent>
#include <QWidget>

#include "Platform/AccessibilityDisplay.hpp"
#include "Platform/Qt/RowSlices.hpp"
#include "UI/FrostedMaterial.hpp"
#include "UI/LiquidGlassSlabView.hpp"

namespace velvix {

namespace {

QPainterPath rounded(const QRectF& rect, double radius) {
  QPainterPath path;
  path.addRoundedRect(rect, radius, radius);
  return path;
}

QColor white(double opacity) {
  return QColor::fromRgbF(1, 1, 1, static_cast<float>(opacity));
}

// The rim of the system glass lies this far inside the surface's edge, its border within a point.
constexpr double kRimInset = 1.5;
// How far in from the edge anything of the rim or the border may show, a pixel's edge included.
constexpr double kEdgeReach = kRimInset + 2;

// The system's regular glass: a faint lift of the body, a specular sheen from the top and a lit
// rim. Under Reduce Transparency the platform draws it as an opaque frosted plate.
void paintSystemGlass(QPainter& painter, const QRectF& rect, double radius, bool reduceTransparency,
                      bool plain) {
  QPainterPath shape;
  if (plain)
    shape.addRect(rect);
  else
    shape = rounded(rect, radius);
  if (reduceTransparency) {
    painter.fillPath(shape, FrostedMaterial::opaqueFill(GlassMaterial::regular));
    return;
  }
  painter.fillPath(shape, white(0.07));
  QLinearGradient sheen(rect.topLeft(), QPointF(rect.left(), rect.top() + rect.height() * 0.45));
  sheen.setColorAt(0, white(0.16));
  sheen.setColorAt(1, white(0));
  painter.fillPath(shape, sheen);
  if (plain) return;
  QLinearGradient rim(rect.topLeft(), rect.bottomLeft());
  rim.setColorAt(0, white(0.18));
  rim.setColorAt(1, white(0.02));
  const QRectF inner = rect.adjusted(kRimInset, kRimInset, -kRimInset, -kRimInset);
  painter.strokePath(rounded(inner, std::max(radius - kRimInset, 0.0)), QPen(QBrush(rim), 1));
}

// The repaint covers most of the surface, as a new frame does.
bool isWholeFrame(const QRectF& rect, const QRegion& dirty) {
  const QRect bounds = dirty.boundingRect();
  return static_cast<double>(bounds.width()) * bounds.height() * 2 > rect.width() * rect.height();
}

// One full-size layer of the surface that paints with a function of its owner's, given the part
// that is repainted.
class Layer final : public QWidget {
 public:
  using Paint = std::function<void(QPainter&, const QRectF&, const QRegion&)>;
  Layer(QWidget* parent, Paint paint) : QWidget(parent), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paint_(painter, QRectF(rect()), event->region());
  }

 private:
  Paint paint_;
};

class Surface final : public QWidget {
 public:
  Surface(const HUDGlassSurface& glass, QWidget* content, platform::MainLoop& loop,
          const platform::AccessibilityDisplay& accessibility, QWidget* parent)
      : QWidget(parent), glass_(glass), accessibility_(accessibility) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    slabs_ = new LiquidGlassSlabView(loop, accessibility, this);
    // A repaint inside the surface (a step of the selection) has no edge there: the layers fill
    // the plain rectangle and draw no border, and draw the rounded edge only where the repaint
    // reaches it.
    underlay_ = new Layer(this, [this](QPainter& p, const QRectF& r, const QRegion& dirty) {
      const bool reduced = accessibility_.reduceTransparency();
      // A whole frame, or one where the edge's bounds would split pixels, fills the shape whole.
      if (!qt::slicesExactly(p) || isWholeFrame(r, dirty)) return glass_.paintUnderlay(p, r, reduced);
      const QRegion clear = glass_.clearOfEdge(r);
      for (const QRect& part : dirty.intersected(clear))
        qt::paintInRowSlices(p, part, [&] { glass_.paintUnderlay(p, r, reduced, true); });
      if (const QRegion edge = dirty.subtracted(clear); !edge.isEmpty()) {
        p.save();
        p.setClipRegion(edge, Qt::IntersectClip);
        glass_.paintUnderlay(p, r, reduced);
        p.restore();
      }
    });
    content_ = content;
    if (content_) {
      content_->setParent(this);
      content_->show();  // a new parent hides it; it appears with the surface
    }
    overlay_ = new Layer(this, [this](QPainter& p, const QRectF& r, const QRegion& dirty) {
      if (isWholeFrame(r, dirty)) return paintBorder(p, r);
      const QRegion edge = dirty.subtracted(glass_.clearOfEdge(r));
      if (edge.isEmpty()) return;
      p.save();
      p.setClipRegion(edge, Qt::IntersectClip);
      paintBorder(p, r);  // as a whole frame draws it, to the last rounding
      p.restore();
    });
    restyle(glass);
  }

  void setUnderlayBeneath(bool beneath) { underlay_->setVisible(!beneath); }

  void restyle(const HUDGlassSurface& glass) {
    glass_ = glass;
    slabs_->setVisible(glass_.style == GlassStyle::liquidGlass);
    update();
    underlay_->update();
    overlay_->update();
  }

 protected:
  // The border of a whole frame, copied from pieces composed once. The border touches only a
  // band along the edge: the straight runs within `edge` of each side and the rounded corners
  // within squares of `corner`; stroked anew, its outline would be filled over the whole panel
  // on every frame. Where pieces would not fall on whole pixels it is stroked.
  void paintBorder(QPainter& p, const QRectF& r) {
    const QTransform device = p.deviceTransform();
    const double scale = device.m11();
    const QSize size = r.size().toSize();
    const int edge = static_cast<int>(std::ceil(std::max(kEdgeReach, HUDGlassSurface::kBorderWidth + 1)));
    const int corner = static_cast<int>(std::ceil(glass_.cornerRadius + edge));
    if (!qt::slicesExactly(p) || size.width() < 2 * corner + 1 || size.height() < 2 * corner + 1) {
      glass_.paintOverlay(p, r);
      return;
    }
    if (border_.size != size || border_.radius != glass_.cornerRadius || border_.scale != scale) {
      const int w = size.width(), h = size.height();
      border_ = {size, glass_.cornerRadius, scale, {}};
      for (const QRect& piece :
           {QRect(0, 0, corner, corner), QRect(w - corner, 0, corner, corner),
            QRect(0, h - corner, corner, corner), QRect(w - corner, h - corner, corner, corner),
            QRect(corner, 0, w - 2 * corner, edge), QRect(corner, h - edge, w - 2 * corner, edge),
            QRect(0, corner, edge, h - 2 * corner), QRect(w - edge, corner, edge, h - 2 * corner)}) {
        QImage image(piece.size() * static_cast<int>(scale), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        {
          QPainter q(&image);
          q.setRenderHints(p.renderHints());
          q.translate(-piece.topLeft());
          glass_.paintOverlay(q, r);
        }
        border_.pieces.emplace_back(piece, std::move(image));
      }
    }
    for (const auto& [piece, image] : border_.pieces) p.drawImage(QPointF(piece.topLeft()), image);
  }

  void resizeEvent(QResizeEvent* event) override {
    const QRect all(QPoint(0, 0), event->size());
    for (QWidget* layer : {static_cast<QWidget*>(slabs_), static_cast<QWidget*>(underlay_), content_.data(),
                           static_cast<QWidget*>(overlay_)})
      if (layer) layer->setGeometry(all);
  }

 private:
  HUDGlassSurface glass_;
  const platform::AccessibilityDisplay& accessibility_;
  LiquidGlassSlabView* slabs_ = nullptr;
  Layer* underlay_ = nullptr;
  QPointer<QWidget> content_;
  Layer* overlay_ = nullptr;
  // The border's pieces at the size, radius and scale they were composed for.
  struct BorderPieces {
    QSize size;
    double radius = -1;
    double scale = 0;
    std::vector<std::pair<QRect, QImage>> pieces;
  } border_;
};

}  // namespace

void HUDGlassSurface::paintUnderlay(QPainter& painter, const QRectF& rect, bool reduceTransparency,
                                    bool plain) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor veil = QColor::fromRgbF(0, 0, 0, kVeilOpacity);
  if (plain)
    painter.fillRect(rect, veil);
  else
    painter.fillPath(rounded(rect, cornerRadius), veil);
  if (style == GlassStyle::swiftUI) paintSystemGlass(painter, rect, cornerRadius, reduceTransparency, plain);
  painter.restore();
}

void HUDGlassSurface::paintOverlay(QPainter& painter, const QRectF& rect) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fade(rect.topLeft(), rect.bottomLeft());
  fade.setColorAt(0, white(kBorderTopOpacity));
  fade.setColorAt(1, white(kBorderBottomOpacity));
  // Stroked inside the border: the line's centre runs half its width in from the edge.
  const double inset = kBorderWidth / 2;
  const QRectF line = rect.adjusted(inset, inset, -inset, -inset);
  painter.strokePath(rounded(line, std::max(cornerRadius - inset, 0.0)), QPen(QBrush(fade), kBorderWidth));
  painter.restore();
}

QRegion HUDGlassSurface::clearOfEdge(const QRectF& rect) const {
  const double edge = std::max(kEdgeReach, kBorderWidth + 1), corner = cornerRadius + edge;
  // The whole points inside a rectangle.
  auto inside = [](const QRectF& r) {
    return QRect(
        QPoint(static_cast<int>(std::ceil(r.left())), static_cast<int>(std::ceil(r.top()))),
        QPoint(static_cast<int>(std::floor(r.right())) - 1, static_cast<int>(std::floor(r.bottom())) - 1));
  };
  QRegion clear(inside(rect.adjusted(corner, edge, -corner, -edge)));
  clear += inside(rect.adjusted(edge, corner, -edge, -corner));
  return clear;
}

bool HUDGlassSurface::setUnderlayBeneath(QWidget* surface, bool beneath) {
  auto* ours = dynamic_cast<Surface*>(surface);
  if (!ours) return false;
  ours->setUnderlayBeneath(beneath);
  return true;
}

QWidget* HUDGlassSurface::wrap(QWidget* content, platform::MainLoop& loop,
                               const platform::AccessibilityDisplay& accessibility, QWidget* parent) const {
  return new Surface(*this, content, loop, accessibility, parent);
}

bool HUDGlassSurface::restyle(QWidget* surface, const HUDGlassSurface& glass) {
  auto* ours = dynamic_cast<Surface*>(surface);
  if (!ours) return false;
  ours->restyle(glass);
  return true;
}

}  // namespace velvix
