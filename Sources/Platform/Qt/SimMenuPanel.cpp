#include "Platform/Qt/SimMenuPanel.hpp"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "Platform/Qt/SimScreenLayer.hpp"

namespace velvix::qt {

namespace {

// The menu's measures, in points of the simulated screen.
constexpr double kPadding = 5;  // above the first item and below the last
constexpr double kRowHeight = 22;
constexpr double kSeparatorHeight = 11;
constexpr double kTextLeft = 22;   // room for a check mark
constexpr double kTextRight = 18;  // room for a submenu's arrow
constexpr double kKeyGap = 28;
constexpr double kMinimumWidth = 140;
constexpr double kCornerRadius = 6;

QFont menuFont() {
  QFont font;
  font.setPixelSize(14);
  return font;
}

}  // namespace

SimMenuPanel::SimMenuPanel(const platform::Menu& menu, SimScreenLayer& layer, double scale,
                           SimMenuPanel* parentMenu)
    : QWidget(&layer), layer_(layer), parentMenu_(parentMenu), scale_(scale > 0 ? scale : 1.0) {
  setObjectName("VelvixMenu");
  setMouseTracking(true);
  // A click on it keeps the keyboard in the menu rather than handing it to the desktop view.
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_NoSystemBackground);
  hide();
  // Separators only between shown items: two in a row, or one at either end, would separate nothing.
  for (const auto& item : menu.items) {
    if (!item || item->hidden) continue;
    if (item->separator && (items_.empty() || items_.back()->separator)) continue;
    items_.push_back(item);
  }
  if (!items_.empty() && items_.back()->separator) items_.pop_back();

  const QFontMetricsF metrics(menuFont());
  double titles = 0;
  double keys = 0;
  double y = kPadding;
  for (const auto& item : items_) {
    const double height = item->separator ? kSeparatorHeight : kRowHeight;
    rows_.emplace_back(0, y, 0, height);
    y += height;
    if (item->separator) continue;
    titles = std::max(titles, metrics.horizontalAdvance(QString::fromStdString(item->title)));
    keys =
        std::max(keys, metrics.horizontalAdvance(QString::fromStdString(platform::keyEquivalentText(*item))));
  }
  width_ = std::max(kMinimumWidth, kTextLeft + titles + (keys > 0 ? kKeyGap + keys : 0) + kTextRight + 8);
  height_ = y + kPadding;
  for (QRectF& row : rows_) row.setWidth(width_);
  resize(static_cast<int>(std::ceil(width_ * scale_)), static_cast<int>(std::ceil(height_ * scale_)));
  // In front of everything; a change of the view's scale closes it, as a change of screens does.
  layer_.adopt(*this, SimScreenLayer::kMenuLevel, [this] { closeAll(); });
}

SimMenuPanel::~SimMenuPanel() = default;

QStringList SimMenuPanel::texts() const {
  QStringList out;
  for (const auto& item : items_) {
    if (item->separator) {
      out << "-";
      continue;
    }
    QString text = QString::fromStdString(item->title);
    if (const std::string key = platform::keyEquivalentText(*item); !key.empty())
      text += "\t" + QString::fromStdString(key);
    out << text;
  }
  return out;
}

QRect SimMenuPanel::itemRect(int index) const {
  if (index < 0 || index >= static_cast<int>(rows_.size())) return {};
  const QRectF& r = rows_[static_cast<std::size_t>(index)];
  return QRectF(r.x() * scale_, r.y() * scale_, r.width() * scale_, r.height() * scale_).toRect();
}

bool SimMenuPanel::containsInLayer(QPoint point) const {
  for (const SimMenuPanel* m = this; m; m = m->submenu_.get())
    if (m->isVisible() && m->geometry().contains(point)) return true;
  return false;
}

SimMenuPanel& SimMenuPanel::root() {
  SimMenuPanel* m = this;
  while (m->parentMenu_) m = m->parentMenu_;
  return *m;
}

SimMenuPanel& SimMenuPanel::deepest() {
  SimMenuPanel* m = this;
  while (m->submenu_) m = m->submenu_.get();
  return *m;
}

void SimMenuPanel::popUp(QPoint at, QWidget* returnFocus) {
  const int x = std::max(0, std::min(at.x(), layer_.width() - width()));
  const int y = std::max(0, std::min(at.y(), layer_.height() - height()));
  move(x, y);
  if (!parentMenu_) {
    previousFocus_ = returnFocus ? returnFocus : QApplication::focusWidget();
    show();
    setFocus(Qt::PopupFocusReason);
  } else {
    show();
  }
  layer_.orderFront(*this);
}

void SimMenuPanel::closeAll() {
  SimMenuPanel& first = root();
  if (first.closed_) return;
  first.closed_ = true;
  for (SimMenuPanel* m = &first; m; m = m->submenu_.get()) m->hide();
  if (first.previousFocus_)
    first.previousFocus_->setFocus(Qt::PopupFocusReason);
  else if (QWidget* view = layer_.parentWidget())
    view->setFocus(Qt::PopupFocusReason);
  if (first.onClose) {
    auto closed = std::move(first.onClose);
    closed();
  }
}

bool SimMenuPanel::selectable(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  const auto& item = items_[static_cast<std::size_t>(index)];
  return !item->separator && item->enabled && (item->action || item->submenu);
}

int SimMenuPanel::indexAt(QPoint point) const {
  for (int i = 0; i < static_cast<int>(items_.size()); ++i)
    if (itemRect(i).contains(point)) return selectable(i) ? i : -1;
  return -1;
}

void SimMenuPanel::highlight(int index, bool openIt) {
  if (index == highlighted_) return;
  highlighted_ = index;
  if (submenuIndex_ != index) closeSubmenu();
  if (openIt && selectable(index) && items_[static_cast<std::size_t>(index)]->submenu)
    openSubmenu(index, false);
  update();
}

void SimMenuPanel::openSubmenu(int index, bool withKeyboard) {
  if (!selectable(index) || !items_[static_cast<std::size_t>(index)]->submenu) return;
  if (submenuIndex_ != index) {
    closeSubmenu();
    platform::Menu& model = *items_[static_cast<std::size_t>(index)]->submenu;
    if (model.willOpen) model.willOpen();
    submenu_ = std::make_unique<SimMenuPanel>(model, layer_, scale_, this);
    submenuIndex_ = index;
    // Beside its item, its first item level with it; on the left when the screen ends first.
    const QRect row(mapTo(&layer_, itemRect(index).topLeft()), itemRect(index).size());
    const int overlap = static_cast<int>(std::lround(3 * scale_));
    int x = geometry().right() + 1 - overlap;
    if (x + submenu_->width() > layer_.width()) x = geometry().left() - submenu_->width() + overlap;
    submenu_->popUp(QPoint(x, row.top() - static_cast<int>(std::lround(kPadding * scale_))));
  }
  highlighted_ = index;
  if (withKeyboard) {
    for (int i = 0; i < static_cast<int>(submenu_->items_.size()); ++i)
      if (submenu_->selectable(i)) {
        submenu_->highlight(i, false);
        break;
      }
  }
  update();
}

void SimMenuPanel::closeSubmenu() {
  if (!submenu_) return;
  submenu_->closeSubmenu();
  submenu_->hide();
  // It may be handling the event that closes it: it goes on the loop's next turn.
  submenu_.release()->deleteLater();
  submenuIndex_ = -1;
  update();
}

void SimMenuPanel::choose(int index) {
  if (!selectable(index)) return;
  const auto& item = items_[static_cast<std::size_t>(index)];
  if (item->submenu) {
    openSubmenu(index, false);
    return;
  }
  // The menu closes first, so what the item opens or focuses is not undone by its closing.
  const std::function<void()> action = item->action;
  root().closeAll();
  action();
}

void SimMenuPanel::mouseMoveEvent(QMouseEvent* event) {
  const int index = indexAt(event->position().toPoint());
  if (index >= 0 || !submenu_) highlight(index, true);
  event->accept();
}

void SimMenuPanel::mousePressEvent(QMouseEvent* event) {
  event->accept();
}

void SimMenuPanel::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) choose(indexAt(event->position().toPoint()));
}

void SimMenuPanel::keyPressEvent(QKeyEvent* event) {
  // The keyboard is the menu's while it is open: the arrows move in the deepest open menu.
  event->accept();
  SimMenuPanel& menu = root().deepest();
  const int count = static_cast<int>(menu.items_.size());
  auto step = [&menu, count](int direction) {
    int i = menu.highlighted_;
    for (int n = 0; n < count; ++n) {
      i = i < 0 ? (direction > 0 ? 0 : count - 1) : (i + direction + count) % count;
      if (menu.selectable(i)) return menu.highlight(i, false);
    }
  };
  switch (event->key()) {
    case Qt::Key_Down:
      step(1);
      break;
    case Qt::Key_Up:
      step(-1);
      break;
    case Qt::Key_Right:
      if (menu.selectable(menu.highlighted_) &&
          menu.items_[static_cast<std::size_t>(menu.highlighted_)]->submenu)
        menu.openSubmenu(menu.highlighted_, true);
      else if (root().onStepAcross)
        root().onStepAcross(1);
      break;
    case Qt::Key_Left:
      if (menu.parentMenu_)
        menu.parentMenu_->closeSubmenu();
      else if (root().onStepAcross)
        root().onStepAcross(-1);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (menu.selectable(menu.highlighted_) &&
          menu.items_[static_cast<std::size_t>(menu.highlighted_)]->submenu)
        menu.openSubmenu(menu.highlighted_, true);
      else
        menu.choose(menu.highlighted_);
      break;
    case Qt::Key_Escape:
      closeAll();
      break;
    default:
      break;
  }
}

void SimMenuPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(scale_, scale_);
  const QRectF panel(0.5, 0.5, width_ - 1, height_ - 1);
  p.setPen(QPen(QColor(0, 0, 0, 70), 1));
  p.setBrush(QColor(246, 246, 248));
  p.drawRoundedRect(panel, kCornerRadius, kCornerRadius);
  const QFont font = menuFont();
  p.setFont(font);
  for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
    const auto& item = *items_[static_cast<std::size_t>(i)];
    const QRectF row = rows_[static_cast<std::size_t>(i)];
    if (item.separator) {
      p.setPen(QPen(QColor(0, 0, 0, 40), 1));
      p.drawLine(QPointF(10, row.center().y()), QPointF(width_ - 10, row.center().y()));
      continue;
    }
    const bool lit = i == highlighted_ && selectable(i);
    if (lit) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(10, 100, 230));
      p.drawRoundedRect(row.adjusted(5, 0, -5, 0), 4, 4);
    }
    const QColor ink = lit ? QColor(Qt::white) : selectable(i) ? QColor(20, 20, 24) : QColor(150, 150, 156);
    p.setPen(ink);
    if (item.checked)
      p.drawText(QRectF(row.left(), row.top(), kTextLeft, row.height()), Qt::AlignCenter,
                 QString::fromUtf8("\u2713"));
    const QRectF text = row.adjusted(kTextLeft, 0, -kTextRight, 0);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(item.title));
    if (const std::string key = platform::keyEquivalentText(item); !key.empty())
      p.drawText(text, Qt::AlignVCenter | Qt::AlignRight, QString::fromStdString(key));
    if (item.submenu)
      p.drawText(QRectF(row.right() - kTextRight - 4, row.top(), kTextRight, row.height()), Qt::AlignCenter,
                 QString::fromUtf8("\u25b8"));
  }
}

}  // namespace velvix::qt
