#pragma once
// The small label that follows the pointer while a tab is dragged: the application icon and the
// tab's title on thick glass, with a green border once the pointer is over a cell that accepts
// the drop.

#include <QImage>

#include "Core/SwitchableItem.hpp"
#include "Platform/Geometry.hpp"

class QPainter;

namespace velvix {

struct HUDDragGhost {
  static constexpr double kIconSize = 18;
  static constexpr double kFontSize = 12;
  static constexpr double kSpacing = 6;
  static constexpr double kHorizontalPadding = 9;
  static constexpr double kVerticalPadding = 6;
  static constexpr double kMaximumWidth = 220;
  static constexpr double kCornerRadius = 8;
  static constexpr double kOpacity = 0.96;

  SwitchableItem item;
  bool accepted = false;
  QImage appIcon;

  // The label's frame, centred on the pointer.
  Rect frame(Point centre) const;
  void paint(QPainter& painter, Point centre, bool reduceTransparency) const;

 private:
  double titleWidth() const;
};

}  // namespace velvix
