#pragma once
// Where each cell of the HUD bar sits: the model's rows (or one row of every entry in icon mode),
// stacked and centred, cells side by side in each row, inside the bar's paddings. Cell frames are
// in the bar's own coordinates, the space the drag gesture and the drop test measure in. Pure
// computation, no Qt.

#include <map>
#include <vector>

#include "Platform/Geometry.hpp"
#include "UI/HUDMetrics.hpp"

namespace velvix {

struct HUDBarLayout {
  // The rows shown: the model's rows when it has any, else one row of every entry.
  static HUDMetrics::Rows rowsShown(const HUDMetrics::Rows& rows, int itemCount);
  // A cell's outer width: its picture (the frozen tile width in thumbnail mode, thumbH without
  // one; s in icon mode) plus the padding on both sides.
  static double cellWidth(const HUDMetrics& metrics, const std::vector<double>& cellWidths, int index);
  // Every shown cell's frame in a bar of the given size; indices outside the list get none. A row
  // wider than the bar between its side paddings scrolls: it is moved sideways (as little past
  // its ends as possible) so that the cell `keepInView` sits in the middle of the bar, or starts
  // at the left padding when that cell is not in it. Rows taller together than the bar scroll the
  // same way, up and down, to the row of that cell.
  static std::map<int, Rect> cellFrames(const HUDMetrics& metrics, const HUDMetrics::Rows& rows,
                                        int itemCount, const std::vector<double>& cellWidths, Size bar,
                                        std::optional<int> keepInView = std::nullopt);
  // The cell whose frame contains the point, if any.
  static std::optional<int> cellAt(const std::map<int, Rect>& frames, Point point);
};

}  // namespace velvix
