#pragma once
// How a simulated window looks, drawn the same way wherever it appears: in the window onto the
// simulated desktop and in the screen captures of it (thumbnails, the live preview, the Dock
// peek), so a picture of a window is recognisably that window. Plain content: a title bar with
// the window's title, a body in its application's colour with a few lines of text, a tab strip
// and address bar for browsers, a prompt for terminals.

#include <cstdint>
#include <optional>

#include "Support/RGBAImage.hpp"

class QPainter;
class QRectF;

namespace velvix::sim {
class SimDesktop;
struct SimWindow;
}  // namespace velvix::sim

namespace velvix::qt {

class SimWindowPainter {
 public:
  static constexpr double kTitleBarHeight = 28;  // points
  static constexpr double kCornerRadius = 8;

  // Paints the window into `frame` (painter coordinates), `scale` painter units per point.
  static void paint(QPainter& painter, const sim::SimDesktop& desktop, const sim::SimWindow& window,
                    const QRectF& frame, double scale);
  // The window as a capture shows it: width × height pixels, its content inset by `margin`
  // pixels of transparency all round. Nothing for an unknown window or an empty size.
  static std::optional<RGBAImage> render(const sim::SimDesktop& desktop, std::int64_t number, int width,
                                         int height, int margin = 0);
};

}  // namespace velvix::qt
