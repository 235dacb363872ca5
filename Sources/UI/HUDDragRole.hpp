#pragma once
// The part a cell plays in a tab drag, which its drag overlay shows: the cell being dragged, the
// cell that would take the drop, the other tabs of the window the tab would move into, or the
// cell flashing after a completed move.

namespace velvix {

class HUDModel;

enum class HUDDragRole { none, source, target, destination, moved };

// The role of the cell at `index` in the model's current drag.
HUDDragRole dragRole(const HUDModel& model, int index);

}  // namespace velvix
