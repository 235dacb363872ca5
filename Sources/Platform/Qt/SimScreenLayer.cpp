#include "Platform/Qt/SimScreenLayer.hpp"

#include <algorithm>

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

std::vector<std::int64_t> SimScreenLayer::shownWindows() const {
  std::vector<std::int64_t> shown;
  for (const Entry& e : entries_)
    if (e.window && !e.panel->isHidden()) shown.push_back(*e.window);
  return shown;
}

void SimScreenLayer::orderFront(QWidget& panel) {
  if (Entry* e = find(&panel)) e->order = nextOrder_++;
  restack();
}

void SimScreenLayer::restack() {
  std::vector<const Entry*> order;
  for (const Entry& e : entries_) order.push_back(&e);
  std::sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) {
    return a->level != b->level ? a->level < b->level : a->order < b->order;
  });
  // Raised back to front, the last raised ends in front.
  for (const Entry* e : order) e->panel->raise();
}

QWidget* SimScreenLayer::panelOf(const QWidget* widget) const {
  for (const QWidget* w = widget; w; w = w->parentWidget())
    if (w->parentWidget() == this && find(w)) return const_cast<QWidget*>(w);
  return nullptr;
}

QWidget* SimScreenLayer::panelAt(QPoint point) const {
  QWidget* front = nullptr;
  const Entry* best = nullptr;
  for (const Entry& e : entries_) {
    if (!e.panel->isVisible() || !e.panel->geometry().contains(point)) continue;
    if (e.panel->testAttribute(Qt::WA_TransparentForMouseEvents)) continue;
    if (!best || e.level > best->level || (e.level == best->level && e.order > best->order)) {
      best = &e;
      front = e.panel;
    }
  }
  return front;
}

void SimScreenLayer::relayout() {
  for (const Entry& e : std::vector<Entry>(entries_))
    if (e.relayout) e.relayout();
}

}  // namespace velvix::qt
