// The picture of a browser's front window after one of its tabs was used: taken once the window
// has settled, stored under the browser's application id, and under the tab's id too when the
// front window shows that tab. Private windows are never pictured.

#include "Core/AppMonitor.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Services.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

void MRUManager::captureSoon(Browser browser, const std::string& itemID) {
  if (!services_.thumbnails || !services_.thumbnails->isAvailable()) return;
  const std::string bundleID(browsers::bundleID(browser));
  auto app = services_.runningApps->first(bundleID);
  if (!app) return;
  const platform::Pid pid = app->pid;
  services_.loop->postAfter(0.001, [this, watch = alive_.watch(), browser, bundleID, itemID, pid] {
    if (watch.expired()) return;
    AppMonitor* monitor = services_.appMonitor;
    if (monitor && monitor->frontWindowIsPrivate(pid)) return;
    std::vector<std::string> keys{SwitchableItem::appID(bundleID)};
    if (monitor && monitor->frontWindowShows(itemID, browser, pid)) keys.insert(keys.begin(), itemID);
    services_.thumbnails->captureFrontWindow(pid, keys, true);
  });
}

}  // namespace velvix
