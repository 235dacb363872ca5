#include "Platform/Qt/SimMenuBarStrip.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "Platform/Simulated/SimMenuBar.hpp"

namespace velvix::qt {

namespace {

QFont stripFont(double scale, bool bold) {
  QFont font;
  font.setPixelSize(std::max(9, static_cast<int>(13 * scale)));
  font.setBold(bold);
  return font;
}

}  // namespace

SimMenuBarStrip::Layout SimMenuBarStrip::layout(const sim::SimMenuBar& bar, const QRectF& strip, double scale,
                                                bool ownAppFrontmost) {
  Layout result;
  if (bar.statusMenu) {
    const double side = strip.height();
    result.statusIcon = QRectF(strip.right() - side - 10 * scale, strip.top(), side, side);
  }
  if (ownAppFrontmost && bar.mainMenu) {
    double x = strip.left() + 12 * scale;
    bool first = true;
    for (const auto& item : bar.mainMenu->items) {
      if (!item->submenu || item->hidden) continue;
      const QFontMetricsF metrics(stripFont(scale, first));
      const double width = metrics.horizontalAdvance(QString::fromStdString(item->title)) + 16 * scale;
      result.titles.push_back({QRectF(x - 6 * scale, strip.top(), width, strip.height()), item.get()});
      x += width;
      first = false;
    }
  }
  return result;
}

void SimMenuBarStrip::paintStatusSymbol(QPainter& p, const std::string& symbol, const QRectF& box) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(20, 20, 24);
  const double s = box.height();
  if (symbol == "lock") {
    const QRectF body(box.center().x() - s * 0.22, box.center().y() - s * 0.02, s * 0.44, s * 0.32);
    p.setPen(QPen(ink, std::max(1.2, s * 0.08)));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(body.left() + s * 0.06, body.top() - s * 0.26, body.width() - s * 0.12, s * 0.44), 0,
              180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(body, s * 0.05, s * 0.05);
  } else {
    QFont font;
    font.setPixelSize(static_cast<int>(s * 0.62));
    p.setFont(font);
    p.setPen(ink);
    p.drawText(
        box, Qt::AlignCenter,
        symbol == "exclamationmark.triangle" ? QString::fromUtf8("\u26a0") : QString::fromUtf8("\u2318"));
  }
  p.restore();
}

void SimMenuBarStrip::paint(QPainter& p, const sim::SimMenuBar& bar, const QRectF& strip, double scale,
                            bool ownAppFrontmost) {
  const Layout parts = layout(bar, strip, scale, ownAppFrontmost);
  p.save();
  if (!parts.titles.empty()) {
    // Our own menus replace the plain application name.
    p.fillRect(QRectF(strip.left(), strip.top(),
                      parts.statusIcon.isNull() ? strip.width() : parts.statusIcon.left() - strip.left(),
                      strip.height()),
               QColor(236, 236, 240));
    p.setPen(QColor(20, 20, 24));
    bool first = true;
    for (const auto& [rect, item] : parts.titles) {
      p.setFont(stripFont(scale, first));
      p.drawText(rect.adjusted(6 * scale, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                 QString::fromStdString(item->title));
      first = false;
    }
  }
  if (!parts.statusIcon.isNull() && bar.statusImage)
    paintStatusSymbol(p, bar.statusImage->symbol, parts.statusIcon);
  p.restore();
}

platform::Menu* SimMenuBarStrip::menuAt(sim::SimMenuBar& bar, const QRectF& strip, double scale,
                                        bool ownAppFrontmost, QPointF point, QRectF* under) {
  const Layout parts = layout(bar, strip, scale, ownAppFrontmost);
  if (!parts.statusIcon.isNull() && parts.statusIcon.contains(point)) {
    if (under) *under = parts.statusIcon;
    return bar.openStatusMenu();
  }
  for (const auto& [rect, item] : parts.titles)
    if (rect.contains(point)) {
      if (under) *under = rect;
      if (item->submenu->willOpen) item->submenu->willOpen();
      return item->submenu.get();
    }
  return nullptr;
}

}  // namespace velvix::qt
