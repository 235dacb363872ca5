#include "UI/HUDGlassSurface.hpp"

#include <algorithm>
#include <functional>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QResizeEvent>
#include <QWidget>

#include "Platform/AccessibilityDisplay.hpp"
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

// The system's regular glass: a faint lift of the body, a specular sheen from the top and a lit
// rim. Under Reduce Transparency the platform draws it as an opaque frosted plate.
void paintSystemGlass(QPainter& painter, const QRectF& rect, double radius, bool reduceTransparency) {
  const QPainterPath shape = rounded(rect, radius);
  if (reduceTransparency) {
    painter.fillPath(shape, FrostedMaterial::opaqueFill(GlassMaterial::regular));
    return;
  }
  painter.fillPath(shape, white(0.07));
  QLinearGradient sheen(rect.topLeft(), QPointF(rect.left(), rect.top() + rect.height() * 0.45));
  sheen.setColorAt(0, white(0.16));
  sheen.setColorAt(1, white(0));
  painter.fillPath(shape, sheen);
  QLinearGradient rim(rect.topLeft(), rect.bottomLeft());
  rim.setColorAt(0, white(0.18));
  rim.setColorAt(1, white(0.02));
  const QRectF inner = rect.adjusted(1.5, 1.5, -1.5, -1.5);
  painter.strokePath(rounded(inner, std::max(radius - 1.5, 0.0)), QPen(QBrush(rim), 1));
}

// One full-size layer of the surface that paints with a function of its owner's.
class Layer final : public QWidget {
 public:
  using Paint = std::function<void(QPainter&, const QRectF&)>;
  Layer(QWidget* parent, Paint paint) : QWidget(parent), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paint_(painter, QRectF(rect()));
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
    underlay_ = new Layer(this, [this](QPainter& p, const QRectF& r) {
      glass_.paintUnderlay(p, r, accessibility_.reduceTransparency());
    });
    content_ = content;
    if (content_) {
      content_->setParent(this);
      content_->show();  // a new parent hides it; it appears with the surface
    }
    overlay_ = new Layer(this, [this](QPainter& p, const QRectF& r) { glass_.paintOverlay(p, r); });
    restyle(glass);
  }

  void restyle(const HUDGlassSurface& glass) {
    glass_ = glass;
    slabs_->setVisible(glass_.style == GlassStyle::liquidGlass);
    update();
    underlay_->update();
    overlay_->update();
  }

 protected:
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
};

}  // namespace

void HUDGlassSurface::paintUnderlay(QPainter& painter, const QRectF& rect, bool reduceTransparency) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(rounded(rect, cornerRadius), QColor::fromRgbF(0, 0, 0, kVeilOpacity));
  if (style == GlassStyle::swiftUI) paintSystemGlass(painter, rect, cornerRadius, reduceTransparency);
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
