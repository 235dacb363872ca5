#pragma once
// Which of the window server's windows are real application windows: big enough to switch to,
// at the normal level (or floating, for ordinary applications that are not tab-reporting
// browsers), and not a thin strip along the top of a larger window of the same process. Also
// which windows lie on Spaces that are not shown now. Keeps no state between calls: a chord's
// start reads it once into a ChordSnapshot and asks that instead.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/Geometry.hpp"
#include "Platform/Workspace.hpp"
#include "Support/IntegerSet.hpp"

namespace velvix {
namespace platform {
class WindowServer;
}
class AXWindowBridge;
class ChordSnapshot;

class WindowList {
 public:
  static constexpr double kMinWidth = 120.0;
  static constexpr double kMinHeight = 90.0;
  static constexpr int kNormalLayer = 0;
  static constexpr int kFloatingLayer = 3;

  struct Info {
    std::int64_t windowNumber = 0;
    platform::Pid pid = 0;
    std::optional<std::string> title;
    Rect bounds;
    bool isOnScreen = false;
    int layer = 0;
    bool operator==(const Info&) const = default;
  };

  WindowList(const platform::WindowServer& server, const platform::Workspace& workspace, AXWindowBridge& ax)
      : server_(server), workspace_(workspace), ax_(ax) {}

  // The real windows, front to back in window-server order.
  std::vector<Info> realWindows(bool onScreenOnly) const;

  // One read of every window, for a chord's start (see ChordSnapshot): the real windows, and which
  // of them are the on-screen real windows, told without a second read.
  struct ChordRead {
    // What the windows were decoded from: thousands of small blocks, kept so that the holder
    // decides when they are freed.
    std::shared_ptr<const void> rows;
    std::shared_ptr<const std::vector<Info>> all;
    // Unset when the on-screen real windows are simply those of `all` marked on screen; set
    // (rarely) when a window on screen was a thin strip among all windows and so had to be
    // judged again among the on-screen ones alone.
    std::optional<std::vector<Info>> onScreen;
  };
  ChordRead readForChord() const;

  // The window numbers and the owners' process ids of a list of real windows, for lookups. The
  // on-screen kind is mostly all windows' numbers less the few that are off screen.
  struct Keys {
    IntegerSet numbers;
    IntegerSet pids;
    // When set, the numbers are those of `base`, less `numbersLeftOut`.
    std::shared_ptr<const Keys> base;
    IntegerSet numbersLeftOut;
    bool hasNumber(std::int64_t number) const {
      if (base) return base->numbers.contains(number) && !numbersLeftOut.contains(number);
      return numbers.contains(number);
    }
    bool hasPid(platform::Pid pid) const { return pids.contains(pid); }
    bool empty() const { return pids.empty(); }
  };
  // The window of the process that is in front: read now, or told from a chord's snapshot.
  std::optional<Info> frontWindow(platform::Pid pid) const;
  std::optional<Info> frontWindow(platform::Pid pid, const ChordSnapshot& snapshot) const;
  std::set<std::int64_t> liveWindowNumbers() const;
  // Those of the given windows that count as lying on a Space that is not shown now. A failed
  // query counts as hidden: a hidden verdict never removes anything, it only keeps a window out
  // of the list for this chord.
  std::set<std::int64_t> numbersOnHiddenSpaces(const std::vector<std::int64_t>& windowNumbers) const;

 private:
  std::optional<std::set<std::uint64_t>> currentSpaceIDs(int connection) const;
  bool floatsCount(platform::Pid pid) const;
  // Which of the process's on-screen windows (front to back) is its front window: the first,
  // unless a floating panel is in front of a normal window.
  std::optional<Info> frontOf(platform::Pid pid, const std::vector<const Info*>& own) const;
  // The rows the window server lists that may be windows of their own, thin strips not yet
  // dropped. The rows are handed back in `keptRows` when asked for, else freed here.
  // With `onlyOf`, only that process's windows: strips are judged within a process, so its
  // windows come out as they would from the whole list.
  std::vector<Info> readCandidates(bool onScreenOnly, std::shared_ptr<const void>* keptRows = nullptr,
                                   std::optional<platform::Pid> onlyOf = std::nullopt) const;

  const platform::WindowServer& server_;
  const platform::Workspace& workspace_;
  AXWindowBridge& ax_;
};

}  // namespace velvix
