#pragma once
// The simulated screen's area of the window onto the desktop. The program's panels and windows
// are its children, so each appears at its simulated frame and the view's scale, clipped to the
// screen, stacked by its window level and, within a level, by the order of showing; nothing is
// left to a host window manager or compositor. It keeps which panels are ordinary windows of the
// program, which a click makes key; those stack among the other applications' windows as their
// simulated windows do, the others' windows in front of one covering it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

class QPainter;

namespace velvix::qt {

class SimWindowCover;

class SimScreenLayer final : public QWidget {
 public:
  // The window levels of the panels it holds.
  static constexpr int kNormalLevel = 0;
  static constexpr int kFloatingLevel = 3;
  static constexpr int kModalPanelLevel = 8;
  static constexpr int kPopUpMenuLevel = 101;
  // An alert waiting for its answer is a modal panel: in front of the ordinary windows and the
  // floating panels, behind the switcher and the Dock's cards.
  static constexpr int kAlertLevel = kModalPanelLevel;
  // A menu opened from the menu bar is in front even of an alert: it lasts until the next click
  // or key, and an alert that comes up closes it.
  static constexpr int kMenuLevel = 2000;

  explicit SimScreenLayer(QWidget* parent);
  // Its panels belong to their owners: they are handed back, hidden, rather than deleted with it.
  ~SimScreenLayer() override;

  // Takes `panel` in as a child at `level`; `relayout` places it again when the scale changes.
  void adopt(QWidget& panel, int level, std::function<void()> relayout);
  // An ordinary window of the program (a click on it makes it key): the simulated window it is.
  void setWindowNumber(QWidget& panel, std::optional<std::int64_t> number);
  // Puts the panel in front of the others of its level.
  void orderFront(QWidget& panel);
  // The front visible panel under a point of this layer, and its simulated window (if any).
  QWidget* panelAt(QPoint point) const;
  std::optional<std::int64_t> windowNumber(const QWidget* panel) const;
  // Places every panel again (the view's scale or the screen changed).
  void relayout();

  // The visible panels of ordinary windows, and the simulated windows they are.
  std::vector<std::pair<QWidget*, std::int64_t>> windowPanels() const;
  // Orders those panels, within their level, as their windows are stacked on the simulated
  // screen (`backToFront`: window numbers); panels of other windows keep their place.
  void followStacking(const std::vector<std::int64_t>& backToFront);
  // Where other windows lie in front of an ordinary window's panel (this layer's coordinates):
  // there the screen shows over it, and the pointer meets those windows.
  void setCovered(QWidget& panel, const QRegion& region);
  // Draws the simulated screen as the desktop view last drew it, in this layer's coordinates.
  std::function<void(QPainter&)> paintScreen;

  // The widget that has the keyboard focus, inside a panel's scaled content too (where Qt itself
  // names only the panel's host).
  static QWidget* focusWidget();
  // An editing command of the main menu ("copy:", "selectAll:", ...) for the text field that has
  // the keyboard focus; false when nothing there takes it.
  static bool performEditCommand(const std::string& selector);

 private:
  struct Entry {
    QWidget* panel;
    int level;
    std::uint64_t order;
    std::optional<std::int64_t> window;
    std::function<void()> relayout;
    SimWindowCover* cover = nullptr;  // a child of the layer, made when first needed
  };
  Entry* find(const QWidget* panel);
  const Entry* find(const QWidget* panel) const;
  void restack();
  void closeMenus();

  std::vector<Entry> entries_;
  std::uint64_t nextOrder_ = 0;
};

}  // namespace velvix::qt
