#pragma once
// The moving background of the liquid-glass style: three faint glass slabs, of which only the
// coloured fringes, a hairline highlight and a pulsing glint are drawn, drifting slowly. It
// redraws on every animation frame while shown and stands still under Reduce Motion.

#include <optional>

#include <QWidget>

#include "Platform/MainLoop.hpp"

class QPainter;

namespace velvix {
namespace platform {
class AccessibilityDisplay;
}

class LiquidGlassSlabView final : public QWidget {
 public:
  static constexpr double kFrameInterval = 1.0 / 60;

  LiquidGlassSlabView(platform::MainLoop& loop, const platform::AccessibilityDisplay& accessibility,
                      QWidget* parent = nullptr);

  // Draws the slabs on a canvas of `width` × `height` points `elapsed` seconds into the animation.
  static void drawSlabs(QPainter& painter, double width, double height, double elapsed);

  // Seconds since the animation clock's zero, which is the first time any slab view drew in this
  // process, so slabs never jump when a panel is rebuilt.
  double elapsed() const;
  bool isAnimating() const { return frameTimer_.isValid(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void followMotionSetting();

  platform::MainLoop& loop_;
  const platform::AccessibilityDisplay& accessibility_;
  platform::Timer frameTimer_;
  std::optional<double> frozenAt_;  // the moment drawn while Reduce Motion is on
};

}  // namespace velvix
