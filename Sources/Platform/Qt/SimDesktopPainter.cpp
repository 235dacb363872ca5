#include "Platform/Qt/SimDesktopPainter.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimWindowPainter.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDesktopScene.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix::qt {

namespace {

// The whole pixels surely inside a rectangle, less one at each side for its softened edge.
QRect pixelsInside(const QRectF& r) {
  const int left = static_cast<int>(std::ceil(r.left())) + 1, top = static_cast<int>(std::ceil(r.top())) + 1;
  const int right = static_cast<int>(std::floor(r.right())) - 1;
  const int bottom = static_cast<int>(std::floor(r.bottom())) - 1;
  return right > left && bottom > top ? QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) : QRect();
}

// A partly covered window showing in more pieces than this is drawn once, within their bounds.
constexpr std::size_t kMostPartsDrawnApart = 6;

// A part of a window cut where its rounded corners end: the middle reaches no corner, and the
// rows of the corners are too few for the painter to hand their rounded fills and clips to other
// threads, as it does with anything taller (at a cost far above a sliver's own).
std::vector<QRect> apartFromCorners(const QRect& part, const QRectF& frame, double radius) {
  const int upper = static_cast<int>(std::ceil(frame.top() + radius));
  const int lower = static_cast<int>(std::floor(frame.bottom() - radius));
  std::vector<QRect> pieces;
  const auto add = [&](int top, int bottom) {  // rows top...bottom - 1
    top = std::max(top, part.top());
    bottom = std::min(bottom, part.bottom() + 1);
    if (bottom > top) pieces.emplace_back(part.left(), top, part.width(), bottom - top);
  };
  if (lower <= upper) {
    add(part.top(), part.bottom() + 1);
    return pieces;
  }
  add(part.top(), upper);
  add(upper, lower);
  add(lower, part.bottom() + 1);
  return pieces;
}

// What shows of each window. A window wholly behind the windows in front of it is not drawn at
// all, and one partly behind them only where it shows: on a desktop of thousands of windows nearly
// all of them are hidden or show a sliver. A window surely covers its frame less the corners its
// rounding leaves open; the front window is drawn whole, as its marking reaches past its frame.
// `frames` are back to front; what lies off `screen` is not seen.
struct SeenPart {
  bool hidden = false;
  std::optional<QRegion> only;  // drawn only there, when it is partly covered
};
std::vector<SeenPart> seenParts(const std::vector<QRectF>& frames, const std::vector<bool>& marked,
                                double radius, const QRect& screen) {
  std::vector<SeenPart> seen(frames.size());
  QRegion covered;
  for (std::size_t i = frames.size(); i-- > 0;) {
    const QRectF& frame = frames[i];
    if (!marked[i]) {
      const QRect onScreen = frame.toAlignedRect() & screen;
      const QRegion shows = onScreen.isEmpty() ? QRegion() : QRegion(onScreen).subtracted(covered);
      seen[i].hidden = shows.isEmpty();
      if (seen[i].hidden) continue;
      if (shows != QRegion(onScreen)) seen[i].only = shows;
    }
    const double r = radius + 1;
    covered += pixelsInside(frame.adjusted(r, 0, -r, 0));
    covered += pixelsInside(frame.adjusted(0, r, 0, -r));
  }
  return seen;
}

}  // namespace

void SimDesktopPainter::paint(QPainter& p, sim::SimDesktop& desktop, const sim::SimDesktopScene& scene,
                              QPointF origin, double s, const std::vector<std::int64_t>& composed) {
  auto rectIn = [&](const Rect& r) {
    return QRectF(origin + QPointF((r.x - scene.screen.x) * s, (r.y - scene.screen.y) * s),
                  QSizeF(r.width * s, r.height * s));
  };
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF screen = rectIn(scene.screen);
  QLinearGradient wallpaper(screen.topLeft(), screen.bottomRight());
  wallpaper.setColorAt(0, QColor(44, 72, 120));
  wallpaper.setColorAt(1, QColor(96, 56, 110));
  p.fillRect(screen, wallpaper);

  QFont font = p.font();
  font.setPixelSize(std::max(9, static_cast<int>(13 * s)));
  p.setFont(font);
  std::vector<QRectF> frames;
  std::vector<bool> marked;
  frames.reserve(scene.windows.size());
  marked.reserve(scene.windows.size());
  for (const auto& w : scene.windows) {
    frames.push_back(rectIn(w.frame));
    marked.push_back(w.isFrontWindow);
  }
  const std::vector<SeenPart> seen =
      seenParts(frames, marked, SimWindowPainter::kCornerRadius * s, rectIn(scene.screen).toAlignedRect());
  for (std::size_t i = 0; i < scene.windows.size(); ++i) {
    const auto& w = scene.windows[i];
    if (seen[i].hidden) continue;
    const sim::SimWindow* window = std::as_const(desktop).window(w.number);
    if (!window) continue;
    const QRectF frame = rectIn(w.frame);
    const double radius = SimWindowPainter::kCornerRadius * s;
    const auto paintWindow = [&] {
      if (std::find(composed.begin(), composed.end(), w.number) != composed.end()) {
        // The panel fills the content area; the title bar above it is the screen's to draw.
        p.save();
        QPainterPath shape;
        shape.addRoundedRect(frame, radius, radius);
        p.setClipPath(shape, Qt::IntersectClip);
        p.fillRect(frame, QColor(30, 30, 32));  // the dark appearance's window colour
        SimWindowPainter::paintTitleBar(
            p, QRectF(frame.topLeft(), QSizeF(frame.width(), SimWindowPainter::kTitleBarHeight * s)), s,
            window->title.value_or(""), true);
        p.restore();
      } else {
        SimWindowPainter::paint(p, desktop, *window, frame, s);
      }
      if (!w.ofFrontApp) {  // windows of the other applications sit a little dimmer
        const QRectF shown = p.hasClipping() ? p.clipBoundingRect() : frame;
        const QColor dim(0, 0, 0, 30);
        if (const auto part = SimWindowPainter::straightPart(frame, radius, shown))
          SimWindowPainter::fillInBands(p, *part, dim);
        else
          p.fillPath(SimWindowPainter::shapeWithin(frame, radius, shown), dim);
      }
      if (w.isFrontWindow) {
        // The key frame lies inside the window's frame, so it goes wherever the window's own
        // place is drawn again (the window closed, moved or hidden).
        const double ring = 3;
        p.setPen(QPen(QColor(255, 200, 40), ring));
        p.setBrush(Qt::NoBrush);
        const double inner = std::max(0.0, radius - ring / 2);
        p.drawRoundedRect(frame.adjusted(ring / 2, ring / 2, -ring / 2, -ring / 2), inner, inner);
      }
    };
    if (!seen[i].only) {
      p.save();
      paintWindow();
      p.restore();
      continue;
    }
    // A partly covered window is drawn once for each rectangle of what shows, clipped to it: a
    // rectangular clip costs little where a clip of many rectangles costs a pass over every line
    // of the screen. Past a few rectangles it is drawn once within their bounds; what that draws
    // beyond them the windows in front cover again, as they are drawn after it.
    const QRegion& only = *seen[i].only;
    std::vector<QRect> parts(only.begin(), only.end());
    if (parts.size() > kMostPartsDrawnApart) parts = {only.boundingRect()};
    for (const QRect& part : parts)
      for (const QRect& piece : apartFromCorners(part, frame, radius)) {
        p.save();
        p.setClipRect(piece, Qt::IntersectClip);
        paintWindow();
        p.restore();
      }
  }

  // The menu-bar strip with the frontmost application.
  const QRectF menuBar = rectIn(scene.menuBar);
  p.fillRect(menuBar, QColor(236, 236, 240, 230));
  p.setPen(QColor(20, 20, 24));
  QFont bold = font;
  bold.setBold(true);
  p.setFont(bold);
  p.drawText(menuBar.adjusted(12 * s, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromStdString(scene.menuBarTitle));
  p.setFont(font);

  // The Dock strip: icons with badges, the separator, folders, the trash and the minimized windows' tiles.
  const QRectF dock = rectIn(scene.dockStrip);
  p.fillRect(dock, QColor(255, 255, 255, 60));
  for (const auto& tile : scene.dock) {
    const QRectF frame = rectIn(tile.frame);
    if (tile.kind == sim::SimDockItem::Kind::separator) {
      p.setPen(QPen(QColor(255, 255, 255, 150), std::max(1.0, s)));
      p.drawLine(QPointF(frame.center().x(), frame.top() + 6 * s),
                 QPointF(frame.center().x(), frame.bottom() - 6 * s));
      continue;
    }
    if (tile.minimized) {
      p.setBrush(QColor(250, 250, 252));
      p.setPen(QColor(120, 120, 130));
      const QRectF page = frame.adjusted(4 * s, 10 * s, -4 * s, -10 * s);
      p.drawRoundedRect(page, 3, 3);
      // The whole title, in a type small enough for the page to hold it, on as many lines as
      // it takes.
      QFont small = font;
      small.setPixelSize(std::max(6, static_cast<int>(9 * s)));
      const QRectF text = page.adjusted(1 * s, 1 * s, -1 * s, -1 * s);
      const QString title = QString::fromStdString(tile.title);
      const int flags = Qt::AlignCenter | Qt::TextWrapAnywhere;
      while (small.pixelSize() > 5 && !text.contains(QFontMetricsF(small).boundingRect(text, flags, title)))
        small.setPixelSize(small.pixelSize() - 1);
      p.setFont(small);
      p.setPen(QColor(40, 40, 46));
      p.drawText(text, flags, title);
      p.setFont(font);
      continue;
    }
    if (tile.pid) {
      p.drawImage(frame.adjusted(3 * s, 3 * s, -3 * s, -3 * s),
                  toQImage(desktop.workspace().applicationIcon(*tile.pid)));
      p.setBrush(QColor(30, 30, 34));
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPointF(frame.center().x(), frame.bottom() + 3 * s), 2 * s, 2 * s);  // running
    } else {
      // Folders, the trash and applications that do not run: a plain tile with a short name.
      p.setBrush(tile.kind == sim::SimDockItem::Kind::folder  ? QColor(110, 160, 220)
                 : tile.kind == sim::SimDockItem::Kind::trash ? QColor(200, 200, 210)
                                                              : QColor(160, 160, 170));
      p.setPen(Qt::NoPen);
      p.drawRoundedRect(frame.adjusted(3 * s, 3 * s, -3 * s, -3 * s), 10 * s, 10 * s);
      p.setPen(QColor(30, 30, 34));
      QFont small = font;
      small.setPixelSize(std::max(7, static_cast<int>(10 * s)));
      p.setFont(small);
      const QRectF label = frame.adjusted(4 * s, 0, -4 * s, 0);
      p.drawText(
          label, Qt::AlignCenter,
          QFontMetricsF(small).elidedText(QString::fromStdString(tile.title), Qt::ElideRight, label.width()));
      p.setFont(font);
    }
    if (tile.badge) {
      const QRectF capsule(frame.right() - 20 * s, frame.top(), 22 * s, 18 * s);
      p.setBrush(QColor(230, 40, 40));
      p.setPen(Qt::NoPen);
      p.drawRoundedRect(capsule, 9 * s, 9 * s);
      p.setPen(Qt::white);
      p.drawText(capsule, Qt::AlignCenter, QString::fromStdString(*tile.badge));
    }
  }
  // The icon under the pointer is named above it, as the Dock does.
  for (const auto& tile : scene.dock) {
    if (!tile.pointed) continue;
    const QString name = QString::fromStdString(tile.title);
    const QFontMetricsF metrics(font);
    const QRectF frame = rectIn(tile.frame);
    const double width = metrics.horizontalAdvance(name) + 20 * s;
    const double height = metrics.height() + 8 * s;
    QRectF label(frame.center().x() - width / 2, frame.top() - height - 8 * s, width, height);
    label.moveLeft(std::clamp(label.left(), screen.left() + 4 * s, screen.right() - 4 * s - width));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 46, 220));
    p.drawRoundedRect(label, height / 2, height / 2);
    p.setPen(Qt::white);
    p.drawText(label, Qt::AlignCenter, name);
    break;
  }
  p.restore();
}

}  // namespace velvix::qt
