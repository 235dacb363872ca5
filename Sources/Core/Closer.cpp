#include "Core/Closer.hpp"

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Core/Services.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

void Closer::close(const SwitchableItem& item) {
  if (item.kind == ItemKind::app) {
    std::optional<platform::RunningApplication> app;
    if (item.pid) app = services_.workspace->application(*item.pid);
    if (!app) app = services_.runningApps->first(item.bundleID);
    if (!app) return;
    if (item.windowNumber) {
      auto found = services_.ax->findWindow(*item.windowNumber, item.title, app->pid);
      if (found.element) services_.ax->pressCloseButton(*found.element);
    } else {
      services_.ax->closeFrontWindow(app->pid);
    }
    return;
  }
  if (!item.browser || !services_.runningApps->first(std::string(browsers::bundleID(*item.browser)))) {
    services_.log->log("close skipped, browser not running");
    return;
  }
  if (browsers::isChromiumFamily(*item.browser) && item.tabID && services_.browserBridge &&
      services_.browserBridge->closeChromiumTab(item)) {
    services_.log->log("close sent to Chrome extension");
    return;
  }
  services_.appleScripts->resolve(item, "closetab", [log = services_.log](bool ok) {
    log->log(std::string("AppleScript close result=") + (ok ? "true" : "false"));
  });
}

}  // namespace velvix
