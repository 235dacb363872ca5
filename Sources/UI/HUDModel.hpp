#pragma once
// The switcher HUD's observable view model: the entries shown with their layout, the selection
// and hover, the live preview frame, and the small state machine of dragging a browser tab from
// its cell onto another tab's cell (with the short "moved" flash that confirms a move). The HUD
// controller fills it, the views draw it and write hover, cell frames and drag state back, and
// the chord session moves the selection and reads the drag. No Qt here; main thread only.
//
// Indices into `items` are the cell indices used everywhere. They go stale when the list is
// replaced, so every operation bounds-checks them, the drop re-checks the dragged entry's id, and
// a list change during a drag kills that drag for the rest of the pointer gesture.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Core/SettingsEnums.hpp"
#include "Core/SwitchableItem.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Observers.hpp"
#include "UI/HUDMetrics.hpp"

namespace velvix {
namespace platform {
class MainLoop;
}

class HUDModel {
 public:
  static constexpr double kInitialIconSize = 96;
  static constexpr double kMovedFlashDuration = 0.55;

  // The published properties; observers are told which one changed.
  enum class Property {
    items,
    selectedIndex,
    hoverIndex,
    fittedIconSize,
    glassStyle,
    usesThumbnails,
    rows,
    cellWidths,
    cellThumbs,
    liveFrame,
    liveItemID,
    dragEnabled,
    dragIndex,
    dragLocation,
    dropIndex,
    movedIndex,
  };

  // Whether an entry may be dragged at all, and dropped onto another; the tab mover's rules.
  // Unset, nothing can be dragged or dropped.
  using CanDrag = std::function<bool(const SwitchableItem& item)>;
  using CanDrop = std::function<bool(const SwitchableItem& dragged, const SwitchableItem& target)>;

  explicit HUDModel(platform::MainLoop& loop);
  HUDModel(const HUDModel&) = delete;
  HUDModel& operator=(const HUDModel&) = delete;

  [[nodiscard]] Subscription observe(std::function<void(Property)> callback) {
    return changed_.add(std::move(callback));
  }

  // ---- published state
  const std::vector<SwitchableItem>& items() const { return items_; }
  // A new list cancels any drag under way (without moving anything).
  void setItems(std::vector<SwitchableItem> items);
  int selectedIndex() const { return selectedIndex_; }
  void setSelectedIndex(int index) { assign(selectedIndex_, index, Property::selectedIndex); }
  std::optional<int> hoverIndex() const { return hoverIndex_; }
  void setHoverIndex(std::optional<int> index) { assign(hoverIndex_, index, Property::hoverIndex); }
  double fittedIconSize() const { return fittedIconSize_; }
  void setFittedIconSize(double size) { assign(fittedIconSize_, size, Property::fittedIconSize); }
  GlassStyle glassStyle() const { return glassStyle_; }
  void setGlassStyle(GlassStyle style) { assign(glassStyle_, style, Property::glassStyle); }
  bool usesThumbnails() const { return usesThumbnails_; }
  void setUsesThumbnails(bool on) { assign(usesThumbnails_, on, Property::usesThumbnails); }
  // Thumbnail mode: the grid as rows of item indices, each entry's frozen tile width and still.
  const HUDMetrics::Rows& rows() const { return rows_; }
  void setRows(HUDMetrics::Rows rows) { assign(rows_, std::move(rows), Property::rows); }
  const std::vector<double>& cellWidths() const { return cellWidths_; }
  void setCellWidths(std::vector<double> widths) {
    assign(cellWidths_, std::move(widths), Property::cellWidths);
  }
  const std::vector<std::optional<RGBAImage>>& cellThumbs() const { return cellThumbs_; }
  void setCellThumbs(std::vector<std::optional<RGBAImage>> thumbs);
  // The latest frame of the live stream, and the entry whose window it shows.
  const std::optional<RGBAImage>& liveFrame() const { return liveFrame_; }
  void setLiveFrame(std::optional<RGBAImage> frame);
  const std::optional<std::string>& liveItemID() const { return liveItemID_; }
  void setLiveItemID(std::optional<std::string> id) {
    assign(liveItemID_, std::move(id), Property::liveItemID);
  }
  bool dragEnabled() const { return dragEnabled_; }
  void setDragEnabled(bool on) { assign(dragEnabled_, on, Property::dragEnabled); }
  std::optional<int> dragIndex() const { return dragIndex_; }
  std::optional<Point> dragLocation() const { return dragLocation_; }
  std::optional<int> dropIndex() const { return dropIndex_; }
  std::optional<int> movedIndex() const { return movedIndex_; }
  void setMovedIndex(std::optional<int> index) { assign(movedIndex_, index, Property::movedIndex); }

  // ---- plain state (no notification)
  std::function<void(int index)> onCommit;                // a click on a cell
  std::function<void(int index)> onClose;                 // a click on a cell's close control
  std::function<void(int source, int target)> onMoveTab;  // a tab dropped on an accepting cell
  CanDrag canDrag;
  CanDrop canDrop;
  // Every cell's frame in the bar's coordinates, by cell index (written by the bar).
  std::map<int, Rect> cellFrames;
  const std::optional<std::string>& dragItemID() const { return dragItemID_; }

  // The pointer left cell `index`; a later enter of another cell is not undone.
  void hoverLeft(int index);
  // Dragging is on in this session and the tab mover lets the entry at `index` be dragged.
  bool isDraggable(int index) const;

  // ---- tab dragging
  // Starts a drag of the entry at `index`; out of range nothing changes.
  void beginDrag(int index);
  // The cell that would accept the entry at `source` if dropped at `point` (bar coordinates).
  std::optional<int> dropTarget(Point point, int source) const;
  // Ends any drag; with a target, moves the tab when the source cell still holds the dragged entry.
  void endDrag(std::optional<int> performingTarget);
  // The cell flashes as "moved" for 0.55 s, unless another flash replaces it.
  void flashMoved(int index);

  // ---- the bar's drag gesture (the pointer pressed on a cell and moved 8 points or more)
  // A new press: whatever ended the last gesture no longer matters.
  void gesturePressed() { gestureDead_ = false; }
  // The pointer moved to `location` with the press that began on cell `index`.
  void gestureMoved(int index, Point location);
  // The button went up at `location`: the drag ends, with the move when a cell accepts it.
  void gestureReleased(int index, Point location);
  // A drag of this gesture was cancelled (the list changed, the HUD hid): it stays dead until
  // the button goes up, so it cannot take up whatever entry now sits in its cell.
  bool isGestureDead() const { return gestureDead_; }

 private:
  template <typename T>
  void assign(T& field, T value, Property property);
  void finishDrag(std::optional<int> performingTarget, bool fromGesture);
  bool inRange(int index) const { return index >= 0 && index < static_cast<int>(items_.size()); }

  platform::MainLoop& loop_;
  std::vector<SwitchableItem> items_;
  int selectedIndex_ = 0;
  std::optional<int> hoverIndex_;
  double fittedIconSize_ = kInitialIconSize;
  GlassStyle glassStyle_ = GlassStyle::appKit;
  bool usesThumbnails_ = false;
  HUDMetrics::Rows rows_;
  std::vector<double> cellWidths_;
  std::vector<std::optional<RGBAImage>> cellThumbs_;
  std::optional<RGBAImage> liveFrame_;
  std::optional<std::string> liveItemID_;
  bool dragEnabled_ = false;
  std::optional<int> dragIndex_;
  std::optional<Point> dragLocation_;
  std::optional<int> dropIndex_;
  std::optional<int> movedIndex_;
  std::optional<std::string> dragItemID_;
  bool gestureDead_ = false;
  ObserverList<Property> changed_;
  AliveToken alive_;
};

template <typename T>
void HUDModel::assign(T& field, T value, Property property) {
  if (field == value) return;
  field = std::move(value);
  changed_.notify(property);
}

}  // namespace velvix
