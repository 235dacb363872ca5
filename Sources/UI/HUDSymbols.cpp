#include "UI/HUDSymbols.hpp"

#include <cmath>
#include <numbers>

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace velvix::HUDSymbols {

namespace {

constexpr std::string_view kGlobe = "globe";
constexpr std::string_view kGear = "gearshape";
constexpr std::string_view kCode = "chevron.left.forwardslash.chevron.right";
constexpr std::string_view kTerminal = "apple.terminal";
constexpr std::string_view kMinus = "minus";
constexpr std::string_view kCross = "xmark";
constexpr std::string_view kWindow = "macwindow";

double strokeFraction(Weight weight) {
  switch (weight) {
    case Weight::regular:
      return 0.075;
    case Weight::semibold:
      return 0.095;
    case Weight::bold:
      return 0.12;
  }
  return 0.075;
}

void globe(QPainter& p, const QRectF& r) {
  p.drawEllipse(r);
  p.drawEllipse(r.adjusted(r.width() * 0.28, 0, -r.width() * 0.28, 0));
  p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
  p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
  const double h = r.height() * 0.25, w = r.width() * 0.07;
  p.drawLine(QPointF(r.left() + w, r.center().y() - h), QPointF(r.right() - w, r.center().y() - h));
  p.drawLine(QPointF(r.left() + w, r.center().y() + h), QPointF(r.right() - w, r.center().y() + h));
}

void gear(QPainter& p, const QRectF& r) {
  constexpr int kTeeth = 8;
  const QPointF c = r.center();
  const double outer = r.width() / 2, inner = outer * 0.74;
  QPainterPath body;
  for (int i = 0; i < kTeeth * 4; ++i) {
    const double angle = (i - 0.5) * std::numbers::pi * 2 / (kTeeth * 4);
    const double radius = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
    const QPointF point(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
    if (i == 0) {
      body.moveTo(point);
    } else {
      body.lineTo(point);
    }
  }
  body.closeSubpath();
  p.drawPath(body);
  p.drawEllipse(c, outer * 0.3, outer * 0.3);
}

void code(QPainter& p, const QRectF& r) {
  const double h = r.height() * 0.62, top = r.center().y() - h / 2, bottom = top + h;
  const double w = r.width() * 0.26;
  p.drawPolyline(QPolygonF(
      {QPointF(r.left() + w, top), QPointF(r.left(), r.center().y()), QPointF(r.left() + w, bottom)}));
  p.drawPolyline(QPolygonF(
      {QPointF(r.right() - w, top), QPointF(r.right(), r.center().y()), QPointF(r.right() - w, bottom)}));
  p.drawLine(QPointF(r.center().x() + r.width() * 0.1, top - h * 0.05),
             QPointF(r.center().x() - r.width() * 0.1, bottom + h * 0.05));
}

void terminal(QPainter& p, const QRectF& r) {
  const QRectF screen = r.adjusted(0, r.height() * 0.1, 0, -r.height() * 0.1);
  p.drawRoundedRect(screen, r.width() * 0.16, r.width() * 0.16);
  const double x = screen.left() + screen.width() * 0.22, y = screen.top() + screen.height() * 0.3;
  const double s = screen.height() * 0.2;
  p.drawPolyline(QPolygonF({QPointF(x, y), QPointF(x + s, y + s), QPointF(x, y + 2 * s)}));
  p.drawLine(QPointF(x + s * 1.6, y + 2 * s), QPointF(x + s * 3.2, y + 2 * s));
}

// A window outline with its title bar and the three buttons at its left.
void window(QPainter& p, const QRectF& r) {
  const QRectF body = r.adjusted(0, r.height() * 0.12, 0, -r.height() * 0.12);
  p.drawRoundedRect(body, r.width() * 0.1, r.width() * 0.1);
  const double bar = body.top() + body.height() * 0.24;
  p.drawLine(QPointF(body.left(), bar), QPointF(body.right(), bar));
  const double dot = body.height() * 0.05, y = (body.top() + bar) / 2;
  p.save();
  p.setBrush(p.pen().color());
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i)
    p.drawEllipse(QPointF(body.left() + body.width() * (0.14 + 0.11 * i), y), dot, dot);
  p.restore();
}

}  // namespace

bool isKnown(std::string_view name) {
  return name == kGlobe || name == kGear || name == kCode || name == kTerminal || name == kMinus ||
         name == kCross || name == kWindow;
}

void paint(QPainter& painter, std::string_view name, const QRectF& box, double pointSize, Weight weight,
           const QColor& colour) {
  if (!isKnown(name) || pointSize <= 0) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const double line = std::max(pointSize * strokeFraction(weight), 0.75);
  QPen pen(colour, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  // Glyphs take about 0.8 of their point size, like text symbols do.
  const double side = pointSize * 0.8 - line;
  const QRectF r(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
  if (name == kGlobe) globe(painter, r);
  if (name == kGear) gear(painter, r);
  if (name == kCode) code(painter, r);
  if (name == kTerminal) terminal(painter, r);
  if (name == kWindow) window(painter, r);
  if (name == kMinus) painter.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
  if (name == kCross) {
    const QRectF x = r.adjusted(side * 0.1, side * 0.1, -side * 0.1, -side * 0.1);
    painter.drawLine(x.topLeft(), x.bottomRight());
    painter.drawLine(x.topRight(), x.bottomLeft());
  }
  painter.restore();
}

}  // namespace velvix::HUDSymbols
