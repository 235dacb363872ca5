#include "Core/ChordSnapshot.hpp"

#include <algorithm>
#include <string>

#include "Support/RunningApps.hpp"

namespace velvix {
namespace {

using Info = WindowList::Info;
using Keys = WindowList::Keys;

std::shared_ptr<const Keys> keysOf(const std::vector<Info>& windows) {
  auto keys = std::make_shared<Keys>();
  keys->numbers.reserve(windows.size());
  keys->pids.reserve(windows.size());
  for (const Info& w : windows) {
    keys->numbers.insert(w.windowNumber);
    keys->pids.insert(w.pid);
  }
  return keys;
}

}  // namespace

ChordSnapshot::ChordSnapshot(const WindowList& windows, RunningApps& apps)
    : read_(windows.readForChord()), apps_(&apps) {
  const std::vector<Info>& all = *read_.all;
  keys_[0] = keysOf(all);
  if (read_.onScreen) {
    keys_[1] = keysOf(*read_.onScreen);
    return;
  }
  // Often every window is on screen: the same keys for both kinds.
  if (std::all_of(all.begin(), all.end(), [](const Info& w) { return w.isOnScreen; })) {
    keys_[1] = keys_[0];
    return;
  }
  // Otherwise all windows' keys less the windows off screen: their numbers are not hashed a
  // second time.
  auto keys = std::make_shared<Keys>();
  keys->pids.reserve(all.size() / 2);
  keys->base = keys_[0];
  platform::Pid last = 0;
  bool any = false;
  for (const Info& w : all) {
    if (!w.isOnScreen) {
      keys->numbersLeftOut.insert(w.windowNumber);
    } else if (!any || w.pid != last) {  // a process's windows mostly lie together
      keys->pids.insert(w.pid);
      last = w.pid;
      any = true;
    }
  }
  keys_[1] = std::move(keys);
}

std::vector<const Info*> ChordSnapshot::onScreenWindowsOf(platform::Pid pid) const {
  std::vector<const Info*> own;
  if (read_.onScreen) {
    for (const Info& w : *read_.onScreen)
      if (w.pid == pid) own.push_back(&w);
  } else {
    for (const Info& w : *read_.all)
      if (w.pid == pid && w.isOnScreen) own.push_back(&w);
  }
  return own;
}

const std::optional<platform::RunningApplication>& ChordSnapshot::runningBrowser(Browser browser) const {
  auto& known = browsers_[static_cast<std::size_t>(browser)];
  if (!known) known = apps_->first(std::string(browsers::bundleID(browser)));
  return *known;
}

}  // namespace velvix
