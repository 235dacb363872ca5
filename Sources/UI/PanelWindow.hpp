#pragma once
// A floating panel of this program on the real display. Its content is laid out in points of the
// simulated screen; on the display it appears where the screen placement puts it and at the
// placement's scale, so a panel over the "Simulated desktop" window is in proportion to what that
// window draws. Without a placement the content is the window itself, in its own points. Pointer
// input reaches the content in its own coordinates either way.

#include <memory>

#include <Qt>

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
  // Takes ownership of `content`, a parentless widget made with the panel's window flags.
  PanelWindow(std::unique_ptr<QWidget> content, const platform::ScreenPlacement* placement);
  ~PanelWindow();
  PanelWindow(const PanelWindow&) = delete;
  PanelWindow& operator=(const PanelWindow&) = delete;

  QWidget& content() const { return *content_; }
  // Sizes the content to `frame` (simulated points) and puts the window where the frame appears.
  void place(const Rect& frame);
  void show();
  void hide();
  bool isVisible() const;
  // The window on the display: the content itself, or the scaling host around it.
  QWidget& window() const;
  // Draws the content, as it looks now, into `target` (painter coordinates).
  void render(QPainter& painter, const QRectF& target) const;

 private:
  std::unique_ptr<QWidget> content_;
  const platform::ScreenPlacement* placement_;
  std::unique_ptr<QGraphicsView> host_;
};

}  // namespace velvix
