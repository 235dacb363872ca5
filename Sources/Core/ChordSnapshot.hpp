#pragma once
// What a chord's start reads of the platform, read once and handed to everything that start does
// (the ranking, the off-screen check, the front window): the real windows, all of them and those
// on screen, with the keys to look them up by, and whether the browsers run. A value: it is read
// when the chord starts and does not change after, and the next chord reads its own.

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "Core/WindowList.hpp"
#include "Platform/Workspace.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class RunningApps;

class ChordSnapshot {
 public:
  // Reads the window server's list of all windows, once.
  ChordSnapshot(const WindowList& windows, RunningApps& apps);

  // The real windows, front to back in window-server order.
  const std::vector<WindowList::Info>& windows() const { return *read_.all; }
  // The keys of all real windows, or of the on-screen ones.
  const WindowList::Keys& keys(bool onScreenOnly) const { return *keys_[onScreenOnly ? 1 : 0]; }
  // The process's on-screen real windows, front to back.
  std::vector<const WindowList::Info*> onScreenWindowsOf(platform::Pid pid) const;
  // The browser's running instance. The applications are asked about each browser the first time
  // it is asked for, not for every browser up front: a chord mostly lists the tabs of one or two.
  // The answer then stands for the rest of the chord's start.
  const std::optional<platform::RunningApplication>& runningBrowser(Browser browser) const;

 private:
  WindowList::ChordRead read_;
  std::shared_ptr<const WindowList::Keys> keys_[2];  // all windows, on-screen windows
  RunningApps* apps_;                                // a pointer: the snapshot is a value, assigned like one
  mutable std::array<std::optional<std::optional<platform::RunningApplication>>, browsers::kCount> browsers_;
};

}  // namespace velvix
