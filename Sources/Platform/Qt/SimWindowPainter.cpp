#include "Platform/Qt/SimWindowPainter.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/RowSlices.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimSystemSettings.hpp"

namespace velvix::qt {

namespace {

// One colour per application, the same in every picture of its windows.
QColor applicationColour(const sim::SimDesktop& desktop, platform::Pid owner) {
  const sim::SimApp* app = std::as_const(desktop).app(owner);
  const std::string key = app && app->bundleID ? *app->bundleID : std::to_string(owner);
  const auto hash = static_cast<std::uint32_t>(std::hash<std::string>{}(key)*2654435761u);
  return QColor::fromHsv(static_cast<int>(hash % 360), 70, 225);
}

bool isTerminal(const sim::SimWindow& window) {
  return !window.tabs.empty() && window.tabs.front().url.starts_with("/dev/");
}

QFont fontOf(double pixels, bool bold = false, bool mono = false) {
  QFont font;
  if (mono) font.setStyleHint(QFont::Monospace);
  if (mono) font.setFamily("monospace");
  font.setPixelSize(std::max(1, static_cast<int>(pixels)));
  font.setBold(bold);
  return font;
}

// Lines of "text" as soft bars, their lengths fixed by the window so each looks its own.
void paintTextLines(QPainter& p, const QRectF& area, double s, const QColor& colour, std::uint32_t seed,
                    int lines) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  const QRectF shown = p.hasClipping() ? p.clipBoundingRect() : area;
  double y = area.top();
  for (int i = 0; i < lines && y + 8 * s <= area.bottom(); ++i) {
    seed = seed * 1103515245u + 12345u;
    const double fraction = 0.45 + static_cast<double>((seed >> 16) % 50) / 100.0;
    const QRectF line(area.left(), y, area.width() * fraction, 7 * s);
    if (line.intersects(shown)) p.drawRoundedRect(line, 3 * s, 3 * s);
    y += 15 * s;
  }
}

void paintTabStrip(QPainter& p, const sim::SimWindow& w, const QRectF& strip, double s, bool dark) {
  p.fillRect(strip, dark ? QColor(40, 40, 44) : QColor(222, 224, 230));
  if (w.tabs.empty()) return;
  const double width = std::min(180 * s, (strip.width() - 16 * s) / static_cast<double>(w.tabs.size()));
  p.setFont(fontOf(11 * s));
  for (std::size_t i = 0; i < w.tabs.size(); ++i) {
    const QRectF tab(strip.left() + 8 * s + static_cast<double>(i) * width, strip.top() + 4 * s,
                     width - 4 * s, strip.height() - 4 * s);
    const bool active = i == w.activeTab;
    p.setPen(Qt::NoPen);
    p.setBrush(active ? (dark ? QColor(20, 20, 22) : QColor(252, 252, 254))
                      : (dark ? QColor(56, 56, 60) : QColor(208, 210, 216)));
    p.drawRoundedRect(tab, 6 * s, 6 * s);
    p.setPen(dark ? QColor(220, 220, 224) : QColor(40, 40, 46));
    p.drawText(tab.adjusted(8 * s, 0, -6 * s, 0), Qt::AlignVCenter | Qt::AlignLeft,
               p.fontMetrics().elidedText(QString::fromStdString(w.tabs[i].title), Qt::ElideRight,
                                          static_cast<int>(tab.width() - 14 * s)));
  }
}

// A terminal's text (what Accessibility reads) with the shell's cursor and its active region on
// the last line, the line being edited.
void paintTextArea(QPainter& p, const QRectF& area, const sim::SimTextArea& text) {
  const QFontMetricsF metrics(p.font());
  const std::string& all = text.text;
  const auto newline = all.rfind('\n');
  const std::size_t lineBegin = newline == std::string::npos ? 0 : newline + 1;
  const auto lines = std::count(all.begin(), all.end(), '\n');
  const double y = area.top() + static_cast<double>(lines) * metrics.lineSpacing();
  auto clampToLine = [&](std::size_t at) { return std::clamp(at, lineBegin, all.size()); };
  auto xAt = [&](std::size_t at) {
    return area.left() +
           metrics.horizontalAdvance(QString::fromStdString(all.substr(lineBegin, at - lineBegin)));
  };
  const std::size_t cursor = clampToLine(text.cursor.value_or(all.size()));
  if (text.mark && clampToLine(*text.mark) != cursor) {
    const std::size_t from = std::min(clampToLine(*text.mark), cursor);
    const std::size_t to = std::max(clampToLine(*text.mark), cursor);
    p.fillRect(QRectF(xAt(from), y, xAt(to) - xAt(from), metrics.height()), QColor(40, 90, 220));
  }
  p.drawText(area, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(all));
  // A block cursor over the character it stands before.
  const QColor pen = p.pen().color();
  p.fillRect(QRectF(xAt(cursor), y, metrics.horizontalAdvance(QLatin1Char('M')), metrics.height()),
             QColor(pen.red(), pen.green(), pen.blue(), 150));
}

// A privacy pane of the system's settings: its heading, what it allows, and the program's row
// with the switch a click flips (at the places SimSystemSettings hit-tests).
void paintSettingsPane(QPainter& p, const sim::SimDesktop& desktop, const sim::SimWindow& w,
                       const QRectF& frame, double s) {
  using Settings = sim::SimSystemSettings;
  auto place = [&](const Rect& r) {
    return QRectF(frame.left() + (r.x - w.bounds.x) * s, frame.top() + (r.y - w.bounds.y) * s, r.width * s,
                  r.height * s);
  };
  const QRectF row = place(Settings::rowFrame(w.bounds));
  p.fillRect(QRectF(frame.left(), frame.top() + 28 * s, frame.width(), frame.height() - 28 * s),
             QColor(242, 242, 246));
  p.setPen(QColor(30, 30, 34));
  p.setFont(fontOf(18 * s, true));
  p.drawText(QRectF(row.left(), frame.top() + 48 * s, row.width(), 26 * s), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromStdString(Settings::title(w.settingsPane).value_or("")));
  p.setFont(fontOf(12 * s));
  p.setPen(QColor(90, 90, 100));
  p.drawText(QRectF(row.left(), frame.top() + 80 * s, row.width(), 44 * s),
             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QString::fromStdString(Settings::explanation(w.settingsPane)));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRoundedRect(row, 8 * s, 8 * s);
  p.setPen(QColor(30, 30, 34));
  p.setFont(fontOf(13 * s));
  p.drawText(row.adjusted(14 * s, 0, -70 * s, 0), Qt::AlignLeft | Qt::AlignVCenter, Settings::kRowName);
  const bool on = Settings::isOn(desktop, w.settingsPane);
  const QRectF knob = place(Settings::switchFrame(w.bounds));
  p.setPen(Qt::NoPen);
  p.setBrush(on ? QColor(40, 120, 250) : QColor(200, 200, 206));
  p.drawRoundedRect(knob, knob.height() / 2, knob.height() / 2);
  p.setBrush(Qt::white);
  const double d = knob.height() - 4 * s;
  p.drawEllipse(QRectF(on ? knob.right() - 2 * s - d : knob.left() + 2 * s, knob.top() + 2 * s, d, d));
}

}  // namespace

void SimWindowPainter::fillInBands(QPainter& p, const QRectF& rect, const QColor& colour) {
  paintInRowSlices(p, rect, [&] { p.fillRect(rect, colour); });
}

std::optional<QRectF> SimWindowPainter::straightPart(const QRectF& frame, double radius,
                                                     const QRectF& within) {
  const QRectF part = frame & within;
  if (frame.adjusted(radius, 0, -radius, 0).contains(part) ||
      frame.adjusted(0, radius, 0, -radius).contains(part))
    return part;
  return std::nullopt;
}

QPainterPath SimWindowPainter::shapeWithin(const QRectF& frame, double radius, const QRectF& within) {
  QPainterPath shape;
  if (const auto part = straightPart(frame, radius, within)) {
    shape.addRect(*part);
    return shape;
  }
  shape.addRoundedRect(frame, radius, radius);
  QPainterPath box;
  box.addRect(frame & within);
  return shape.intersected(box);
}

void SimWindowPainter::paint(QPainter& p, const sim::SimDesktop& desktop, const sim::SimWindow& w,
                             const QRectF& frame, double s) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // Under many windows only slivers of this one show: what lies wholly outside them is not drawn,
  // nor are its corners rounded when no corner shows.
  const QRectF shown = p.hasClipping() ? p.clipBoundingRect() & frame : frame;
  if (shown.isEmpty()) {
    p.restore();
    return;
  }
  p.setClipPath(shapeWithin(frame, kCornerRadius * s, shown), Qt::IntersectClip);
  const bool terminal = isTerminal(w);
  const QColor colour = applicationColour(desktop, w.owner);
  // Filled only where it shows: a fill is cut into pieces for other threads by its own size, not
  // by what of it the clip lets through.
  fillInBands(p, shown, terminal ? QColor(28, 30, 34) : colour.lighter(112));

  const QRectF titleBar(frame.left(), frame.top(), frame.width(), kTitleBarHeight * s);
  if (titleBar.intersects(shown)) paintTitleBar(p, titleBar, s, w.title.value_or(""), terminal);

  QRectF body(frame.left(), titleBar.bottom(), frame.width(), frame.bottom() - titleBar.bottom());
  if (!body.intersects(shown)) {
    p.restore();
    return;
  }
  const auto seed = static_cast<std::uint32_t>(std::hash<std::string>{}(w.title.value_or("")));
  if (terminal) {
    if (w.tabs.size() > 1) {
      paintTabStrip(p, w, QRectF(body.left(), body.top(), body.width(), 26 * s), s, true);
      body.setTop(body.top() + 26 * s);
    }
    p.setFont(fontOf(12 * s, false, true));
    p.setPen(QColor(120, 220, 120));
    const QString prompt = "user@simulated ~ % ";
    const QRectF text = body.adjusted(12 * s, 10 * s, -12 * s, -10 * s);
    if (w.textArea) {
      paintTextArea(p, text, *w.textArea);
    } else {
      p.drawText(text, Qt::AlignLeft | Qt::AlignTop,
                 prompt + "ls\nDocuments  Projects  notes.txt\n" + prompt + "▌");
    }
  } else if (!w.tabs.empty()) {
    paintTabStrip(p, w, QRectF(body.left(), body.top(), body.width(), 30 * s), s, false);
    const QRectF address(body.left() + 10 * s, body.top() + 36 * s, body.width() - 20 * s, 22 * s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRoundedRect(address, 11 * s, 11 * s);
    const sim::SimTab& active = w.tabs[std::min(w.activeTab, w.tabs.size() - 1)];
    p.setFont(fontOf(11 * s));
    p.setPen(QColor(90, 90, 100));
    p.drawText(address.adjusted(12 * s, 0, -12 * s, 0), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromStdString(active.url));
    const QRectF page = body.adjusted(24 * s, 72 * s, -24 * s, -12 * s);
    const QRectF heading(page.left(), page.top(), page.width(), 28 * s);
    if (heading.intersects(shown)) {
      p.setFont(fontOf(20 * s, true));
      p.setPen(QColor(30, 30, 34));
      p.drawText(heading, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(active.title));
    }
    paintTextLines(p, page.adjusted(0, 40 * s, 0, 0), s, colour.darker(140), seed, 8);
  } else if (!w.settingsPane.empty()) {
    paintSettingsPane(p, desktop, w, frame, s);
  } else {
    const QRectF page = body.adjusted(24 * s, 20 * s, -24 * s, -12 * s);
    const QRectF heading(page.left(), page.top(), page.width(), 26 * s);
    if (heading.intersects(shown)) {
      p.setFont(fontOf(18 * s, true));
      p.setPen(colour.darker(260));
      p.drawText(heading, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(w.title.value_or("")));
    }
    if (w.message.empty()) {
      paintTextLines(p, page.adjusted(0, 38 * s, 0, 0), s, colour.darker(150), seed, 6);
    } else {
      p.setFont(fontOf(13 * s));
      p.setPen(QColor(30, 30, 34));
      p.drawText(page.adjusted(0, 38 * s, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                 QString::fromStdString(w.message));
    }
  }
  p.restore();
}

void SimWindowPainter::paintTitleBar(QPainter& p, const QRectF& bar, double s, const std::string& title,
                                     bool dark) {
  p.save();
  // Only what reaches the part being drawn: a sliver of a title bar skips its text and buttons.
  const QRectF shown = p.hasClipping() ? p.clipBoundingRect() & bar : bar;
  p.fillRect(shown, dark ? QColor(52, 54, 58) : QColor(236, 236, 240));
  const QColor buttons[] = {QColor(255, 95, 87), QColor(254, 188, 46), QColor(40, 200, 64)};
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) {
    const QPointF centre(bar.left() + buttonCentreX(i) * s, bar.center().y());
    const double r = kButtonRadius * s;
    if (!QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r).intersects(shown)) continue;
    p.setBrush(buttons[i]);
    p.drawEllipse(centre, r, r);
  }
  const QRectF text = bar.adjusted(76 * s, 0, -12 * s, 0);
  if (text.intersects(shown)) {
    p.setFont(fontOf(13 * s, true));
    p.setPen(dark ? QColor(220, 220, 224) : QColor(30, 30, 34));
    p.drawText(text, Qt::AlignCenter,
               p.fontMetrics().elidedText(QString::fromStdString(title), Qt::ElideRight,
                                          static_cast<int>(bar.width() - 88 * s)));
  }
  p.restore();
}

std::optional<SimWindowPainter::TitleButton> SimWindowPainter::titleButtonAt(const Rect& frame, Point point) {
  const double y = frame.y + kTitleBarHeight / 2;
  for (int i = 0; i < 3; ++i) {
    const double dx = point.x - (frame.x + buttonCentreX(i)), dy = point.y - y;
    // A little more than the drawn circle, so a click at its rim still lands.
    if (dx * dx + dy * dy <= (kButtonRadius + 1) * (kButtonRadius + 1)) return static_cast<TitleButton>(i);
  }
  return std::nullopt;
}

std::optional<RGBAImage> SimWindowPainter::render(const sim::SimDesktop& desktop, std::int64_t number,
                                                  int width, int height, int margin) {
  const sim::SimWindow* w = std::as_const(desktop).window(number);
  if (!w || width < 1 || height < 1) return std::nullopt;
  QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
  image.fill(Qt::transparent);
  const QRectF content(margin, margin, width - 2.0 * margin, height - 2.0 * margin);
  if (content.width() > 0 && content.height() > 0 && w->bounds.width > 0) {
    QPainter p(&image);
    paint(p, desktop, *w, content, content.width() / w->bounds.width);
  }
  return fromQImage(image);
}

}  // namespace velvix::qt
