// The picture of a browser's front window after one of its tabs was used: taken once the window
// has settled, stored under the browser's application id, and under the tab's id too when the
// front window shows that tab. Private windows are never pictured.

#include "Core/AppMonitor.hpp"
#include "Core/MRUManager.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

void MRUManager::captureSoon(Browser browser, const std::string& itemID) {
  if (!thumbnails_.isAvailable()) return;
  const std::string bundleID(browsers::bundleID(browser));
  auto app = runningApps_.first(bundleID);
  if (!app) return;
  const platform::Pid pid = app->pid;
  loop_.postAfter(0.001, [this, watch = alive_.watch(), browser, bundleID, itemID, pid] {
    if (watch.expired()) return;
    if (appMonitor_.frontWindowIsPrivate(pid)) return;
    std::vector<std::string> keys{SwitchableItem::appID(bundleID)};
    if (appMonitor_.frontWindowShows(itemID, browser, pid)) keys.insert(keys.begin(), itemID);
    thumbnails_.captureFrontWindow(pid, keys, true);
  });
}

}  // namespace velvix
