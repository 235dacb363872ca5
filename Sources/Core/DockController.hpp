#pragma once
// The Dock enhancements: window cards above an application's Dock icon while the pointer rests on
// it, a peek at the window under the hovered card, and smarter plain clicks on Dock icons
// (minimize the only window of the application in front, bring the right window forward, restore
// the window a click minimized, otherwise let the Dock do its usual thing). Hover is followed by a
// 0.08 s timer that compares the pointer with the Dock's icons and the card panel; the timer runs
// only while the pointer is near a screen's edge (where a Dock can be) or the cards are up, and
// the pointer's moves start it again, so an unused Dock wakes nobody.
// Main thread only; everything deferred holds the controller weakly.
//
// Points and frames are global, top-left origin, like every platform interface here. The event
// tap's callback never reads the Dock's icon list: clicks use the hit test (bounded as a whole)
// and, when that cannot tell, a cached list that the timer and each click refresh off the tap.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Core/DockPanels.hpp"
#include "Core/LiveWindowStream.hpp"
#include "Core/WindowList.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Screens.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"
#include "Support/DockObserver.hpp"

namespace velvix {

struct Services;

class DockController {
 public:
  static constexpr double kTickInterval = 0.08;
  static constexpr double kHoverDelay = 0.25;
  static constexpr double kLeaveDelay = 0.25;
  static constexpr double kIdleLimit = 120.0;
  // The cached icons answer a click only while this young; older, the click passes through.
  static constexpr double kClickItemsFreshFor = 10.0;
  static constexpr double kPanelMarginX = 12;
  static constexpr double kPanelMarginY = 16;
  static constexpr double kRefreshDelay = 0.05;
  static constexpr double kPeekHideDelay = 0.12;
  static constexpr double kClosedWindowMemory = 2.0;
  static constexpr double kEdgeReach = 256;
  static constexpr double kSwallowWindow = 1.5;
  static constexpr double kCaptureHold = 1.2;
  static constexpr double kMinimizeFallback = 0.25;
  static constexpr double kReRaiseFirst = 0.06;
  static constexpr double kReRaiseSecond = 0.25;

  // What a plain click on an application's icon does.
  struct ClickAction {
    enum class Kind { minimize, restore, focus, passThrough, showPreviews, settle };
    Kind kind = Kind::passThrough;
    std::int64_t window = 0;  // minimize, restore, focus
    // The case name, with "(window: <n>)" for the three that carry a window.
    std::string describe() const;
    bool operator==(const ClickAction&) const = default;
  };

  // The panels are the composition root's and outlive the controller.
  DockController(Services& services, DockCardsView& cardsView, WindowPeekView& peekView);
  ~DockController();
  DockController(const DockController&) = delete;
  DockController& operator=(const DockController&) = delete;

  // Starts or stops the hover machinery from the settings (previews and thumbnails both on).
  void applyPreference();

  // From the event tap, at the pointer: true when the plain left click on a Dock icon is handled
  // here and must be dropped (its mouse-up is then dropped too).
  bool handleDockMouseDown(Point at);
  // A right or Control click: the previews of the icon under it stay away until the pointer
  // moves on.
  void handleDockMenuClick(Point at);
  // True when the mouse-up of a swallowed click must be dropped; always disarms.
  bool consumeSwallowedMouseUp();

  // What a person and the tests see.
  bool isRunning() const { return monitoring_; }
  // Whether the hover timer runs now (only while the pointer is near the Dock or the cards show).
  bool isTicking() const { return timer_.isValid(); }
  const DockCardsView& previewPanel() const { return panel_; }
  const WindowPeekView& peekPanel() const { return peekPanel_; }
  std::optional<std::int64_t> peeked() const { return peeked_; }
  std::optional<std::string> resolvedBundleID() const { return resolvedBundleID_; }

  // The cards' own actions: bring the window forward, or close it.
  void raise(std::int64_t windowNumber, const platform::RunningApplication& app);
  void closeWindow(std::int64_t number, const std::string& bundleID, const platform::RunningApplication& app);
  // A card's hover: the window to peek at, or none when the pointer left the cards.
  void peek(std::optional<std::int64_t> windowNumber);

 private:
  struct Current {
    std::string bundleID;
    Rect iconFrame;
    platform::RunningApplication app;
    std::vector<WindowList::Info> windows;
  };
  struct ClickedIcon {
    std::string bundleID;
    Rect frame;
  };

  // Hover (DockControllerHover.cpp).
  void start();
  void stop();
  void tick();
  void step();
  void pointerMoved(Point p);
  void startTicking();
  void reset();
  void endPeek(bool immediate);
  void hidePanel();
  bool panelVisible() const;
  bool overPanelArea(Point p) const;
  // The application icon under the pointer, for the hover: the Dock's hit test near a screen
  // edge, the icons last read when it cannot tell.
  std::optional<DockObserver::Item> iconUnderPointer(Point p);
  void refreshItems();
  static const DockObserver::Item* itemAt(const std::vector<DockObserver::Item>& items, Point p);
  void resolve(const std::string& bundleID, const Rect& iconFrame);
  std::vector<WindowList::Info> windows(const platform::RunningApplication& app);
  void showPreview(const std::string& bundleID, const Rect& iconFrame, bool animated,
                   const platform::RunningApplication& app, std::vector<WindowList::Info> windows);
  void present(const std::vector<WindowList::Info>& windows, const std::string& bundleID,
               const Rect& iconFrame, const platform::RunningApplication& app, bool animated);
  std::vector<DockCard> previews(const std::vector<WindowList::Info>& windows, const std::string& bundleID,
                                 const platform::RunningApplication& app);
  std::set<std::int64_t> minimizedWindowNumbers(const platform::RunningApplication& app);
  void retryMissingPreviews();
  void captureLanded(const std::vector<std::string>& ids);
  // Peek (DockControllerPeek.cpp).
  void schedulePeekHide();
  std::optional<platform::ScreenInfo> screenForPeek() const;

  // Clicks (DockControllerClicks.cpp).
  bool isNearScreenEdge(Point p) const;
  // The cached icons for a click; empty when none were read or they are too old. Reads nothing.
  std::vector<DockObserver::Item> itemsForClick() const;
  void scheduleItemsRefresh();
  void passThroughExit(const std::string& bundleID, const Rect& iconFrame);
  void perform(ClickAction action, const platform::RunningApplication& app, const std::string& bundleID,
               const Rect& iconFrame, bool isFrontmost);
  void endClick(const std::string& bundleID, const Rect& iconFrame);
  void settle(const platform::RunningApplication& app, const std::string& bundleID, const Rect& iconFrame,
              bool isFrontmost);
  void showClickPreviews(const std::string& bundleID, const Rect& iconFrame);
  void minimize(std::int64_t window, const platform::RunningApplication& app, const std::string& bundleID);
  void focus(std::int64_t windowNumber, const platform::RunningApplication& app);
  void holdCaptures(std::int64_t windowNumber);
  std::vector<std::int64_t> onScreenWindows(platform::Pid pid, std::size_t* offScreenTitled) const;
  bool previewsWanted() const;
  bool clicksWanted() const;
  double now() const;
  static std::string key(const std::string& bundleID, std::int64_t number);

  Services& services_;
  DockObserver observer_;
  platform::Timer timer_;
  bool monitoring_ = false;
  std::optional<Point> lastTickPointer_;
  DockCardsView& panel_;
  std::vector<DockObserver::Item> cachedItems_;
  double cachedAt_ = -1e18;
  std::optional<std::string> hoverBundleID_;
  std::optional<double> hoverStart_;
  std::optional<std::string> resolvedBundleID_;
  bool wasOverDock_ = false;
  bool firstShowPending_ = false;
  std::optional<std::string> suppressedBundleID_;
  std::optional<double> leaveAt_;
  std::optional<Current> current_;
  bool refreshPending_ = false;
  WindowPeekView& peekPanel_;
  LiveWindowStream peekStream_;
  std::optional<std::int64_t> peeked_;
  std::uint64_t peekGeneration_ = 0;  // every peek and every end of one; late pictures check it
  platform::Timer peekHideWork_;
  std::set<std::int64_t> closedWindowNumbers_;
  std::optional<ClickedIcon> clickedIcon_;
  std::optional<double> swallowArmedAt_;
  std::optional<std::string> previewHoldBundleID_;
  bool itemsRefreshPosted_ = false;
  platform::NotificationCenter::Observation preferencesObservation_;
  platform::NotificationCenter::Observation captureObservation_;
  AliveToken alive_;
};

}  // namespace velvix
