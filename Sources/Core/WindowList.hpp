#pragma once
// Which of the window server's windows are real application windows: big enough to switch to,
// at the normal level (or floating, for ordinary applications that are not tab-reporting
// browsers), and not a thin strip along the top of a larger window of the same process. Also
// which windows lie on Spaces that are not shown now. Keeps no state between calls.

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

  // While one is alive, the list of all windows is read from the window server and decoded once,
  // and every caller gets that answer; the on-screen windows are those it marks on screen. The
  // work of a chord's start asks for both kinds several times within microseconds. Nests; the
  // last one to go ends the sharing.
  class SharedReads {
   public:
    explicit SharedReads(const WindowList& list) : list_(list) { ++list_.sharing_; }
    ~SharedReads();
    SharedReads(const SharedReads&) = delete;
    SharedReads& operator=(const SharedReads&) = delete;

   private:
    const WindowList& list_;
  };
  // Time passed (a blocking query): the next read goes to the window server again.
  void forgetSharedReads() const;
  // What the shared reads so far were made of: the window server's rows (thousands of small
  // blocks) and the lists made from them. Held, they are freed when the holder goes instead of
  // when the sharing ends, so a caller that must answer at once can let them go after answering.
  using Leftovers = std::vector<std::shared_ptr<const void>>;
  Leftovers sharedLeftovers() const;

  // The real windows, front to back in window-server order.
  std::vector<Info> realWindows(bool onScreenOnly) const;
  // The same list, shared rather than copied: while a SharedReads is alive every caller gets the
  // one list made for its kind. The list never changes once made.
  using Windows = std::shared_ptr<const std::vector<Info>>;
  Windows sharedRealWindows(bool onScreenOnly) const;
  // The window numbers and the owners' process ids of the real windows, for lookups. While a
  // SharedReads is alive they are made once per list: when every window is on screen, both kinds
  // share them, and otherwise the on-screen kind is mostly all windows' numbers less the few
  // that are off screen.
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
  std::shared_ptr<const Keys> sharedKeys(bool onScreenOnly) const;
  // The window of the process that is in front.
  std::optional<Info> frontWindow(platform::Pid pid) const;
  std::set<std::int64_t> liveWindowNumbers() const;
  // Those of the given windows that count as lying on a Space that is not shown now. A failed
  // query counts as hidden: a hidden verdict never removes anything, it only keeps a window out
  // of the list for this chord.
  std::set<std::int64_t> numbersOnHiddenSpaces(const std::vector<std::int64_t>& windowNumbers) const;

 private:
  std::optional<std::set<std::uint64_t>> currentSpaceIDs(int connection) const;
  // Whether the on-screen real windows are told from the list of all windows, those marked on
  // screen, without a list of their own: only while sharing, when no list of the on-screen
  // windows was read, and unless a window on screen was a thin strip among all windows.
  bool onScreenAreMarkedOnes() const;
  bool floatsCount(platform::Pid pid) const;
  // The rows the window server lists that may be windows of their own, thin strips not yet dropped.
  std::vector<Info> readCandidates(bool onScreenOnly) const;

  const platform::WindowServer& server_;
  const platform::Workspace& workspace_;
  AXWindowBridge& ax_;
  mutable int sharing_ = 0;
  struct Candidates {
    Windows windows;           // of all windows
    std::vector<bool> strips;  // which of them are thin strips among all windows
  };
  mutable std::optional<Candidates> sharedCandidates_;
  mutable Windows shared_[2];                    // all windows, on-screen windows
  mutable std::shared_ptr<const Keys> keys_[2];  // made from the lists above
  mutable Leftovers leftovers_;                  // the rows read while sharing, and lists no longer shared
};

}  // namespace velvix
