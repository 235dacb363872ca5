#pragma once
// The few symbol images the HUD and the Dock previews use, drawn as line art: "globe",
// "gearshape", "chevron.left.forwardslash.chevron.right", "apple.terminal", "minus", "xmark" and
// "macwindow". A symbol at a point size fills about that many points square, centred in its box;
// heavier weights draw thicker lines. An unknown name draws nothing.

#include <string_view>

class QColor;
class QPainter;
class QRectF;

namespace velvix::HUDSymbols {

enum class Weight { regular, semibold, bold };

// Whether the name is one of the symbols above.
bool isKnown(std::string_view name);
void paint(QPainter& painter, std::string_view name, const QRectF& box, double pointSize, Weight weight,
           const QColor& colour);

}  // namespace velvix::HUDSymbols
