#pragma once
// An open menu of the menu-bar strip, composed on the simulated screen like the program's panels:
// in front of everything, inside the screen, at the view's scale. Its items are drawn as a menu
// draws them (check marks, key equivalents, disabled items, separators, submenus); the pointer or
// the arrow keys pick one, a click or Return chooses it, a submenu opens beside its item, Escape
// closes the menu. It owns the submenu it has open; whoever opened the first menu owns that one.

#include <functional>
#include <memory>
#include <vector>

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "Platform/Menu.hpp"

namespace velvix::qt {

class SimScreenLayer;

class SimMenuPanel final : public QWidget {
 public:
  // The menu's items are read now (its `willOpen` has run); `scale` is the view's.
  SimMenuPanel(const platform::Menu& menu, SimScreenLayer& layer, double scale,
               SimMenuPanel* parentMenu = nullptr);
  ~SimMenuPanel() override;

  // Shows it with its top-left corner at `at` (the layer's coordinates), moved inside the screen,
  // and gives it the keyboard, which goes back to `returnFocus` (or where it is now) at the close.
  void popUp(QPoint at, QWidget* returnFocus = nullptr);
  // Closes it and every menu it was opened from; the first menu's `onClose` then runs. The
  // keyboard goes back where it was before the menu opened.
  void closeAll();
  // Runs once, when the menu closes for any reason (an item chosen, Escape, a click elsewhere).
  std::function<void()> onClose;
  // Left or Right where the menu itself has nowhere to go: the menu bar's next menu (-1, +1).
  std::function<void(int direction)> onStepAcross;
  // Where the keyboard goes back to when the menu closes.
  QWidget* returnFocus() const { return previousFocus_; }

  // What it shows: its items (separators too), each item's text as it reads (a key equivalent
  // after a tab), and where an item is (its own coordinates).
  const std::vector<std::shared_ptr<platform::MenuItem>>& items() const { return items_; }
  QStringList texts() const;
  QRect itemRect(int index) const;
  // The submenu it has open (null when none), and whether a point of the layer lies on this menu
  // or one of the submenus open from it.
  SimMenuPanel* submenu() const { return submenu_.get(); }
  bool containsInLayer(QPoint point) const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; }

 private:
  int indexAt(QPoint point) const;
  bool selectable(int index) const;
  void highlight(int index, bool openSubmenu);
  void openSubmenu(int index, bool withKeyboard);
  void closeSubmenu();
  void choose(int index);
  // The open menu deepest in the chain: the one the arrow keys move in.
  SimMenuPanel& deepest();
  SimMenuPanel& root();

  SimScreenLayer& layer_;
  SimMenuPanel* parentMenu_;
  double scale_;
  std::vector<std::shared_ptr<platform::MenuItem>> items_;  // the visible ones
  std::vector<QRectF> rows_;                                // in points
  double width_ = 0;
  double height_ = 0;
  int highlighted_ = -1;
  std::unique_ptr<SimMenuPanel> submenu_;
  int submenuIndex_ = -1;
  QPointer<QWidget> previousFocus_;
  bool closed_ = false;
};

}  // namespace velvix::qt
