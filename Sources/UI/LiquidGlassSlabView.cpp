#include "UI/LiquidGlassSlabView.hpp"

#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "Platform/AccessibilityDisplay.hpp"

namespace velvix {

namespace {

struct Slab {
  double offsetX, offsetY;  // of the centre, as fractions of the canvas width and height
  double scale;
  double speed;
};
constexpr Slab kSlabs[] = {
    {-0.115, 0.035, 1.05, 1.0},
    {0.135, -0.055, 0.86, 0.8},
    {0.015, 0.115, 0.62, 1.2},
};

// The zero of the animation clock, on the main loop's monotonic clock; main thread only.
std::optional<double>& clockZero() {
  static std::optional<double> zero;
  return zero;
}

const QColor kBlue(10, 132, 255);
const QColor kRed(255, 69, 58);

QColor withOpacity(QColor c, double opacity) {
  c.setAlphaF(static_cast<float>(opacity));
  return c;
}

}  // namespace

LiquidGlassSlabView::LiquidGlassSlabView(platform::MainLoop& loop,
                                         const platform::AccessibilityDisplay& accessibility, QWidget* parent)
    : QWidget(parent), loop_(loop), accessibility_(accessibility) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAutoFillBackground(false);
}

double LiquidGlassSlabView::elapsed() const {
  auto& zero = clockZero();
  if (!zero) zero = loop_.uptime();
  return loop_.uptime() - *zero;
}

void LiquidGlassSlabView::drawSlabs(QPainter& painter, double w, double h, double elapsed) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  for (const Slab& slab : kSlabs) {
    const double t = elapsed * slab.speed;
    const double sw = 0.25 * w * slab.scale;
    const double sh = 0.16 * w * slab.scale;
    // The drift is in points, not scaled with the canvas.
    const QPointF centre(0.5 * w + slab.offsetX * w, 0.5 * h + slab.offsetY * h + 0.16 * std::sin(0.42 * t));
    const QRectF s(centre.x() - sw / 2, centre.y() - sh / 2, sw, sh);
    const double corner = 0.03 * w;

    auto fringe = [&](double x, const QColor& colour) {
      QPainterPath path;
      path.setFillRule(Qt::WindingFill);
      path.addRoundedRect(QRectF(x, s.top(), 0.15 * sw, sh), corner, corner);
      painter.fillPath(path, withOpacity(colour, 0.04));
    };
    fringe(s.left() - 0.003 * sw, kBlue);
    fringe(s.left() + 0.003 * sw, kRed);

    const double y = s.top() + 0.12 * std::sin(0.08 * t);
    painter.setPen(QPen(withOpacity(Qt::white, 0.03), 0.5));
    painter.drawLine(QPointF(s.left(), y), QPointF(s.right(), y));

    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(Qt::white, 0.08 * std::abs(std::sin(0.4 * t))));
    painter.drawEllipse(s.center(), 8.0, 8.0);
  }
  painter.restore();
}

void LiquidGlassSlabView::followMotionSetting() {
  if (accessibility_.reduceMotion()) {
    frameTimer_.invalidate();
    if (!frozenAt_) frozenAt_ = elapsed();
    return;
  }
  frozenAt_.reset();
  if (!frameTimer_.isValid() && isVisible()) frameTimer_ = loop_.every(kFrameInterval, [this] { update(); });
}

void LiquidGlassSlabView::paintEvent(QPaintEvent*) {
  followMotionSetting();
  QPainter painter(this);
  drawSlabs(painter, width(), height(), frozenAt_ ? *frozenAt_ : elapsed());
}

void LiquidGlassSlabView::showEvent(QShowEvent*) {
  followMotionSetting();
}

void LiquidGlassSlabView::hideEvent(QHideEvent*) {
  frameTimer_.invalidate();
}

}  // namespace velvix
