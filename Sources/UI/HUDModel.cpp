#include "UI/HUDModel.hpp"

#include "Platform/MainLoop.hpp"

namespace velvix {

HUDModel::HUDModel(platform::MainLoop& loop) : loop_(loop) {}

void HUDModel::setItems(std::vector<SwitchableItem> items) {
  if (dragIndex_) finishDrag(std::nullopt, false);
  assign(items_, std::move(items), Property::items);
}

void HUDModel::setCellThumbs(std::vector<std::optional<RGBAImage>> thumbs) {
  // Pictures have no cheap equality; every assignment counts as a change.
  cellThumbs_ = std::move(thumbs);
  changed_.notify(Property::cellThumbs);
}

void HUDModel::setLiveFrame(std::optional<RGBAImage> frame) {
  liveFrame_ = std::move(frame);
  changed_.notify(Property::liveFrame);
}

void HUDModel::hoverLeft(int index) {
  if (hoverIndex_ == index) setHoverIndex(std::nullopt);
}

bool HUDModel::isDraggable(int index) const {
  return dragEnabled_ && inRange(index) && canDrag && canDrag(items_[static_cast<std::size_t>(index)]);
}

void HUDModel::beginDrag(int index) {
  if (!inRange(index)) return;
  assign(dragIndex_, std::optional<int>(index), Property::dragIndex);
  dragItemID_ = items_[static_cast<std::size_t>(index)].id;
  setMovedIndex(std::nullopt);
}

std::optional<int> HUDModel::dropTarget(Point point, int source) const {
  if (!inRange(source)) return std::nullopt;
  const SwitchableItem& dragged = items_[static_cast<std::size_t>(source)];
  for (const auto& [index, frame] : cellFrames) {
    if (index == source || !frame.contains(point)) continue;
    // Cells do not overlap: the cell under the pointer decides, accepting or not.
    if (!inRange(index) || !canDrop) return std::nullopt;
    if (!canDrop(dragged, items_[static_cast<std::size_t>(index)])) return std::nullopt;
    return index;
  }
  return std::nullopt;
}

void HUDModel::endDrag(std::optional<int> performingTarget) {
  finishDrag(performingTarget, false);
}

void HUDModel::finishDrag(std::optional<int> performingTarget, bool fromGesture) {
  const std::optional<int> source = dragIndex_;
  const std::optional<std::string> id = dragItemID_;
  // Ended from outside the gesture (list change, hide, chord release): the rest of the gesture
  // must not start a new drag.
  if (source && !fromGesture) gestureDead_ = true;
  assign(dragIndex_, std::optional<int>(), Property::dragIndex);
  dragItemID_.reset();
  assign(dragLocation_, std::optional<Point>(), Property::dragLocation);
  assign(dropIndex_, std::optional<int>(), Property::dropIndex);
  if (!source || !performingTarget || !id || !inRange(*source)) return;
  if (items_[static_cast<std::size_t>(*source)].id != *id) return;
  if (onMoveTab) onMoveTab(*source, *performingTarget);
}

void HUDModel::flashMoved(int index) {
  setMovedIndex(index);
  auto watch = alive_.watch();
  loop_.postAfter(kMovedFlashDuration, [this, watch, index] {
    if (watch.expired()) return;
    if (movedIndex_ == index) setMovedIndex(std::nullopt);
  });
}

void HUDModel::gestureMoved(int index, Point location) {
  if (gestureDead_) return;
  if (dragIndex_ != index) beginDrag(index);
  if (dragIndex_ != index) return;  // out of range: no drag
  assign(dragLocation_, std::optional<Point>(location), Property::dragLocation);
  assign(dropIndex_, dropTarget(location, index), Property::dropIndex);
}

void HUDModel::gestureReleased(int index, Point location) {
  if (!gestureDead_ && dragIndex_ == index) finishDrag(dropTarget(location, index), true);
  gestureDead_ = false;
}

}  // namespace velvix
