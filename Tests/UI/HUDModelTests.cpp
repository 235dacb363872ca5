#include <gtest/gtest.h>

#include "Platform/Simulated/SimMainLoop.hpp"
#include "UI/HUDModel.hpp"

namespace velvix {
namespace {

using Property = HUDModel::Property;

SwitchableItem tab(std::int64_t tabID, std::string windowID) {
  SwitchableItem item;
  item.id = "tab:chrome:" + std::to_string(tabID);
  item.kind = ItemKind::tab;
  item.bundleID = "com.google.Chrome";
  item.browser = Browser::chrome;
  item.tabID = tabID;
  item.windowID = std::move(windowID);
  item.source = TabSource::webExtension;
  item.title = "Tab " + std::to_string(tabID);
  return item;
}

SwitchableItem app(const std::string& bundleID) {
  SwitchableItem item;
  item.id = SwitchableItem::appID(bundleID);
  item.bundleID = bundleID;
  item.title = bundleID;
  return item;
}

// Four cells in a row, 100 points apart: a tab of window 1, two tabs of window 2, an application.
struct DragWorld {
  DragWorld() {
    model.setItems({tab(11, "1"), tab(21, "2"), tab(22, "2"), app("com.apple.mail")});
    model.setDragEnabled(true);
    for (int i = 0; i < 4; ++i) model.cellFrames[i] = Rect{i * 100.0, 0, 90, 90};
    model.canDrag = [](const SwitchableItem& item) { return item.kind == ItemKind::tab; };
    model.canDrop = [this](const SwitchableItem& dragged, const SwitchableItem& target) {
      return acceptDrops && target.kind == ItemKind::tab && dragged.tabID != target.tabID;
    };
    model.onMoveTab = [this](int source, int target) { moves.emplace_back(source, target); };
  }
  static Point centre(int cell) { return {cell * 100.0 + 45, 45}; }

  sim::SimMainLoop loop;
  HUDModel model{loop};
  bool acceptDrops = true;
  std::vector<std::pair<int, int>> moves;
};

TEST(HUDModel, ADragFollowsThePointerAndDropsOnTheAcceptingCell) {
  DragWorld w;
  w.model.setMovedIndex(3);
  w.model.gesturePressed();
  w.model.gestureMoved(0, {50, 50});
  EXPECT_EQ(w.model.dragIndex(), 0);
  EXPECT_EQ(w.model.dragItemID(), "tab:chrome:11");
  EXPECT_EQ(w.model.movedIndex(), std::nullopt);  // a new drag ends the flash
  EXPECT_EQ(w.model.dropIndex(), std::nullopt);   // over its own cell: no target

  w.model.gestureMoved(0, DragWorld::centre(2));
  EXPECT_EQ(w.model.dropIndex(), 2);
  EXPECT_EQ(w.model.dragLocation(), DragWorld::centre(2));
  w.model.gestureMoved(0, DragWorld::centre(3));  // the application cell refuses
  EXPECT_EQ(w.model.dropIndex(), std::nullopt);
  w.model.gestureMoved(0, {395, 45});  // the gap between cells
  EXPECT_EQ(w.model.dropIndex(), std::nullopt);

  w.model.gestureReleased(0, DragWorld::centre(1));
  EXPECT_EQ(w.moves, (std::vector<std::pair<int, int>>{{0, 1}}));
  EXPECT_EQ(w.model.dragIndex(), std::nullopt);
  EXPECT_EQ(w.model.dragItemID(), std::nullopt);
  EXPECT_EQ(w.model.dragLocation(), std::nullopt);
  EXPECT_EQ(w.model.dropIndex(), std::nullopt);
}

TEST(HUDModel, ADropTheMoverRefusesOrOverNothingEndsTheDragWithoutAMove) {
  DragWorld w;
  w.acceptDrops = false;
  w.model.gestureMoved(1, DragWorld::centre(2));
  EXPECT_EQ(w.model.dropIndex(), std::nullopt);
  w.model.gestureReleased(1, DragWorld::centre(2));
  w.acceptDrops = true;
  w.model.gestureMoved(1, DragWorld::centre(2));
  w.model.gestureReleased(1, {1000, 1000});
  EXPECT_TRUE(w.moves.empty());
  EXPECT_EQ(w.model.dragIndex(), std::nullopt);

  // Without a move handler a valid drop only clears the drag.
  w.model.onMoveTab = nullptr;
  w.model.gestureMoved(1, DragWorld::centre(2));
  w.model.gestureReleased(1, DragWorld::centre(2));
  EXPECT_EQ(w.model.dragIndex(), std::nullopt);
}

TEST(HUDModel, BoundsAreCheckedEverywhere) {
  DragWorld w;
  w.model.setMovedIndex(2);
  w.model.beginDrag(-1);
  w.model.beginDrag(4);
  EXPECT_EQ(w.model.dragIndex(), std::nullopt);
  EXPECT_EQ(w.model.movedIndex(), 2);
  EXPECT_EQ(w.model.dropTarget(DragWorld::centre(1), 7), std::nullopt);
  w.model.cellFrames[9] = Rect{900, 0, 90, 90};  // a frame left over from a longer list
  EXPECT_EQ(w.model.dropTarget({945, 45}, 0), std::nullopt);
  w.model.endDrag(3);  // no drag under way
  w.model.endDrag(std::nullopt);
  EXPECT_TRUE(w.moves.empty());
}

TEST(HUDModel, AListChangeKillsTheDragUntilTheButtonGoesUp) {
  DragWorld w;
  w.model.gesturePressed();
  w.model.gestureMoved(0, DragWorld::centre(1));
  ASSERT_EQ(w.model.dragIndex(), 0);

  // The list changes under the drag: cell 0 now holds another tab.
  w.model.setItems({tab(21, "2"), tab(11, "1"), tab(22, "2"), app("com.apple.mail")});
  EXPECT_EQ(w.model.dragIndex(), std::nullopt);
  EXPECT_TRUE(w.model.isGestureDead());
  // The same gesture goes on moving and lets go over an accepting cell: nothing is taken up.
  w.model.gestureMoved(0, DragWorld::centre(2));
  EXPECT_EQ(w.model.dragIndex(), std::nullopt);
  EXPECT_EQ(w.model.dropIndex(), std::nullopt);
  w.model.gestureReleased(0, DragWorld::centre(2));
  EXPECT_TRUE(w.moves.empty());

  // The next press drags again, and moves the entry that is in the cell now.
  w.model.gesturePressed();
  w.model.gestureMoved(0, DragWorld::centre(2));
  EXPECT_EQ(w.model.dragItemID(), "tab:chrome:21");
  w.model.gestureReleased(0, DragWorld::centre(2));
  EXPECT_EQ(w.moves, (std::vector<std::pair<int, int>>{{0, 2}}));
}

TEST(HUDModel, ADragCancelledFromOutsideStaysDeadEvenWithoutARelease) {
  DragWorld w;
  w.model.gestureMoved(2, DragWorld::centre(1));
  w.model.endDrag(w.model.dropIndex());  // the chord released during the drag
  EXPECT_EQ(w.moves, (std::vector<std::pair<int, int>>{{2, 1}}));
  w.model.gestureMoved(2, DragWorld::centre(1));
  EXPECT_EQ(w.model.dragIndex(), std::nullopt);
  // The panel hid before the button went up; a new press starts afresh.
  w.model.gesturePressed();
  w.model.gestureMoved(2, DragWorld::centre(1));
  EXPECT_EQ(w.model.dragIndex(), 2);
}

TEST(HUDModel, TheMovedFlashClearsAfterItsTimeOnlyIfNoOtherFlashFollowed) {
  DragWorld w;
  w.model.flashMoved(2);
  w.loop.advance(0.3);
  w.model.flashMoved(3);
  w.loop.advance(0.3);  // the first flash's time is up, but cell 3 flashes now
  EXPECT_EQ(w.model.movedIndex(), 3);
  w.loop.advance(0.3);
  EXPECT_EQ(w.model.movedIndex(), std::nullopt);

  w.model.flashMoved(1);
  w.loop.advance(HUDModel::kMovedFlashDuration - 0.01);
  EXPECT_EQ(w.model.movedIndex(), 1);
  w.loop.advance(0.02);
  EXPECT_EQ(w.model.movedIndex(), std::nullopt);
}

TEST(HUDModel, AFlashOutlivingTheModelDoesNothing) {
  sim::SimMainLoop loop;
  { HUDModel(loop).flashMoved(1); }
  loop.advance(1);  // must not touch the destroyed model
  SUCCEED();
}

TEST(HUDModel, ObserversHearOfRealChangesOnly) {
  DragWorld w;
  std::vector<Property> heard;
  auto subscription = w.model.observe([&](Property p) { heard.push_back(p); });
  w.model.setSelectedIndex(0);
  w.model.setSelectedIndex(2);
  w.model.setHoverIndex(1);
  w.model.setHoverIndex(2);
  w.model.hoverLeft(1);  // a late leave of the cell the pointer left earlier
  EXPECT_EQ(w.model.hoverIndex(), 2);
  w.model.hoverLeft(2);
  EXPECT_EQ(w.model.hoverIndex(), std::nullopt);
  EXPECT_EQ(heard, (std::vector<Property>{Property::selectedIndex, Property::hoverIndex, Property::hoverIndex,
                                          Property::hoverIndex}));
}

TEST(HUDModel, OnlyDraggableEntriesOfADragEnabledSessionCanBeDragged) {
  DragWorld w;
  EXPECT_TRUE(w.model.isDraggable(0));
  EXPECT_FALSE(w.model.isDraggable(3));
  EXPECT_FALSE(w.model.isDraggable(4));
  w.model.setDragEnabled(false);
  EXPECT_FALSE(w.model.isDraggable(0));
  w.model.setDragEnabled(true);
  w.model.canDrag = nullptr;
  EXPECT_FALSE(w.model.isDraggable(0));
}

}  // namespace
}  // namespace velvix
