#pragma once
// How a simulated window looks, drawn the same way wherever it appears: in the window onto the
// simulated desktop and in the screen captures of it (thumbnails, the live preview, the Dock
// peek), so a picture of a window is recognisably that window. Plain content: a title bar with
// the window's title, a body in its application's colour with a few lines of text, a tab strip
// and address bar for browsers, a prompt for terminals.

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"

class QColor;
class QPainter;
class QPainterPath;
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
  // The title bar's buttons, left to right.
  enum class TitleButton { close, minimize, zoom };

  // A title bar into `bar`: the three buttons at its left, the title centred; `dark` in the dark
  // appearance.
  static void paintTitleBar(QPainter& painter, const QRectF& bar, double scale, const std::string& title,
                            bool dark);
  // The title-bar button of a window with `frame` that `point` is on (both in points), if any.
  static std::optional<TitleButton> titleButtonAt(const Rect& frame, Point point);

  // The rounded outline of a window with `frame`, as much of it as lies in `within`: a plain
  // rectangle when no rounded corner reaches in there. Where only a sliver of a window shows,
  // clipping to or filling this costs a fraction of the whole outline.
  static QPainterPath shapeWithin(const QRectF& frame, double radius, const QRectF& within);
  // Fills `rect` with `colour` in bands of rows: the painter hands a taller fill to other threads
  // in pieces, at a cost that dwarfs the fill itself for the slivers of windows a crowded screen
  // shows (a strip 37 points wide and 480 tall took 28 times as long as the same strip lying down).
  static void fillInBands(QPainter& painter, const QRectF& rect, const QColor& colour);
  // The part of a window with `frame` that lies in `within`, when no rounded corner reaches in.
  static std::optional<QRectF> straightPart(const QRectF& frame, double radius, const QRectF& within);
  // Paints the window into `frame` (painter coordinates), `scale` painter units per point. Of a
  // window clipped to a small part only what reaches that part is drawn.
  static void paint(QPainter& painter, const sim::SimDesktop& desktop, const sim::SimWindow& window,
                    const QRectF& frame, double scale);
  // The window as a capture shows it: width × height pixels, its content inset by `margin`
  // pixels of transparency all round. Nothing for an unknown window or an empty size.
  static std::optional<RGBAImage> render(const sim::SimDesktop& desktop, std::int64_t number, int width,
                                         int height, int margin = 0);

 private:
  static constexpr double kButtonRadius = 6;
  static constexpr double buttonCentreX(int index) { return 14 + 20.0 * index; }
};

}  // namespace velvix::qt
