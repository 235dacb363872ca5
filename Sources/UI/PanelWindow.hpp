#pragma once
// A panel or window of this program on the simulated screen. Its content is laid out in points of
// the simulated screen. Placed on the window onto the simulated desktop, it is composed inside
// that window, at its simulated frame and the view's scale, stacked by its window level; over
// another placement it is a window of its own where the placement puts it, at its scale. Without
// a placement the content is the window itself, in its own points. Pointer input reaches the
// content in its own coordinates either way.

#include <cstdint>
#include <memory>
#include <optional>

#include <QPointer>
#include <Qt>

#include "Platform/Qt/SimScreenLayer.hpp"

#include "Platform/Geometry.hpp"

class QPainter;
class QRectF;
class QWidget;
class QGraphicsView;

namespace velvix {
namespace platform {
class ScreenPlacement;
}

class PanelWindow {
 public:
  // Takes ownership of `content`, a parentless widget made with the panel's window flags; `level`
  // is its window level (SimScreenLayer's levels).
  PanelWindow(std::unique_ptr<QWidget> content, platform::ScreenPlacement* placement, int level);
  ~PanelWindow();
  PanelWindow(const PanelWindow&) = delete;
  PanelWindow& operator=(const PanelWindow&) = delete;

  QWidget& content() const { return *content_; }
  // Sizes the content to `frame` (simulated points) and puts the window where the frame appears;
  // an ordinary window composed on the simulated screen fills it below the title bar.
  void place(const Rect& frame);
  // The height of the title bar the screen draws above the content (points); none when the
  // window is not an ordinary window composed on the simulated screen.
  double titleBarHeight() const;
  void show();
  void hide();
  bool isVisible() const;
  // The window on the display: the content itself, or the scaling host around it.
  QWidget& window() const;
  // Draws the content, as it looks now, into `target` (painter coordinates).
  void render(QPainter& painter, const QRectF& target) const;
  // An ordinary window of the program: the simulated window it shows, which a click makes key
  // and whose title bar the screen draws.
  void setWindowNumber(std::int64_t number);

 private:
  std::unique_ptr<QWidget> content_;
  const platform::ScreenPlacement* placement_;
  std::unique_ptr<QGraphicsView> host_;
  QPointer<qt::SimScreenLayer> layer_;  // composed inside the desktop view while it lasts
  bool composed_ = false;
  bool titled_ = false;  // an ordinary window, with a title bar above its content
  std::optional<Rect> frame_;
};

}  // namespace velvix
