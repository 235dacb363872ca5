#pragma once
// Moves a browser tab that the user drags in the switcher into the window of the tab it is
// dropped on: decides which tabs may be dragged and dropped, sends the "move" command over the
// tab's relay connection, and confirms the move when the extension reports the tab in its new
// place (within 6 s). Chromium-family tabs reported by the extension only. Main thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Core/SwitchableItem.hpp"
#include "Core/TabPack.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class BrowserBridge;
class DebugLog;
namespace platform {
class MainLoop;
}

class TabMover {
 public:
  static constexpr double kConfirmWithin = 6.0;

  // One move that waits for the extension to report the tab in its new place.
  struct PendingMove {
    std::string itemID;
    Browser browser;
    std::optional<std::string> url;
    std::string expectedWindowID;               // the destination window, as the target holds it
    std::optional<std::int64_t> expectedIndex;  // only for a move within one window
    double deadline;                            // monotonic clock
    std::function<void()> onConfirm;
  };

  TabMover(BrowserBridge& browserBridge, DebugLog& log, platform::MainLoop& loop)
      : browserBridge_(browserBridge), log_(log), loop_(loop) {}
  TabMover(const TabMover&) = delete;
  TabMover& operator=(const TabMover&) = delete;

  // An extension tab of a Chromium-family browser whose extension takes commands now.
  bool canDrag(const SwitchableItem& item) const;
  // Two draggable tabs (connection aside) of one browser, privacy and session, not the same tab.
  static bool canDrop(const SwitchableItem& dragged, const SwitchableItem& target);
  // Where the tab lands within its own window: the target's place when it moves right, the one
  // after it when it moves left; nothing across windows or without positions.
  static std::optional<std::int64_t> reorderIndex(const SwitchableItem& dragging, const SwitchableItem& onto,
                                                  const std::string& destinationWindow);
  // Sends the move; true when the command was sent. `onConfirm` runs once, when a later report
  // shows the tab in its new place.
  bool move(const SwitchableItem& dragged, const SwitchableItem& target, std::function<void()> onConfirm);
  // Told of every "activated" and "updated" report after the inventory took it; confirms at most
  // one pending move, the oldest that the report fits.
  void noteTabPosition(Browser browser, const std::optional<std::string>& session, const TabPack& pack);

  const std::vector<PendingMove>& pending() const { return pending_; }

 private:
  static bool isMovable(const SwitchableItem& item);
  static bool fits(const PendingMove& move, Browser browser, const std::string& reportedID,
                   const TabPack& pack);

  BrowserBridge& browserBridge_;
  DebugLog& log_;
  platform::MainLoop& loop_;
  std::vector<PendingMove> pending_;
};

}  // namespace velvix
