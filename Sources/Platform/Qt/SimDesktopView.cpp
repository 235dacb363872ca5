#include "Platform/Qt/SimDesktopView.hpp"

#include <algorithm>
#include <functional>

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "Platform/InputEvent.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix::qt {

using platform::EventType;
using platform::InputEvent;

namespace {

QColor colourOf(platform::Pid pid) {
  const auto hash = static_cast<std::uint32_t>(std::hash<int>{}(pid) * 2654435761u);
  return QColor::fromHsv(static_cast<int>(hash % 360), 70, 225);
}

QRectF rectIn(const SimDesktopView& view, const Rect& r) {
  return QRectF(view.toView(r.origin()), view.toView({r.maxX(), r.maxY()}));
}

}  // namespace

SimDesktopView::SimDesktopView(sim::SimDesktop& desktop, QWidget* parent) : QWidget(parent), desktop_(desktop) {
  setWindowTitle(kTitle);
  setObjectName("SimulatedDesktop");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  resize(1080, 675);
  refresh();
  connect(&repaint_, &QTimer::timeout, this, [this] { update(); });
  repaint_.start(50);
}

void SimDesktopView::refresh() {
  scene_ = sim::SimDesktopScene::build(desktop_);
  update();
}

double SimDesktopView::scale() const {
  const Rect& s = scene_.screen;
  if (s.width <= 0 || s.height <= 0) return 1.0;
  return std::min(width() / s.width, height() / s.height);
}

QPointF SimDesktopView::origin() const {
  const Rect& s = scene_.screen;
  return {(width() - s.width * scale()) / 2, (height() - s.height * scale()) / 2};
}

QPointF SimDesktopView::toView(Point p) const {
  return origin() + QPointF((p.x - scene_.screen.x) * scale(), (p.y - scene_.screen.y) * scale());
}

Point SimDesktopView::toSimulated(QPointF v) const {
  const QPointF local = (v - origin()) / scale();
  return {local.x() + scene_.screen.x, local.y() + scene_.screen.y};
}

Point SimDesktopView::toDisplay(Point simulated) const {
  const QPoint global = mapToGlobal(toView(simulated).toPoint());
  return {static_cast<double>(global.x()), static_cast<double>(global.y())};
}

std::uint64_t SimDesktopView::flagsFor(Qt::KeyboardModifiers modifiers) {
  std::uint64_t flags = 0;
  if (modifiers & Qt::ControlModifier) flags |= platform::EventFlag::kCommand;
  if (modifiers & Qt::AltModifier) flags |= platform::EventFlag::kOption;
  if (modifiers & Qt::ShiftModifier) flags |= platform::EventFlag::kShift;
  return flags;
}

std::int64_t SimDesktopView::keyCodeFor(int key) {
  namespace Key = platform::KeyCode;
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Key::kTab;
    case Qt::Key_W: return Key::kW;
    case Qt::Key_Escape: return Key::kEscape;
    case Qt::Key_Left: return Key::kLeftArrow;
    case Qt::Key_Right: return Key::kRightArrow;
    case Qt::Key_Down: return Key::kDownArrow;
    case Qt::Key_Up: return Key::kUpArrow;
    case Qt::Key_A: return 0;
    case Qt::Key_S: return 1;
    case Qt::Key_D: return 2;
    case Qt::Key_Q: return 12;
    case Qt::Key_Space: return 49;
    case Qt::Key_Return: return 36;
    default: return -1;
  }
}

void SimDesktopView::keyPressEvent(QKeyEvent* event) {
  const std::uint64_t flags = flagsFor(event->modifiers());
  if (flags != heldFlags_) {
    heldFlags_ = flags;
    desktop_.input().setModifiers(flags);
  }
  const std::int64_t code = keyCodeFor(event->key());
  if (code >= 0) desktop_.input().keyDown(code, flags, event->isAutoRepeat());
  refresh();
}

void SimDesktopView::keyReleaseEvent(QKeyEvent* event) {
  const std::int64_t code = keyCodeFor(event->key());
  // Qt reports the modifiers as they were; a released modifier key is no longer held.
  std::uint64_t flags = flagsFor(event->modifiers());
  if (event->key() == Qt::Key_Control) flags &= ~platform::EventFlag::kCommand;
  if (event->key() == Qt::Key_Alt) flags &= ~platform::EventFlag::kOption;
  if (event->key() == Qt::Key_Shift) flags &= ~platform::EventFlag::kShift;
  if (code >= 0 && !event->isAutoRepeat()) desktop_.input().keyUp(code, flags);
  if (flags != heldFlags_) {
    heldFlags_ = flags;
    desktop_.input().setModifiers(flags);
  }
  refresh();
}

void SimDesktopView::mousePressEvent(QMouseEvent* event) {
  const Point at = toSimulated(event->position());
  desktop_.pointer = at;
  const std::uint64_t flags = flagsFor(event->modifiers());
  EventType type = event->button() == Qt::RightButton ? EventType::rightMouseDown
                   : event->button() == Qt::LeftButton ? EventType::leftMouseDown
                                                       : EventType::otherMouseDown;
  desktop_.input().send({.type = type, .flags = flags, .location = at});
  refresh();
}

void SimDesktopView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const Point at = toSimulated(event->position());
  desktop_.input().send({.type = EventType::leftMouseUp, .flags = flagsFor(event->modifiers()), .location = at});
  refresh();
}

void SimDesktopView::mouseMoveEvent(QMouseEvent* event) {
  desktop_.pointer = toSimulated(event->position());
  desktop_.noteInput(platform::InputEventType::mouseMoved);
}

void SimDesktopView::paintEvent(QPaintEvent*) {
  scene_ = sim::SimDesktopScene::build(desktop_);
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), QColor(24, 24, 28));
  const QRectF screen = rectIn(*this, scene_.screen);
  QLinearGradient wallpaper(screen.topLeft(), screen.bottomRight());
  wallpaper.setColorAt(0, QColor(44, 72, 120));
  wallpaper.setColorAt(1, QColor(96, 56, 110));
  p.fillRect(screen, wallpaper);

  const double s = scale();
  QFont font = p.font();
  font.setPixelSize(std::max(9, static_cast<int>(13 * s)));
  p.setFont(font);
  for (const auto& w : scene_.windows) {
    const QRectF frame = rectIn(*this, w.frame);
    QColor body = colourOf(w.owner);
    if (!w.ofFrontApp) body = body.darker(115);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(frame, 8 * s, 8 * s);
    const QRectF titleBar(frame.left(), frame.top(), frame.width(), 28 * s);
    p.setBrush(w.isFrontWindow ? QColor(250, 250, 252) : QColor(210, 210, 214));
    p.drawRoundedRect(titleBar, 8 * s, 8 * s);
    p.setPen(QColor(30, 30, 34));
    p.drawText(titleBar.adjusted(8 * s, 0, -8 * s, 0), Qt::AlignCenter, QString::fromStdString(w.title));
    if (w.isFrontWindow) {
      p.setPen(QPen(QColor(255, 200, 40), 3));
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(frame, 8 * s, 8 * s);
    }
  }

  // The menu-bar strip with the frontmost application.
  const QRectF menuBar = rectIn(*this, scene_.menuBar);
  p.fillRect(menuBar, QColor(236, 236, 240, 230));
  p.setPen(QColor(20, 20, 24));
  QFont bold = font;
  bold.setBold(true);
  p.setFont(bold);
  p.drawText(menuBar.adjusted(12 * s, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromStdString(scene_.menuBarTitle));
  p.setFont(font);

  // The Dock strip: icons with badges, the separator, folders, the trash and the minimized windows' tiles.
  const QRectF dock = rectIn(*this, scene_.dockStrip);
  p.fillRect(dock, QColor(255, 255, 255, 60));
  for (const auto& tile : scene_.dock) {
    const QRectF frame = rectIn(*this, tile.frame);
    if (tile.kind == sim::SimDockItem::Kind::separator) {
      p.setPen(QPen(QColor(255, 255, 255, 150), std::max(1.0, s)));
      p.drawLine(QPointF(frame.center().x(), frame.top() + 6 * s), QPointF(frame.center().x(), frame.bottom() - 6 * s));
      continue;
    }
    if (tile.minimized) {
      p.setBrush(QColor(250, 250, 252));
      p.setPen(QColor(120, 120, 130));
      p.drawRoundedRect(frame.adjusted(4 * s, 10 * s, -4 * s, -10 * s), 3, 3);
      p.drawText(frame.adjusted(2, 0, -2, 0), Qt::AlignCenter | Qt::TextWordWrap,
                 QString::fromStdString(tile.title).left(10));
      continue;
    }
    if (tile.pid) {
      p.drawImage(frame.adjusted(3 * s, 3 * s, -3 * s, -3 * s),
                  toQImage(desktop_.workspace().applicationIcon(*tile.pid)));
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
      p.drawText(label, Qt::AlignCenter,
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
}

}  // namespace velvix::qt
