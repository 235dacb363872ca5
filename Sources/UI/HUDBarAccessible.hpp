#pragma once
// What assistive technologies find in the HUD bar, whose cells are drawn rather than made of
// widgets: one element per cell, named by its entry's title, followed by the cell's minimized
// badge ("<title> is minimized", help "Minimized") and close control ("Close <title>", help
// "Close") where it has them. The bar lists the elements; this turns them into accessible
// objects on demand.

#include <vector>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QRect>
#include <QString>

namespace velvix {

// Implemented by the widget whose drawn parts are listed.
class HUDAccessibleElements {
 public:
  struct Element {
    QAccessible::Role role = QAccessible::ListItem;
    QString name;
    QString help;
    QRect rect;  // in the widget's coordinates
  };
  virtual ~HUDAccessibleElements() = default;
  virtual std::vector<Element> accessibleElements() const = 0;
};

class HUDBarAccessible final : public QAccessibleWidget {
 public:
  HUDBarAccessible(QWidget* bar, const HUDAccessibleElements& source);
  ~HUDBarAccessible() override;

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;

  std::vector<HUDAccessibleElements::Element> elements() const { return source_.accessibleElements(); }

  // Lets Qt find this for every widget that lists drawn elements; safe to call more than once.
  static void install();

 private:
  const HUDAccessibleElements& source_;
  mutable std::vector<QAccessible::Id> children_;
};

}  // namespace velvix
