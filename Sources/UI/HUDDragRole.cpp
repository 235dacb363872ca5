#include "UI/HUDDragRole.hpp"

#include "UI/HUDModel.hpp"

namespace velvix {

HUDDragRole dragRole(const HUDModel& model, int index) {
  if (model.movedIndex() == index) return HUDDragRole::moved;
  if (!model.dragIndex()) return HUDDragRole::none;
  if (model.dragIndex() == index) return HUDDragRole::source;
  const auto drop = model.dropIndex();
  if (!drop) return HUDDragRole::none;
  if (*drop == index) return HUDDragRole::target;
  const auto& items = model.items();
  const int count = static_cast<int>(items.size());
  if (index < 0 || index >= count || *drop < 0 || *drop >= count) return HUDDragRole::none;
  const SwitchableItem& cell = items[static_cast<std::size_t>(index)];
  const SwitchableItem& target = items[static_cast<std::size_t>(*drop)];
  if (cell.kind == ItemKind::tab && cell.browser == target.browser && cell.windowID == target.windowID)
    return HUDDragRole::destination;
  return HUDDragRole::none;
}

}  // namespace velvix
