#include "Platform/Qt/SimScreenLayer.hpp"

#include <algorithm>

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointer>

#include "Platform/Qt/SimWindowCover.hpp"

namespace velvix::qt {

SimScreenLayer::SimScreenLayer(QWidget* parent) : QWidget(parent) {
  setObjectName("SimulatedScreen");
  // The layer itself is clear; the pointer events it does not take (all but its panels') go on to
  // the desktop view beneath, as an ignored event goes to the parent.
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
}

SimScreenLayer::~SimScreenLayer() {
  for (const Entry& e : std::vector<Entry>(entries_)) {
    e.panel->hide();
    e.panel->setParent(nullptr);
  }
}

SimScreenLayer::Entry* SimScreenLayer::find(const QWidget* panel) {
  auto it =
      std::find_if(entries_.begin(), entries_.end(), [panel](const Entry& e) { return e.panel == panel; });
  return it == entries_.end() ? nullptr : &*it;
}

const SimScreenLayer::Entry* SimScreenLayer::find(const QWidget* panel) const {
  return const_cast<SimScreenLayer*>(this)->find(panel);
}

void SimScreenLayer::adopt(QWidget& panel, int level, std::function<void()> relayout) {
  const bool visible = panel.isVisible();
  panel.setParent(this, Qt::Widget);
  if (Entry* e = find(&panel)) {
    e->level = level;
    e->relayout = std::move(relayout);
  } else {
    entries_.push_back({&panel, level, nextOrder_++, std::nullopt, std::move(relayout)});
    QObject::connect(&panel, &QObject::destroyed, this, [this, p = &panel] {
      if (Entry* gone = find(p); gone && gone->cover) gone->cover->deleteLater();
      std::erase_if(entries_, [p](const Entry& e) { return e.panel == p; });
    });
  }
  if (visible) panel.show();
  restack();
}

void SimScreenLayer::setWindowNumber(QWidget& panel, std::optional<std::int64_t> number) {
  if (Entry* e = find(&panel)) e->window = number;
}

std::optional<std::int64_t> SimScreenLayer::windowNumber(const QWidget* panel) const {
  const Entry* e = find(panel);
  return e ? e->window : std::nullopt;
}

void SimScreenLayer::orderFront(QWidget& panel) {
  Entry* e = find(&panel);
  if (!e) return restack();
  e->order = nextOrder_++;
  // An alert that comes up while a menu is open closes the menu, so the alert is in front of
  // everything and the only thing the keyboard reaches.
  if (e->level == kAlertLevel) closeMenus();
  restack();
}

void SimScreenLayer::closeMenus() {
  // A menu's relayout closes it and the menus it was opened from; closing one may delete others.
  std::vector<QPointer<QWidget>> menus;
  for (const Entry& e : entries_)
    if (e.level == kMenuLevel && e.panel->isVisible()) menus.emplace_back(e.panel);
  for (const QPointer<QWidget>& menu : menus) {
    if (!menu || !menu->isVisible()) continue;
    if (Entry* e = find(menu); e && e->relayout) {
      auto close = e->relayout;
      close();
    }
  }
}

void SimScreenLayer::restack() {
  std::vector<const Entry*> order;
  for (const Entry& e : entries_) order.push_back(&e);
  std::sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) {
    return a->level != b->level ? a->level < b->level : a->order < b->order;
  });
  // Raised back to front, the last raised ends in front; a cover right over its panel.
  for (const Entry* e : order) {
    e->panel->raise();
    if (e->cover) e->cover->raise();
  }
}

std::vector<std::pair<QWidget*, std::int64_t>> SimScreenLayer::windowPanels() const {
  std::vector<std::pair<QWidget*, std::int64_t>> out;
  for (const Entry& e : entries_)
    if (e.window && e.panel->isVisible()) out.emplace_back(e.panel, *e.window);
  return out;
}

void SimScreenLayer::followStacking(const std::vector<std::int64_t>& backToFront) {
  // The panels' own places in the order, handed out again in the windows' order.
  std::vector<Entry*> stacked;
  for (Entry& e : entries_)
    if (e.window && std::find(backToFront.begin(), backToFront.end(), *e.window) != backToFront.end())
      stacked.push_back(&e);
  auto depth = [&backToFront](const Entry* e) {
    return std::find(backToFront.begin(), backToFront.end(), *e->window) - backToFront.begin();
  };
  std::vector<std::uint64_t> places;
  for (const Entry* e : stacked) places.push_back(e->order);
  std::sort(places.begin(), places.end());
  std::sort(stacked.begin(), stacked.end(),
            [&depth](const Entry* a, const Entry* b) { return depth(a) < depth(b); });
  bool changed = false;
  for (std::size_t i = 0; i < stacked.size(); ++i) {
    changed = changed || stacked[i]->order != places[i];
    stacked[i]->order = places[i];
  }
  if (changed) restack();
}

void SimScreenLayer::setCovered(QWidget& panel, const QRegion& region) {
  Entry* e = find(&panel);
  if (!e || (!e->cover && region.isEmpty())) return;
  if (!e->cover) {
    e->cover = new SimWindowCover(*this, [this](QPainter& p) {
      if (paintScreen) paintScreen(p);
    });
    restack();
  }
  e->cover->cover(region);
}

QWidget* SimScreenLayer::focusWidget() {
  QWidget* focus = QApplication::focusWidget();
  // A panel's content lives in a graphics scene: the field with the focus is the scene's.
  while (auto* host = qobject_cast<QGraphicsView*>(focus)) {
    QGraphicsScene* scene = host->scene();
    auto* proxy = scene ? dynamic_cast<QGraphicsProxyWidget*>(scene->focusItem()) : nullptr;
    if (!proxy || !proxy->widget()) break;
    QWidget* inner = proxy->widget()->focusWidget();
    focus = inner ? inner : proxy->widget();
  }
  return focus;
}

bool SimScreenLayer::performEditCommand(const std::string& selector) {
  QWidget* focus = focusWidget();
  if (!focus || selector.size() < 2 || selector.back() != ':') return false;
  const std::string slot = selector.substr(0, selector.size() - 1);  // "undo:" -> "undo"
  // Only a widget that has the command (a text field has them all) takes it.
  if (focus->metaObject()->indexOfMethod((slot + "()").c_str()) < 0) return false;
  return QMetaObject::invokeMethod(focus, slot.c_str());
}

QWidget* SimScreenLayer::panelAt(QPoint point) const {
  const Entry* best = nullptr;
  for (const Entry& e : entries_) {
    if (!e.panel->isVisible() || !e.panel->geometry().contains(point)) continue;
    if (e.panel->testAttribute(Qt::WA_TransparentForMouseEvents)) continue;
    if (!best || e.level > best->level || (e.level == best->level && e.order > best->order)) best = &e;
  }
  // Where another application's window lies over it, the pointer meets that window.
  if (best && best->cover && best->cover->isVisible() && best->cover->covered().contains(point))
    return nullptr;
  return best ? best->panel : nullptr;
}

void SimScreenLayer::relayout() {
  for (const Entry& e : std::vector<Entry>(entries_))
    if (e.relayout) e.relayout();
}

}  // namespace velvix::qt
