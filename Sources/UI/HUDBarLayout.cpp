#include "UI/HUDBarLayout.hpp"

#include <algorithm>

namespace velvix {

HUDMetrics::Rows HUDBarLayout::rowsShown(const HUDMetrics::Rows& rows, int itemCount) {
  if (!rows.empty()) return rows;
  std::vector<int> all;
  for (int i = 0; i < itemCount; ++i) all.push_back(i);
  return {all};
}

double HUDBarLayout::cellWidth(const HUDMetrics& metrics, const std::vector<double>& cellWidths, int index) {
  std::optional<double> frozen;
  if (index >= 0 && index < static_cast<int>(cellWidths.size()))
    frozen = cellWidths[static_cast<std::size_t>(index)];
  return metrics.pictureSize(frozen).width + 2 * metrics.pad();
}

std::map<int, Rect> HUDBarLayout::cellFrames(const HUDMetrics& metrics, const HUDMetrics::Rows& rows,
                                             int itemCount, const std::vector<double>& cellWidths, Size bar,
                                             std::optional<int> keepInView) {
  std::vector<std::vector<int>> shown;
  for (const auto& row : rowsShown(rows, itemCount)) {
    std::vector<int> cells;
    for (int index : row)
      if (index >= 0 && index < itemCount) cells.push_back(index);
    shown.push_back(std::move(cells));
  }
  const double cellHeight = metrics.cellHeight();
  const double rowCount = static_cast<double>(shown.size());
  const double stackHeight = rowCount * cellHeight + std::max(rowCount - 1, 0.0) * metrics.vpad();
  const double top = metrics.vpad() + metrics.extraTop();
  const double available = bar.height - top - metrics.vpad() - metrics.extraBottom();
  double y = top + std::max(0.0, (available - stackHeight) / 2);
  if (stackHeight > available) {
    // More rows than the bar holds: the stack moves up (as little past its ends as possible) so
    // that the row of the cell to keep in view sits in the middle, else it starts at the top.
    for (std::size_t r = 0; r < shown.size(); ++r) {
      if (std::find(shown[r].begin(), shown[r].end(), keepInView) == shown[r].end()) continue;
      const double start = static_cast<double>(r) * (cellHeight + metrics.vpad());
      const double centred = available / 2 - (start + cellHeight / 2);
      y = top + std::clamp(centred, available - stackHeight, 0.0);
      break;
    }
  }

  std::map<int, Rect> frames;
  for (const auto& row : shown) {
    double rowWidth = 0;
    for (int index : row) rowWidth += cellWidth(metrics, cellWidths, index);
    if (!row.empty()) rowWidth += (static_cast<double>(row.size()) - 1) * metrics.gap();
    // Rows are centred in the width between the side paddings; a wider row scrolls.
    const double available = bar.width - 2 * metrics.hpad();
    double x = metrics.hpad() + (available - rowWidth) / 2;
    if (rowWidth > available) {
      x = metrics.hpad();
      double start = 0;  // of the cell to keep in view, from the row's start
      for (int index : row) {
        const double width = cellWidth(metrics, cellWidths, index);
        if (index == keepInView) {
          const double centred = available / 2 - (start + width / 2);
          x = metrics.hpad() + std::clamp(centred, available - rowWidth, 0.0);
          break;
        }
        start += width + metrics.gap();
      }
    }
    for (int index : row) {
      const double width = cellWidth(metrics, cellWidths, index);
      frames[index] = Rect{x, y, width, cellHeight};
      x += width + metrics.gap();
    }
    y += cellHeight + metrics.vpad();
  }
  return frames;
}

std::optional<int> HUDBarLayout::cellAt(const std::map<int, Rect>& frames, Point point) {
  for (const auto& [index, frame] : frames)
    if (frame.contains(point)) return index;
  return std::nullopt;
}

}  // namespace velvix
