#pragma once
// The rounded glass look of a HUD surface (the switcher bar, the microphone overlay), by the
// user's glass style: `appKit` shows only a faint veil and a light border over the frost behind
// it, `swiftUI` adds the system's glass under the content, and `liquidGlass` puts the moving
// slabs behind the veil. Drawn in layers, bottom to top: slabs, veil, system glass, content,
// border.

#include <QRectF>

#include "Core/SettingsEnums.hpp"

class QPainter;
class QRegion;
class QWidget;

namespace velvix {
namespace platform {
class AccessibilityDisplay;
class MainLoop;
}  // namespace platform

struct HUDGlassSurface {
  static constexpr double kVeilOpacity = 0.06;
  static constexpr double kBorderTopOpacity = 0.3;
  static constexpr double kBorderBottomOpacity = 0.04;
  static constexpr double kBorderWidth = 1;

  double cornerRadius = 0;
  GlassStyle style = GlassStyle::appKit;

  // The layers under the content: the veil, then (swiftUI) the system glass, which turns into an
  // opaque frosted fill under Reduce Transparency. `plain`: only a part of the rect that keeps
  // clear of its rounded edge and rim is painted, where the shape is the plain rectangle.
  void paintUnderlay(QPainter& painter, const QRectF& rect, bool reduceTransparency,
                     bool plain = false) const;
  // The border over the content: a 1-point line inside the shape, white from 30 % at the top to
  // 4 % at the bottom.
  void paintOverlay(QPainter& painter, const QRectF& rect) const;
  // The part of the rect clear of its rounded corners, its rim and its border: a repaint there
  // has no edge to draw.
  QRegion clearOfEdge(const QRectF& rect) const;

  // Wraps `content` in a surface widget (owned by `parent` when given) that draws these layers
  // around it and adds the moving slabs for `liquidGlass`. The overlay takes no mouse events.
  QWidget* wrap(QWidget* content, platform::MainLoop& loop,
                const platform::AccessibilityDisplay& accessibility, QWidget* parent = nullptr) const;
  // Gives a surface made by wrap() a new radius or style; false for any other widget.
  static bool restyle(QWidget* surface, const HUDGlassSurface& glass);
  // Whether the layers under the content are drawn beneath the surface instead (into the frost
  // layer behind it, with nothing between): the surface then leaves them out. False for any
  // widget not made by wrap().
  static bool setUnderlayBeneath(QWidget* surface, bool beneath);
};

}  // namespace velvix
