#include "UI/HUDBarAccessible.hpp"

#include <optional>

#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace velvix {

namespace {

// One drawn element, read afresh from the bar at every question.
class ElementAccessible final : public QAccessibleInterface {
 public:
  ElementAccessible(QWidget* bar, int index) : bar_(bar), index_(index) {}

  bool isValid() const override { return bar_ && element().has_value(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(bar_); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    const auto e = element();
    if (!e) return {};
    if (t == QAccessible::Name) return e->name;
    if (t == QAccessible::Help || t == QAccessible::Description) return e->help;
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const auto e = element();
    if (!e || !bar_) return {};
    return QRect(bar_->mapToGlobal(e->rect.topLeft()), e->rect.size());
  }
  QAccessible::Role role() const override {
    const auto e = element();
    return e ? e->role : QAccessible::NoRole;
  }
  QAccessible::State state() const override { return {}; }

 private:
  std::optional<HUDAccessibleElements::Element> element() const {
    if (!bar_) return std::nullopt;
    auto* iface = dynamic_cast<HUDBarAccessible*>(QAccessible::queryAccessibleInterface(bar_.data()));
    if (!iface) return std::nullopt;
    const auto all = iface->elements();
    if (index_ < 0 || index_ >= static_cast<int>(all.size())) return std::nullopt;
    return all[static_cast<std::size_t>(index_)];
  }

  QPointer<QWidget> bar_;
  int index_;
};

QAccessibleInterface* factory(const QString&, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (auto* source = dynamic_cast<HUDAccessibleElements*>(object); widget && source)
    return new HUDBarAccessible(widget, *source);
  return nullptr;
}

}  // namespace

HUDBarAccessible::HUDBarAccessible(QWidget* bar, const HUDAccessibleElements& source)
    : QAccessibleWidget(bar, QAccessible::List), source_(source) {}

HUDBarAccessible::~HUDBarAccessible() {
  for (auto id : children_) QAccessible::deleteAccessibleInterface(id);
}

int HUDBarAccessible::childCount() const {
  return static_cast<int>(source_.accessibleElements().size());
}

QAccessibleInterface* HUDBarAccessible::child(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  while (static_cast<int>(children_.size()) <= index) {
    auto* element = new ElementAccessible(widget(), static_cast<int>(children_.size()));
    children_.push_back(QAccessible::registerAccessibleInterface(element));
  }
  return QAccessible::accessibleInterface(children_[static_cast<std::size_t>(index)]);
}

int HUDBarAccessible::indexOfChild(const QAccessibleInterface* child) const {
  for (std::size_t i = 0; i < children_.size(); ++i)
    if (QAccessible::accessibleInterface(children_[i]) == child) return static_cast<int>(i);
  return -1;
}

QAccessibleInterface* HUDBarAccessible::childAt(int x, int y) const {
  const auto all = source_.accessibleElements();
  for (std::size_t i = 0; i < all.size(); ++i)
    if (QRect(widget()->mapToGlobal(all[i].rect.topLeft()), all[i].rect.size()).contains(x, y))
      return child(static_cast<int>(i));
  return nullptr;
}

void HUDBarAccessible::install() {
  static const bool installed = [] {
    QAccessible::installFactory(factory);
    return true;
  }();
  (void)installed;
}

}  // namespace velvix
